// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/CollectionOpener.h"

#include "Appearance/DarkAppearance.h"
#include "Collections/CollectionWindowController.h"
#include "Collections/EffectsTableModel.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "Collections/TemplateArchiveCollectionWindow.h"
#include "Common/DiagnosticLog.h"
#include "Common/LogCategories.h"
#include "Documents/CollectionOpeningRules.h"
#include "Installer/TemplateInstallerV2.h"
#include "Interface/Alert.h"
#include "Interface/BackgroundWork.h"
#include "Interface/OpenDialog.h"
#include "Interface/PasswordSheet.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <memory>

using CollectionOpeningRules::archiveFileName;

QList<TemplateArchiveCollection *> CollectionOpener::chooseAndOpen()
{
    const QList<QUrl> urls = OpenDialog::chooseTemplateArchives();
    if (urls.isEmpty())
        return {};
    return open(urls, true);
}

QList<TemplateArchiveCollection *> CollectionOpener::open(const QList<QUrl> &urls, bool mergeIntoOneCollection)
{
    QList<QUrl> openURLs;
    const QList<TemplateArchiveCollection *> open = TemplateArchiveCollectionController::sharedController().collections();
    for (const TemplateArchiveCollection *collection : open)
        openURLs += collection->archiveURLs();

    bool alreadyOpen = false;
    const QList<QUrl> accepted = CollectionOpeningRules::acceptedURLs(urls, openURLs, &alreadyOpen);
    QList<TemplateArchiveCollection *> result;
    if (mergeIntoOneCollection && !accepted.isEmpty()) {
        result.append(create(accepted));
    } else {
        for (const QUrl &url : accepted)
            result.append(create({url}));
    }
    if (alreadyOpen)
        bringForwardAlreadyOpen(urls, open);
    return result;
}

void CollectionOpener::bringForwardAlreadyOpen(const QList<QUrl> &urls,
                                               const QList<TemplateArchiveCollection *> &open)
{
    // Now, before any new window of the same request shows: those come up in
    // front once unpacked. One still unpacking shows when it has opened.
    QList<QPointer<TemplateArchiveCollection>> forward;
    for (TemplateArchiveCollection *collection : open) {
        if (std::any_of(urls.begin(), urls.end(),
                        [collection](const QUrl &url) { return collection->archiveURLs().contains(url); })) {
            collection->showWhenOpened();
            forward.append(collection);
        }
    }
    // The alert still says why no new window came, after the request has
    // returned and its window is on screen; once answered, the window that
    // holds the archive is the one in front again.
    QTimer::singleShot(0, qApp, [forward] {
        Alert::runModal(tr("Archive Already Open"),
                        tr("Some of the archives are already open in another window, you cannot open them in a "
                           "new window. Please close the other window, and try again."),
                        tr("Ok"));
        for (const QPointer<TemplateArchiveCollection> &collection : forward) {
            if (collection && collection->window()->isVisible()) {
                collection->window()->raise();
                collection->window()->activateWindow();
            }
        }
    });
}

namespace {
std::function<void()> &unpackHook()
{
    static std::function<void()> hook;
    return hook;
}
} // namespace

void CollectionOpener::setUnpackHook(std::function<void()> hook)
{
    unpackHook() = std::move(hook);
}

TemplateArchiveCollection *CollectionOpener::create(const QList<QUrl> &urls)
{
    auto *collection = new TemplateArchiveCollection(urls);
    QList<TemplateInstallerV2 *> added;
    for (const QUrl &url : urls) {
        if (TemplateInstallerV2 *installer = addInstaller(collection, url))
            added.append(installer);
    }
    list(collection, std::move(added));
    return collection;
}

TemplateInstallerV2 *CollectionOpener::addInstaller(TemplateArchiveCollection *collection, const QUrl &url)
{
    try {
        Expected<std::unique_ptr<TemplateInstallerV2>> installer =
            TemplateInstallerV2::open(url, TemplateInstaller::userDestMotionTemplatesFolder());
        if (installer) {
            TemplateInstallerV2 *added = installer->get();
            collection->document().addInstaller(std::move(*installer));
            added->setDelegate(collection);
            return added;
        }
        collection->_problems.append(
            tr("“%1” was not opened: %2.")
                .arg(archiveFileName(url), CollectionOpeningRules::refusalText(url, installer.error())));
    } catch (const std::exception &e) {
        MTI_DIAGNOSTIC(lcGui, QString::fromLocal8Bit(e.what()));
    }
    return nullptr;
}

