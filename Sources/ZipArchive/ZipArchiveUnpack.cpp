// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// The reading side's UnzipFileTo: planning every entry, extracting one entry,
// and the two loops over the plan, on the caller's thread or on workers.
#include "ZipArchive/ZipArchive.h"

#include "Common/ByteSize.h"
#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "Common/ProgressListener.h"
#include "ZipArchive/WinZipAes.h"
#include "ZipArchive/ZipEntryName.h"
#include "ZipArchive/ZipEntrySpans.h"
#include "ZipArchive/ZipReader.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QThread>

#include <zip.h>
#include <zlib.h>
#ifdef MTI_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

using FileOperations::toFsPath;
using FileOperations::writeAll;

namespace {

// 64 KiB measured clearly faster than the classic 4 KiB; memory stays bounded
// whatever the archive's size. It is also the step at which a cancel stops.
constexpr size_t TransferBufferSize = 64 * 1024;
// Below this much data, starting threads and reading the directory once
// more per worker costs more than inflating on two cores saves.
constexpr quint64 ParallelMinimumBytes = 8 * 1024 * 1024;
// Each worker holds a full copy of libzip's directory (about 270 bytes an
// entry, measured): past this count the copies would cost more memory than
// unpacking on one thread does in all, and the directory is read in windows.
constexpr zip_uint64_t ParallelMaximumEntries = ZipReader::WholeDirectoryMaximum;
constexpr int MaxWorkers = 4;
// How often the caller's thread tells the listener what workers wrote, and
// how far they may run ahead of it.
constexpr std::chrono::milliseconds ProgressInterval{10};
constexpr size_t MaxUntoldChunks = 64;
constexpr int MaxForcedWorkers = 8;

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

ZipError::Code writeFault(int error)
{
    return error == ENOSPC || error == EDQUOT  ? ZipError::DiskFull
        : error == EACCES || error == EPERM    ? ZipError::PermissionDenied
                                               : ZipError::WriteFailed;
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

// The outcome of writing one file entry.
struct EntryResult
{
    enum Kind {
        Written,
        Damaged,      // written as far as it could be read; the walk goes on
        OpenFailed,   // the entry could not be opened: the walk stops
        WriteFailed,  // the walk stops; no partial file is left
        Stopped,      // told to stop; no partial file is left
    };
    Kind kind = Written;
    QString problem;
    int zipError = ZIP_ER_OK;
    int error = 0;
    // The file did not exist before: a parallel walk that must undo the work
    // of entries after a fatal one may remove it.
    bool created = false;
};

// Inflates a deflated entry libzip reads raw, and checks its CRC. libzip 1.7
// hands zlib 8 KiB at a time, so zlib copies every byte it inflates into its
// window once more, and checks CRCs with zlib's table code; here zlib gets
// large reads, and the CRC is libdeflate's (three times as fast) where the
// build has it. Reads as zip_fread does: 0 at the end, -1 with problem set.
class EntryInflater
{
public:
    // Reads of the raw data: at most 256 KiB, and little more than the entry holds.
    EntryInflater(zip_file_t *raw, zip_uint64_t compressedSize, zip_uint32_t expectedCrc)
        : _raw(raw)
        , _expectedCrc(expectedCrc)
        , _inputSize(size_t(std::clamp<zip_uint64_t>(compressedSize + 1, 512, 256 * 1024)))
        , _input(new char[_inputSize])
    {
        _sound = inflateInit2(&_stream, -MAX_WBITS) == Z_OK;
    }
    ~EntryInflater()
    {
        if (_sound)
            inflateEnd(&_stream);
    }
    EntryInflater(const EntryInflater &) = delete;
    EntryInflater &operator=(const EntryInflater &) = delete;

    zip_int64_t read(char *data, size_t length)
    {
        if (!_sound)
            return fail(ZIP_ER_MEMORY);
        if (!_problem.isEmpty())
            return -1;
        _stream.next_out = reinterpret_cast<Bytef *>(data);
        _stream.avail_out = uInt(length);
        while (_stream.avail_out > 0 && !_ended && _problem.isEmpty()) {
            if (_stream.avail_in == 0 && !_inputEnded) {
                const zip_int64_t n = zip_fread(_raw, _input.get(), _inputSize);
                if (n < 0) {
                    _problem = QString::fromUtf8(zip_file_strerror(_raw));
                    break;
                }
                _inputEnded = n == 0;
                _stream.next_in = reinterpret_cast<Bytef *>(_input.get());
                _stream.avail_in = uInt(n);
            }
            // With all input read, zlib may still hold the stream's last
            // bits: only when it can go no further do the data end too soon.
            const int status = inflate(&_stream, Z_NO_FLUSH);
            if (status == Z_STREAM_END)
                _ended = true;
            else if (status == Z_BUF_ERROR && _inputEnded)
                fail(ZIP_ER_COMPRESSED_DATA);
            else if (status != Z_OK && status != Z_BUF_ERROR)
                fail(ZIP_ER_ZLIB, status);
        }
        // What came before a fault is written, as libzip's reads do.
        const size_t produced = length - _stream.avail_out;
        _crc = crc32Of(_crc, data, produced);
        if (produced > 0)
            return zip_int64_t(produced);
        if (_problem.isEmpty() && _crc != _expectedCrc)
            fail(ZIP_ER_CRC);
        return _problem.isEmpty() ? 0 : -1;
    }

    const QString &problem() const { return _problem; }

private:
    static zip_uint32_t crc32Of(zip_uint32_t crc, const char *data, size_t length)
    {
#ifdef MTI_HAVE_LIBDEFLATE
        return libdeflate_crc32(crc, data, length);
#else
        return zip_uint32_t(::crc32_z(crc, reinterpret_cast<const Bytef *>(data), length));
#endif
    }
    // libzip's own words for the fault.
    zip_int64_t fail(int code, int detail = 0)
    {
        zip_error_t error;
        zip_error_init(&error);
        zip_error_set(&error, code, detail);
        _problem = QString::fromUtf8(zip_error_strerror(&error));
        zip_error_fini(&error);
        return -1;
    }

    zip_file_t *_raw;
    zip_uint32_t _expectedCrc;
    zip_uint32_t _crc = 0;
    z_stream _stream{};
    size_t _inputSize;
    std::unique_ptr<char[]> _input;
    bool _sound = false;
    bool _ended = false;
    bool _inputEnded = false;
    QString _problem;
};

// libzip's own words for an error code.
QString zipErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    const QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

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

// Streams entry index of archive into the file target. keepGoing is told the
// bytes of each chunk written; answering false stops the entry.
EntryResult extractEntry(zip_t *archive, zip_uint64_t index, zip_uint64_t declaredSize, bool hasMtime,
                         time_t mtime, const QByteArray &password, const QString &target, char *buffer,
                         const std::function<bool(qint64)> &keepGoing)
{
    EntryResult result;
    zip_stat_t stat;
    constexpr zip_uint64_t needed = ZIP_STAT_COMP_METHOD | ZIP_STAT_ENCRYPTION_METHOD | ZIP_STAT_CRC;
    const bool inflateHere = declaredSize > 0 && zip_stat_index(archive, index, 0, &stat) == 0
        && (stat.valid & needed) == needed && stat.comp_method == ZIP_CM_DEFLATE
        && stat.encryption_method == ZIP_EM_NONE;
    const zip_flags_t flags = inflateHere ? ZIP_FL_COMPRESSED : 0;
    zip_file_t *file = password.isEmpty() ? zip_fopen_index(archive, index, flags)
                                          : zip_fopen_index_encrypted(archive, index, flags, password.constData());
    if (!file) {
        result.kind = EntryResult::OpenFailed;
        result.zipError = zip_error_code_zip(zip_get_error(archive));
        result.problem = QString::fromUtf8(zip_strerror(archive));
        return result;
    }

    // O_NOFOLLOW: never write through a symbolic link someone placed here.
    // O_EXCL first tells a file made now from one that was there.
    const QByteArray targetName = QFile::encodeName(target);
    int fd = ::open(targetName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    result.created = fd >= 0;
    if (fd < 0 && errno == EEXIST)
        fd = ::open(targetName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        result.kind = EntryResult::WriteFailed;
        result.error = errno;
        zip_fclose(file);
        return result;
    }

    // zlib copies all it inflates into its window as well. Reads of whole
    // pages keep that copy at one alignment to the window for a whole entry,
    // and at one alignment (the heap's choice) it runs ten times slower on
    // some processors (4 KiB aliasing). Reads 16 bytes short move it along.
    constexpr size_t ReadLength = TransferBufferSize - 16;
    std::optional<EntryInflater> inflater;
    if (inflateHere)
        inflater.emplace(file, (stat.valid & ZIP_STAT_COMP_SIZE) ? stat.comp_size : 0, stat.crc);
    bool readFailed = false;
    zip_uint64_t written = 0;
    for (;;) {
        const zip_int64_t n = inflater ? inflater->read(buffer, ReadLength) : zip_fread(file, buffer, ReadLength);
        if (n == 0)
            break;
        if (n < 0) {
            readFailed = true;
            break;
        }
        written += zip_uint64_t(n);
        if (written > declaredSize) {
            // More data than declared would defeat the free-space check.
            readFailed = true;
            break;
        }
        if (!writeAll(fd, buffer, qsizetype(n))) {
            result.kind = EntryResult::WriteFailed;
            result.error = errno;
            break;
        }
        if (!keepGoing(n)) {
            result.kind = EntryResult::Stopped;
            break;
        }
    }
    bool finished = result.kind == EntryResult::Written;
    if (finished && !readFailed && written != declaredSize)
        readFailed = true;
    // libzip hands out an entry without data unchecked; the CRC of nothing is 0.
    if (finished && !readFailed && written == 0 && nonZeroCrc(archive, index)) {
        readFailed = true;
        result.problem = zipErrorText(ZIP_ER_CRC);
    }

    // libzip's CRC error at the end of an AES entry may only be its mistake
    // over an AE-2 entry's CRC of 0; the authentication code decides.
    const WinZipAes::Verdict verdict =
        finished && readFailed && !password.isEmpty() && zip_error_code_zip(zip_file_get_error(file)) == ZIP_ER_CRC
        ? WinZipAes::authenticate(archive, index, password, buffer, TransferBufferSize, [&] { return keepGoing(0); })
        : WinZipAes::Verdict::Unverified;
    const bool vouchedFor = verdict == WinZipAes::Verdict::Authentic && written == declaredSize;
    const bool forged = verdict == WinZipAes::Verdict::Forged;
    if (vouchedFor)
        readFailed = false;
    if (forged)
        result.problem = QCoreApplication::translate("ZipArchive", "its data fail their authentication check");
    if (verdict == WinZipAes::Verdict::Stopped) {
        result.kind = EntryResult::Stopped;
        finished = false;
    }

    if (finished && readFailed && result.problem.isEmpty()) {
        const QString readerProblem = inflater ? inflater->problem()
            : zip_error_code_zip(zip_file_get_error(file)) != ZIP_ER_OK ? QString::fromUtf8(zip_file_strerror(file))
                                                                        : QString();
        result.problem = readProblem(readerProblem, written, declaredSize);
    }
    if (zip_fclose(file) != 0 && finished && !readFailed && !vouchedFor) {
        readFailed = true;
        result.problem = QString::fromUtf8(zip_strerror(archive));
    }

    if (hasMtime && finished) {
        const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
        if (::futimens(fd, times) != 0)
            qCWarning(lcZip).noquote() << "Failed to set attributes" << target;
    }
    if (::close(fd) != 0 && result.kind != EntryResult::WriteFailed) {
        if (finished) {
            result.kind = EntryResult::WriteFailed;
            result.error = errno;
        }
    }
    if (result.kind == EntryResult::WriteFailed || result.kind == EntryResult::Stopped) {
        // A half-written file is worse than none.
        ::unlink(targetName.constData());
    } else if (readFailed) {
        result.kind = EntryResult::Damaged;
        // Encrypted data can be changed at will without the password: what
        // fails the check may be anyone's choice, and is not kept.
        if (forged)
            ::unlink(targetName.constData());
    }
    return result;
}

// The messages and the error kind an entry's failure is reported with.
struct EntryFault
{
    ZipError::Code code;
    QString generic;
    QString detail;
};

// A link stands where an entry would be written, or on its way there.
EntryFault linkFault(const QString &path)
{
    return {ZipError::UnsafeName, {},
            QCoreApplication::translate("ZipArchive",
                                        "\"%1\" is a symbolic link, and nothing is written through one")
                .arg(path)};
}

EntryFault faultOf(const EntryResult &result, const QString &name, const QString &target)
{
    switch (result.kind) {
    case EntryResult::Damaged:
        return {ZipError::Damaged, QStringLiteral("Failed to reading zip file"),
                QCoreApplication::translate("ZipArchive", "Entry \"%1\" is damaged: %2").arg(name, result.problem)};
    case EntryResult::OpenFailed:
        return {result.zipError == ZIP_ER_WRONGPASSWD ? ZipError::WrongPassword : ZipError::Damaged,
                QStringLiteral("Error occurs"), QCoreApplication::translate("ZipArchive",
                    "Cannot open entry \"%1\": %2").arg(name, result.problem)};
    case EntryResult::WriteFailed:
        if (result.error == ELOOP)  // the file's own name is a link: opened with O_NOFOLLOW
            return linkFault(target);
        return {writeFault(result.error), {},
                QCoreApplication::translate("ZipArchive",
                                            "Cannot write \"%1\": %2").arg(target, errnoText(result.error))};
    case EntryResult::Stopped:
        return {ZipError::Cancelled, {}, QCoreApplication::translate("ZipArchive", "Cancelled")};
    case EntryResult::Written:
        break;
    }
    return {ZipError::None, {}, {}};
}

EntryFault folderFault(const fs::path &folder, const std::error_code &ec)
{
    return {writeFault(ec.value()), {},
            QCoreApplication::translate("ZipArchive", "Cannot create the folder \"%1\": %2")
                .arg(QFile::decodeName(folder.c_str()), QString::fromLocal8Bit(ec.message().c_str()))};
}

// Makes folder below destination unless it is the one made last: entries
// come folder by folder. A link on the way refuses: the folder it points to
// may lie anywhere, and nothing is written outside the destination.
std::optional<EntryFault> makeFolder(const fs::path &destination, const fs::path &folder, fs::path &lastMade)
{
    if (folder == lastMade)
        return std::nullopt;
    std::error_code ec;
    if (lastMade.empty() && (fs::create_directories(destination, ec), ec))
        return folderFault(destination, ec);
    const fs::path relative = folder.lexically_relative(destination);
    const fs::path lastRelative = lastMade.empty() ? fs::path() : lastMade.lexically_relative(destination);
    // What the folder shares with the one made last was looked at then.
    auto part = relative.begin();
    fs::path at = destination;
    for (auto last = lastRelative.begin(); part != relative.end() && last != lastRelative.end() && *part == *last;
         ++part, ++last)
        at /= *part;
    for (; part != relative.end(); ++part) {
        if (*part == ".")
            continue;
        at /= *part;
        const fs::file_type type = fs::symlink_status(at, ec).type();
        if (type == fs::file_type::not_found) {
            if (!fs::create_directory(at, ec) && ec)
                return folderFault(at, ec);
        } else if (ec) {
            return folderFault(at, ec);
        } else if (type == fs::file_type::symlink) {
            return linkFault(QFile::decodeName(at.c_str()));
        } else if (type != fs::file_type::directory) {
            return folderFault(at, std::make_error_code(std::errc::not_a_directory));
        }
    }
    lastMade = folder;
    return std::nullopt;
}

// Whether two entries would write one path, or a file where another entry
// needs a folder: then the order of writing matters and only the caller's
// thread keeps it. Paths are compared by hash, case-folded and composed as a
// case-insensitive, normalizing file system (macOS's) would see them; a
// collision only costs the parallel walk.
bool targetsCollide(const ZipReader &reader)
{
    const zip_uint64_t count = reader.count();
    std::unordered_set<size_t> files;
    std::unordered_set<size_t> folders;
    files.reserve(size_t(count));
    for (zip_uint64_t i = 0; i < count; ++i) {
        const QString name = reader.name(i);
        std::optional<QString> relative = safeRelativeEntryPath(name);
        if (!relative)
            return true;
        relative = relative->normalized(QString::NormalizationForm_C).toCaseFolded();
        const bool isDirectory = ZipReader::isFolder(name, reader.entry(i));
        if (!isDirectory && !files.insert(qHash(*relative)).second)
            return true;
        if (isDirectory)
            folders.insert(qHash(*relative));
        for (qsizetype slash = relative->indexOf(QLatin1Char('/')); slash >= 0;
             slash = relative->indexOf(QLatin1Char('/'), slash + 1))
            folders.insert(qHash(QStringView(*relative).left(slash)));
    }
    for (const size_t folder : folders) {
        if (files.count(folder))
            return true;
    }
    return false;
}

} // namespace

struct ZipArchive::UnpackPlan
{
    // One record an entry, in central directory order: what extraction needs
    // besides the name, which the reader keeps (16 bytes).
    struct Entry
    {
        zip_uint64_t size = 0;
        qint64 mtime : 62 = 0;
        bool isDirectory : 1 = false;
        bool hasMtime : 1 = false;
    };
    static_assert(sizeof(Entry) == 16);
    std::vector<Entry> entries;
    QString destination;
    QByteArray password;
    quint64 totalBytes = 0;
    zip_uint64_t fileEntries = 0;
    bool encrypted = false;

    qint64 progressTotal() const { return qint64(qMin<quint64>(totalBytes, quint64(INT64_MAX))); }

    QString targetOf(const ZipReader &reader, zip_uint64_t index, QString *name = nullptr) const
    {
        const QString stored = reader.name(index);
        if (name)
            *name = stored;
        // Planning refused every name this would not accept.
        const QString relative = safeRelativeEntryPath(stored).value_or(QString());
        return relative.isEmpty() ? destination : destination + QLatin1Char('/') + relative;
    }
};

bool ZipArchive::UnzipFileTo(const QString &path, bool overWrite)
{
    _lastError = {};
    _lastWorkers = 0;
    UnpackPlan plan;
    if (!planUnpack(path, plan))
        return false;
    if (_progressListener && !_progressListener->progress(0, plan.progressTotal())) {
        fail(ZipError::Cancelled, {}, QCoreApplication::translate("ZipArchive", "Cancelled"));
        return false;
    }
    const std::vector<zip_t *> readers = openWorkerReaders(plan, overWrite);
    if (readers.empty())
        return unpackSequentially(plan, overWrite);
    const bool ok = unpackInParallel(plan, readers);
    for (zip_t *reader : readers)
        zip_discard(reader);
    return ok;
}

bool ZipArchive::planUnpack(const QString &path, UnpackPlan &plan)
{
    const zip_uint64_t count = _reader ? _reader->count() : 0;
    const auto refuse = [this](const ZipFault &fault) {
        fail(fault.code, fault.generic, fault.detail);
        return false;
    };
    if (count == 0) {
        ZipFault fault = ZipReader::noEntries();
        if (!_reader)
            fault.code = ZipError::NotOpen;
        return refuse(fault);
    }
    plan.password = asciiPassword();
    plan.destination = path.endsWith(QLatin1Char('/')) ? path.chopped(1) : path;

    // Look at every entry before writing anything, so that an archive that
    // would escape the destination, cannot be decoded or does not fit is
    // refused with nothing on disk.
    plan.entries.resize(size_t(count));
    for (zip_uint64_t i = 0; i < count; ++i) {
        const ZipReader::Entry &stat = _reader->entry(i);
        if (!(stat.valid & ZIP_STAT_NAME))
            return refuse(ZipReader::statFailed());
        UnpackPlan::Entry &entry = plan.entries[size_t(i)];
        const QString name = _reader->name(i);
        entry.isDirectory = ZipReader::isFolder(name, stat);
        if (const std::optional<ZipFault> refusal =
                ZipReader::entryRefusal(name, entry.isDirectory, stat, !plan.password.isEmpty()))
            return refuse(*refusal);
        entry.size = stat.size;
        entry.hasMtime = stat.valid & ZIP_STAT_MTIME;
        entry.mtime = stat.mtime;
        if (entry.isDirectory)
            continue;
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryptionMethod != ZIP_EM_NONE)
            plan.encrypted = true;
        ++plan.fileEntries;
        // Saturate rather than wrap on hostile sizes.
        plan.totalBytes = entry.size > UINT64_MAX - plan.totalBytes ? UINT64_MAX : plan.totalBytes + entry.size;
    }

    const ZipReader &reader = *_reader;
    if (const std::optional<ZipFault> refusal = reader.overlapRefusal(
            [&reader](zip_uint64_t index, zip_uint64_t compressedSize, zip_uint32_t crc) {
                const ZipReader::Entry &entry = reader.entry(index);
                return entry.compressedSize == compressedSize && entry.crc == crc;
            },
            [&reader](zip_uint64_t index) { return reader.name(index); }))
        return refuse(*refusal);

    if (const std::optional<quint64> available = availableSpaceFor(path);
        available && plan.totalBytes > *available) {
        fail(ZipError::DiskFull, {},
             QCoreApplication::translate("ZipArchive",
                                         "Not enough free space: unpacking needs %1, only %2 are available")
                 .arg(ByteSize::forMessage(plan.totalBytes), ByteSize::forMessage(*available)));
        return false;
    }
    return true;
}

bool ZipArchive::unpackSequentially(const UnpackPlan &plan, bool overWrite)
{
    const qint64 progressTotal = plan.progressTotal();
    qint64 progressDone = 0;
    const auto keepGoing = [&](qint64 bytes) {
        progressDone += bytes;
        return !_progressListener || _progressListener->progress(progressDone, progressTotal);
    };
    std::vector<char> buffer(TransferBufferSize);
    const fs::path destination = toFsPath(plan.destination);
    fs::path lastFolder;
    bool succeeded = true;
    for (zip_uint64_t i = 0; i < plan.entries.size(); ++i) {
        const UnpackPlan::Entry &entry = plan.entries[i];
        QString name;
        const QString target = plan.targetOf(*_reader, i, &name);
        std::error_code ec;
        // A folder that cannot be made fails every entry after it: stop here.
        const fs::path folder = entry.isDirectory ? toFsPath(target) : toFsPath(target).parent_path();
        if (const std::optional<EntryFault> fault = makeFolder(destination, folder, lastFolder)) {
            fail(fault->code, fault->generic, fault->detail);
            return false;
        }
        if (entry.isDirectory)
            continue;

        if (!overWrite && fs::exists(fs::symlink_status(toFsPath(target), ec)) && !OverWrite(target)) {
            // A skipped entry is done as far as progress goes.
            if (!keepGoing(qint64(entry.size))) {
                fail(ZipError::Cancelled, {}, QCoreApplication::translate("ZipArchive", "Cancelled"));
                return false;
            }
            continue;
        }

        zip_uint64_t index = 0;
        QString problem;
        EntryResult result;
        if (zip_t *archive = _reader->archiveFor(i, &index, &problem)) {
            result = extractEntry(archive, index, entry.size, entry.hasMtime, time_t(entry.mtime), plan.password, target,
                                  buffer.data(), keepGoing);
        } else {
            result.kind = EntryResult::OpenFailed;
            result.zipError = ZIP_ER_INCONS;
            result.problem = problem;
        }
        if (result.kind == EntryResult::Written)
            continue;
        const EntryFault fault = faultOf(result, name, target);
        fail(fault.code, fault.generic, fault.detail);
        if (result.kind != EntryResult::Damaged)
            return false;
        succeeded = false;
    }
    return succeeded;
}

std::vector<zip_t *> ZipArchive::openWorkerReaders(const UnpackPlan &plan, bool overWrite)
{
    int wanted = _workerCount;
    if (wanted == 0)
        wanted = qEnvironmentVariableIntValue("MTI_UNZIP_WORKERS");
    const bool forced = wanted >= 2;
    if (wanted == 0) {
        if (plan.totalBytes < ParallelMinimumBytes || plan.entries.size() > ParallelMaximumEntries)
            return {};
        wanted = std::min(QThread::idealThreadCount(), MaxWorkers);
    }
    wanted = std::min<zip_uint64_t>({zip_uint64_t(std::min(wanted, MaxForcedWorkers)), plan.fileEntries});
    // A windowed directory is read one window at a time, on this thread.
    if (wanted < 2 || !overWrite || plan.encrypted || _reader->windowed() || targetsCollide(*_reader))
        return {};

    std::vector<zip_t *> readers;
    const auto releaseLast = [&readers] {
        zip_discard(readers.back());
        readers.pop_back();
    };
    while (int(readers.size()) < wanted) {
        zip_t *reader = _reader->openWholeCopy();
        if (!reader)
            break; // most likely out of descriptors: fewer workers will do
        readers.push_back(reader);
    }
    // Every worker needs one more descriptor for the file it writes; under
    // a low limit give up workers rather than fail a write.
    while (!readers.empty()) {
        std::vector<int> probe;
        for (size_t i = 0; i <= readers.size(); ++i) {
            const int fd = ::fcntl(_reader->fd(), F_DUPFD_CLOEXEC, 0);
            if (fd < 0)
                break;
            probe.push_back(fd);
        }
        const bool enough = probe.size() > readers.size();
        for (const int fd : probe)
            ::close(fd);
        if (enough)
            break;
        releaseLast();
    }
    if (readers.size() < 2) {
        while (!readers.empty())
            releaseLast();
    }
    if (forced || !readers.empty())
        qCDebug(lcZip) << "unpacking with" << readers.size() << "workers of" << wanted;
    return readers;
}

bool ZipArchive::unpackInParallel(const UnpackPlan &plan, const std::vector<zip_t *> &readers)
{
    const zip_uint64_t count = plan.entries.size();

    // Folders first, in archive order, on this thread. Where one cannot be
    // made, the caller's-thread walk would have stopped: entries from there
    // on are not written and that fault is reported after those before it.
    std::optional<EntryFault> folderFailure;
    zip_uint64_t limit = count;
    {
        const fs::path destination = toFsPath(plan.destination);
        fs::path lastFolder;
        for (zip_uint64_t i = 0; i < count; ++i) {
            const QString target = plan.targetOf(*_reader, i);
            const fs::path folder = plan.entries[i].isDirectory ? toFsPath(target) : toFsPath(target).parent_path();
            folderFailure = makeFolder(destination, folder, lastFolder);
            if (folderFailure) {
                limit = i;
                break;
            }
        }
    }

    // Largest first, so no worker is left with a big entry at the end.
    std::vector<zip_uint32_t> order;
    order.reserve(size_t(plan.fileEntries));
    for (zip_uint64_t i = 0; i < limit; ++i) {
        if (!plan.entries[i].isDirectory)
            order.push_back(zip_uint32_t(i));
    }
    std::stable_sort(order.begin(), order.end(), [&plan](zip_uint32_t a, zip_uint32_t b) {
        return plan.entries[a].size > plan.entries[b].size;
    });

    std::atomic<size_t> nextClaim{0};
    // Chunks written and not yet told to the listener, told every few
    // milliseconds, each on its own, as on the caller's thread. A worker
    // that gets far ahead waits, so a cancel stops the walk soon after the
    // listener asks for it, and each worker within one more chunk.
    std::vector<qint64> untold;
    std::atomic<bool> cancelled{false};
    // The first entry, in archive order, that stopped the walk; entries after
    // it are not to be written, as on the caller's thread.
    std::atomic<zip_uint64_t> stopAt{limit};
    std::atomic<int> running{0};
    std::mutex mutex;
    std::condition_variable changed;  // to this thread: a chunk written, a worker done
    std::condition_variable told;     // to the workers: chunks told, or cancelled
    std::map<zip_uint64_t, EntryResult> problems;
    // Entries written into files made now, to be removed if a fault before
    // them stops the walk. Each slot is written by one worker only.
    std::vector<char> created(size_t(limit), 0);

    const auto work = [&](zip_t *reader) {
        std::vector<char> buffer(TransferBufferSize);
        for (size_t k = nextClaim++; k < order.size(); k = nextClaim++) {
            const zip_uint64_t i = order[k];
            if (cancelled || i >= stopAt)
                continue;
            const UnpackPlan::Entry &entry = plan.entries[i];
            const QString target = plan.targetOf(*_reader, i);
            const auto keepGoing = [&](qint64 bytes) {
                if (_progressListener) {
                    std::unique_lock lock(mutex);
                    untold.push_back(bytes);
                    if (untold.size() >= MaxUntoldChunks) {
                        changed.notify_all();
                        told.wait(lock, [&] { return untold.size() < MaxUntoldChunks || cancelled; });
                    }
                }
                return !cancelled && i <= stopAt;
            };
            EntryResult result = extractEntry(reader, i, entry.size, entry.hasMtime, time_t(entry.mtime), {}, target,
                                              buffer.data(), keepGoing);
            if (result.kind == EntryResult::Written) {
                created[i] = result.created;
                continue;
            }
            if (result.kind == EntryResult::Stopped)
                continue; // the entry that stopped the walk or the cancel is reported
            const bool fatal = result.kind != EntryResult::Damaged;
            if (!fatal)
                created[i] = result.created;
            std::lock_guard lock(mutex);
            problems.emplace(i, std::move(result));
            if (fatal) {
                zip_uint64_t current = stopAt;
                while (i < current && !stopAt.compare_exchange_weak(current, i)) {}
            }
        }
        std::lock_guard lock(mutex);
        --running;
        changed.notify_all();
    };

    std::vector<std::thread> threads;
    running = int(readers.size());
    for (zip_t *reader : readers) {
        try {
            threads.emplace_back(work, reader);
        } catch (const std::system_error &) {
            --running; // fewer threads: the others claim its share
        }
    }
    if (threads.empty())
        return unpackSequentially(plan, true);
    _lastWorkers = int(threads.size());

    // Progress and cancel on this thread, the caller's, while workers run.
    const qint64 progressTotal = plan.progressTotal();
    qint64 progressDone = 0;
    {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait_for(lock, ProgressInterval,
                             [&] { return running == 0 || untold.size() >= MaxUntoldChunks; });
            const bool finished = running == 0;
            std::vector<qint64> chunks;
            chunks.swap(untold);
            told.notify_all();
            lock.unlock();
            for (const qint64 bytes : chunks) {
                progressDone += bytes;
                if (!cancelled && _progressListener && !_progressListener->progress(progressDone, progressTotal))
                    cancelled = true;
            }
            lock.lock();
            if (cancelled)
                told.notify_all();
            if (finished && untold.empty())
                break;
        }
    }
    for (std::thread &thread : threads)
        thread.join();

    // Reported as the caller's-thread walk reports: in archive order, up to
    // the entry that stopped it.
    bool succeeded = !cancelled && stopAt == count;
    for (auto &[index, result] : problems) {
        if (index > stopAt)
            break;
        QString name;
        const QString target = plan.targetOf(*_reader, index, &name);
        const EntryFault fault = faultOf(result, name, target);
        fail(fault.code, fault.generic, fault.detail);
        succeeded = false;
    }
    if (cancelled) {
        fail(ZipError::Cancelled, {}, QCoreApplication::translate("ZipArchive", "Cancelled"));
        return false;
    }
    if (stopAt < count) {
        if (stopAt == limit && folderFailure)
            fail(folderFailure->code, folderFailure->generic, folderFailure->detail);
        // Files of later entries that workers had written already.
        for (zip_uint64_t i = stopAt + 1; i < limit; ++i) {
            if (created[i])
                ::unlink(QFile::encodeName(plan.targetOf(*_reader, i)).constData());
        }
    }
    return succeeded;
}
