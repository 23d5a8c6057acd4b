// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <memory>
#include <optional>

class DownloadItemView;
class QNetworkAccessManager;
class QNetworkReply;
class QTemporaryFile;

// One URL download and the row view that shows it.
//
// The data is written, as it arrives, to a temporary file in the destination
// folder; only a complete transfer is renamed to the URL's file name, and
// never over an existing file ("pack.mtzip" becomes "pack (1).mtzip" when
// the name is taken). A failed or cancelled download keeps no partial file and
// tells why through error().
class DownloadItem : public QObject
{
    Q_OBJECT

public:
    // The states of a URL session task, in its order.
    enum class State { Running, Suspended, Canceling, Completed };
    Q_ENUM(State)

    // Errors of the transfer itself; codes are QNetworkReply::NetworkError
    // values. Failures to write the file come in the POSIX domain.
    static inline const QString NetworkDomain = QStringLiteral("NSURLErrorDomain");

    // Null for a file URL ("This is a file url" in the diagnostic log).
    // An empty destination folder means the user's Downloads folder; it is
    // created when the download starts.
    static std::unique_ptr<DownloadItem> create(const QUrl &sourceURL,
                                                const QString &destinationFolder = {});
    ~DownloadItem() override;

    DownloadItemView *view() const;
    const QUrl &sourceURL() const { return _sourceURL; }
    const QString &destinationFolder() const { return _destinationFolder; }

    // The last component of the URL's path without its extension.
    QString title() const;

    // Starts the transfer. An item downloads once: later calls do nothing.
    void startDownloading();

    // From 0 to 1; 1 only once the file is complete and in place. Stays at 0
    // while the server has not said how large the file is.
    double progress() const;
    qint64 bytesReceived() const { return _bytesReceived; }
    // -1 while unknown.
    qint64 bytesExpected() const { return _bytesExpected; }

    // Stops a running transfer; it then completes with a cancellation error.
    void cancel();

    // Suspended until started, Running while data flows, Completed after
    // success, failure or cancellation.
    State state() const { return _state; }
    [[nodiscard]] std::optional<Error> error() const { return _error; }

    // Where the complete file was saved; empty until then.
    const QString &downloadedFilePath() const { return _downloadedFilePath; }

    // The session every item's transfer runs in, created on first use.
    static QNetworkAccessManager *sharedSession();

signals:
    // Progress or state changed.
    void changed();
    // Completed, with or without error.
    void finished();

private:
    struct DeleteLater
    {
        void operator()(QObject *object) const;
    };

    DownloadItem(const QUrl &sourceURL, const QString &destinationFolder);

    QString _targetFileName() const;
    bool _isErrorStatus() const;
    void _writeReceivedData();
    void _readExpectedSize();
    void _transferFinished();
    bool _moveIntoPlace();
    void _fail(Error error);
    void _finish();
    void _updateView();

    // Guarded: the table that shows the view may be destroyed first and
    // take its child widgets with it.
    QPointer<DownloadItemView> _itemView;
    QUrl _sourceURL;
    // Deleted later: the item may be destroyed from one of the reply's own signals.
    std::unique_ptr<QNetworkReply, DeleteLater> _downloadTask;
    QString _destinationFolder;
    std::unique_ptr<QTemporaryFile> _partialFile;
    QString _downloadedFilePath;
    qint64 _bytesReceived = 0;
    qint64 _bytesExpected = -1;
    State _state = State::Suspended;
    std::optional<Error> _error;
    bool _cancelRequested = false;
};
