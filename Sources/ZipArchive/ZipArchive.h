// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QString>

class ProgressListener;
class ZipArchiveDelegate;
struct zip;
struct zip_source;

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
// Writing side: CreateZipFile2, addFileToZip per file, CloseZipFile2. With a
// password every added entry is encrypted with traditional PKWARE encryption.
class ZipArchive
{
public:
    ZipArchive();
    ~ZipArchive();
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;

    bool UnzipOpenFile(const QString &zipFile);
    bool UnzipOpenFile(const QString &zipFile, const QString &password);
    bool UnzipFileTo(const QString &path, bool overWrite);
    bool UnzipCloseFile();

    bool CreateZipFile2(const QString &zipFile);
    bool CreateZipFile2(const QString &zipFile, const QString &password);
    bool addFileToZip(const QString &file, const QString &newname);
    bool CloseZipFile2();
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

private:
    // The password as the 7-bit ASCII bytes the PKWARE scheme takes; empty
    // when there is none or it cannot be converted.
    QByteArray asciiPassword() const;
    // Discards the archive open for reading, if any.
    void releaseUnzFile();
    // Copies file to the end of the spool; the libzip source over that copy,
    // or null.
    zip_source *spoolSource(const QString &file);
    void closeSpool();

    zip *_zipFile = nullptr;
    zip *_unzFile = nullptr;
    // The archive file _unzFile reads and where the archive starts in it:
    // its directory is read again there to find overlapping entries.
    int _unzFd = -1;
    quint64 _unzBase = 0;
    QString _password;
    ZipArchiveDelegate *_delegate = nullptr;
    ProgressListener *_progressListener = nullptr;
    QString _zipFilePath;
    // libzip reads added files only when the archive is closed; each added
    // file is copied here first, so the entry holds what the file held when
    // it was added. Unlinked at once: nothing is left behind.
    int _spoolFd = -1;
};
