// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/UnpackFolder.h"
#include "Installer/EffectTemplateItem.h"
#include "Installer/TransactionSupport.h"

#include "Common/DiagnosticLog.h"
#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "ZipArchive/ZipArchive.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cerrno>
#include <exception>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString domain = QStringLiteral("TemplateInstaller");

// The zip layer's typed error in the words the user sees; its own detail
// (not a file, permission denied) wins over the generic ones.
Error openError(const ZipError &error)
{
    if (!error.detail.isEmpty())
        return Error(domain, EINVAL, error.detail);
    if (error.code == ZipError::NotFound)
        return Error(domain, ENOENT, QCoreApplication::translate("TemplateInstaller", "The file does not exist."));
    return Error(domain, EINVAL,
                 QCoreApplication::translate("TemplateInstaller", "The file is not a zip archive, or it is damaged."));
}

Error unpackError(const ZipError &error)
{
    if (error.code == ZipError::NoEntries)
        return Error(domain, EINVAL, QCoreApplication::translate("TemplateInstaller", "The archive holds no entries."));
    if (!error.detail.isEmpty())
        return Error(domain, EIO, error.detail);
    return Error(domain, EIO, QCoreApplication::translate("TemplateInstaller", "The archive could not be unpacked."));
}

} // namespace

Expected<UnpackFolder> UnpackFolder::create(const QString &archiveTitle)
{
    // A folder of its own: two archives of one title, or leftovers of an
    // earlier run, never mix. Long titles are cut to leave room for the rest.
    QTemporaryDir dir(QDir::tempPath() + QLatin1Char('/') + archiveTitle.left(120)
                      + QStringLiteral("-mti%1-XXXXXX").arg(QCoreApplication::applicationPid()));
    if (!dir.isValid()) {
        const QString text =
            QCoreApplication::translate("TemplateInstaller", "Cannot create an unpack folder: %1").arg(dir.errorString());
        MTI_DIAGNOSTIC(lcInstall, text);
        return Error(domain, EIO, text);
    }
    dir.setAutoRemove(false);
    return UnpackFolder(dir.path());
}

UnpackFolder::UnpackFolder(UnpackFolder &&other) noexcept : _path(std::exchange(other._path, QString())) {}

UnpackFolder &UnpackFolder::operator=(UnpackFolder &&other) noexcept
{
    if (this != &other) {
        removeNow();
        _path = std::exchange(other._path, QString());
    }
    return *this;
}

UnpackFolder::~UnpackFolder()
{
    removeNow();
}

void UnpackFolder::removeNow()
{
    // What is left is removed by the next start's sweep of dead processes' folders.
    if (!_path.isEmpty())
        TemplateTransaction::Support::warnIfFailed(FileOperations::removeAll(_path), "cannot remove the unpack folder");
    _path.clear();
}

std::optional<Error> UnpackFolder::unpack(const QString &archive, ZipArchiveDelegate *delegate,
                                          ProgressListener *listener, const std::function<void()> &opened,
                                          const QString &password, bool *needsPassword, QStringList *damagedPreviews)
{
    std::optional<Error> error;
    ZipArchive zip;
    zip.setDelegate(delegate);
    zip.setProgressListener(listener);
    zip.setSparedWhenDamaged(&EffectTemplateItem::isPreviewEntry);
    if (needsPassword)
        *needsPassword = false;
    try {
        if (!zip.UnzipOpenFile(archive, password)) {
            error = openError(zip.lastError());
        } else {
            if (opened)
                opened();
            if (!zip.UnzipFileTo(_path, true))
                error = unpackError(zip.lastError());
        }
    } catch (const std::exception &e) {
        MTI_DIAGNOSTIC(lcInstall, QString::fromLocal8Bit(e.what()));
        error = Error(domain, EIO, QString::fromLocal8Bit(e.what()));
    }
    if (error && needsPassword) {
        const ZipError::Code code = zip.lastError().code;
        // The traditional scheme lets about one wrong password in 256 past its
        // check; the data then fails to inflate or to match its CRC.
        *needsPassword = code == ZipError::PasswordNeeded || code == ZipError::WrongPassword
            || (code == ZipError::Damaged && !password.isEmpty());
    }
    for (const QString &entry : zip.sparedEntries())
        MTI_DIAGNOSTIC(lcInstall, QStringLiteral("Damaged preview left out: %1").arg(entry));
    if (damagedPreviews)
        *damagedPreviews = error ? QStringList() : zip.sparedEntries();
    zip.UnzipCloseFile();
    zip.setDelegate(nullptr);
    if (!error) {
        // Left, it is only never scanned: the scan skips AppleDouble files.
        TemplateTransaction::Support::warnIfFailed(FileOperations::removeAll(_path + QStringLiteral("/__MACOSX")),
                                                   "cannot remove __MACOSX");
    }
    return error;
}

int UnpackFolder::removeAbandoned()
{
    static const QRegularExpression pattern(QStringLiteral("-mti([0-9]+)-[A-Za-z0-9]{6}$"));
    const QString temp = QDir::tempPath();
    int removed = 0;
    const QStringList names = QDir(temp).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        const qint64 pid = match.captured(1).toLongLong();
        if (pid == QCoreApplication::applicationPid() || FileOperations::isProcessRunning(pid))
            continue;
        const QString path = temp + QLatin1Char('/') + name;
        struct stat info;
        // Only this user's: a shared temporary folder holds others' too.
        if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode)
            || info.st_uid != ::getuid())
            continue;
        if (!FileOperations::removeAll(path))
            ++removed;
    }
    return removed;
}
