// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipEntryWriter.h"

#include "Common/FileDescriptor.h"
#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "ZipArchive/WinZipAes.h"
#include "ZipArchive/ZipEntryInflater.h"
#include "ZipArchive/ZipHandles.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using FileOperations::FileDescriptor;

// Whether the directory gives entry index a CRC other than 0.
bool nonZeroCrc(zip_t *archive, zip_uint64_t index)
{
    zip_stat_t stat;
    return zip_stat_index(archive, index, 0, &stat) == 0 && (stat.valid & ZIP_STAT_CRC) && stat.crc != 0;
}

// Why an entry could not be read: the reader's reason, or else a size that
// disagrees with the header. That is our finding, not libzip's: its error
// would read "No error".
QString readProblem(const QString &readerProblem, zip_uint64_t written, zip_uint64_t declaredSize)
{
    if (!readerProblem.isEmpty())
        return readerProblem;
    return written > declaredSize
        ? QCoreApplication::translate("ZipArchive", "it holds more than the %1 bytes its header declares")
              .arg(declaredSize)
        : QCoreApplication::translate("ZipArchive", "it holds %1 of the %2 bytes its header declares")
              .arg(written)
              .arg(declaredSize);
}

// One entry on its way to its file: the steps share what each found.
class EntryWriting
{
public:
    explicit EntryWriting(const EntryJob &job) : _job(job), _targetName(QFile::encodeName(job.target)) {}

