// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Collections/TemplateArchiveCollectionWindow.h"
#include "Documents/TemplateArchiveDocument.h"
#include "Installer/TemplateInstaller.h"
#include "Installer/TemplateInstallerDelegate.h"

#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class BackgroundWork;
class CollectionFlows;
class CollectionOpener;
class CollectionWindowController;
class EffectsFilterModel;
class EffectsTableModel;
class ProgressListener;
class TemplateInstallerV2;

// One window over one or more opened template archives: lists their
// templates and installs or removes them (all, or those selected) in the
// user's Motion Templates folder. The archives, installers and the work of
// the flows are the document's (TemplateArchiveDocument); the opening is
// CollectionOpener's, the window's contents CollectionWindowController's and
// the install and uninstall CollectionFlows'. This class holds them together
// and runs their work on a worker under a progress dialog, one piece at a
// time. A collection owns itself from construction until close(), which
// destroys it: it leaves the registry, its window goes away at once and its
// installers remove their unpack folders (and archives flagged for deletion)
// on a worker thread afterwards (DeferredCleanup).
//
// Opening lists the archives on a worker: the collection exists at once and
// emits opened() when its table is filled; the archives are unpacked in the
// background afterwards, and what needs their files waits for that
// (whenUnpacked()). Closing while work runs: the window's
// close is ignored and the user asked "Stop installing?"; Stop cancels,
// rolls back and then closes the window; Continue keeps it open. A close()
// while work runs cancels it and closes once the work has stopped. The
// registry signals lastCollectionClosed() once none is left.
class TemplateArchiveCollection : public QObject, public TemplateInstallerDelegate
{
    Q_OBJECT

public:
    // Lets the user choose archives and opens them into one collection; an
    // empty list when the user cancels or nothing could be opened.
    static QList<TemplateArchiveCollection *> openNewTemplateArchives();
    // Opens the *.mtzip URLs not open yet (one collection for all with
    // merge, else one each); the windows of archives open already come
    // forward instead.
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
    // Whether the archives are still being unpacked (opened() follows).
    bool isOpening() const { return _opening; }
    // Whether an install or uninstall runs now.
    bool isBusy() const;
    // Whether archives listed in the table are still being unpacked.
    bool isUnpacking() const { return _unpacking; }
    // Runs `action` once every archive is unpacked: at once when they are;
    // else the unpacking shows its progress until then, and a Cancel there
    // drops the action while the unpack goes on unseen. A failed unpack
    // drops it too.
    void whenUnpacked(std::function<void()> action);
    // Runs on a worker before each background unpack (tests slow it down).
    static void setUnpackHook(std::function<void()> hook);
    // Shows, raises and activates the window once the collection has opened.
    void showWhenOpened();
    const QList<QUrl> &archiveURLs() const { return _document->archiveURLs(); }
    const std::vector<std::unique_ptr<TemplateInstallerV2>> &templateInstallers() const
    {
        return _document->templateInstallers();
    }
    TemplateArchiveDocument &document() const { return *_document; }
    EffectsTableModel *tableModel() const;
    // What the table shows: the model sorted and searched.
    EffectsFilterModel *filterModel() const;
    // The templates selected in the table, in the archives' order.
    EffectTemplateItemList selectedEffects() const;

    // Destroys the collection at once; while work runs, cancels it and
    // destroys the collection once the work has rolled back.
    void close();

    // The status images of the "installed" column, 20 x 20.
    static const QPixmap &effectInstalledImage();
    static const QPixmap &effectNotInstalledImage();
    // Installed, but from another archive or another copy of this one.
    static const QPixmap &effectInstalledElsewhereImage();

    // What "Quit" after an installation does; QCoreApplication::quit unless
    // replaced (tests replace it).
    static void setTerminateHandler(std::function<void()> handler);

signals:
    // The archives are unpacked and the table filled (the window not shown).
    void opened();

public slots:
    void installForCurrentUser();
    void installSelected();
    // Ask "Uninstall N templates from Final Cut Pro's library?" first.
    void uninstallEffects();
    void uninstallSelected();
    // Shows the selected template's installed folder in the file manager.
    void revealSelected();

private:
    friend class CollectionFlows;
    friend class CollectionOpener;

    enum class Work { Opening, Unpacking, Install, Uninstall };
    using Job = std::function<void(ProgressListener &, BackgroundWork &)>;

    explicit TemplateArchiveCollection(const QList<QUrl> &sourceArchiveURLs);
    CollectionWindowController &view() const { return *_view; }
    // The table and the title once the archives are unpacked.
    void finishOpening(std::vector<bool> installedStates);
    // Runs `job` on a worker under the progress dialog (its label may be
    // set from the worker); `then` follows on this thread unless a close
    // came meanwhile, which is carried out instead.
    void runInBackground(Work kind, Job job, std::function<void()> then);
    void workEnded();
    // Archives refused or not unpacked, told in a sheet once the window shows.
    void showProblems();
    // Whether any archive gave templates; without, the window never shows.
    bool hasTemplates() const;
    // The problems in an alert of their own, instead of an empty window;
    // the collection closes once it is answered.
    void showProblemsAlone();
    // The window's close: false while busy (the user is asked instead).
    bool windowMayClose();

    std::unique_ptr<TemplateArchiveCollectionWindow> _window;
    std::unique_ptr<TemplateArchiveDocument> _document;
    std::unique_ptr<CollectionWindowController> _view;
    std::unique_ptr<CollectionFlows> _flows;
    QStringList _problems;
    QPointer<QObject> _problemsAlone;
    // The work running now: the unpacking while opening, an install or an uninstall.
    std::unique_ptr<BackgroundWork> _work;
    Work _workKind = Work::Opening;
    // The "Stop installing?" sheet while it is up: a second close asks nothing
    // more, and the work's end takes the sheet away.
    QPointer<QObject> _stopQuestion;
    bool _opening = true;
    bool _showWhenOpened = false;
    // The archives still to unpack, in order, and what waits for them.
    QList<TemplateInstallerV2 *> _toUnpack;
    bool _unpacking = false;
    // An unpack was cancelled with the window staying: the next
    // whenUnpacked() starts it again.
    bool _unpackCancelled = false;
    std::function<void()> _whenUnpacked;
    // A close waits for the work; runInBackground() carries it out instead of
    // `then` once the work has stopped.
    bool _closeRequested = false;
};
