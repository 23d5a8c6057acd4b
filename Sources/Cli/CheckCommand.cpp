// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// check: whether the templates Final Cut Pro projects use are installed, and
// which archives provide the missing ones.
#include "Cli/Cli.h"
#include "Cli/CliJson.h"
#include "Cli/CliLibraryCommand.h"
#include "Common/FileNames.h"
#include "Common/UserSettings.h"
#include "Installer/TemplateFolders.h"
#include "Metadata/ArchiveSearch.h"
#include "Metadata/FinalCutVersions.h"
#include "Metadata/ProjectCheck.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTextStream>

namespace {

using CliJson::nullable;
using ProjectCheck::Finding;

// Options of mtzip itself, and check's own: never handed on to install.
const QStringList NotForInstall{QStringLiteral("search"),  QStringLiteral("fcp-version"), QStringLiteral("install"),
                                QStringLiteral("json"),    QStringLiteral("q"),           QStringLiteral("quiet"),
                                QStringLiteral("v"),       QStringLiteral("verbose"),     QStringLiteral("h"),
                                QStringLiteral("help")};

// One word for what a template's state means to the user, worst first.
QString stateName(const Finding &finding)
{
    if (finding.state == ProjectCheck::State::Missing)
        return QStringLiteral("missing");
    if (finding.tooNew)
        return QStringLiteral("too-new");
    if (!finding.plugIns.empty())
        return QStringLiteral("needs-plug-in");
    if (finding.hidden)
        return QStringLiteral("hidden");
    return QStringLiteral("installed");
}

// "Titles" and "ZT Lower Thirds" of "Titles.localized/ZT Lower Thirds/LT_Name":
// what to look for when no archive here has it.
QString kindOf(const QString &folder)
{
    QString kind = folder.section(QLatin1Char('/'), 0, 0);
    if (kind.endsWith(QLatin1String(".localized")))
        kind.chop(10);
    return kind;
}

QString categoryOf(const QString &folder)
{
    const QStringList parts = folder.split(QLatin1Char('/'));
    return parts.size() > 2 ? parts.at(1) : QString();
}

QStringList clipsOf(const ProjectDocument::Template &t)
{
    QStringList clips;
    for (const ProjectDocument::Use &use : t.uses) {
        const QString where = use.container.isEmpty() ? use.project : QLatin1Char('[') + use.container + QLatin1Char(']');
        clips.append(where + QLatin1Char('/') + use.clip);
    }
    return clips;
}

// One project argument: read, and checked once the archives are known.
struct Checked
{
    QString path;
    std::optional<ProjectDocument> document;
    QString error;
    ProjectCheck::Result result;
};

// Checks each project against the templates folders: a template is
// installed, hidden, too new for this Final Cut Pro, needs a plug-in, or is
// missing, and for a missing one the archives that provide it (those the
// receipts remember, the .mtzip files of Downloads, of the folders set in
// the application and of --search) are named. --install installs those, as
// install would, with its options.
class CheckCommand : public CliCommand
{
public:
    QString name() const override { return QStringLiteral("check"); }
    QString synopsis() const override { return QStringLiteral("PROJECT..."); }
    QString summary() const override
    {
        return QStringLiteral("tell which templates Final Cut Pro projects use and which are missing");
    }
    QString description() const override
    {
        return QStringLiteral(
            "Lists the Motion templates each project (.fcpxml or .fcpxmld) uses, whether each is installed, and for "
            "each missing one the archive that provides it: one the receipts remember, or a .mtzip in Downloads, in "
            "the folders set in the application, or in --search folders. Exit status 0 when nothing is missing, 1 "
            "when something is, 2 when a project cannot be read.");
    }
    std::optional<int> positionalCount() const override { return std::nullopt; }

    void addOptions(QCommandLineParser &parser) override
    {
        // install's options (destination, categories, Trash, replacing) for
        // --install, and its --json; the projects take the archives' place.
        _install->addOptions(parser);
        parser.clearPositionalArguments();
        parser.addPositionalArgument(QStringLiteral("PROJECT..."), QStringLiteral("Final Cut Pro projects (.fcpxml, .fcpxmld)."));
        parser.addOption(_search);
        // install already offers --fcp-version; _finalCut only looks it up.
        parser.addOption(_installMissing);
    }