    EntryResult run()
    {
        if (!openEntry() || !openTarget())
            return _result;
        copyData();
        _finished = _result.kind == EntryResult::Written;
        checkLength();
        checkAuthentication();
        closeEntry();
        closeTarget();
        return _result;
    }

private:
    // Deflated entries are read raw and inflated here (ZipEntryInflater);
    // everything else goes through libzip's own decoders.
    bool openEntry()
    {
        constexpr zip_uint64_t needed = ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD | ZIP_STAT_CRC;
        zip_stat_t stat;
        zip_stat_init(&stat);
        const bool inflateHere = _job.declaredSize > 0 && zip_stat_index(_job.archive, _job.index, 0, &stat) == 0
            && (stat.valid & needed) == needed && stat.comp_method == ZIP_CM_DEFLATE
            && stat.encryption_method == ZIP_EM_NONE;
        const zip_flags_t flags = inflateHere ? ZIP_FL_COMPRESSED : 0;
        _file.reset(_job.password.isEmpty()
                        ? zip_fopen_index(_job.archive, _job.index, flags)
                        : zip_fopen_index_encrypted(_job.archive, _job.index, flags, _job.password.constData()));
        if (!_file) {
            _result.kind = EntryResult::OpenFailed;
            _result.zipError = zip_error_code_zip(zip_get_error(_job.archive));
            _result.problem = QString::fromUtf8(zip_strerror(_job.archive));
            return false;
        }
        if (inflateHere)
            _inflater.emplace(_file.get(), (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0, stat.crc);
        return true;
    }

    // O_NOFOLLOW: never write through a symbolic link someone placed here.
    // O_EXCL first tells a file made now from one that was there.
    bool openTarget()
    {
        const char *name = _targetName.constData();
        _fd.reset(::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
        _result.created = _fd.isValid();
        if (!_fd.isValid() && errno == EEXIST)
            _fd.reset(::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666));
        if (!_fd.isValid()) {
            _result.kind = EntryResult::WriteFailed;
            _result.error = errno;
            return false;
        }
        return true;
    }

    void copyData()
    {
        // zlib copies all it inflates into its window as well. Reads of whole
        // pages keep that copy at one alignment to the window for a whole
        // entry, and at one alignment (the heap's choice) it runs ten times
        // slower on some processors (4 KiB aliasing). Reads 16 bytes short
        // move it along.
        constexpr size_t ReadLength = ZipEntryWriter::TransferBufferSize - 16;
        char *buffer = _job.buffer;
        for (;;) {
            const zip_int64_t n =
                _inflater ? _inflater->read(buffer, ReadLength) : zip_fread(_file.get(), buffer, ReadLength);
            if (n == 0)
                return;
            // More data than declared would defeat the free-space check.
            if (n < 0 || (_written += zip_uint64_t(n)) > _job.declaredSize) {
                _readFailed = true;
                return;
            }
            if (!FileOperations::writeAll(_fd.get(), buffer, qsizetype(n))) {
                _result.kind = EntryResult::WriteFailed;
                _result.error = errno;
                return;
            }
            if (!_job.keepGoing(n)) {
                _result.kind = EntryResult::Stopped;
                return;
            }
        }
    }

    void checkLength()
    {
        if (!_finished || _readFailed)
            return;
        if (_written != _job.declaredSize) {
            _readFailed = true;
        } else if (_written == 0 && nonZeroCrc(_job.archive, _job.index)) {
            // libzip hands out an entry without data unchecked; the CRC of nothing is 0.
            _readFailed = true;
            _result.problem = ZipHandles::errorText(ZIP_ER_CRC);
        }
    }

    // libzip's CRC error at the end of an AES entry may only be its mistake
    // over an AE-2 entry's CRC of 0; the authentication code decides.
    void checkAuthentication()
    {
        const bool ask = _finished && _readFailed && !_job.password.isEmpty()
            && zip_error_code_zip(zip_file_get_error(_file.get())) == ZIP_ER_CRC;
        const WinZipAes::Verdict verdict = ask
            ? WinZipAes::authenticate(_job.archive, _job.index, _job.password,
                                      {_job.buffer, ZipEntryWriter::TransferBufferSize},
                                      [this] { return _job.keepGoing(0); })
            : WinZipAes::Verdict::Unverified;
        _vouchedFor = verdict == WinZipAes::Verdict::Authentic && _written == _job.declaredSize;
        _forged = verdict == WinZipAes::Verdict::Forged;
        if (_vouchedFor)
            _readFailed = false;
        if (_forged)
            _result.problem = QCoreApplication::translate("ZipArchive", "its data fail their authentication check");
        if (verdict == WinZipAes::Verdict::Stopped) {
            _result.kind = EntryResult::Stopped;
            _finished = false;
        }
        if (_finished && _readFailed && _result.problem.isEmpty())
            _result.problem = readProblem(readerProblem(), _written, _job.declaredSize);
    }

    QString readerProblem() const
    {
        if (_inflater)
            return _inflater->problem();
        zip_error_t *error = zip_file_get_error(_file.get());
        return zip_error_code_zip(error) != ZIP_ER_OK ? QString::fromUtf8(zip_file_strerror(_file.get())) : QString();
    }

    // zip_fclose is where libzip checks the CRC of what it decoded itself.
    void closeEntry()
    {
        if (zip_fclose(_file.release()) != 0 && _finished && !_readFailed && !_vouchedFor) {
            _readFailed = true;
            _result.problem = QString::fromUtf8(zip_strerror(_job.archive));
        }
    }

    void closeTarget()
    {
        if (_job.mtime && _finished) {
            const struct timespec times[2] = {{*_job.mtime, 0}, {*_job.mtime, 0}};
            if (::futimens(_fd.get(), times) != 0)
                qCWarning(lcZip).noquote() << "Failed to set attributes" << _job.target;
        }
        // close() can report a late write error.
        if (::close(_fd.release()) != 0 && _result.kind != EntryResult::WriteFailed && _finished) {
            _result.kind = EntryResult::WriteFailed;
            _result.error = errno;
        }
        if (_result.kind == EntryResult::WriteFailed || _result.kind == EntryResult::Stopped) {
            // A half-written file is worse than none.
            ::unlink(_targetName.constData());
        } else if (_readFailed) {
            _result.kind = EntryResult::Damaged;
            // Encrypted data can be changed at will without the password: what
            // fails the check may be anyone's choice, and is not kept.
            if (_forged)
                ::unlink(_targetName.constData());
        }
    }

    const EntryJob &_job;
    const QByteArray _targetName;
    EntryResult _result;
    ZipHandles::FilePtr _file;
    std::optional<ZipEntryInflater> _inflater;
    FileDescriptor _fd;
    zip_uint64_t _written = 0;
    bool _readFailed = false;
    bool _finished = false;
    bool _vouchedFor = false;
    bool _forged = false;
};

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

namespace ZipEntryWriter {

EntryResult write(const EntryJob &job)
{
    return EntryWriting(job).run();
}

ZipFault linkFault(const QString &path)
{
    return {ZipError::UnsafeName, {},
            QCoreApplication::translate("ZipArchive", "\"%1\" is a symbolic link, and nothing is written through one")
                .arg(path)};
}

ZipError::Code writeFault(int error)
{
    return error == ENOSPC || error == EDQUOT  ? ZipError::DiskFull
        : error == EACCES || error == EPERM    ? ZipError::PermissionDenied
                                               : ZipError::WriteFailed;
}

} // namespace ZipEntryWriter

ZipFault EntryResult::fault(const QString &name, const QString &target) const
{
    switch (kind) {
    case Damaged:
        return {ZipError::Damaged, QStringLiteral("Failed to reading zip file"),
                QCoreApplication::translate("ZipArchive", "Entry \"%1\" is damaged: %2").arg(name, problem)};
    case OpenFailed:
        return {zipError == ZIP_ER_WRONGPASSWD ? ZipError::WrongPassword : ZipError::Damaged,
                QStringLiteral("Error occurs"),
                QCoreApplication::translate("ZipArchive", "Cannot open entry \"%1\": %2").arg(name, problem)};
    case WriteFailed:
        if (error == ELOOP) // the file's own name is a link: opened with O_NOFOLLOW
            return ZipEntryWriter::linkFault(target);
        return {ZipEntryWriter::writeFault(error), {},
                QCoreApplication::translate("ZipArchive", "Cannot write \"%1\": %2").arg(target, errnoText(error))};
    case Stopped:
        return {ZipError::Cancelled, {}, QCoreApplication::translate("ZipArchive", "Cancelled")};
    case Written:
        break;
    }
    return {ZipError::None, {}, {}};
}
