// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Installer/TemplateInstaller.h"
#include "Collections/TemplateArchiveCollectionWindow.h"
#include "Installer/TemplateInstallerDelegate.h"

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class BackgroundWork;
class EffectsTableModel;
class TemplateInstallerV2;

enum EffectSearchOption : quint64 {
    EffectSearchAll = 0,
    EffectSearchInstalled = 1,
    EffectSearchNotInstalled = 2,
};

// One window over one or more opened template archives: lists their
// templates and installs or removes them in the user's Motion Templates
// folder. A collection owns itself from construction until close(), which
// destroys it: it leaves the registry, its window goes away at once and its
// installers remove their unpack folders (and archives flagged for deletion)
// on a worker thread afterwards (DeferredCleanup).
//
// Closing while an install or uninstall runs: the window's close is ignored
// and the user asked "Stop installing?"; Stop cancels, rolls back and then
// closes the window; Continue keeps it open. isBusy() says whether such work
// runs. The registry signals lastCollectionClosed() once none is left.
class TemplateArchiveCollection : public QObject, public TemplateInstallerDelegate
{
    Q_OBJECT

public:
    // Lets the user choose archives and opens them into one collection; an
    // empty list when the user cancels or nothing could be opened.
    static QList<TemplateArchiveCollection *> openNewTemplateArchives();
    // Opens the *.mtzip URLs not open yet (one collection for all with
    // merge, else one each); archives open already are told to the user in
    // an "Archive Already Open" alert on a later turn of the event loop.
    // `error` is never written; it is there for callers that show one.
    static QList<TemplateArchiveCollection *> templateArchivesFromURLs(const QList<QUrl> &urls,
                                                                      bool mergeIntoOneCollection,
                                                                      std::optional<Error> *error = nullptr);

    ~TemplateArchiveCollection() override;

    EffectTemplateItemList effectsWithSearchOption(quint64 option) const;
    void adjustInstallButtonState();

    TemplateArchiveCollectionWindow *window() const;
    // Whether an install or uninstall runs now.
    bool isBusy() const { return _activeWork != nullptr; }
    const QList<QUrl> &archiveURLs() const { return _sourceArchiveURLs; }
    const std::vector<std::unique_ptr<TemplateInstallerV2>> &templateInstallers() const { return _templateInstallers; }
    EffectsTableModel *tableModel() const { return _tableModel; }

    // Destroys the collection at once; while busy, cancels the work and
    // destroys it once the work has rolled back.
    void close();

    // The status images of the "installed" column, 20 x 20.
    static const QPixmap &effectInstalledImage();
    static const QPixmap &effectNotInstalledImage();

    // What "Quit" after an installation does; QCoreApplication::quit unless
    // replaced (tests replace it).
    static void setTerminateHandler(std::function<void()> handler);

public slots:
    void installForCurrentUser();
    // Asks "Uninstall N templates from Final Cut Pro's library?" first.
    void uninstallEffects();

private:
    TemplateArchiveCollection();
    static TemplateArchiveCollection *_initWithSourceArchiveURLs(const QList<QUrl> &sourceArchiveURLs);
    std::vector<std::unique_ptr<TemplateInstallerV2>> _createTemplateInstallersWithSourceArchiveURLs(
        const QList<QUrl> &sourceArchiveURLs);
    void finishInit();
    void reloadTable();
    // Archives refused or not unpacked, told in a sheet once the window shows.
    void showProblems();
    void reportInstallationCompleted(int newlyInstalled, const QList<quint64> &kinds);
    void uninstallNow();
    // The window's close: false while busy (the user is asked instead).
    bool windowMayClose();
    // Runs `step` on each installer in turn, under one progress dialog
    // labelled by labelFormat with the archive's title, until it answers
    // false. Answers whether the collection is still open (a close asked
    // for meanwhile is carried out here).
    // `step` runs on a worker thread, with the installer's progress listener set.
    bool runWithProgress(bool installing, const QString &labelFormat,
                         const std::function<bool(TemplateInstallerV2 &)> &step);

    std::unique_ptr<TemplateArchiveCollectionWindow> _window;
    EffectsTableModel *_tableModel = nullptr;
    QList<QUrl> _sourceArchiveURLs;
    std::vector<std::unique_ptr<TemplateInstallerV2>> _templateInstallers;
    QStringList _problems;
    // Installers whose every template an install of this collection put in place.
    QSet<const TemplateInstaller *> _completelyInstalled;
    // Set while an install or uninstall runs on its worker thread.
    BackgroundWork *_activeWork = nullptr;
    // The unpacking while the collection is made: a close meanwhile (a quit,
    // a signal) cancels it, and the collection goes once it has stopped.
    BackgroundWork *_openingWork = nullptr;
    QPointer<QObject> _stopQuestion;
    bool _activeWorkIsInstall = false;
    bool _closeRequested = false;
};
