// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Documents/DeferredCleanup.h"

#include "Installer/TemplateInstallerV2.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>

#include <atomic>
#include <list>
#include <thread>

namespace DeferredCleanup {

namespace {

struct State
{
    QMutex mutex;
    std::list<std::thread> threads;
    std::atomic<int> pending{0};
};

State &state()
{
    static State s;
    return s;
}

} // namespace

void discard(std::vector<std::unique_ptr<TemplateInstallerV2>> installers)
{
    if (installers.empty())
        return;
    static const bool registered = [] {
        // Before the application object is gone, whichever way the run ends.
        qAddPostRoutine(waitForAll);
        return true;
    }();
    Q_UNUSED(registered);
    State &s = state();
    ++s.pending;
    QMutexLocker lock(&s.mutex);
    s.threads.emplace_back([list = std::move(installers)]() mutable {
        list.clear();
        --state().pending;
    });
}

void waitForAll()
{
    State &s = state();
    std::list<std::thread> threads;
    {
        QMutexLocker lock(&s.mutex);
        threads.swap(s.threads);
    }
    for (std::thread &thread : threads)
        thread.join();
}

int pendingCount()
{
    return state().pending;
}

} // namespace DeferredCleanup
