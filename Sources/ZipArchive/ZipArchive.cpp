// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipArchive.h"

#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "Common/ProgressListener.h"
#include "ZipArchive/ZipArchiveDelegate.h"
#include "ZipArchive/ZipEntryName.h"
#include "ZipArchive/ZipEntrySpans.h"
#include "ZipArchive/ZipFileSource.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QScopeGuard>
#include <QDir>

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using FileOperations::toFsPath;
using FileOperations::writeAll;

// 64 KiB measured clearly faster than the classic 4 KiB; memory stays bounded
// whatever the archive's size.
constexpr qsizetype TransferBufferSize = 64 * 1024;

struct PlannedEntry
{
    zip_uint64_t index = 0;
    QString name;          // as stored, decoded
    QString relativePath;  // confined below the destination
    bool isDirectory = false;
    zip_uint64_t size = 0;
    zip_uint64_t compressedSize = 0;
    zip_uint32_t crc = 0;
    time_t mtime = 0;
    bool hasMtime = false;
};


QString humanSize(quint64 bytes)
{
    return QLocale::c().formattedDataSize(qint64(qMin<quint64>(bytes, quint64(INT64_MAX))));
}

// Free space on the volume that will hold `folder`, which need not exist yet.
std::optional<quint64> availableSpaceFor(const QString &folder)
{
    std::error_code ec;
    fs::path probe = fs::absolute(toFsPath(folder), ec);
    if (ec)
        return std::nullopt;
    while (!probe.empty() && !fs::exists(probe, ec)) {
        const fs::path parent = probe.parent_path();
        if (parent == probe)
            break;
        probe = parent;
    }
    const fs::space_info info = fs::space(probe, ec);
    if (ec)
        return std::nullopt;
    return info.available;
}


QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString notAZip(const QString &path)
{
    return QStringLiteral("\"%1\" is not a zip archive, or it is damaged").arg(path);
}

// What a file that is not a regular file is, for telling the user.
QString notAFile(const QString &path, mode_t mode)
{
    const char *what = S_ISDIR(mode) ? "is a folder"
        : S_ISFIFO(mode)             ? "is a named pipe (FIFO)"
        : S_ISCHR(mode) || S_ISBLK(mode) ? "is a device"
        : S_ISSOCK(mode)             ? "is a socket"
                                     : "is not a regular file";
    return QStringLiteral("\"%1\" %2, not a file").arg(path, QLatin1String(what));
}

// Opens path for reading when it is a regular file (or a link to one), or
// answers -1 with the reason in problem. Opening a FIFO blocks until a
// writer comes and opening a device can act on it, so the type is checked
// before opening; O_NONBLOCK and a second check on the descriptor cover a
// file swapped in between.
int openRegularFile(const QString &path, QString *problem)
{
    const QByteArray name = QFile::encodeName(path);
    const auto cannotOpen = [&] { return QStringLiteral("Cannot open \"%1\": %2").arg(path, errnoText()); };
    struct stat info;
    if (::stat(name.constData(), &info) != 0) {
        *problem = cannotOpen();
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        *problem = notAFile(path, info.st_mode);
        return -1;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        *problem = cannotOpen();
        return -1;
    }
    if (::fstat(fd, &info) != 0) {
        *problem = cannotOpen();
        ::close(fd);
        return -1;
    }
    if (!S_ISREG(info.st_mode)) {
        *problem = notAFile(path, info.st_mode);
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        *problem = cannotOpen();
        ::close(fd);
        return -1;
    }
    return fd;
}

// A stretch of the spool file as a libzip source. The spool stays open
// until the archive is written, after libzip has freed every source.
struct SpoolSlice
{
    int fd;
    zip_uint64_t start;
    zip_uint64_t length;
    zip_uint64_t position = 0;
    time_t mtime;           // the encryption header's check byte comes from it
    zip_error_t error;
};

