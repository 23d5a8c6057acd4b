// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "StagingThief.h"

#include <QFile>

#include <cstdio>
#include <cstring>

#include <unistd.h>

#if defined(Q_OS_LINUX)
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#endif

StagingThief::StagingThief(const QString &folder, const QString &away, const QString &target)
    : _folder(QFile::encodeName(folder))
    , _away(QFile::encodeName(away))
    , _target(QFile::encodeName(target))
{
#if defined(Q_OS_LINUX)
    _inotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    _wake = ::eventfd(0, EFD_CLOEXEC);
    if (_inotify < 0 || _wake < 0 || ::inotify_add_watch(_inotify, _folder.constData(), IN_CREATE | IN_MOVED_TO) < 0)
        return;
    _thread = std::thread([this] { run(); });
#endif
}

StagingThief::~StagingThief()
{
    stop();
    if (_inotify >= 0)
        ::close(_inotify);
    if (_wake >= 0)
        ::close(_wake);
}

int StagingThief::stop()
{
    if (_thread.joinable()) {
        const quint64 one = 1;
        if (::write(_wake, &one, sizeof one) == sizeof one)
            _thread.join();
        else
            _thread.detach();
    }
    return _swaps.load();
}

void StagingThief::run()
{
#if defined(Q_OS_LINUX)
    alignas(struct inotify_event) char buffer[16 * 1024];
    for (;;) {
        struct pollfd fds[2] = {{_inotify, POLLIN, 0}, {_wake, POLLIN, 0}};
        if (::poll(fds, 2, 1000) < 0 || (fds[1].revents & POLLIN))
            return;
        const ssize_t n = ::read(_inotify, buffer, sizeof buffer);
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const struct inotify_event *>(buffer + at);
            // Folders only, made or moved in: the links put in their place come as IN_CREATE too.
            if ((event->mask & IN_ISDIR) && event->len > 0 && std::strncmp(event->name, ".mti-stage-", 11) == 0)
                swap(event->name);
            at += ssize_t(sizeof(struct inotify_event) + event->len);
        }
    }
#endif
}

void StagingThief::swap(const char *name)
{
    const QByteArray staging = _folder + '/' + name;
    const QByteArray away = _away + '-' + QByteArray::number(_swaps.load() + 1);
    if (::rename(staging.constData(), away.constData()) != 0)
        return;
    if (::symlink(_target.constData(), staging.constData()) == 0)
        ++_swaps;
}
