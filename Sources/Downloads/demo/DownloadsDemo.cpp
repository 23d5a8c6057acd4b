// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Shows the downloads window with a few real transfers from a web server on
// 127.0.0.1, to look at it by eye: one still running, one complete (saved
// under a numbered name because the folder already has its file) and one
// the server refuses. Files go to a temporary folder, never to Downloads.

#include "Downloads/DownloadManager.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

namespace {

constexpr qint64 SlowSize = 12 * 1000 * 1000;
constexpr qint64 SlowChunk = 64 * 1024;
constexpr int SlowIntervalMs = 50;

void answer(QTcpSocket *socket, const QByteArray &path)
{
    if (path.startsWith("/files/")) {
        const QByteArray body(2400 * 1000, 'x');
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size())
                      + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    } else if (path.startsWith("/slow/")) {
        socket->write("HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(SlowSize)
                      + "\r\nConnection: close\r\n\r\n");
        auto *timer = new QTimer(socket);
        auto *sent = new qint64(0);
        QObject::connect(timer, &QTimer::timeout, socket, [socket, timer, sent] {
            const qint64 chunk = qMin(SlowChunk, SlowSize - *sent);
            socket->write(QByteArray(chunk, 'x'));
            *sent += chunk;
            if (*sent >= SlowSize) {
                timer->stop();
                delete sent;
                socket->disconnectFromHost();
            }
        });
        timer->start(SlowIntervalMs);
    } else {
        socket->write("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        socket->disconnectFromHost();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost))
        return 1;
    QHash<QTcpSocket *, QByteArray> requests;
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            socket->setParent(&server);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [&requests, socket] {
                QByteArray &request = requests[socket];
                request += socket->readAll();
                if (request.contains("\r\n\r\n"))
                    answer(socket, request.split(' ').value(1));
            });
        }
    });

    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    QFile taken(folder.filePath(QStringLiteral("ZT_Titles Pack.mtzip")));
    if (taken.open(QIODevice::WriteOnly))
        taken.write("an earlier download");
    taken.close();

    const auto url = [&](const char *path) {
        return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort())
                    + QString::fromUtf8(path));
    };
    DownloadManager *manager = DownloadManager::sharedDownloadManager();
    manager->setDestinationFolder(folder.path());
    manager->downloadItemWithURL(url("/slow/ZT_Lower%20Thirds%20Pack.mtzip"));
    manager->downloadItemWithURL(url("/files/ZT_Titles%20Pack.mtzip"));
    manager->downloadItemWithURL(url("/missing/ZT_Transitions%20Pack.mtzip"));

    return app.exec();
}