zip_int64_t spoolSliceCallback(void *userdata, void *data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto *slice = static_cast<SpoolSlice *>(userdata);
    switch (command) {
    case ZIP_SOURCE_OPEN:
        slice->position = 0;
        return 0;
    case ZIP_SOURCE_READ: {
        const zip_uint64_t wanted = std::min(length, slice->length - slice->position);
        zip_uint64_t got = 0;
        while (got < wanted) {
            const ssize_t n = ::pread(slice->fd, static_cast<char *>(data) + got, size_t(wanted - got),
                                      off_t(slice->start + slice->position + got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                zip_error_set(&slice->error, ZIP_ER_READ, n < 0 ? errno : EIO);
                return -1;
            }
            got += zip_uint64_t(n);
        }
        slice->position += got;
        return zip_int64_t(got);
    }
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_STAT: {
        auto *st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, length, &slice->error);
        if (!st)
            return -1;
        zip_stat_init(st);
        st->size = slice->length;
        st->mtime = slice->mtime;
        st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        return sizeof(zip_stat_t);
    }
    case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&slice->error, data, length);
    case ZIP_SOURCE_FREE:
        zip_error_fini(&slice->error);
        delete slice;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                              ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
        zip_error_set(&slice->error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
}

zip_source_t *spoolSliceSource(zip_t *archive, int fd, zip_uint64_t start, zip_uint64_t length, time_t mtime)
{
    auto *slice = new SpoolSlice{fd, start, length, 0, mtime, {}};
    zip_error_init(&slice->error);
    zip_source_t *source = zip_source_function(archive, spoolSliceCallback, slice);
    if (!source) {
        zip_error_fini(&slice->error);
        delete slice;
    }
    return source;
}

} // namespace

ZipArchive::ZipArchive() = default;

ZipArchive::~ZipArchive()
{
    if (_zipFile)
        CloseZipFile2();
    // A reader that forgot UnzipCloseFile would otherwise leak the handle.
    releaseUnzFile();
}

void ZipArchive::releaseUnzFile()
{
    if (_unzFile)
        zip_discard(std::exchange(_unzFile, nullptr));
    if (_unzFd >= 0)
        ::close(std::exchange(_unzFd, -1));
    _unzBase = 0;
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
    releaseUnzFile();
    QString problem;
    const int fd = openRegularFile(zipFile, &problem);
    if (fd < 0) {
        qCInfo(lcZip).noquote() << problem;
        OutputErrorMessage(problem);
        return false;
    }
    // libzip takes an empty file for an archive without entries; it is no zip
    // file at all.
    struct stat info;
    if (::fstat(fd, &info) == 0 && info.st_size == 0) {
        qCInfo(lcZip) << "cannot open" << zipFile << "empty file";
        ::close(fd);
        OutputErrorMessage(notAZip(zipFile));
        return false;
    }
    zip_error_t zerr;
    zip_error_init(&zerr);
    zip_uint64_t base = 0;
    const auto openAt = [&](zip_uint64_t at) {
        if (zip_source_t *source = ZipFileSource::create(fd, &zerr, at)) {
            _unzFile = zip_open_from_source(source, ZIP_RDONLY, &zerr);
            if (!_unzFile)
                zip_source_free(source);
        }
        base = at;
    };
    openAt(0);
    // A zip appended to other data with its offsets left as they were (as
    // Info-ZIP's unzip and bsdtar read it too): read it from where it starts.
    if (!_unzFile && (zip_error_code_zip(&zerr) == ZIP_ER_NOZIP || zip_error_code_zip(&zerr) == ZIP_ER_INCONS)) {
        if (const zip_uint64_t leading = ZipFileSource::leadingDataLength(fd)) {
            zip_error_fini(&zerr);
            zip_error_init(&zerr);
            openAt(leading);
        }
    }
    if (!_unzFile) {
        qCInfo(lcZip) << "cannot open" << zipFile << zip_error_strerror(&zerr);
        zip_error_fini(&zerr);
        ::close(fd);
        OutputErrorMessage(notAZip(zipFile));
        return false;
    }
    zip_error_fini(&zerr);
    _unzFd = fd;
    _unzBase = base;
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
    if (!_unzFile)
        return true;
    // Read-only: nothing to write back, so discarding is the clean close.
    releaseUnzFile();
    _zipFilePath.clear();
    return true;
}

