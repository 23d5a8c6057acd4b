// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "App/OpenRequestQueue.h"

#include <QTimer>

OpenRequestQueue::OpenRequestQueue(std::function<void(const QStringList &)> open, QObject *parent)
    : QObject(parent)
    , _open(std::move(open))
{
}

void OpenRequestQueue::queueLaunchArguments(const QStringList &paths)
{
    for (const QString &path : paths) {
        _launchArguments.append(path);
        queue(path);
    }
}

void OpenRequestQueue::queueOpenEvent(const QString &path)
{
    // A path from the command line that the platform passes on as well is
    // opened once.
    if (!_launchArguments.removeOne(path))
        queue(path);
}

void OpenRequestQueue::openPending()
{
    const QStringList paths = std::exchange(_pending, {});
    _open(paths);
}

void OpenRequestQueue::queue(const QString &path)
{
    if (path.isEmpty() || _pending.contains(path))
        return;
    // Known at once, so a launch made to open files shows no start window;
    // the files of one turn of the event loop open together.
    _launchedWithOpenFile = true;
    if (_pending.isEmpty())
        QTimer::singleShot(0, this, &OpenRequestQueue::openPending);
    _pending.append(path);
}
