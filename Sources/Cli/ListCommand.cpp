// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// list: the templates of archives, and whether they are installed.
#include "Cli/ArchiveCommand.h"
#include "Cli/Cli.h"
#include "Installer/TemplateInstallerV2.h"
#include "Metadata/ArchiveDocuments.h"
#include "ZipArchive/ZipEntryContents.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

namespace {

// Prints one table for every archive given, after the last one, so that
// the columns line up across archives; --json prints them per archive.
class ListCommand : public ArchiveCommand
{
public:
    QString name() const override { return QStringLiteral("list"); }
    QString summary() const override { return QStringLiteral("list the templates of template archives"); }
    QString description() const override
    {
        return QStringLiteral("Lists the templates of each archive, whether they are installed, and what their "
                              "documents say, read straight from the archive: marks N (needs a newer Final Cut Pro), "
                              "P (needs a plug-in), M (media missing), H (hidden), ? (details unavailable).");
    }

protected:
    bool judgesTemplates() const override { return true; }

    // Listing needs no file contents: the archive's directory says it all,
    // and nothing is written for a question.
    bool readArchive(Run &, TemplateInstallerV2 &installer) override { return installer.listArchive(); }

    Outcome handle(Run &run, TemplateInstallerV2 &installer, const QString &archive, QJsonObject &entry) override
    {
        QJsonArray templates;
        // The documents come from the archive itself: nothing is unpacked. An
        // archive whose entries cannot be read leaves every template's
        // details unavailable, and the listing goes on.
        // Over the entries the listing read: the directory is read once.
        std::unique_ptr<ZipEntryContents> listed = installer.takeListedContents();
        Expected<std::unique_ptr<ArchiveDocuments>> documents =
            listed ? ArchiveDocuments::over(std::move(listed)) : ArchiveDocuments::open(installer.archiveURL().toLocalFile());
        QStringList folders;
        for (const EffectTemplateItem *item : installer.effects())
            folders.append(item->relativeSourcePath());
        const std::vector<Expected<TemplateDocument>> read =
            documents ? (*documents)->readAll(folders)
                      : std::vector<Expected<TemplateDocument>>(size_t(folders.size()), Expected<TemplateDocument>(documents.error()));
        size_t index = 0;
        for (const EffectTemplateItem *item : installer.effects()) {
            ++run.number;
            const bool installed = item->isInstalledInDestRootFolder(run.root);
            const Expected<TemplateDocument> &document = read.at(index++);
            const TemplateMarks::Judgement judgement = TemplateMarks::judge(document, run.finalCut);
            QJsonObject object = templateJson(run.number, *item);
            object[QStringLiteral("installed")] = installed;
            CliDocuments::addFields(object, document, judgement);
            templates.append(object);
            _rows.append({QString::number(run.number), installed ? QStringLiteral("yes") : QStringLiteral("-"),
                          CliDocuments::marksColumn(judgement),
                          item->category().isNull() ? QStringLiteral("-") : item->category(), item->title(),
                          item->relativeDestinationPath()});
        }
        entry[QStringLiteral("templates")] = templates;
        // Not a failure (nothing went wrong), but the user should know that
        // an install would put nothing in place.
        if (installer.effects().empty() && !run.json)
            run.context.error(QStringLiteral("%1: no templates found").arg(archive));
        return Outcome::Done;
    }

    void finish(Run &run) override
    {
        if (_rows.isEmpty())
            return;
        const Row header{QStringLiteral("#"), QStringLiteral("Installed"), QStringLiteral("Marks"),
                         QStringLiteral("Category"), QStringLiteral("Title"), QStringLiteral("Destination")};
        qsizetype widths[5] = {header.number.size(), header.installed.size(), header.marks.size(),
                               header.category.size(), header.title.size()};
        for (const Row &row : std::as_const(_rows)) {
            widths[0] = qMax(widths[0], row.number.size());
            widths[1] = qMax(widths[1], row.installed.size());
            widths[2] = qMax(widths[2], row.marks.size());
            widths[3] = qMax(widths[3], row.category.size());
            widths[4] = qMax(widths[4], row.title.size());
        }
        QTextStream &out = run.context.out;
        // Numbers right-aligned so that they line up by their last digit;
        // the destination last and unpadded, as it may hold blanks.
        const auto print = [&](const Row &row) {
            out << row.number.rightJustified(widths[0]) << "  " << row.installed.leftJustified(widths[1]) << "  "
                << row.marks.leftJustified(widths[2]) << "  " << row.category.leftJustified(widths[3]) << "  "
                << row.title.leftJustified(widths[4]) << "  " << row.destination << '\n';
        };
        print(header);
        for (const Row &row : std::as_const(_rows))
            print(row);
        // One Cli may run the command again: its next table starts empty.
        _rows.clear();
    }

private:
    struct Row
    {
        QString number, installed, marks, category, title, destination;
    };
    QList<Row> _rows;
};

} // namespace

std::unique_ptr<CliCommand> makeListCommand()
{
    return std::make_unique<ListCommand>();
}
