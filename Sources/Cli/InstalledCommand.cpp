// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// mtzip installed: every template in the templates folder, whoever put it
// there, or with --archives one line per archive its receipts name.
#include "Cli/Cli.h"
#include "Cli/CliDocuments.h"
#include "Cli/CliJson.h"
#include "Cli/CliLibraryCommand.h"
#include "Common/ByteSize.h"
#include "Installer/InstalledArchives.h"
#include "Installer/TemplateLibrary.h"
#include "Installer/TemplateType.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

namespace {

using TemplateLibrary::InstalledTemplate;

// Minutes are enough to tell installs apart; seconds only widen the table.
QString localTime(const QDateTime &time)
{
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QStringLiteral("-");
}

// The document of an installed template, with what it means here.
struct Judged
{
    Expected<TemplateDocument> document;
    TemplateMarks::Judgement judgement;
};

Judged judge(const QString &root, const InstalledTemplate &item, const std::optional<QVersionNumber> &finalCut)
{
    Expected<TemplateDocument> document = TemplateDocument::readFolder(root + QLatin1Char('/') + item.destination);
    TemplateMarks::Judgement judgement = TemplateMarks::judge(document, finalCut);
    return {std::move(document), std::move(judgement)};
}

QJsonObject templateJson(const InstalledTemplate &item, const Judged &judged)
{
    // null, not an empty object: "no receipt names it" is a fact scripts test for.
    const QJsonValue origin = item.originArchiveTitle.isNull()
        ? QJsonValue(QJsonValue::Null)
        : QJsonValue(QJsonObject{{QStringLiteral("archiveTitle"), item.originArchiveTitle},
                                 {QStringLiteral("archivePath"), item.originArchivePath}});
    QJsonObject object{{QStringLiteral("destination"), item.destination},
                       {QStringLiteral("type"), qint64(item.templateType)},
                       {QStringLiteral("kind"), TemplateType::kindName(item.templateType)},
                       {QStringLiteral("categoryFolder"), item.categoryFolder},
                       {QStringLiteral("category"), CliJson::nullable(item.category)},
                       {QStringLiteral("title"), item.title},
                       {QStringLiteral("templateFile"), item.templateFile},
                       {QStringLiteral("size"), item.size},
                       // UTC for programs; the table shows local time for people.
                       {QStringLiteral("installedAt"), item.installedAt.toUTC().toString(Qt::ISODate)},
                       {QStringLiteral("origin"), origin}};
    CliDocuments::addFields(object, judged.document, judged.judgement);
    return object;
}

// Lists what is on disk, receipts or not: hand copies are the ones people
// lose track of. Each folder is read once, sizes taken as it is listed, so
// it stays fast on a folder of ten thousand templates.
class InstalledCommand : public LibraryCommand
{
public:
    QString name() const override { return QStringLiteral("installed"); }
    QString synopsis() const override { return QString(); }
    QString summary() const override
    {
        return QStringLiteral("list every template (or archive) in the templates folder");
    }
    QString description() const override
    {
        return QStringLiteral("Lists every template installed in the templates folder, by kind and category, "
                              "with the archive it came from where a receipt says so and the marks of what its "
                              "document says (N, P, M, H, ?: as list shows them); with --archives, one line "
                              "per archive the receipts name.");
    }
    std::optional<int> positionalCount() const override { return 0; }

protected:
    void addOwnOptions(QCommandLineParser &parser) override
    {
        parser.addOption(_archives);
        _finalCut.addOption(parser);
    }

