// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/CollectionOpener.h"

#include "Appearance/DarkAppearance.h"
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

TemplateArchiveCollection *CollectionOpener::create(const QList<QUrl> &urls)
{
    auto *collection = new TemplateArchiveCollection(urls);
    unpack(collection, urls, 0);
    return collection;
}

void CollectionOpener::unpack(TemplateArchiveCollection *collection, QList<QUrl> urls, qsizetype index)
{
    if (index >= urls.size()) {
        lookForInstalled(collection);
        return;
    }
    const QUrl url = urls.at(index);
    TemplateInstallerV2 *added = nullptr;
    try {
        Expected<std::unique_ptr<TemplateInstallerV2>> installer =
            TemplateInstallerV2::open(url, TemplateInstaller::userDestMotionTemplatesFolder());
        if (installer) {
            added = installer->get();
            collection->document().addInstaller(std::move(*installer));
            added->setDelegate(collection);
        } else {
            collection->_problems.append(
                tr("“%1” was not opened: %2.")
                    .arg(archiveFileName(url), CollectionOpeningRules::refusalText(url, installer.error())));
        }
    } catch (const std::exception &e) {
        MTI_DIAGNOSTIC(lcGui, QString::fromLocal8Bit(e.what()));
    }
    if (!added) {
        unpack(collection, std::move(urls), index + 1);
        return;
    }
    unpackInstaller(collection, added, std::move(urls), index, false);
}

void CollectionOpener::unpackInstaller(TemplateArchiveCollection *collection, TemplateInstallerV2 *added,
                                       QList<QUrl> urls, qsizetype index, bool passwordGiven)
{
    const QUrl url = urls.at(index);
    // Unpacking and scanning thousands of templates takes seconds: on a
    // worker, with the window's event loop turning meanwhile.
    auto unpacked = std::make_shared<bool>(false);
    collection->runInBackground(
        TemplateArchiveCollection::Work::Opening,
        [added, unpacked, label = tr("Unpacking “%1”…").arg(archiveFileName(url))](ProgressListener &listener,
                                                                                    BackgroundWork &work) {
            work.setLabel(label);
            added->setProgressListener(&listener);
            *unpacked = added->unarchive();
            added->setProgressListener(nullptr);
        },
        [collection, added, unpacked, urls = std::move(urls), index, passwordGiven]() mutable {
            if (!*unpacked && added->unarchiveNeedsPassword()) {
                askPassword(collection, added, std::move(urls), index, passwordGiven);
                return;
            }
            if (!*unpacked) {
                collection->_problems.append(tr("“%1” could not be unpacked: %2")
                                                 .arg(archiveFileName(urls.at(index)), added->unarchiveError()));
            }
            unpack(collection, std::move(urls), index + 1);
        });
}

void CollectionOpener::askPassword(TemplateArchiveCollection *collection, TemplateInstallerV2 *added, QList<QUrl> urls,
                                   qsizetype index, bool retry)
{
    // The sheet belongs on the window the user asked for, empty as it still is.
    if (collection->_showWhenOpened) {
        DarkAppearance::apply(collection->window());
        collection->window()->show();
    }
    QPointer<TemplateArchiveCollection> alive(collection);
    // Named before the list moves into the answer's handler.
    const QString archiveName = archiveFileName(urls.at(index));
    PasswordSheet::begin(
        collection->window(), archiveName, added->encryptedEntry(), retry,
        [alive, added, urls = std::move(urls), index](std::optional<QString> password) mutable {
            if (!alive)
                return;
            if (password) {
                added->setPassword(*password);
                unpackInstaller(alive, added, std::move(urls), index, true);
                return;
            }
            // Cancelled: the failed unpack left nothing behind, and the
            // user knows why this archive is not listed.
            if (index + 1 >= urls.size() && !alive->document().hasUnpackedArchive() && alive->_problems.isEmpty()) {
                alive->close();
                return;
            }
            unpack(alive, std::move(urls), index + 1);
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