    int run(CliContext &context, const QCommandLineParser &parser) override
    {
        const QString finalCutText =
            parser.isSet(_finalCut) ? parser.value(_finalCut) : UserSettings::finalCutVersionOverride();
        if (parser.isSet(_finalCut) && !FinalCutVersions::parse(finalCutText)) {
            context.error(QStringLiteral("--fcp-version \"%1\" is not a version such as 11.1").arg(finalCutText));
            return Cli::UsageError;
        }
        if (parser.isSet(QStringLiteral("dest")) && parser.isSet(QStringLiteral("all-users"))) {
            context.error(QStringLiteral("--dest and --all-users exclude each other"));
            return Cli::UsageError;
        }
        ProjectCheck::Request request;
        request.userRoot = parser.isSet(QStringLiteral("dest"))
            ? QFileInfo(parser.value(QStringLiteral("dest"))).absoluteFilePath()
            : TemplateFolders::forThisUser();
        request.allUsersRoot = TemplateFolders::forAllUsers();
        request.finalCut = FinalCutVersions::effectiveVersion(finalCutText);
        // Archives are read by the prefixes install would read them by.
        if (parser.isSet(QStringLiteral("categories"))) {
            const QString plist = parser.value(QStringLiteral("categories"));
            if (!QFileInfo(plist).isFile()) {
                context.error(QStringLiteral("categories list \"%1\" does not exist").arg(plist));
                return Cli::UsageError;
            }
            _categories = Categories::fromFile(plist);
        }

        bool unreadable = false;
        std::vector<Checked> projects;
        for (const QString &path : parser.positionalArguments()) {
            Checked checked{path, std::nullopt, QString(), {}};
            Expected<ProjectDocument> document = ProjectDocument::read(path);
            if (document) {
                checked.document = std::move(*document);
            } else {
                checked.error = document.error().localizedDescription();
                context.error(QStringLiteral("%1: cannot read the project: %2").arg(path, checked.error));
                unreadable = true;
            }
            projects.push_back(std::move(checked));
        }

        const QStringList archives = checkAll(projects, request, parser);
        QJsonObject installed;
        int installExit = Cli::Success;
        if (parser.isSet(_installMissing)) {
            const QStringList chosen = archivesToInstall(projects);
            if (!chosen.isEmpty()) {
                installExit = install(context, parser, chosen, &installed);
                // Checked again: the answer is what is there now.
                for (Checked &checked : projects)
                    if (checked.document)
                        checked.result = ProjectCheck::check(*checked.document, request);
                provide(projects, templateFolders(archives));
            }
        }

        bool missing = false;
        for (const Checked &checked : projects)
            missing = missing || checked.result.anythingMissing();
        if (parser.isSet(QStringLiteral("json"))) {
            QJsonObject document = CliJson::document(name(), request.userRoot);
            document.insert(QStringLiteral("allUsersDestination"), nullable(request.allUsersRoot));
            document.insert(QStringLiteral("finalCutVersion"),
                            request.finalCut ? QJsonValue(request.finalCut->toString()) : QJsonValue(QJsonValue::Null));
            document.insert(QStringLiteral("archivesSearched"), QJsonArray::fromStringList(archives));
            QJsonArray list;
            for (const Checked &checked : projects)
                list.append(projectJson(checked));
            document.insert(QStringLiteral("projects"), list);
            document.insert(QStringLiteral("missing"), missing);
            if (parser.isSet(_installMissing))
                document.insert(QStringLiteral("install"), installed);
            context.out << QJsonDocument(document).toJson(QJsonDocument::Indented);
        } else {
            for (const Checked &checked : projects)
                if (checked.document)
                    printProject(context, checked, projects.size() > 1);
        }
        context.out.flush();
        if (unreadable)
            return Cli::UsageError;
        if (missing || installExit != Cli::Success)
            return Cli::Failure;
        return Cli::Success;
    }

private:
    // Resolves every readable project; the archives are looked for only
    // when something is missing. Answers the archives searched.
    QStringList checkAll(std::vector<Checked> &projects, const ProjectCheck::Request &request,
                         const QCommandLineParser &parser) const
    {
        QSet<QString> missingFolders;
        for (Checked &checked : projects) {
            if (!checked.document)
                continue;
            checked.result = ProjectCheck::check(*checked.document, request);
            for (const Finding &finding : checked.result.templates)
                if (finding.state == ProjectCheck::State::Missing)
                    missingFolders.insert(FileNames::comparable(finding.project.location.folder()));
        }
        if (missingFolders.isEmpty())
            return {};
        QStringList archives = ArchiveSearch::rememberedArchives({request.userRoot, request.allUsersRoot}, missingFolders);
        for (const QString &archive : ArchiveSearch::archivesIn(ArchiveSearch::defaultFolders() + parser.values(_search)))
            if (!archives.contains(archive))
                archives.append(archive);
        provide(projects, templateFolders(archives));
        return archives;
    }

