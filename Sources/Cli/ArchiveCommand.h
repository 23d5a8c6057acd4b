// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Cli/CliCommand.h"
#include "Cli/CliDestination.h"
#include "Cli/CliDocuments.h"
#include "Cli/CliLockWait.h"
#include "Installer/Categories.h"
#include "Installer/TemplateTransaction.h"

#include <QCommandLineOption>
#include <QJsonArray>
#include <QJsonObject>

#include <chrono>
#include <optional>

class EffectTemplateItem;
class TemplateInstallerV2;

// What list, install and uninstall share: the destination, the categories,
// and the loop over the archive arguments. Each archive is checked for
// being readable, opened through TemplateInstallerV2 exactly as in the
// application, unpacked or only listed (readArchive), handed to the command
// (handle) and reported; the exit status says whether all went well. With
// --json one document on stdout gathers every archive's entry.
class ArchiveCommand : public CliCommand
{
public:
    QString synopsis() const override { return QStringLiteral("ARCHIVE..."); }
    std::optional<int> positionalCount() const override { return std::nullopt; }

    void addOptions(QCommandLineParser &parser) override;
    int run(CliContext &context, const QCommandLineParser &parser) override;

protected:
    enum class Outcome { Done, Failed, Stopped };

    // One run over all the archive arguments: what the options said, and
    // what runs on from one archive to the next.
    struct Run
    {
        CliContext &context;
        const QCommandLineParser &parser;
        QString root;
        Categories categories{};
        bool json = false;
        TemplateTransaction::Disposal disposal = TemplateTransaction::Disposal::Delete;
        std::optional<std::chrono::milliseconds> lockWait = std::nullopt;
        int number = 0;  // running template number over every archive
        // The Final Cut Pro templates are judged against, for the commands
        // that judge them; nullopt when none is known.
        std::optional<QVersionNumber> finalCut = std::nullopt;
    };

    virtual void addOwnOptions(QCommandLineParser &) {}
    // Whether the command reads templates' documents and judges them
    // against a Final Cut Pro (--fcp-version).
    virtual bool judgesTemplates() const { return false; }
    // A dry run: not even a killed run's leftovers are dealt with.
    virtual bool changesNothing(const QCommandLineParser &) const { return false; }
    // Unpacks the archive, or only reads its directory where no file
    // contents are needed; false says why through the installer.
    // (list and uninstall only list: a pack of hundreds of megabytes is
    // then never unpacked for them.)
    virtual bool readArchive(Run &run, TemplateInstallerV2 &installer);
    // Works on one unpacked archive; fills in its JSON entry.
    virtual Outcome handle(Run &run, TemplateInstallerV2 &installer, const QString &archive, QJsonObject &entry) = 0;
    // After the last archive, without --json.
    virtual void finish(Run &) {}

    // Told once, as the last line, when a signal stopped the work.
    static void reportSignal(CliContext &context, const QString &what);
    static QJsonObject templateJson(int number, const EffectTemplateItem &item);
    // "LT_Other" or "a hand copy", for a kept copy's owner.
    static QString ownerText(const QString &owner);
    // The copies an install or uninstall left alone, as its report lists
    // them: owners of the edited ones first.
    struct Kept
    {
        QStringList edited;
        QStringList foreign;
        QStringList owners;
    };
    // Tells of the kept copies; false when there were any.
    static bool reportKept(CliContext &context, const QString &archive, const Kept &kept, const char *editedHint);
    static QJsonArray keptJson(const Kept &kept);

    // Declared here for install and uninstall, added by them alone: list
    // never removes anything.
    QCommandLineOption _trash{QStringLiteral("trash"),
                              QStringLiteral("Move what is removed or replaced to the Trash instead of deleting it.")};
    CliLockWait _lockWait;

private:
    // The options every archive shares; an exit code when they are wrong.
    std::optional<int> readOptions(Run &run);
    // One archive from its argument to its outcome.
    Outcome process(Run &run, const QString &archive, QJsonObject &entry);

    CliDestination _destination;
    CliFinalCut _finalCut;
    // For archives with prefixes the shipped list does not know yet.
    QCommandLineOption _categories{QStringLiteral("categories"),
                                   QStringLiteral("Read category prefixes from PLIST (XML or binary)."),
                                   QStringLiteral("PLIST")};
    QCommandLineOption _json{QStringLiteral("json"),
                             QStringLiteral("Print one JSON document on stdout instead of lines for people.")};
};
