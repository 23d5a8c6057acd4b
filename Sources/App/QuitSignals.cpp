// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "App/QuitSignals.h"

#include "Interface/Alert.h"
#include "Interface/BackgroundWork.h"
#include "Common/LogCategories.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QObject>
#ifndef QT_NO_SESSIONMANAGER
#include <QSessionManager>
#endif

#ifdef Q_OS_MACOS
#include <CoreServices/CoreServices.h>
#endif
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
        quitForSystem("on a signal");
    });
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
#endif
#ifndef QT_NO_SESSIONMANAGER
    // Logout or restart (XSMP here; on macOS Qt turns the system's
    // terminate request into a Quit event instead). The manager is not
    // asked to cancel: the work is stopped and undone, never left half done.
    if (auto *gui = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QObject::connect(gui, &QGuiApplication::commitDataRequest, context,
                         [](QSessionManager &) { quitForSystem("at the session's end"); }, Qt::DirectConnection);
    }
#endif
    Q_UNUSED(context);
}

void quitForSystem(const char *why)
{
    // A second request (the signal after the session's end) has nothing more to do.
    if (sReceived)
        return;
    qCInfo(lcGui) << "Quitting" << why;
    sReceived = true;
    // Work under way (unpacking at launch, an install) stops and undoes
    // itself first; the event loop may not even be running yet.
    BackgroundWork::cancelAll();
    // A modal alert's own loop would otherwise wait for its answer, and
    // before the main loop runs, quit() does not end it.
    Alert::dismissAll();
    QCoreApplication::quit();
}

bool sessionEnding()
{
#ifdef Q_OS_MACOS
    // Qt turns the quit Apple event into a Quit event while the event is
    // still the current one; its reason tells logout from the Dock's Quit.
    AppleEvent event;
    if (AEGetTheCurrentEvent(&event) != noErr || event.descriptorType == typeNull)
        return false;
    OSType reason = 0;
    if (AEGetAttributePtr(&event, kAEQuitReason, typeType, nullptr, &reason, sizeof reason, nullptr) != noErr)
        return false;
    return reason == kAELogOut || reason == kAEReallyLogOut || reason == kAEShowRestartDialog || reason == kAERestart
        || reason == kAEShowShutdownDialog || reason == kAEShutDown;
#else
    return false;
#endif
}

bool received()
{
    return sReceived;
}

} // namespace QuitSignals
