// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QList>
#include <QUrl>

#include <vector>

class TemplateArchiveCollection;

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
    static void lookForInstalled(TemplateArchiveCollection *collection);
    // Tells, on a later turn of the event loop, that some of `urls` are
    // open already; then brings their windows forward.
    static void tellAlreadyOpen(const QList<QUrl> &urls, const QList<TemplateArchiveCollection *> &open);
};
