// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "App/OpenFilesChannel.h"

#include "Common/LogCategories.h"

#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QLockFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

constexpr char Acknowledgement = '\x06';
constexpr int MaxRequestBytes = 4 * 1024 * 1024;
// Longer than one hand-over may take, so a queued launch outwaits the one
// ahead of it.
constexpr int LockTimeoutMs = 10000;

} // namespace

QString OpenFilesChannel::defaultServerName()
{
#ifdef Q_OS_UNIX
    const QString user = QString::number(::getuid());
#else
    const QString user = qEnvironmentVariable("USERNAME", QStringLiteral("user"));
#endif
    return QStringLiteral("motion-template-installer-") + user;
}

OpenFilesChannel::OpenFilesChannel(QString serverName, QObject *parent)
    : QObject(parent)
    , _serverName(std::move(serverName))
{
}

OpenFilesChannel::~OpenFilesChannel() = default;

QString OpenFilesChannel::lockFilePath() const
{
    return QDir::temp().filePath(_serverName + QStringLiteral(".lock"));
}

OpenFilesChannel::Claim OpenFilesChannel::claim(const QStringList &paths)
{
    // Without the lock two launches could both find nobody answering and
    // both listen; the lock of one that crashed is stale and taken over.
    QLockFile lock(lockFilePath());
    // Polled briefly rather than with tryLock's own doubling waits, which
    // would keep a queued launch asleep long after its turn.
    QElapsedTimer waited;
    waited.start();
    bool locked = lock.tryLock(0);
    while (!locked && waited.elapsed() < LockTimeoutMs) {
        QThread::msleep(20);
        locked = lock.tryLock(0);
    }
    if (!locked)
        qCWarning(lcGui) << "Checking for a running instance without" << lock.fileName() << "error" << lock.error();
    if (handOver(paths))
        return Claim::HandedOver;
    if (listen())
        return Claim::Listening;
    // Only without the lock can another launch have got in between.
    return handOver(paths) ? Claim::HandedOver : Claim::Alone;
}

bool OpenFilesChannel::handOver(const QStringList &paths, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(_serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;

    QByteArray request;
    {
        QDataStream out(&request, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out << paths;
    }
    QByteArray framed;
    {
        QDataStream out(&framed, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_0);
        out << request;
    }
    socket.write(framed);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // Wait for the answer, so this process does not exit before the running
    // instance has the paths.
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            qCWarning(lcGui) << "The running instance did not answer:" << socket.errorString();
            return false;
        }
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == Acknowledgement;
}

bool OpenFilesChannel::listen()
{
    if (_server)
        return _server->isListening();
    // With access options Qt binds elsewhere and renames the socket into
    // place, replacing whatever is there: never replace a live instance's.
    if (isAnswering())
        return false;
    _server = new QLocalServer(this);
    _server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!_server->listen(_serverName)) {
        // Nothing answered, so a socket that is there is stale.
        if (_server->serverError() == QAbstractSocket::AddressInUseError && QLocalServer::removeServer(_serverName)
            && _server->listen(_serverName)) {
            qCInfo(lcGui) << "Removed a stale socket" << _serverName;
        } else {
            qCWarning(lcGui) << "Cannot listen for open requests:" << _server->errorString();
            return false;
        }
    }
    connect(_server, &QLocalServer::newConnection, this, &OpenFilesChannel::acceptConnections);
    return true;
}

bool OpenFilesChannel::isAnswering() const
{
    QLocalSocket probe;
    probe.connectToServer(_serverName);
    return probe.waitForConnected(500);
}

bool OpenFilesChannel::isListening() const
{
    return _server && _server->isListening();
}

void OpenFilesChannel::close()
{
    if (!isListening())
        return;
    qCDebug(lcGui) << "No longer answering open requests";
    _server->close();
}

void OpenFilesChannel::acceptConnections()
{
    while (QLocalSocket *socket = _server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            QDataStream in(socket);
            in.setVersion(QDataStream::Qt_6_0);
            in.startTransaction();
            QByteArray request;
            in >> request;
            if (!in.commitTransaction()) {
                if (socket->bytesAvailable() > MaxRequestBytes)
                    socket->abort();
                return; // the rest of the request is still on its way
            }
            QStringList paths;
            QDataStream requestIn(request);
            requestIn.setVersion(QDataStream::Qt_6_0);
            requestIn >> paths;
            if (requestIn.status() != QDataStream::Ok) {
                qCWarning(lcGui) << "Ignored a malformed open request";
                socket->abort();
                return;
            }
            socket->putChar(Acknowledgement);
            socket->flush();
            socket->disconnectFromServer();
            // Opening may run dialogs; the socket's slot is no place for that.
            QTimer::singleShot(0, this, [this, paths] { emit openFilesRequested(paths); });
        });
    }
}
