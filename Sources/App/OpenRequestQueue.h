// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>

// The platform's requests to open files (file-open events, the command
// line): the paths of one turn of the event loop are opened together, and a
// path that arrives both ways is opened once.
class OpenRequestQueue : public QObject
{
    Q_OBJECT

public:
    // `open` gets each batch of paths.
    OpenRequestQueue(std::function<void(const QStringList &paths)> open, QObject *parent = nullptr);

    // Paths from the command line, which the platform may pass on again as
    // file-open events.
    void queueLaunchArguments(const QStringList &paths);
    // A file-open event's path.
    void queueOpenEvent(const QString &path);
    // Opens what is queued, at once.
    void openPending();
    // A request to open files came: the launch was made to open files.
    bool launchedWithOpenFile() const { return _launchedWithOpenFile; }
    void setLaunchedWithOpenFile() { _launchedWithOpenFile = true; }

private:
    void queue(const QString &path);

    std::function<void(const QStringList &)> _open;
    QStringList _pending;
    QStringList _launchArguments;
    bool _launchedWithOpenFile = false;
};
