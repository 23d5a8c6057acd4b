// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QList>
#include <QUrl>

#include <functional>
#include <vector>

class TemplateArchiveCollection;
class TemplateInstallerV2;

// Opens template archives into collections: from the open dialog or from
// URLs, refusing those open already (their windows come forward), one
// collection for all or one each. Each collection's archives are listed
// from their directories on a worker, and the window opens on that list;
// the archives are then unpacked one after another in the background, and
// what needs their files waits for it (TemplateArchiveCollection::whenUnpacked).
// An archive whose directory cannot be listed is unpacked before the
// window opens, as the unpack tells best why it fails.
class CollectionOpener
{
    Q_DECLARE_TR_FUNCTIONS(TemplateArchiveCollection)

public:
    static QList<TemplateArchiveCollection *> chooseAndOpen();
    static QList<TemplateArchiveCollection *> open(const QList<QUrl> &urls, bool mergeIntoOneCollection);
    // Goes on with the archives still to unpack (after a cancelled wait).
    static void unpackNext(TemplateArchiveCollection *collection);
    // Runs on the worker before each background unpack (tests slow it down).
    static void setUnpackHook(std::function<void()> hook);

private:
    static TemplateArchiveCollection *create(const QList<QUrl> &urls);
    static TemplateInstallerV2 *addInstaller(TemplateArchiveCollection *collection, const QUrl &url);
    // Lists every archive from its directory, then opens the window.
    static void list(TemplateArchiveCollection *collection, QList<TemplateInstallerV2 *> added);
    // Unpacks one archive's installer on a worker; asks for a password when
    // its entries need one (again after a wrong one), then goes on. While
    // the collection opens, the installer unpacks as a whole; afterwards its
    // listed templates take their files once all of them are there.
    static void unpackInstaller(TemplateArchiveCollection *collection, TemplateInstallerV2 *added, bool passwordGiven);
    static void unpacked(TemplateArchiveCollection *collection, TemplateInstallerV2 *added, bool done, bool cancelled,
                         bool passwordGiven);
    static void askPassword(TemplateArchiveCollection *collection, TemplateInstallerV2 *added, bool retry);
    // A listed archive that cannot be unpacked leaves the table.
    static void dropListed(TemplateArchiveCollection *collection, TemplateInstallerV2 *added);
    static void lookForInstalled(TemplateArchiveCollection *collection);
    // Brings forward the windows that show some of `urls` already, as a
    // document opened twice does: no question, no second window.
    static void bringForwardAlreadyOpen(const QList<QUrl> &urls, const QList<TemplateArchiveCollection *> &open);
};