bool ZipArchive::UnzipFileTo(const QString &path, bool overWrite)
{
    const zip_int64_t count = _unzFile ? zip_get_num_entries(_unzFile, 0) : 0;
    if (count <= 0) {
        OutputErrorMessage(QStringLiteral("Failed"));
        OutputErrorMessage(QStringLiteral("Error occurs"));
        return false;
    }

    const QByteArray password = asciiPassword();

    // Look at every entry before writing anything, so that an archive that
    // would escape the destination, cannot be decoded or does not fit is
    // refused with nothing on disk.
    std::vector<PlannedEntry> plan;
    plan.reserve(size_t(count));
    quint64 totalBytes = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(_unzFile, zip_uint64_t(i), ZIP_FL_ENC_GUESS, &st) != 0
            || !(st.valid & ZIP_STAT_NAME)) {
            OutputErrorMessage(QStringLiteral("Error occurs while getting file info"));
            return false;
        }
        PlannedEntry entry;
        entry.index = zip_uint64_t(i);
        entry.name = QString::fromUtf8(st.name);
        entry.isDirectory = isDirectoryEntryName(entry.name);
        const std::optional<QString> relative = safeRelativeEntryPath(entry.name);
        if (!relative) {
            OutputErrorMessage(QStringLiteral("Refused: entry \"%1\" would be written outside the destination folder")
                                   .arg(entry.name));
            return false;
        }
        entry.relativePath = *relative;
        entry.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
        entry.compressedSize = (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0;
        entry.crc = (st.valid & ZIP_STAT_CRC) ? st.crc : 0;
        entry.hasMtime = st.valid & ZIP_STAT_MTIME;
        entry.mtime = st.mtime;

        if (!entry.isDirectory) {
            if ((st.valid & ZIP_STAT_COMP_METHOD)
                && !zip_compression_method_supported(st.comp_method, 0)) {
                OutputErrorMessage(QStringLiteral("Error occurs"));
                OutputErrorMessage(QStringLiteral("Entry \"%1\" uses compression method %2, which cannot be decoded")
                                       .arg(entry.name).arg(st.comp_method));
                return false;
            }
            if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
                if (!zip_encryption_method_supported(st.encryption_method, 0)) {
                    OutputErrorMessage(QStringLiteral("Error occurs"));
                    OutputErrorMessage(QStringLiteral("Entry \"%1\" uses an encryption method that cannot be decoded")
                                           .arg(entry.name));
                    return false;
                }
                if (password.isEmpty()) {
                    OutputErrorMessage(QStringLiteral("Error occurs"));
                    OutputErrorMessage(QStringLiteral("Entry \"%1\" is encrypted and needs a password")
                                           .arg(entry.name));
                    return false;
                }
            }
            // Saturate rather than wrap on hostile sizes.
            totalBytes = entry.size > UINT64_MAX - totalBytes ? UINT64_MAX : totalBytes + entry.size;
        }
        plan.push_back(std::move(entry));
    }

    // Entries sharing data would unpack one small file to any size, past the
    // free-space check that trusts each entry's own size.
    const ZipEntrySpans::Finding spans = ZipEntrySpans::check(
        _unzFd, _unzBase, zip_uint64_t(count), [&plan](zip_uint64_t index, zip_uint64_t compressedSize, zip_uint32_t crc) {
            return plan[size_t(index)].compressedSize == compressedSize && plan[size_t(index)].crc == crc;
        });
    if (spans.kind == ZipEntrySpans::Finding::Overlapping) {
        OutputErrorMessage(QStringLiteral("Refused: entry \"%1\" overlaps the data of entry \"%2\"")
                               .arg(plan[size_t(spans.later)].name, plan[size_t(spans.earlier)].name));
        return false;
    }
    if (spans.kind == ZipEntrySpans::Finding::Unreadable) {
        OutputErrorMessage(QStringLiteral("Refused: cannot read the central directory of \"%1\" to check its entries for overlaps")
                               .arg(_zipFilePath));
        return false;
    }

    if (const std::optional<quint64> available = availableSpaceFor(path);
        available && totalBytes > *available) {
        OutputErrorMessage(QStringLiteral("Not enough free space: unpacking needs %1, only %2 are available")
                               .arg(humanSize(totalBytes), humanSize(*available)));
        return false;
    }

    const QString destination = path.endsWith(QLatin1Char('/')) ? path.chopped(1) : path;
    const qint64 progressTotal = qint64(qMin<quint64>(totalBytes, quint64(INT64_MAX)));
    qint64 progressDone = 0;
    if (_progressListener && !_progressListener->progress(0, progressTotal)) {
        OutputErrorMessage(QStringLiteral("Cancelled"));
        return false;
    }

    std::vector<char> buffer(TransferBufferSize);
    bool succeeded = true;
    for (const PlannedEntry &entry : plan) {
        const QString target = entry.relativePath.isEmpty()
            ? destination
            : destination + QLatin1Char('/') + entry.relativePath;
        std::error_code ec;
        // A folder that cannot be made fails every entry after it: stop here.
        const fs::path folder = entry.isDirectory ? toFsPath(target) : toFsPath(target).parent_path();
        fs::create_directories(folder, ec);
        if (ec) {
            OutputErrorMessage(QStringLiteral("Cannot create the folder \"%1\": %2")
                                   .arg(QFile::decodeName(folder.c_str()), QString::fromLocal8Bit(ec.message().c_str())));
            return false;
        }
        if (entry.isDirectory)
            continue;

        if (!overWrite && fs::exists(fs::symlink_status(toFsPath(target), ec)) && !OverWrite(target)) {
            // A skipped entry is done as far as progress goes.
            progressDone += qint64(entry.size);
            if (_progressListener && !_progressListener->progress(progressDone, progressTotal)) {
                OutputErrorMessage(QStringLiteral("Cancelled"));
                return false;
            }
            continue;
        }

        zip_file_t *file = password.isEmpty()
            ? zip_fopen_index(_unzFile, entry.index, 0)
            : zip_fopen_index_encrypted(_unzFile, entry.index, 0, password.constData());
        if (!file) {
            OutputErrorMessage(QStringLiteral("Error occurs"));
            OutputErrorMessage(QStringLiteral("Cannot open entry \"%1\": %2")
                                   .arg(entry.name, QString::fromUtf8(zip_strerror(_unzFile))));
            return false;
        }

        // O_NOFOLLOW: never write through a symbolic link someone placed here.
        const int fd = ::open(QFile::encodeName(target).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) {
            OutputErrorMessage(QStringLiteral("Cannot write \"%1\": %2").arg(target, errnoText()));
            zip_fclose(file);
            return false;
        }

        bool readFailed = false;
        bool writeFailed = false;
        bool cancelled = false;
        QString writeError;
        zip_uint64_t written = 0;
        for (;;) {
            const zip_int64_t n = zip_fread(file, buffer.data(), zip_uint64_t(buffer.size()));
            if (n == 0)
                break;
            if (n < 0) {
                readFailed = true;
                break;
            }
            written += zip_uint64_t(n);
            if (written > entry.size) {
                // More data than declared would defeat the free-space check.
                readFailed = true;
                break;
            }
            if (!writeAll(fd, buffer.data(), qsizetype(n))) {
                writeFailed = true;
                writeError = errnoText();
                break;
            }
            progressDone += n;
            if (_progressListener && !_progressListener->progress(progressDone, progressTotal)) {
                cancelled = true;
                break;
            }
        }
        if (!readFailed && !writeFailed && !cancelled && written != entry.size)
            readFailed = true;

        // A size that disagrees with the header is our finding, not libzip's:
        // its error would read "No error".
        const bool sizeMismatch = readFailed && zip_error_code_zip(zip_file_get_error(file)) == ZIP_ER_OK;
        const QString readError = !sizeMismatch ? QString::fromUtf8(zip_file_strerror(file))
            : written > entry.size
                ? QStringLiteral("it holds more than the %1 bytes its header declares").arg(entry.size)
                : QStringLiteral("it holds %1 of the %2 bytes its header declares").arg(written).arg(entry.size);
        if (zip_fclose(file) != 0 && !writeFailed && !cancelled)
            readFailed = true;

        if (entry.hasMtime && !writeFailed && !cancelled) {
            const struct timespec times[2] = {{entry.mtime, 0}, {entry.mtime, 0}};
            if (::futimens(fd, times) != 0)
                qCWarning(lcZip).noquote() << "Failed to set attributes" << target;
        }
        if (::close(fd) != 0 && !writeFailed) {
            writeFailed = true;
            writeError = errnoText();
        }

        if (cancelled || writeFailed) {
            // A half-written file is worse than none.
            ::unlink(QFile::encodeName(target).constData());
            if (cancelled) {
                OutputErrorMessage(QStringLiteral("Cancelled"));
            } else {
                OutputErrorMessage(QStringLiteral("Cannot write \"%1\": %2").arg(target, writeError));
            }
            return false;
        }
        if (readFailed) {
            OutputErrorMessage(QStringLiteral("Failed to reading zip file"));
            OutputErrorMessage(QStringLiteral("Entry \"%1\" is damaged: %2").arg(entry.name, readError));
            succeeded = false;
        }
    }
    return succeeded;
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
    _zipFile = zip_open(QFile::encodeName(zipFile).constData(), ZIP_CREATE | ZIP_TRUNCATE, &error);
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

    zip_source_t *data = spoolSource(file);
    if (!data)
        return false;
    const QByteArray name = newname.toUtf8();
    const zip_int64_t index = zip_file_add(_zipFile, name.constData(), data, ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        zip_source_free(data);
        return false;
    }
    const auto idx = zip_uint64_t(index);
    bool ok = zip_set_file_compression(_zipFile, idx, ZIP_CM_DEFLATE, 0) == 0;
    if (ok && modified.isValid())
        ok = zip_file_set_mtime(_zipFile, idx, time_t(modified.toSecsSinceEpoch()), 0) == 0;
    if (ok && !password.isEmpty())
        ok = zip_file_set_encryption(_zipFile, idx, ZIP_EM_TRAD_PKWARE, password.constData()) == 0;
    if (!ok)
        zip_delete(_zipFile, idx);
    return ok;
}

