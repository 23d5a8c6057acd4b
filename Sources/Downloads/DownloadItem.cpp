// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Downloads/DownloadItem.h"

#include "Common/ByteSize.h"
#include "Common/DiagnosticLog.h"
#include "Common/FileNames.h"
#include "Downloads/DownloadItemView.h"
#include "Common/LogCategories.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>
#include <filesystem>

namespace {

// How many "name (n).ext" variants are tried before giving up on a folder
// that is full of them.
constexpr int MaxNumberedNames = 10000;

// "pack.mtzip", then "pack (1).mtzip", "pack (2).mtzip", ...
QString numberedFileName(const QString &fileName, int number)
{
    if (number == 0)
        return fileName;
    const QString base = FileNames::withoutLastExtension(fileName);
    return base + QStringLiteral(" (%1)").arg(number) + fileName.mid(base.size());
}

// errno right after a failed file call, or EIO when the call left none.
int lastErrno()
{
    return errno != 0 ? errno : EIO;
}

} // namespace

void DownloadItem::DeleteLater::operator()(QObject *object) const
{
    object->deleteLater();
}

std::unique_ptr<DownloadItem> DownloadItem::create(const QUrl &sourceURL,
                                                   const QString &destinationFolder)
{
    if (sourceURL.isLocalFile()) {
        MTI_DIAGNOSTIC(lcGui, QStringLiteral("This is a file url"));
        return nullptr;
    }
    // The row view is compiled in from its form and cannot fail to load.
    return std::unique_ptr<DownloadItem>(new DownloadItem(sourceURL, destinationFolder));
}

DownloadItem::DownloadItem(const QUrl &sourceURL, const QString &destinationFolder)
    : _itemView(new DownloadItemView)
    , _sourceURL(sourceURL)
    , _destinationFolder(destinationFolder.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)
                             : destinationFolder)
{
    const QString shownTitle = title();
    _itemView->setTitle(shownTitle.isEmpty() || shownTitle == QLatin1String("/")
                            ? _sourceURL.toDisplayString()
                            : shownTitle);
    _itemView->setToolTip(_sourceURL.toDisplayString());
    connect(_itemView, &DownloadItemView::cancelClicked, this, &DownloadItem::cancel);
}

DownloadItem::~DownloadItem()
{
    if (_downloadTask && _downloadTask->isRunning()) {
        disconnect(_downloadTask.get(), nullptr, this, nullptr);
        _downloadTask->abort();
    }
    delete _itemView;
    // _partialFile removes what it holds when it goes.
}

DownloadItemView *DownloadItem::view() const
{
    return _itemView;
}

QString DownloadItem::title() const
{
    QString path = _sourceURL.path();
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    QString component = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (component.isEmpty())
        component = path;
    return FileNames::withoutLastExtension(component);
}

QNetworkAccessManager *DownloadItem::sharedSession()
{
    // Lives for the rest of the process, like the session it stands for.
    static QNetworkAccessManager *sSharedSession = nullptr;
    if (!sSharedSession)
        sSharedSession = new QNetworkAccessManager;
    return sSharedSession;
}

void DownloadItem::startDownloading()
{
    if (_state != State::Suspended)
        return;

    if (_destinationFolder.isEmpty()) {
        _fail(Error(Error::PosixDomain, ENOENT,
                    tr("There is no Downloads folder to save %1 in.").arg(_targetFileName())));
        _finish();
        return;
    }

    std::error_code ec;
    std::filesystem::create_directories(QFile::encodeName(_destinationFolder).toStdString(), ec);
    if (ec) {
        _fail(Error::fromErrorCode(ec, _destinationFolder));
        _finish();
        return;
    }

    _partialFile = std::make_unique<QTemporaryFile>(
        QDir(_destinationFolder).filePath(_targetFileName() + QLatin1String(".XXXXXX.part")));
    errno = 0;
    if (!_partialFile->open()) {
        _fail(Error(Error::PosixDomain, lastErrno(),
                    tr("Could not create a file in %1: %2")
                        .arg(QDir::toNativeSeparators(_destinationFolder),
                             _partialFile->errorString())));
        _finish();
        return;
    }
    // Asking for the name links the file into the folder where the system
    // would otherwise keep it unnamed (O_TMPFILE): the same on every
    // platform, and a transfer under way shows as a ".part" file.
    qCInfo(lcGui).noquote() << "Downloading" << _sourceURL.toDisplayString() << "to"
                            << QDir::toNativeSeparators(_partialFile->fileName());

    QNetworkRequest request(_sourceURL);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    _downloadTask.reset(sharedSession()->get(request));
    _state = State::Running;

    QNetworkReply *reply = _downloadTask.get();
    connect(reply, &QNetworkReply::readyRead, this, &DownloadItem::_writeReceivedData);
    // Not downloadProgress(): it is held back for the first 100 ms of a
    // reply, so a transfer that stalls early would never show its size.
    connect(reply, &QNetworkReply::metaDataChanged, this, &DownloadItem::_readExpectedSize);
    connect(reply, &QNetworkReply::finished, this, &DownloadItem::_transferFinished);

    _updateView();
    emit changed();
}

double DownloadItem::progress() const
{
    if (_state == State::Completed && !_error)
        return 1.0;
    if (_bytesExpected <= 0)
        return 0.0;
    return qBound(0.0, double(_bytesReceived) / double(_bytesExpected), 1.0);
}

void DownloadItem::cancel()
{
    if (_state != State::Running || !_downloadTask)
        return;
    _cancelRequested = true;
    _state = State::Canceling;
    emit changed();
    // Emits finished() before it returns.
    _downloadTask->abort();
}

