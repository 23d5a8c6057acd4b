// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

// Reads the preview images of template folders on a thread of its own and
// scales them to thumbnails. The newest request is served first, so while a
// table scrolls the rows in view come before those scrolled past; requests
// beyond the backlog's limit are forgotten (the view asks again when it
// shows them). loaded() arrives on the thread that owns the loader.
class PreviewLoader : public QObject
{
    Q_OBJECT

public:
    explicit PreviewLoader(QSize thumbnailSize, QObject *parent = nullptr);
    // Waits for the image being read, if any; the backlog is dropped.
    ~PreviewLoader() override;

    // The preview of the template folder: the first of its preview images
    // that reads ("preview.png", "preview.jpg", "small.png", "large.png"),
    // as the archive's templates show theirs. A folder asked for twice
    // before it is served is read once.
    void request(const QString &folder);
    void clearPending();

    // Reads and scales one folder's preview on the calling thread; a null
    // image when the folder has none.
    static QImage load(const QString &folder, QSize thumbnailSize);

signals:
    // A null image: the folder has no readable preview.
    void loaded(const QString &folder, const QImage &thumbnail);

private:
    void run();

    const QSize _size;
    std::mutex _mutex;
    std::condition_variable _wake;
    std::deque<QString> _pending;  // newest at the back
    QSet<QString> _queued;
    bool _stopping = false;
    std::thread _thread;
};