void CollectionOpener::list(TemplateArchiveCollection *collection, QList<TemplateInstallerV2 *> added)
{
    struct Listing
    {
        bool complete = true;
        std::vector<bool> installed;
    };
    auto listing = std::make_shared<Listing>();
    const TemplateArchiveDocument *document = &collection->document();
    collection->runInBackground(
        TemplateArchiveCollection::Work::Opening,
        [added, document, listing](ProgressListener &, BackgroundWork &work) {
            for (TemplateInstallerV2 *installer : added) {
                work.setLabel(tr("Reading “%1”…").arg(archiveFileName(installer->archiveURL())));
                if (!installer->listArchive()) {
                    listing->complete = false;
                    return;
                }
            }
            work.setLabel(tr("Looking for installed templates…"));
            listing->installed = document->installedStates();
        },
        [collection, added, listing] {
            for (TemplateInstallerV2 *installer : added) {
                // Nothing to install from an empty one: no need for its files.
                if (listing->complete ? !installer->effects().empty() : true)
                    collection->_toUnpack.append(installer);
            }
            if (listing->complete) {
                collection->_unpacking = !collection->_toUnpack.isEmpty();
                collection->finishOpening(std::move(listing->installed));
                if (!collection->_unpacking)
                    return;
            }
            unpackNext(collection);
        });
}

void CollectionOpener::unpackNext(TemplateArchiveCollection *collection)
{
    if (collection->_toUnpack.isEmpty()) {
        if (collection->_opening) {
            lookForInstalled(collection);
            return;
        }
        // Whose copies the installed ones are shows from the archives'
        // files: looked at once more before what waited goes ahead.
        auto installed = std::make_shared<std::vector<bool>>();
        auto cancelled = std::make_shared<bool>(false);
        const TemplateArchiveDocument *document = &collection->document();
        collection->runInBackground(
            TemplateArchiveCollection::Work::Unpacking,
            [document, installed, cancelled](ProgressListener &, BackgroundWork &work) {
                work.setLabel(tr("Looking for installed templates…"));
                *installed = document->installedStates();
                *cancelled = work.isCancelled();
            },
            [collection, installed, cancelled] {
                collection->_unpacking = false;
                collection->view().applyInstalledStates(std::move(*installed));
                std::function<void()> waiting = std::exchange(collection->_whenUnpacked, {});
                if (waiting && !*cancelled)
                    waiting();
            });
        return;
    }
    unpackInstaller(collection, collection->_toUnpack.first(), false);
}

void CollectionOpener::unpackInstaller(TemplateArchiveCollection *collection, TemplateInstallerV2 *added,
                                       bool passwordGiven)
{
    // Unpacking thousands of templates takes seconds: on a worker, with the
    // window's event loop turning meanwhile.
    const bool listed = !collection->_opening;
    struct Result
    {
        bool done = false;
        bool cancelled = false;
    };
    auto result = std::make_shared<Result>();
    // Unpacked as a whole: the listing of an archive before it fell short.
    if (!listed && added->isListed())
        added->discardListing();
    collection->runInBackground(
        listed ? TemplateArchiveCollection::Work::Unpacking : TemplateArchiveCollection::Work::Opening,
        // The hook as it is now: the worker must not read what a later set changes.
        [added, result, listed, hook = listed ? unpackHook() : std::function<void()>(),
         label = tr("Unpacking “%1”…").arg(archiveFileName(added->archiveURL()))](ProgressListener &listener,
                                                                                   BackgroundWork &work) {
            work.setLabel(label);
            if (hook)
                hook();
            added->setProgressListener(&listener);
            result->done = listed ? added->unarchiveBesideListing() : added->unarchive();
            added->setProgressListener(nullptr);
            result->cancelled = work.isCancelled();
        },
        [collection, added, result, passwordGiven] {
            unpacked(collection, added, result->done, result->cancelled, passwordGiven);
        });
}