    QHash<QString, QStringList> templateFolders(const QStringList &archives) const
    {
        // Listing writes nothing, and where templates go below a root does not
        // depend on the root: any existing folder serves.
        return archives.isEmpty() ? QHash<QString, QStringList>()
                                  : ProjectCheck::templateFoldersOf(archives, QDir::tempPath(), _categories);
    }

    static void provide(std::vector<Checked> &projects, const QHash<QString, QStringList> &provided)
    {
        for (Checked &checked : projects)
            for (Finding &finding : checked.result.templates)
                if (finding.state == ProjectCheck::State::Missing)
                    finding.providers = provided.value(FileNames::comparable(finding.project.location.folder()));
    }

    // The first archive providing each missing template, each archive once.
    static QStringList archivesToInstall(const std::vector<Checked> &projects)
    {
        QStringList chosen;
        for (const Checked &checked : projects)
            for (const Finding &finding : checked.result.templates)
                if (finding.state == ProjectCheck::State::Missing && !finding.providers.isEmpty()
                    && !chosen.contains(finding.providers.constFirst()))
                    chosen.append(finding.providers.constFirst());
        return chosen;
    }

    // install, run on the chosen archives with the options it shares with
    // check; with --json its document goes into check's.
    int install(CliContext &context, const QCommandLineParser &parser, const QStringList &archives,
                QJsonObject *json)
    {
        QStringList arguments{QStringLiteral("mtzip install")};
        for (const QString &option : parser.optionNames()) {
            if (NotForInstall.contains(option))
                continue;
            const QStringList values = parser.values(option);
            if (values.isEmpty())
                arguments.append(QStringLiteral("--") + option);
            for (const QString &value : values)
                arguments.append(QStringLiteral("--") + option + QLatin1Char('=') + value);
        }
        const bool asJson = parser.isSet(QStringLiteral("json"));
        if (asJson)
            arguments.append(QStringLiteral("--json"));
        arguments.append(QStringLiteral("--"));
        arguments += archives;

        std::unique_ptr<CliCommand> command = makeInstallCommand();
        QCommandLineParser installParser;
        installParser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        command->addOptions(installParser);
        if (!installParser.parse(arguments)) {
            context.error(installParser.errorText());
            return Cli::UsageError;
        }
        if (!asJson)
            return command->run(context, installParser);
        QString captured;
        QTextStream out(&captured);
        CliContext inner{out, context.err, context.errIsTerminal, true, false};
        const int exitCode = command->run(inner, installParser);
        out.flush();
        *json = QJsonDocument::fromJson(captured.toUtf8()).object();
        context.signalReported = context.signalReported || inner.signalReported;
        return exitCode;
    }

    static QJsonObject projectJson(const Checked &checked)
    {
        QJsonObject object{{QStringLiteral("project"), checked.path},
                           {QStringLiteral("error"), nullable(checked.error.isEmpty() ? QString() : checked.error)}};
        if (!checked.document)
            return object;
        object.insert(QStringLiteral("fcpxmlVersion"), checked.document->version);
        QJsonArray templates;
        for (const Finding &finding : checked.result.templates) {
            const ProjectDocument::Template &t = finding.project;
            QJsonArray plugIns;
            for (const TemplateDocument::PlugIn &plugIn : finding.plugIns)
                plugIns.append(QJsonObject{{QStringLiteral("name"), plugIn.name}, {QStringLiteral("uuid"), plugIn.uuid}});
            templates.append(QJsonObject{
                {QStringLiteral("name"), t.name},
                {QStringLiteral("uid"), t.uid},
                {QStringLiteral("root"), t.location.root == ProjectDocument::Root::User ? QStringLiteral("user")
                                                                                        : QStringLiteral("all-users")},
                {QStringLiteral("folder"), t.location.folder()},
                {QStringLiteral("kind"), kindOf(t.location.folder())},
                {QStringLiteral("category"), categoryOf(t.location.folder())},
                {QStringLiteral("state"), stateName(finding)},
                {QStringLiteral("uses"), qint64(t.uses.size())},
                {QStringLiteral("clips"), QJsonArray::fromStringList(clipsOf(t))},
                {QStringLiteral("projects"), QJsonArray::fromStringList(t.projects)},
                {QStringLiteral("installedFolder"), nullable(finding.installedFolder)},
                {QStringLiteral("archive"), nullable(finding.archiveTitle)},
                {QStringLiteral("handCopy"), finding.handCopy},
                {QStringLiteral("hidden"), finding.hidden},
                {QStringLiteral("tooNew"), finding.tooNew},
                {QStringLiteral("plugIns"), plugIns},
                {QStringLiteral("providers"), QJsonArray::fromStringList(finding.providers)}});
        }
        object.insert(QStringLiteral("templates"), templates);
        QJsonArray own;
        for (const ProjectDocument::Template &t : checked.result.finalCutTemplates)
            own.append(QJsonObject{{QStringLiteral("name"), t.name},
                                   {QStringLiteral("uid"), t.uid},
                                   {QStringLiteral("uses"), qint64(t.uses.size())}});
        object.insert(QStringLiteral("finalCutTemplates"), own);
        QJsonArray refused;
        for (const ProjectDocument::Refusal &r : checked.result.refused)
            refused.append(QJsonObject{{QStringLiteral("name"), r.name},
                                       {QStringLiteral("uid"), r.uid},
                                       {QStringLiteral("reason"), r.reason},
                                       {QStringLiteral("uses"), r.uses}});
        object.insert(QStringLiteral("refused"), refused);
        return object;
    }

