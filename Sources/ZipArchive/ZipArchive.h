// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <functional>

#include <memory>
#include <optional>
#include <vector>

class ProgressListener;
class ZipArchiveDelegate;
class ZipReader;
struct zip;
struct zip_source;
struct ZipFault;

// What went wrong in the last UnzipOpenFile or UnzipFileTo, for callers that
// decide by the kind of fault rather than by the delegate's English text.
struct ZipError
{
    enum Code {
        None,
        NotFound,
        PermissionDenied,
        NotAFile,         // a folder, pipe, device or socket
        Unreadable,       // opening or reading the archive file failed otherwise
        NotAZip,          // not a zip archive, or its directory is damaged
        NotOpen,          // UnzipFileTo without an open archive
        NoEntries,
        Damaged,          // an entry's data or header cannot be read
        WrongPassword,
        PasswordNeeded,
        Unsupported,      // a compression or encryption method we cannot decode
        DiskFull,         // too little free space, or the disk filled up
        UnsafeName,       // an entry would land outside the destination
        Overlap,          // entries share data
        Cancelled,
        WriteFailed,      // a file or folder could not be written
    };
    Code code = None;
    // The particular English message the delegate was told last, or empty.
    QString detail;

    // As the Error the layers above pass on: the zip domain, this code and
    // detail; no Error for None.
    [[nodiscard]] std::optional<Error> toError() const;
    // The zip layer's code an Error carries; None for any other domain.
    [[nodiscard]] static Code codeOf(const Error &error);
};

// The system's only access to zip containers.
//
// Reading side: UnzipOpenFile, then UnzipFileTo once, then UnzipCloseFile.
// Problems met while opening and unpacking go to the delegate as short
// English messages; the outcome is the boolean result. Only regular files
// open, without ever blocking on a pipe or device. Every entry lands below
// the destination folder, and entries whose data overlap are refused, before
// anything is written; damaged data makes UnzipFileTo answer NO; a failed
// write or cancellation also stops it at once.
//
// Writing side: CreateZipFile2, addFileToZip per file (addFolderToZip per
// folder), CloseZipFile2. With a password every added file is encrypted with
// traditional PKWARE encryption.
class ZipArchive
{
public:
    ZipArchive();
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    [[nodiscard]] bool UnzipOpenFile(const QString &zipFile);
    [[nodiscard]] bool UnzipOpenFile(const QString &zipFile, const QString &password);
    [[nodiscard]] bool UnzipFileTo(const QString &path, bool overWrite);
    bool UnzipCloseFile();

    [[nodiscard]] bool CreateZipFile2(const QString &zipFile);
    [[nodiscard]] bool CreateZipFile2(const QString &zipFile, const QString &password);
    // Files are written with mode 0644, folders with 0755.
    [[nodiscard]] bool addFileToZip(const QString &file, const QString &newname);
    // The deflate level of files added from now on, 1 (fastest) to 9 (the
    // default: smallest); 6 is Info-ZIP zip's default.
    void setCompressionLevel(int level) { _compressionLevel = std::clamp(level, 1, 9); }
    // Files added from now on are read when the archive is written, not
    // copied aside when added: one pass over the data, no room taken in the
    // temporary folder. A file replaced or resized meanwhile then fails
    // CloseZipFile2 rather than be stored as it was when added.
    void setReadsFilesAtClose(bool reads) { _readsFilesAtClose = reads; }
    // An entry for the folder itself ("newname/"), never encrypted.
    [[nodiscard]] bool addFolderToZip(const QString &folder, const QString &newname);
    [[nodiscard]] bool CloseZipFile2();
    // Abandons the archive being written: nothing is created or replaced.
    void discardZipFile();

    // 1 January 1980, 00:00:00 local time: the earliest moment a DOS date holds.
    static QDateTime Date1980();

    void OutputErrorMessage(const QString &message);
    bool OverWrite(const QString &path);

    ZipArchiveDelegate *delegate() const { return _delegate; }
    void setDelegate(ZipArchiveDelegate *delegate) { _delegate = delegate; }

    // Optional; told the bytes unpacked of the bytes the entries declare.
    // Answering false cancels UnzipFileTo, which then answers NO.
    ProgressListener *progressListener() const { return _progressListener; }
    void setProgressListener(ProgressListener *listener) { _progressListener = listener; }

    // The fault of the last UnzipOpenFile or UnzipFileTo; code None after success.
    ZipError lastError() const { return _lastError; }
    // The same as an Error in the zip domain; none after success.
    [[nodiscard]] std::optional<Error> lastFailure() const { return _lastError.toError(); }

    // Threads that inflate entries in UnzipFileTo: 0 chooses by the cores and
    // the archive (MTI_UNZIP_WORKERS, when set, chooses instead), 1 unpacks on
    // the caller's thread only, more forces that many workers on any archive
    // they can unpack. Encrypted archives, overwrite NO and entries that would
    // write one path twice always unpack on the caller's thread.
    void setWorkerCount(int workers) { _workerCount = workers; }
    // Worker threads the last UnzipFileTo unpacked with; 0 on the caller's thread.
    int lastWorkers() const { return _lastWorkers; }

    // Entries, by their names as stored, whose damaged data (a CRC error,
    // data that does not inflate) UnzipFileTo leaves out instead of failing:
    // their files are removed and they are listed in sparedEntries(). Asked
    // from worker threads: it must look at the name only. Damage anywhere
    // else fails the unpack as before.
    void setSparedWhenDamaged(std::function<bool(const QString &name)> spares) { _spares = std::move(spares); }
    // The damaged entries the last UnzipFileTo left out, in archive order.
    const QStringList &sparedEntries() const { return _spared; }

private:
    class SequentialUnpack;
    // Reports a fault: the generic message (when not empty), then detail, to
    // the delegate; both are kept as the last error.
    void fail(ZipError::Code code, const QString &generic, const QString &detail);
    void fail(const ZipFault &fault);

    // The password as the 7-bit ASCII bytes the PKWARE scheme takes; empty
    // when there is none or it cannot be converted.
    QByteArray asciiPassword() const;
    // Copies file to the end of the spool; the libzip source over that copy,
    // or null.
    zip_source *spoolSource(const QString &file);
    void closeSpool();
    // The libzip source that reads file itself at close, or null.
    zip_source *fileSource(const QString &file);

    // The archive being written, discarded unless CloseZipFile2 writes it.
    struct ArchiveDiscard
    {
        void operator()(zip *archive) const;
    };
    std::unique_ptr<zip, ArchiveDiscard> _zipFile;
    // The archive open for reading.
    std::unique_ptr<ZipReader> _reader;
    QString _password;
    ZipArchiveDelegate *_delegate = nullptr;
    ProgressListener *_progressListener = nullptr;
    ZipError _lastError;
    int _workerCount = 0;
    int _lastWorkers = 0;
    std::function<bool(const QString &)> _spares;
    QStringList _spared;
    QString _zipFilePath;
    // libzip reads added files only when the archive is closed; each added
    // file is copied here first (unless read at close), so the entry holds
    // what the file held when it was added. Unlinked at once: nothing is
    // left behind.
    int _spoolFd = -1;
    int _compressionLevel = 9;
    bool _readsFilesAtClose = false;
};
