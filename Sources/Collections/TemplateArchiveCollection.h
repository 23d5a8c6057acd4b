// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Collections/TemplateArchiveDocument.h"
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
class EffectsFilterModel;
class EffectsTableModel;
class ProgressListener;
class QPoint;
class TemplateInstallerV2;

// One window over one or more opened template archives: lists their
// templates and installs or removes them (all, or those selected) in the
// user's Motion Templates folder. The archives, installers and the work of
// the flows are the document's (TemplateArchiveDocument); this class runs
// that work on worker threads under a progress dialog, and asks and tells
// the user in sheets. A collection owns itself from construction until
// close(), which destroys it: it leaves the registry, its window goes away at
// once and its installers remove their unpack folders (and archives flagged
// for deletion) on a worker thread afterwards (DeferredCleanup).
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
    // The status line and the buttons, from the destination folder as it is
    // now (asked on this thread). The flows hand in what their worker saw
    // instead.
    void adjustInstallButtonState();

    TemplateArchiveCollectionWindow *window() const;
    // Whether an install or uninstall runs now.
    bool isBusy() const { return _activeWork != nullptr; }
    const QList<QUrl> &archiveURLs() const { return _document->archiveURLs(); }
    const std::vector<std::unique_ptr<TemplateInstallerV2>> &templateInstallers() const
    {
        return _document->templateInstallers();
    }
    TemplateArchiveDocument &document() const { return *_document; }
    EffectsTableModel *tableModel() const { return _tableModel; }
    // What the table shows: the model sorted and searched.
    EffectsFilterModel *filterModel() const { return _filterModel; }
    // The templates selected in the table, in the archives' order.
    EffectTemplateItemList selectedEffects() const;

    // Destroys the collection at once; while busy, cancels the work and
    // destroys it once the work has rolled back.
    void close();

    // The status images of the "installed" column, 20 x 20.
    static const QPixmap &effectInstalledImage();
    static const QPixmap &effectNotInstalledImage();
    // Installed, but from another archive or another copy of this one.
    static const QPixmap &effectInstalledElsewhereImage();

    // What "Quit" after an installation does; QCoreApplication::quit unless
    // replaced (tests replace it).
    static void setTerminateHandler(std::function<void()> handler);

public slots:
    void installForCurrentUser();
    void installSelected();
    // Ask "Uninstall N templates from Final Cut Pro's library?" first.
    void uninstallEffects();
    void uninstallSelected();
    // Shows the selected template's installed folder in the file manager.
    void revealSelected();

private:
    TemplateArchiveCollection();
    static TemplateArchiveCollection *_initWithSourceArchiveURLs(const QList<QUrl> &sourceArchiveURLs);
    // Unpacks each archive on a worker; answers what installedStates() saw
    // there afterwards.
    std::vector<bool> _createTemplateInstallersWithSourceArchiveURLs(const QList<QUrl> &sourceArchiveURLs);
    void finishInit(std::vector<bool> installedStates);
    void setUpTable();
    // Archives refused or not unpacked, told in a sheet once the window shows.
    void showProblems();
    void install(const TemplateArchiveDocument::Selection &selection);
    void installNow(const TemplateArchiveDocument::Selection &selection);
    void askToReplace(const TemplateArchiveDocument::Selection &selection, const QStringList &edited,
                      const QStringList &foreign);
    static QString someOf(const QStringList &titles);
    void reportInstallationCompleted(int newlyInstalled, const QList<quint64> &kinds);
    void askToUninstall(const TemplateArchiveDocument::Selection &selection);
    void uninstallNow(const TemplateArchiveDocument::Selection &selection);
    // The marks, the status line and the buttons from what a worker saw.
    void applyInstalledStates(std::vector<bool> states);
    void showCounts();
    void updateSelectionControls();
    void showPreview();
    void showContextMenu(const QPoint &position);
    void revealInFileManager(const EffectTemplateItem *item);
    // The window's close: false while busy (the user is asked instead).
    bool windowMayClose();
    // Runs `work` on a worker thread under one progress dialog (its label
    // may be set from the worker). Answers whether the collection is still
    // open (a close asked for meanwhile is carried out here).
    bool runWithProgress(bool installing, const QString &label,
                         const std::function<void(ProgressListener &, BackgroundWork &)> &work);

    std::unique_ptr<TemplateArchiveCollectionWindow> _window;
    std::unique_ptr<TemplateArchiveDocument> _document;
    EffectsTableModel *_tableModel = nullptr;
    EffectsFilterModel *_filterModel = nullptr;
    QStringList _problems;
    // Set while an install or uninstall runs on its worker thread.
    BackgroundWork *_activeWork = nullptr;
    // The unpacking while the collection is made: a close meanwhile (a quit,
    // a signal) cancels it, and the collection goes once it has stopped.
    BackgroundWork *_openingWork = nullptr;
    QPointer<QObject> _stopQuestion;
    bool _activeWorkIsInstall = false;
    int _lastKept = 0;  // copies the last install left as they were
    bool _closeRequested = false;
};