    // A table per project: state, uses, the template folder, and where it
    // comes from or can be had; the clips using it below.
    static void printProject(CliContext &context, const Checked &checked, bool named)
    {
        QTextStream &out = context.out;
        if (named)
            out << checked.path << ":\n";
        qsizetype width = 0;
        for (const Finding &finding : checked.result.templates)
            width = qMax(width, finding.project.location.folder().size());
        qsizetype missing = 0;
        qsizetype found = 0;
        for (const Finding &finding : checked.result.templates) {
            const ProjectDocument::Template &t = finding.project;
            const QString folder = t.location.folder();
            QString source;
            if (finding.state == ProjectCheck::State::Missing) {
                ++missing;
                if (!finding.providers.isEmpty()) {
                    ++found;
                    source = QStringLiteral("in ") + finding.providers.constFirst();
                } else {
                    source = QStringLiteral("found nowhere: \"%1\" (%2, %3)").arg(t.name, kindOf(folder), categoryOf(folder));
                }
            } else {
                source = finding.handCopy ? QStringLiteral("a hand copy") : QStringLiteral("from ") + finding.archiveTitle;
                if (finding.tooNew && !finding.requirement.finalCut.isNull())
                    source += QStringLiteral("; needs Final Cut Pro %1").arg(finding.requirement.finalCut.toString());
                QStringList plugIns;
                for (const TemplateDocument::PlugIn &plugIn : finding.plugIns)
                    plugIns.append(plugIn.name);
                if (!plugIns.isEmpty())
                    source += QStringLiteral("; plug-ins: ") + plugIns.join(QStringLiteral(", "));
            }
            out << stateName(finding).leftJustified(14) << cliPlural(qsizetype(t.uses.size()), "use", "uses").leftJustified(9)
                << folder.leftJustified(width + 2) << source << '\n';
            out << "    " << clipsOf(t).join(QStringLiteral(", ")) << '\n';
        }
        for (const ProjectDocument::Template &t : checked.result.finalCutTemplates)
            out << QStringLiteral("final-cut").leftJustified(14) << cliPlural(qsizetype(t.uses.size()), "use", "uses").leftJustified(9)
                << t.name << '\n';
        for (const ProjectDocument::Refusal &r : checked.result.refused)
            out << QStringLiteral("refused").leftJustified(14) << cliPlural(r.uses, "use", "uses").leftJustified(9)
                << r.uid << "  (" << r.reason << ")\n";
        const qsizetype total = qsizetype(checked.result.templates.size());
        out << cliPlural(total, "template", "templates") << ": " << (total - missing) << " installed, " << missing
            << " missing";
        if (missing > 0)
            out << " (" << found << " in archives found here)";
        out << '\n';
    }

    std::unique_ptr<CliCommand> _install = makeInstallCommand();
    Categories _categories = Categories::shipped();
    QCommandLineOption _search{QStringLiteral("search"),
                               QStringLiteral("Also look for missing templates in the .mtzip files of DIR (or in the archive DIR names)."),
                               QStringLiteral("DIR")};
    QCommandLineOption _finalCut{QStringLiteral("fcp-version"),
                                 QStringLiteral("Judge templates against Final Cut Pro X.Y instead of the installed one."),
                                 QStringLiteral("X.Y")};
    QCommandLineOption _installMissing{QStringLiteral("install"),
                                       QStringLiteral("Install the archives that provide missing templates (with install's options).")};
};

} // namespace

std::unique_ptr<CliCommand> makeCheckCommand()
{
    return std::make_unique<CheckCommand>();
}
