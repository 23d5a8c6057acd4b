// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Documents/TemplateArchiveDocument.h"
#include "Metadata/FinalCutVersions.h"

#include <QCoreApplication>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVersionNumber>

#include <functional>
#include <optional>

class TemplateArchiveCollection;

// A collection's install and uninstall: what is asked before (replace the
// user's copies? uninstall N templates?), the work on a worker under the
// progress dialog, and what is told after (completed, cancelled, failed,
// delete the archive?). Answers come from sheets, so every step goes on
// from the event loop.
class CollectionFlows : public QObject
{
    Q_DECLARE_TR_FUNCTIONS(TemplateArchiveCollection)

public:
    using Selection = TemplateArchiveDocument::Selection;

    explicit CollectionFlows(TemplateArchiveCollection &collection);

    // Asks first when templates of the selection are too new for this
    // Mac's Final Cut Pro: Install Anyway, Skip Those (the rest are
    // installed) or Cancel (nothing changes).
    void install(const Selection &selection);
    // Asks "Uninstall N templates from Final Cut Pro's library?" first.
    void askToUninstall(const Selection &selection);

    // What "Quit" after an installation does; QCoreApplication::quit unless
    // replaced (tests replace it).
    static void setTerminateHandler(std::function<void()> handler);

    // "3 templates need Final Cut Pro 11.1 or later; this Mac has 10.8":
    // the question before installing templates too new for `finalCut`,
    // naming the newest requirement among them.
    static QString tooNewQuestion(int count, const FinalCutVersions::Requirement &newest, const QVersionNumber &finalCut);

private:
    // What the gate found: the templates of the selection too new for the
    // version judged against, and the newest requirement among them.
    struct TooNew
    {
        std::optional<QVersionNumber> finalCut;
        QList<const EffectTemplateItem *> items;
        QStringList titles;
        FinalCutVersions::Requirement newest;
        bool cancelled = false;
    };
    // Each step below ends by opening a sheet or starting work; the next
    // runs from the answer or the work's end, never nested inside it.
    void askAboutTooNew(const Selection &selection, const TooNew &tooNew);
    void installNow(const Selection &selection);
    void askToReplace(const Selection &selection, const QStringList &edited, const QStringList &foreign);
    void installed(const Selection &selection, const TemplateArchiveDocument::InstallOutcome &outcome);
    void offerToDeleteArchives(const TemplateArchiveDocument::InstallOutcome &outcome);
    void reportInstallationCompleted(int newlyInstalled, const QList<quint64> &kinds);
    void confirmUninstall(const Selection &selection, const TemplateArchiveDocument::Conflicts &conflicts);
    void uninstallNow(const Selection &selection);
    void reportUninstalled(const TemplateArchiveDocument::UninstallOutcome &outcome);
    QString uninstalledText(const TemplateArchiveDocument::UninstallOutcome &outcome) const;
    int installedCount(const Selection &selection) const;
    // "Ok" where the alert has always said so, else "OK".
    void sheet(const QString &title, const QString &text, const QString &button = {});
    // Names a few of the templates, and how many more there are.
    static QString someOf(const QStringList &titles);

    TemplateArchiveCollection &_collection;
    int _lastKept = 0;  // copies the last install left as they were
    // The Final Cut Pro the last install or uninstall found running (its
    // bundle identifier), for the report that follows; usually none.
    QString _runningFinalCut;
};
