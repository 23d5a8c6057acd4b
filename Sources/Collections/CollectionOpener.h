// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QList>
#include <QUrl>

#include <vector>

class TemplateArchiveCollection;
class TemplateInstallerV2;

// Opens template archives into collections: from the open dialog or from
// URLs, refusing those open already (their windows come forward), one
// collection for all or one each; then unpacks each collection's archives
// one after another on a worker and looks for their installed templates.
class CollectionOpener
{
    Q_DECLARE_TR_FUNCTIONS(TemplateArchiveCollection)

public:
    static QList<TemplateArchiveCollection *> chooseAndOpen();
    static QList<TemplateArchiveCollection *> open(const QList<QUrl> &urls, bool mergeIntoOneCollection);

private:
    static TemplateArchiveCollection *create(const QList<QUrl> &urls);
    // Unpacks urls[index] and then the rest, one run at a time.
    static void unpack(TemplateArchiveCollection *collection, QList<QUrl> urls, qsizetype index);
    // Unpacks one archive's installer on a worker; asks for a password when
    // its entries need one (again after a wrong one), then goes on.
    static void unpackInstaller(TemplateArchiveCollection *collection, TemplateInstallerV2 *added, QList<QUrl> urls,
                                qsizetype index, bool passwordGiven);
    static void askPassword(TemplateArchiveCollection *collection, TemplateInstallerV2 *added, QList<QUrl> urls,
                            qsizetype index, bool retry);
    static void lookForInstalled(TemplateArchiveCollection *collection);
    // Brings forward the windows that show some of `urls` already, as a
    // document opened twice does: no question, no second window.
    static void bringForwardAlreadyOpen(const QList<QUrl> &urls, const QList<TemplateArchiveCollection *> &open);
};
