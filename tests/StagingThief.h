// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <thread>

// Someone who can write into a templates folder and watches it: every
// staging folder (".mti-stage-*") an install makes or moves into `folder`
// is renamed away (to `away`-1, `away`-2, ...) the moment it appears, and a
// symbolic link to `target` put in its place. Linux only (inotify);
// elsewhere it never watches.
class StagingThief
{
public:
    StagingThief(const QString &folder, const QString &away, const QString &target);
    ~StagingThief();
    StagingThief(const StagingThief &) = delete;
    StagingThief &operator=(const StagingThief &) = delete;

    bool isWatching() const { return _thread.joinable(); }
    // Waits for the watcher to end; how many staging folders it swapped.
    int stop();

private:
    void run();
    void swap(const char *name);

    QByteArray _folder;
    QByteArray _away;
    QByteArray _target;
    int _inotify = -1;
    int _wake = -1;
    std::atomic<int> _swaps{0};
    std::thread _thread;
};
