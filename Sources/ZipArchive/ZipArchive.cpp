// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipArchive.h"

#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "ZipArchive/ZipArchiveDelegate.h"
#include "ZipArchive/ZipEntryWriter.h"
#include "ZipArchive/ZipFileSource.h"
#include "ZipArchive/ZipHandles.h"
#include "ZipArchive/ZipReader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QDir>

#include <zip.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using FileOperations::writeAll;

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

std::optional<Error> ZipError::toError() const
{
    if (code == None)
        return std::nullopt;
    return Error(Error::ZipDomain, code, detail);
}

ZipError::Code ZipError::codeOf(const Error &error)
{
    return error.domain() == Error::ZipDomain ? Code(error.code()) : None;
}

void ZipArchive::ArchiveDiscard::operator()(zip *archive) const
{
    zip_discard(archive);
}

ZipArchive::ZipArchive() = default;

ZipArchive::~ZipArchive()
{
    // No one is left to tell; CloseZipFile2 logs why it failed.
    if (_zipFile)
        static_cast<void>(CloseZipFile2());
}

QByteArray ZipArchive::asciiPassword() const
{
    for (const QChar c : _password) {
        if (c.unicode() > 0x7f)
            return {};
    }
    return _password.toLatin1();
}

// ---------------------------------------------------------------- reading

bool ZipArchive::UnzipOpenFile(const QString &zipFile)
{
    _reader.reset();
    _lastError = {};
    ZipFault fault;
    std::unique_ptr<ZipReader> reader = ZipReader::open(zipFile, &fault);
    if (!reader || !reader->load(&fault)) {
        fail(fault);
        return false;
    }
    _reader = std::move(reader);
    _zipFilePath = zipFile;
    return true;
}

bool ZipArchive::UnzipOpenFile(const QString &zipFile, const QString &password)
{
    _password = password;
    return UnzipOpenFile(zipFile);
}

bool ZipArchive::UnzipCloseFile()
{
    _password.clear();
    if (!_reader)
        return true;
    // Read-only: nothing to write back, so discarding is the clean close.
    _reader.reset();
    _zipFilePath.clear();
    return true;
}

void ZipArchive::fail(ZipError::Code code, const QString &generic, const QString &detail)
{
    _lastError = {code, detail};
    if (!generic.isEmpty())
        OutputErrorMessage(generic);
    OutputErrorMessage(detail);
}

void ZipArchive::fail(const ZipFault &fault)
{
    fail(fault.code, fault.generic, fault.detail);
}

void ZipArchive::OutputErrorMessage(const QString &message)
{
    if (_delegate)
        _delegate->ErrorMessage(message);
}

bool ZipArchive::OverWrite(const QString &path)
{
    return _delegate ? _delegate->OverWriteOperation(path) : true;
}

// ---------------------------------------------------------------- writing

bool ZipArchive::CreateZipFile2(const QString &zipFile)
{
    // libzip writes the archive only when it is closed; refuse a place that
    // cannot take it now rather than fail much later.
    const QFileInfo folder(QFileInfo(zipFile).absolutePath());
    if (!folder.isDir() || !folder.isWritable() || QFileInfo(zipFile).isDir())
        return false;

    int error = 0;
    _zipFile.reset(zip_open(QFile::encodeName(zipFile).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error));
    _zipFilePath = _zipFile ? zipFile : QString();
    return _zipFile != nullptr;
}

bool ZipArchive::CreateZipFile2(const QString &zipFile, const QString &password)
{
    _password = password;
    return CreateZipFile2(zipFile);
}

bool ZipArchive::addFileToZip(const QString &file, const QString &newname)
{
    if (!_zipFile)
        return false;

    // An encrypted archive was asked for: never fall back to plain entries.
    const QByteArray password = asciiPassword();
    if (!_password.isEmpty() && password.isEmpty()) {
        qCWarning(lcZip) << "password is not 7-bit ASCII; not adding" << newname;
        return false;
    }

    // An unreadable source would otherwise become an empty entry at close.
    QFile source(file);
    if (!QFileInfo(file).isFile() || !source.open(QIODevice::ReadOnly))
        return false;
    const QDateTime modified = QFileInfo(file).lastModified();
    source.close();

    ZipHandles::SourcePtr data(_readsFilesAtClose ? fileSource(file) : spoolSource(file));
    if (!data)
        return false;
    zip_t *archive = _zipFile.get();
    const zip_int64_t index = zip_file_add(archive, newname.toUtf8().constData(), data.get(), ZIP_FL_ENC_UTF_8);
    if (index < 0)
        return false;
    data.release(); // the archive owns it now
    const auto idx = zip_uint64_t(index);
    bool ok = zip_set_file_compression(archive, idx, ZIP_CM_DEFLATE, zip_uint32_t(_compressionLevel)) == 0;
    // libzip's default, 0666, would leave unpacked files writable by all.
    if (ok)
        ok = zip_file_set_external_attributes(archive, idx, 0, ZIP_OPSYS_UNIX, zip_uint32_t(S_IFREG | 0644) << 16) == 0;
    if (ok && modified.isValid())
        ok = zip_file_set_mtime(archive, idx, time_t(modified.toSecsSinceEpoch()), 0) == 0;
    if (ok && !password.isEmpty())
        ok = zip_file_set_encryption(archive, idx, ZIP_EM_TRAD_PKWARE, password.constData()) == 0;
    if (!ok)
        zip_delete(archive, idx);
    return ok;
}