QString DownloadItem::_targetFileName() const
{
    // fileName() is decoded and never holds a '/': an encoded slash splits it.
    QString name = _sourceURL.fileName();
    name.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        name = QStringLiteral("download");
    return name;
}

bool DownloadItem::_isErrorStatus() const
{
    if (!_downloadTask)
        return false;
    const QVariant status = _downloadTask->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    return status.isValid() && status.toInt() >= 400;
}

void DownloadItem::_writeReceivedData()
{
    if (!_downloadTask || !_partialFile)
        return;
    const QByteArray data = _downloadTask->readAll();
    // An error page is not the file; it is read only to drain the reply.
    if (_error || _isErrorStatus() || data.isEmpty())
        return;

    errno = 0;
    if (_partialFile->write(data) != data.size()) {
        _fail(Error(Error::PosixDomain, lastErrno(),
                    tr("Could not write %1: %2")
                        .arg(QDir::toNativeSeparators(_partialFile->fileName()),
                             _partialFile->errorString())));
        // Not from inside the reply's own signal.
        QMetaObject::invokeMethod(_downloadTask.get(), &QNetworkReply::abort,
                                  Qt::QueuedConnection);
        return;
    }
    _bytesReceived += data.size();
    _updateView();
    emit changed();
}

void DownloadItem::_readExpectedSize()
{
    if (_isErrorStatus())
        return;
    // The length counts the bytes as sent; a compressed response arrives
    // larger, so its size is unknown here.
    const QByteArray encoding = _downloadTask->rawHeader("Content-Encoding").trimmed().toLower();
    const QVariant length = _downloadTask->header(QNetworkRequest::ContentLengthHeader);
    if ((encoding.isEmpty() || encoding == "identity") && length.isValid())
        _bytesExpected = length.toLongLong();
    else
        _bytesExpected = -1;
    _updateView();
    emit changed();
}

void DownloadItem::_transferFinished()
{
    QNetworkReply *reply = _downloadTask.get();
    if (reply->error() == QNetworkReply::NoError)
        _writeReceivedData();

    if (_cancelRequested) {
        _fail(Error(NetworkDomain, QNetworkReply::OperationCanceledError, tr("Cancelled")));
    } else if (reply->error() != QNetworkReply::NoError) {
        const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (status.isValid() && status.toInt() >= 400) {
            const QString reason =
                reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
            _fail(Error(NetworkDomain, reply->error(),
                        tr("The server answered %1 %2.").arg(status.toString(), reason)
                            .simplified()));
        } else {
            _fail(Error(NetworkDomain, reply->error(), reply->errorString()));
        }
    } else if (_bytesExpected >= 0 && _bytesReceived != _bytesExpected) {
        // A connection that closes early is not always reported as an error;
        // what arrived is not the file.
        _fail(Error(NetworkDomain, QNetworkReply::RemoteHostClosedError,
                    tr("The connection closed after %1 of %2.")
                        .arg(ByteSize::forDisplay(_bytesReceived), ByteSize::forDisplay(_bytesExpected))));
    } else {
        _moveIntoPlace();
    }
    _finish();
}

bool DownloadItem::_moveIntoPlace()
{
    if (_error)
        return false;
    errno = 0;
    if (!_partialFile->flush()) {
        _fail(Error(Error::PosixDomain, lastErrno(),
                    tr("Could not write %1: %2")
                        .arg(QDir::toNativeSeparators(_partialFile->fileName()),
                             _partialFile->errorString())));
        return false;
    }

    const QString fileName = _targetFileName();
    const QDir folder(_destinationFolder);
    for (int number = 0; number < MaxNumberedNames; ++number) {
        const QString candidate = folder.filePath(numberedFileName(fileName, number));
        const QFileInfo existing(candidate);
        if (existing.exists() || existing.isSymLink())
            continue;
        // The rename refuses to replace a file that appeared meanwhile; the
        // loop then tries the next number.
        _partialFile->setAutoRemove(false);
        if (_partialFile->rename(candidate)) {
            _partialFile.reset();
            _downloadedFilePath = candidate;
            return true;
        }
        _partialFile->setAutoRemove(true);
        if (!QFileInfo(candidate).exists() && !QFileInfo(candidate).isSymLink()) {
            _fail(Error(Error::PosixDomain, EIO,
                        tr("Could not save %1: %2")
                            .arg(QDir::toNativeSeparators(candidate),
                                 _partialFile->errorString())));
            return false;
        }
    }
    _fail(Error(Error::PosixDomain, EEXIST,
                tr("Could not save %1: too many files of that name in %2.")
                    .arg(fileName, QDir::toNativeSeparators(_destinationFolder))));
    return false;
}

void DownloadItem::_fail(Error error)
{
    // The first cause is the one to tell; what follows from it is noise.
    if (!_error)
        _error = std::move(error);
}

void DownloadItem::_finish()
{
    if (_error) {
        _partialFile.reset();
        qCInfo(lcGui).noquote() << "Download of" << _sourceURL.toDisplayString()
                                << "failed:" << _error->localizedDescription();
    }
    _state = State::Completed;
    _updateView();
    emit changed();
    emit finished();
}

void DownloadItem::_updateView()
{
    if (!_itemView)
        return;
    if (_state != State::Completed) {
        _itemView->showProgress(_bytesReceived, _bytesExpected);
    } else if (!_error) {
        _itemView->showCompleted(_bytesReceived, QFileInfo(_downloadedFilePath).fileName());
    } else if (_error->domain() == NetworkDomain
               && _error->code() == QNetworkReply::OperationCanceledError) {
        _itemView->showCancelled();
    } else {
        _itemView->showFailed(_error->localizedDescription());
    }
}