bool ZipArchive::CloseZipFile2()
{
    _password.clear();
    if (!_zipFile)
        return false;
    zip_t *archive = std::exchange(_zipFile, nullptr);
    // Runs after libzip has read the spooled copies.
    const auto spool = qScopeGuard([this] { closeSpool(); });
    const QString path = std::exchange(_zipFilePath, QString());

    if (zip_get_num_entries(archive, 0) == 0) {
        // libzip leaves no file for an empty archive; a created archive must
        // exist, so write the bare end-of-central-directory record.
        zip_discard(archive);
        QSaveFile out(path);
        if (!out.open(QIODevice::WriteOnly))
            return false;
        static const char emptyZip[22] = {'P', 'K', 5, 6};
        out.write(emptyZip, sizeof emptyZip);
        return out.commit();
    }
    if (zip_close(archive) != 0) {
        qCWarning(lcZip) << "cannot write" << path << zip_strerror(archive);
        zip_discard(archive);
        return false;
    }
    return true;
}

void ZipArchive::discardZipFile()
{
    _password.clear();
    _zipFilePath.clear();
    if (_zipFile)
        zip_discard(std::exchange(_zipFile, nullptr));
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
    std::vector<char> buffer(ok ? TransferBufferSize : 0);
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
    return spoolSliceSource(_zipFile, _spoolFd, zip_uint64_t(start), zip_uint64_t(end - start), info.st_mtime);
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
