// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Interface/PreviewLoader.h"

#include <QFutureWatcher>
#include <QImageReader>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

class PreviewLoader::Running
{
public:
    QString folder;
    QFutureWatcher<Loaded> watcher;
};

PreviewLoader::PreviewLoader(Sizes sizes, Limits limits, QObject *parent)
    : QObject(parent)
    , _sizes(sizes)
    , _limits(limits)
{
}

PreviewLoader::~PreviewLoader()
{
    // Cleared first: nothing more starts while the running reads are waited for.
    _pending.clear();
    for (const std::unique_ptr<Running> &running : _running) {
        running->watcher.disconnect(this);
        running->watcher.waitForFinished();
    }
}

void PreviewLoader::request(const QString &folder)
{
    if (_queued.contains(folder))
        return;
    _pending.push_back(folder);
    _queued.insert(folder);
    while (_limits.backlog > 0 && _pending.size() > size_t(_limits.backlog)) {
        _queued.remove(_pending.front());
        _pending.pop_front();
    }
    startNext();
}

void PreviewLoader::clearPending()
{
    for (const QString &folder : _pending)
        _queued.remove(folder);
    _pending.clear();
}

void PreviewLoader::startNext()
{
    while (!_pending.empty() && int(_running.size()) < std::max(1, _limits.concurrent)) {
        auto running = std::make_unique<Running>();
        running->folder = _pending.back();
        _pending.pop_back();
        Running *started = running.get();
        connect(&started->watcher, &QFutureWatcherBase::finished, this, [this, started] { finished(started); });
        started->watcher.setFuture(QtConcurrent::run(&PreviewLoader::read, started->folder, _sizes));
        _running.push_back(std::move(running));
    }
}

void PreviewLoader::finished(Running *running)
{
    const auto it = std::find_if(_running.begin(), _running.end(),
                                 [running](const std::unique_ptr<Running> &r) { return r.get() == running; });
    if (it == _running.end())
        return;
    std::unique_ptr<Running> done = std::move(*it);
    _running.erase(it);
    // Asked again while it was read: this answer serves both.
    _queued.remove(done->folder);
    const Loaded images = done->watcher.result();
    startNext();
    emit loaded(done->folder, images.thumbnail, images.preview);
}

QImage PreviewLoader::load(const QString &folder, QSize size)
{
    for (const char *name : {"preview.png", "preview.jpg", "small.png", "large.png"}) {
        QImageReader reader(folder + QLatin1Char('/') + QLatin1String(name));
        // EXIF orientation applied, as the file manager shows the image.
        reader.setAutoTransform(true);
        if (!reader.canRead())
            continue;
        // Large previews are decoded at about twice the size needed where the
        // format allows it (JPEG does), which is most of the cost saved.
        const QSize full = reader.size();
        if (full.isValid() && (full.width() > size.width() * 2 || full.height() > size.height() * 2))
            reader.setScaledSize(full.scaled(size * 2, Qt::KeepAspectRatio));
        const QImage image = reader.read();
        if (image.isNull())
            continue;
        return image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return {};
}

PreviewLoader::Loaded PreviewLoader::read(const QString &folder, Sizes sizes)
{
    Loaded loaded;
    if (!sizes.preview.isValid()) {
        loaded.thumbnail = load(folder, sizes.thumbnail);
        return loaded;
    }
    // The thumbnail from the preview: one read of the file for both.
    loaded.preview = load(folder, sizes.preview);
    if (!loaded.preview.isNull())
        loaded.thumbnail = loaded.preview.scaled(sizes.thumbnail, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return loaded;
}
