// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Documents/DeferredCleanup.h"

#include "Installer/TemplateInstallerV2.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <QWaitCondition>

#include <list>
#include <thread>

namespace DeferredCleanup {

namespace {

struct State
{
    QMutex mutex;
    QWaitCondition finished;
    std::list<std::thread> threads;
    int pending = 0;
};

State &state()
{
    static State s;
    return s;
}

} // namespace

void run(std::function<void()> job)
{
    static const bool registered = [] {
        // Before the application object is gone, whichever way the run ends.
        qAddPostRoutine([] { waitForAll(); });
        return true;
    }();
    Q_UNUSED(registered);
    // Plays a slow disk in tests of quitting.
    static const int delayMs = qEnvironmentVariableIntValue("MTI_CLEANUP_DELAY_MS");
    State &s = state();
    QMutexLocker lock(&s.mutex);
    ++s.pending;
    s.threads.emplace_back([job = std::move(job)]() mutable {
        if (delayMs > 0)
            QThread::msleep(unsigned(delayMs));
        job();
        job = nullptr; // what it holds goes before it counts as done
        State &shared = state();
        QMutexLocker done(&shared.mutex);
        --shared.pending;
        shared.finished.wakeAll();
    });
}

void discard(std::vector<std::unique_ptr<TemplateInstallerV2>> installers)
{
    if (installers.empty())
        return;
    auto list = std::make_shared<std::vector<std::unique_ptr<TemplateInstallerV2>>>(std::move(installers));
    run([list] { list->clear(); });
}

bool waitForAll(int timeoutMs)
{
    State &s = state();
    std::list<std::thread> threads;
    {
        QMutexLocker lock(&s.mutex);
        const QDeadlineTimer deadline =
            timeoutMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeoutMs);
        while (s.pending > 0) {
            if (!s.finished.wait(&s.mutex, deadline))
                return false;
        }
        threads.swap(s.threads);
    }
    // Each has counted itself done and is only returning.
    for (std::thread &thread : threads)
        thread.join();
    return true;
}

int pendingCount()
{
    QMutexLocker lock(&state().mutex);
    return state().pending;
}

} // namespace DeferredCleanup
