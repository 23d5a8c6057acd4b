// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;

// Keeps the application to one instance per user on platforms where the file
// manager starts a new process for every open request: a second launch hands
// its paths to the running instance over a local socket and exits.
class OpenFilesChannel : public QObject
{
    Q_OBJECT

public:
    // The socket's name holds the user's id, so users never reach each
    // other's instance.
    static QString defaultServerName();

    explicit OpenFilesChannel(QString serverName = defaultServerName(), QObject *parent = nullptr);
    ~OpenFilesChannel() override;

    enum class Claim {
        HandedOver, // a running instance took the paths: this launch is done
        Listening,  // this launch is the instance now
        Alone,      // neither: run without answering later launches
    };
    // What a launch does first: hands its paths to the running instance, or
    // else becomes the instance. The check and the listen happen under one
    // lock file, so launches at the same moment queue up and all but the
    // first find it listening.
    Claim claim(const QStringList &paths);

    // True when a running instance took the paths (an empty list included);
    // false when none answers.
    bool handOver(const QStringList &paths, int timeoutMs = 3000) const;

    // Starts answering later launches. A socket left behind by an instance
    // that crashed is removed first.
    bool listen();
    bool isListening() const;
    // Stops answering and removes the socket, so that a launch while this
    // process is still going away becomes the instance instead of waiting
    // for an answer that never comes.
    void close();
    const QString &serverName() const { return _serverName; }
    QString lockFilePath() const;

signals:
    // A later launch's absolute paths, possibly none (the user started the
    // application again without a file).
    void openFilesRequested(const QStringList &paths);

private:
    void acceptConnections();
    // Whether a live instance accepts connections on the server name.
    bool isAnswering() const;

    QString _serverName;
    QLocalServer *_server = nullptr;
};
