// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Library/PreviewLoader.h"

#include <QImageReader>

namespace {

// Enough for several screens of rows; older requests are out of view.
constexpr size_t MaxBacklog = 256;

} // namespace

PreviewLoader::PreviewLoader(QSize thumbnailSize, QObject *parent)
    : QObject(parent)
    , _size(thumbnailSize)
    , _thread([this] { run(); })
{
}

PreviewLoader::~PreviewLoader()
{
    {
        std::lock_guard lock(_mutex);
        _stopping = true;
        _pending.clear();
        _queued.clear();
    }
    _wake.notify_all();
    _thread.join();
}

void PreviewLoader::request(const QString &folder)
{
    {
        std::lock_guard lock(_mutex);
        if (_queued.contains(folder))
            return;
        _pending.push_back(folder);
        _queued.insert(folder);
        while (_pending.size() > MaxBacklog) {
            _queued.remove(_pending.front());
            _pending.pop_front();
        }
    }
    _wake.notify_one();
}

void PreviewLoader::clearPending()
{
    std::lock_guard lock(_mutex);
    _pending.clear();
    _queued.clear();
}

QImage PreviewLoader::load(const QString &folder, QSize thumbnailSize)
{
    for (const char *name : {"preview.png", "preview.jpg", "small.png", "large.png"}) {
        QImageReader reader(folder + QLatin1Char('/') + QLatin1String(name));
        if (!reader.canRead())
            continue;
        // Large previews are decoded at about the thumbnail's size where the
        // format allows it (JPEG does), which is most of the cost saved.
        const QSize full = reader.size();
        if (full.isValid() && (full.width() > thumbnailSize.width() * 2 || full.height() > thumbnailSize.height() * 2))
            reader.setScaledSize(full.scaled(thumbnailSize * 2, Qt::KeepAspectRatio));
        const QImage image = reader.read();
        if (image.isNull())
            continue;
        return image.scaled(thumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return {};
}

void PreviewLoader::run()
{
    for (;;) {
        QString folder;
        {
            std::unique_lock lock(_mutex);
            _wake.wait(lock, [this] { return _stopping || !_pending.empty(); });
            if (_stopping)
                return;
            folder = _pending.back();
            _pending.pop_back();
        }
        const QImage thumbnail = load(folder, _size);
        {
            std::lock_guard lock(_mutex);
            // Asked again while it was read: the answer below serves both.
            _queued.remove(folder);
            if (_stopping)
                return;
        }
        emit loaded(folder, thumbnail);
    }
}
