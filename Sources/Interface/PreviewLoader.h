// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QString>

#include <deque>
#include <memory>

// Reads the preview images of template folders off the GUI thread and
// scales them for the tables: a thumbnail, and a larger preview when one is
// asked for. The newest request is served first, so while a table scrolls
// the rows in view come before those scrolled past. loaded() arrives on the
// GUI thread.
class PreviewLoader : public QObject
{
    Q_OBJECT

public:
    struct Sizes
    {
        QSize thumbnail;
        // Invalid: no preview beside the thumbnail.
        QSize preview;
    };
    struct Limits
    {
        // Loads running at once: two keep the disk busy without taking the
        // cores from the window.
        int concurrent = 1;
        // Requests beyond it are forgotten, oldest first (the view asks again
        // when it shows them); 0 keeps every request.
        int backlog = 0;
    };

    PreviewLoader(Sizes sizes, Limits limits, QObject *parent = nullptr);
    // Waits for the images being read, if any; the backlog is dropped.
    ~PreviewLoader() override;

    // A folder asked for twice before it is served is read once.
    void request(const QString &folder);
    void clearPending();

    // The first of the folder's preview images that reads ("preview.png",
    // "preview.jpg", "small.png", "large.png"), as the archive's templates
    // show theirs, scaled to fit `size`; a null image when it has none.
    static QImage load(const QString &folder, QSize size);

signals:
    // Null images: the folder has no readable preview.
    void loaded(const QString &folder, const QImage &thumbnail, const QImage &preview);

private:
    struct Loaded
    {
        QImage thumbnail;
        QImage preview;
    };
    class Running;

    static Loaded read(const QString &folder, Sizes sizes);
    void startNext();
    void finished(Running *running);

    const Sizes _sizes;
    const Limits _limits;
    std::deque<QString> _pending;  // newest at the back
    QSet<QString> _queued;
    std::vector<std::unique_ptr<Running>> _running;
};
