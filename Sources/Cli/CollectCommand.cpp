// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// collect: the templates a project uses, in one zip for another Mac.
#include "Cli/Cli.h"
#include "Cli/CliLibraryCommand.h"
#include "Cli/CliProgress.h"
#include "Cli/CliSignals.h"
#include "Installer/TemplateFolders.h"
#include "Metadata/ProjectCollect.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>

#include <csignal>

namespace {

// Writes the third-party templates a project uses into one zip, each at its
// path below the templates folder, so that installing the zip on another
// Mac puts them where the project looks. A template not installed here is
// named on stderr and makes the exit status 1: the zip is not all the
// project needs.
class CollectCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("collect"); }
    QString synopsis() const override { return QStringLiteral("PROJECT"); }
    QString summary() const override
    {
        return QStringLiteral("write the templates a Final Cut Pro project uses into one zip");
    }
    QString description() const override
    {
        return QStringLiteral(
            "Writes every Motion template the project (.fcpxml or .fcpxmld) uses, except Final Cut Pro's own, into "
            "the zip FILE, at its path below the templates folder; mtzip install and the application install such "
            "a zip as it is. Templates that are not installed here are listed, and the exit status is then 1.");
    }
    std::optional<int> positionalCount() const override { return 1; }

    void addOptions(QCommandLineParser &parser) override
    {
        parser.addPositionalArgument(QStringLiteral("PROJECT"), QStringLiteral("A Final Cut Pro project (.fcpxml, .fcpxmld)."));
        parser.addOption(_output);
        parser.addOption(_dest);
    }

    int run(CliContext &context, const QCommandLineParser &parser) override
    {
        if (!parser.isSet(_output) || parser.value(_output).isEmpty()) {
            context.error(QStringLiteral("collect needs -o FILE.zip; see 'mtzip collect --help'"));
            return Cli::UsageError;
        }
        const QString path = parser.positionalArguments().constFirst();
        Expected<ProjectDocument> project = ProjectDocument::read(path);
        if (!project) {
            context.error(QStringLiteral("%1: cannot read the project: %2").arg(path, project.error().localizedDescription()));
            return Cli::UsageError;
        }
        ProjectCollect::Request request;
        request.userRoot = parser.isSet(_dest) ? QFileInfo(parser.value(_dest)).absoluteFilePath()
                                               : TemplateFolders::forThisUser();
        request.allUsersRoot = TemplateFolders::forAllUsers();
        request.output = parser.value(_output);

        CliProgress progress(context.err, QStringLiteral("Collecting"), context.drawsProgress());
        const ProjectCollect::Result result = ProjectCollect::collect(*project, request, &progress);
        progress.finish();
        if (result.error && result.error->isCancellation() && CliSignals::received()) {
            context.error(QStringLiteral("%1 by %2; no zip was written")
                              .arg(QLatin1String(CliSignals::received() == SIGINT ? "interrupted" : "terminated"),
                                   QLatin1String(CliSignals::name(CliSignals::received()))));
            context.signalReported = true;
            return Cli::Failure;
        }
        if (result.error) {
            context.error(QStringLiteral("%1; no zip was written").arg(result.error->localizedDescription()));
            return Cli::Failure;
        }
        for (const ProjectDocument::Template &t : result.missing)
            context.error(QStringLiteral("not installed here, left out: %1 (%2)").arg(t.location.folder(), t.name));
        for (const ProjectDocument::Refusal &r : result.refused)
            context.error(QStringLiteral("refused, left out: %1 (%2)").arg(r.uid, r.reason));
        for (const QString &link : result.skippedLinks)
            context.error(QStringLiteral("a link, left out: %1").arg(link));
        context.info(QStringLiteral("%1 into %2 (%3)")
                         .arg(cliPlural(result.collected.size(), "template", "templates"), request.output,
                              cliPlural(qsizetype(result.files), "file", "files")));
        return result.missing.empty() ? Cli::Success : Cli::Failure;
    }

private:
    QCommandLineOption _output{{QStringLiteral("o"), QStringLiteral("output")},
                               QStringLiteral("The zip to write (replaced when it exists)."), QStringLiteral("FILE")};
    QCommandLineOption _dest{QStringLiteral("dest"),
                             QStringLiteral("Read the templates from DIR instead of the user's Motion Templates folder."),
                             QStringLiteral("DIR")};
};

} // namespace

std::unique_ptr<CliCommand> makeCollectCommand()
{
    return std::make_unique<CollectCommand>();
}
