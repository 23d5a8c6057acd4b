// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Interface/FileManager.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QUrl>

#if defined(MTI_HAVE_DBUS) && !defined(Q_OS_MACOS)
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

namespace {

void openEnclosingFolder(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

#if defined(MTI_HAVE_DBUS) && !defined(Q_OS_MACOS)
// Asynchronous: a file manager that takes its time to start must not hold
// the window; a missing one (no session bus, no service) falls back.
bool showItemOverDBus(const QString &path)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [path](QDBusPendingCallWatcher *self) {
        if (QDBusPendingReply<>(*self).isError())
            openEnclosingFolder(path);
        self->deleteLater();
    });
    return true;
}
#endif

} // namespace

namespace FileManager {

void reveal(const QString &path)
{
    if (path.isEmpty())
        return;
#ifdef Q_OS_MACOS
    // The Finder opens the enclosing folder with the item selected.
    if (QProcess::startDetached(QStringLiteral("/usr/bin/open"), {QStringLiteral("-R"), path}))
        return;
#elif defined(MTI_HAVE_DBUS)
    if (showItemOverDBus(path))
        return;
#endif
    openEnclosingFolder(path);
}

} // namespace FileManager
