// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Interface/DocumentLoader.h"

#include "Common/UserSettings.h"
#include "Metadata/FinalCutVersions.h"

#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>

DocumentLoader::DocumentLoader(QObject *parent)
    : QObject(parent)
{
    _pool.setMaxThreadCount(1);
    connect(&_finalCutWatcher, &QFutureWatcherBase::finished, this, [this] {
        if (!_finalCutWatcher.isCanceled())
            emit finalCutFound(_finalCutWatcher.result());
    });
}

void DocumentLoader::findFinalCut()
{
    // On macOS this asks Launch Services and reads bundles: not on the GUI thread.
    _finalCutWatcher.setFuture(QtConcurrent::run(&_pool, [] {
        return FinalCutVersions::effectiveVersion(UserSettings::finalCutVersionOverride());
    }));
}

DocumentLoader::~DocumentLoader()
{
    cancel();
    _pool.waitForDone();
}

DocumentLoader::Document DocumentLoader::read(const QString &folder)
{
    if (folder.isEmpty())
        return nullptr;
    return std::make_shared<const Expected<TemplateDocument>>(TemplateDocument::readFolder(folder));
}

void DocumentLoader::load(const QStringList &folders)
{
    cancel();
    if (folders.isEmpty()) {
        emit finished();
        return;
    }
    // A new watcher per load: answers of the one cancelled can no longer
    // arrive under this load's indexes.
    _watcher = std::make_unique<QFutureWatcher<Document>>();
    QFutureWatcher<Document> *watcher = _watcher.get();
    connect(watcher, &QFutureWatcherBase::resultsReadyAt, this, [this, watcher](int begin, int end) {
        for (int index = begin; index < end; ++index)
            emit loaded(index, watcher->resultAt(index));
    });
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        if (!watcher->isCanceled())
            emit finished();
    });
    watcher->setFuture(QtConcurrent::mapped(&_pool, folders, &DocumentLoader::read));
}

void DocumentLoader::cancel()
{
    if (!_watcher)
        return;
    _watcher->disconnect(this);
    _watcher->cancel();
    _watcher.reset();
}

bool DocumentLoader::isLoading() const
{
    return _watcher && _watcher->isRunning();
}