bool ZipArchive::addFolderToZip(const QString &folder, const QString &newname)
{
    if (!_zipFile || !QFileInfo(folder).isDir())
        return false;
    const QDateTime modified = QFileInfo(folder).lastModified();
    zip_t *archive = _zipFile.get();
    const zip_int64_t index = zip_dir_add(archive, newname.toUtf8().constData(), ZIP_FL_ENC_UTF_8);
    if (index < 0)
        return false;
    const auto idx = zip_uint64_t(index);
    // 0755 and the DOS folder bit, as zip -r writes them; libzip's default is 0777.
    bool ok = zip_file_set_external_attributes(archive, idx, 0, ZIP_OPSYS_UNIX,
                                               (zip_uint32_t(S_IFDIR | 0755) << 16) | 0x10) == 0;
    if (ok && modified.isValid())
        ok = zip_file_set_mtime(archive, idx, time_t(modified.toSecsSinceEpoch()), 0) == 0;
    if (!ok)
        zip_delete(archive, idx);
    return ok;
}

bool ZipArchive::CloseZipFile2()
{
    _password.clear();
    if (!_zipFile)
        return false;
    ZipHandles::ArchivePtr archive(_zipFile.release());
    // Runs after libzip has read the spooled copies.
    const auto spool = qScopeGuard([this] { closeSpool(); });
    const QString path = std::exchange(_zipFilePath, QString());

    if (zip_get_num_entries(archive.get(), 0) == 0) {
        // libzip leaves no file for an empty archive; a created archive must
        // exist, so write the bare end-of-central-directory record.
        archive.reset();
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            return false;
        static const char emptyZip[22] = {'P', 'K', 5, 6};
        out.write(emptyZip, sizeof emptyZip);
        return out.commit();
    }
    // zip_close writes the archive and frees it only when that succeeds.
    if (zip_close(archive.get()) != 0) {
        qCWarning(lcZip) << "cannot write" << path << zip_strerror(archive.get());
        return false;
    }
    archive.release();
    return true;
}

void ZipArchive::discardZipFile()
{
    _password.clear();
    _zipFilePath.clear();
    _zipFile.reset();
    closeSpool();
}

zip_source_t *ZipArchive::spoolSource(const QString &file)
{
    if (_spoolFd < 0) {
        QByteArray name = QFile::encodeName(QDir::tempPath()) + "/mtzip-spool-XXXXXX";
        _spoolFd = ::mkostemp(name.data(), O_CLOEXEC);
        if (_spoolFd < 0)
            return nullptr;
        ::unlink(name.constData());
    }
    const int in = ::open(QFile::encodeName(file).constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return nullptr;
    struct stat info;
    const off_t start = ::lseek(_spoolFd, 0, SEEK_END);
    off_t end = start;
    bool ok = start >= 0 && ::fstat(in, &info) == 0 && S_ISREG(info.st_mode);
    std::vector<char> buffer(ok ? ZipEntryWriter::TransferBufferSize : 0);
    while (ok) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = writeAll(_spoolFd, buffer.data(), n);
        end += n;
    }
    ::close(in);
    if (!ok) {
        if (start >= 0 && ::ftruncate(_spoolFd, start) != 0)
            qCWarning(lcZip) << "cannot trim the spool file" << errnoText();
        return nullptr;
    }
    // Read back with pread: no descriptor per entry (macOS allows 256 by
    // default) and no shared file offset between the entries' sources.
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *slice = ZipFileSource::createSlice(_spoolFd, zip_uint64_t(start), zip_uint64_t(end - start),
                                                     info.st_mtime, &error);
    zip_error_fini(&error);
    return slice;
}

zip_source_t *ZipArchive::fileSource(const QString &file)
{
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = ZipFileSource::createFile(QFile::encodeName(file).constData(), &error);
    zip_error_fini(&error);
    return source;
}

void ZipArchive::closeSpool()
{
    if (_spoolFd >= 0)
        ::close(std::exchange(_spoolFd, -1));
}

QDateTime ZipArchive::Date1980()
{
    return QDateTime(QDate(1980, 1, 1), QTime(0, 0, 0), Qt::LocalTime);
}