    int runIn(CliContext &context, const QCommandLineParser &parser, const QString &root, bool json) override
    {
        std::optional<QVersionNumber> finalCut;
        if (!_finalCut.read(context, parser, &finalCut))
            return Cli::UsageError;
        if (parser.isSet(_archives))
            return listArchives(context, root, json);
        const std::vector<InstalledTemplate> installed = TemplateLibrary::scan(root);
        if (json) {
            QJsonArray templates;
            for (const InstalledTemplate &item : installed)
                templates.append(templateJson(item, judge(root, item, finalCut)));
            QJsonObject document = CliJson::document(name(), root);
            document.insert(QStringLiteral("templates"), templates);
            print(context, document);
        } else {
            printTemplates(context, root, installed, finalCut);
        }
        return Cli::Success;
    }

private:
    static void printTemplates(CliContext &context, const QString &root,
                               const std::vector<InstalledTemplate> &installed,
                               const std::optional<QVersionNumber> &finalCut)
    {
        if (installed.empty()) {
            context.info(QStringLiteral("No templates installed in %1").arg(root));
            return;
        }
        QList<QStringList> rows{{QStringLiteral("Kind"), QStringLiteral("Marks"), QStringLiteral("Title"), QStringLiteral("Size"),
                                 QStringLiteral("Installed"), QStringLiteral("Origin"), QStringLiteral("Destination")}};
        qsizetype unknown = 0;
        for (const InstalledTemplate &item : installed) {
            unknown += item.originArchiveTitle.isNull() ? 1 : 0;
            rows.append({TemplateType::kindName(item.templateType),
                         CliDocuments::marksColumn(judge(root, item, finalCut).judgement),
                         item.title.isEmpty() ? QStringLiteral("-") : item.title, ByteSize::forDisplay(item.size),
                         localTime(item.installedAt),
                         item.originArchiveTitle.isNull() ? QStringLiteral("(unknown)") : item.originArchiveTitle,
                         item.destination});
        }
        cliPrintTable(context.out, rows);
        // Hand copies are what uninstall will not touch: worth a count of their own.
        context.info(QStringLiteral("%1 in %2, %3 of unknown origin")
                         .arg(cliPlural(qsizetype(installed.size()), "template", "templates"), root)
                         .arg(unknown));
    }

    int listArchives(CliContext &context, const QString &root, bool json) const
    {
        QStringList unreadable;
        const std::vector<Receipt> receipts = InstalledArchives::receipts(root, &unreadable);
        // A receipt that cannot be read leaves its archive out of the list.
        for (const QString &path : std::as_const(unreadable))
            context.error(QStringLiteral("the receipt %1 cannot be read; its archive is not listed").arg(path));
        if (json) {
            QJsonArray archives;
            for (const Receipt &receipt : receipts) {
                QJsonObject archive = CliJson::archive(receipt);
                archive.insert(QStringLiteral("templateCount"), qint64(receipt.templates.size()));
                archives.append(archive);
            }
            QJsonObject document = CliJson::document(name(), root);
            document.insert(QStringLiteral("archives"), archives);
            document.insert(QStringLiteral("unreadableReceipts"), QJsonArray::fromStringList(unreadable));
            print(context, document);
        } else if (receipts.empty()) {
            context.info(QStringLiteral("No receipts of installed archives in %1").arg(root));
        } else {
            QList<QStringList> rows{{QStringLiteral("Archive"), QStringLiteral("Templates"),
                                     QStringLiteral("Installed"), QStringLiteral("Path")}};
            for (const Receipt &receipt : receipts) {
                rows.append({receipt.archiveTitle, QString::number(receipt.templates.size()),
                             localTime(receipt.installedAt),
                             receipt.archivePath.isEmpty() ? QStringLiteral("-") : receipt.archivePath});
            }
            cliPrintTable(context.out, rows);
            context.info(QStringLiteral("%1 in %2").arg(cliPlural(qsizetype(receipts.size()), "archive", "archives"),
                                                        root));
        }
        // A list missing an archive is not the whole answer, however well printed.
        return unreadable.isEmpty() ? Cli::Success : Cli::Failure;
    }

    CliFinalCut _finalCut;
    // From the receipts only: quick, and what uninstall would take by name.
    QCommandLineOption _archives{QStringLiteral("archives"),
                                 QStringLiteral("List one line per installed archive instead of every template.")};
};

} // namespace

std::unique_ptr<CliCommand> makeInstalledCommand()
{
    return std::make_unique<InstalledCommand>();
}
