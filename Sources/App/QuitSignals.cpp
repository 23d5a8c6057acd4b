// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "App/QuitSignals.h"

#include "Interface/Alert.h"
#include "Interface/BackgroundWork.h"
#include "Common/LogCategories.h"

#include <QCoreApplication>
#include <QObject>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace QuitSignals {

namespace {

bool sReceived = false;

#ifdef Q_OS_UNIX
int sPipe[2] = {-1, -1};

void handler(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(sPipe[0], &byte, 1);
    errno = savedErrno;
}
#endif

} // namespace

void install(QObject *context)
{
#ifdef Q_OS_UNIX
    if (sPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, sPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(sPipe[1], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [notifier] {
        notifier->setEnabled(false);
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(sPipe[1], &byte, 1);
        qCInfo(lcGui) << "Quitting on a signal";
        sReceived = true;
        // Work under way (unpacking at launch, an install) stops and undoes
        // itself first; the event loop may not even be running yet.
        BackgroundWork::cancelAll();
        // A modal alert's own loop would otherwise wait for its answer, and
        // before the main loop runs, quit() does not end it.
        Alert::dismissAll();
        QCoreApplication::quit();
    });
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
#else
    Q_UNUSED(context);
#endif
}

bool received()
{
    return sReceived;
}

} // namespace QuitSignals