void CollectionOpener::unpacked(TemplateArchiveCollection *collection, TemplateInstallerV2 *added, bool done,
                                bool cancelled, bool passwordGiven)
{
    const bool listed = !collection->_opening;
    if (listed && cancelled) {
        // Someone waited and gave up: what waited does not run. Unless the
        // unpack got through first, the archive stays listed, unpacked again
        // when asked; the cancelled unpack left nothing behind.
        collection->_whenUnpacked = {};
        if (!done) {
            collection->_unpackCancelled = true;
            return;
        }
    }
    // The listed templates are read on this thread: they take their files here.
    if (done && listed && added->unpackedMatchesListing()) {
        done = added->adoptUnpacked();
    } else if (done && listed) {
        // The disk made one folder of names the directory keeps apart (they
        // differ only in case or Unicode form): its templates take the
        // listed rows' place, and what waited on those rows does not run.
        collection->_whenUnpacked = {};
        collection->view().tableModel()->reload([added] { added->adoptUnpacked(); });
        collection->_toUnpack.removeOne(added);
        collection->adjustInstallButtonState();
        if (collection->window()->isVisible()) {
            Alert::beginSheet(collection->window(), tr("The List of Templates Changed"),
                              tr("“%1” holds other templates than its list said: folders whose names differ only in "
                                 "case or in how an accented letter is stored are one folder on this disk, or the "
                                 "file changed after it was opened. The list now shows what will be installed. "
                                 "Nothing was installed.")
                                  .arg(archiveFileName(added->archiveURL())),
                              {tr("OK"), QString(), QString()});
        }
        unpackNext(collection);
        return;
    }
    if (!done && added->unarchiveNeedsPassword()) {
        askPassword(collection, added, passwordGiven);
        return;
    }
    collection->_toUnpack.removeOne(added);
    if (!done) {
        collection->_problems.append(
            tr("“%1” could not be unpacked: %2").arg(archiveFileName(added->archiveURL()), added->unarchiveError()));
        if (listed) {
            dropListed(collection, added);
            collection->showProblems();
        }
    } else if (listed) {
        collection->view().filesArrived();
    }
    unpackNext(collection);
}

void CollectionOpener::dropListed(TemplateArchiveCollection *collection, TemplateInstallerV2 *added)
{
    // What waited would act on templates no longer there.
    collection->_whenUnpacked = {};
    // Inside the reset: no row may point at the items while they go.
    collection->view().tableModel()->reload([added] { added->discardListing(); });
    collection->adjustInstallButtonState();
}

void CollectionOpener::askPassword(TemplateArchiveCollection *collection, TemplateInstallerV2 *added, bool retry)
{
    // The sheet belongs on the window the user asked for, empty as it still is.
    if (collection->_showWhenOpened) {
        DarkAppearance::apply(collection->window());
        collection->window()->show();
    }
    QPointer<TemplateArchiveCollection> alive(collection);
    PasswordSheet::begin(
        collection->window(), archiveFileName(added->archiveURL()), added->encryptedEntry(), retry,
        [alive, added](std::optional<QString> password) {
            if (!alive)
                return;
            if (password) {
                added->setPassword(*password);
                unpackInstaller(alive, added, true);
                return;
            }
            // Cancelled: the failed unpack left nothing behind, and the
            // user knows why this archive is not listed.
            alive->_toUnpack.removeOne(added);
            if (!alive->_opening)
                dropListed(alive, added);
            if (alive->_toUnpack.isEmpty() && !alive->document().hasUnpackedArchive() && alive->_problems.isEmpty()) {
                alive->close();
                return;
            }
            unpackNext(alive);
        });
}

void CollectionOpener::lookForInstalled(TemplateArchiveCollection *collection)
{
    // One look per template at the destination: thousands of folders.
    auto installed = std::make_shared<std::vector<bool>>();
    const TemplateArchiveDocument *document = &collection->document();
    collection->runInBackground(
        TemplateArchiveCollection::Work::Opening,
        [document, installed](ProgressListener &, BackgroundWork &work) {
            work.setLabel(tr("Looking for installed templates…"));
            *installed = document->installedStates();
        },
        [collection, installed] { collection->finishOpening(std::move(*installed)); });
}
