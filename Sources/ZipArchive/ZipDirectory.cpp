// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipDirectory.h"

#include "Common/LogCategories.h"
#include "ZipArchive/ZipArchiveDelegate.h"
#include "ZipArchive/ZipEntryName.h"
#include "ZipArchive/ZipEntrySpans.h"
#include "ZipArchive/ZipFileSource.h"

#include <QCoreApplication>
#include <QFile>
#include <QScopeGuard>

#include <zip.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The checks below repeat those ZipArchive makes while opening and planning,
// message for message: a listing must refuse what unpacking refuses.
namespace {

void tell(ZipArchiveDelegate *delegate, const QString &message)
{
    if (delegate)
        delegate->ErrorMessage(message);
}

QString notAFile(const QString &path, mode_t mode)
{
    const char *what = S_ISDIR(mode) ? "is a folder"
        : S_ISFIFO(mode)             ? "is a named pipe (FIFO)"
        : S_ISCHR(mode) || S_ISBLK(mode) ? "is a device"
        : S_ISSOCK(mode)             ? "is a socket"
                                     : "is not a regular file";
    return QStringLiteral("\"%1\" %2, not a file").arg(path, QLatin1String(what));
}

// A regular file (or a link to one) opened for reading without blocking on
// a FIFO or acting on a device; -1 with the reason in problem.
int openRegularFile(const QString &path, QString *problem)
{
    const QByteArray name = QFile::encodeName(path);
    const auto cannotOpen = [&] {
        return QCoreApplication::translate("ZipArchive",
                                           "Cannot open \"%1\": %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    };
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
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        *problem = S_ISREG(info.st_mode) ? cannotOpen() : notAFile(path, info.st_mode);
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

namespace ZipDirectory {

std::optional<std::vector<Entry>> read(const QString &zipFile, ZipArchiveDelegate *delegate)
{
    const QString notAZip = QCoreApplication::translate("ZipArchive",
                                                        "\"%1\" is not a zip archive, or it is damaged").arg(zipFile);
    QString problem;
    const int fd = openRegularFile(zipFile, &problem);
    if (fd < 0) {
        tell(delegate, problem);
        return std::nullopt;
    }
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    struct stat info;
    if (::fstat(fd, &info) == 0 && info.st_size == 0) {
        tell(delegate, notAZip);
        return std::nullopt;
    }

    zip_error_t zerr;
    zip_error_init(&zerr);
    zip_uint64_t base = 0;
    zip_t *archive = ZipFileSource::openArchive(fd, &zerr, &base);
    if (!archive) {
        qCInfo(lcZip) << "cannot open" << zipFile << zip_error_strerror(&zerr);
        zip_error_fini(&zerr);
        tell(delegate, notAZip);
        return std::nullopt;
    }
    zip_error_fini(&zerr);
    const auto discard = qScopeGuard([archive] { zip_discard(archive); });

    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count <= 0) {
        tell(delegate, QStringLiteral("Failed"));
        tell(delegate, QStringLiteral("Error occurs"));
        return std::nullopt;
    }

    std::vector<Entry> entries;
    entries.reserve(size_t(count));
    // For the overlap check: what libzip read of each entry.
    std::vector<std::pair<zip_uint64_t, zip_uint32_t>> sizesAndCrcs;
    sizesAndCrcs.reserve(size_t(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(archive, zip_uint64_t(i), ZIP_FL_ENC_GUESS, &st) != 0 || !(st.valid & ZIP_STAT_NAME)) {
            tell(delegate, QStringLiteral("Error occurs while getting file info"));
            return std::nullopt;
        }
        Entry entry;
        entry.name = QString::fromUtf8(st.name);
        entry.isDirectory = isDirectoryEntryName(entry.name);
        const std::optional<QString> relative = safeRelativeEntryPath(entry.name);
        if (!relative) {
            tell(delegate, QCoreApplication::translate("ZipArchive",
                "Refused: entry \"%1\" would be written outside the destination folder")
                               .arg(entry.name));
            return std::nullopt;
        }
        entry.relativePath = *relative;
        if (st.valid & ZIP_STAT_SIZE)
            entry.size = st.size;
        if (st.valid & ZIP_STAT_CRC)
            entry.crc32 = st.crc;
        if (!entry.isDirectory) {
            if ((st.valid & ZIP_STAT_COMP_METHOD) && !zip_compression_method_supported(st.comp_method, 0)) {
                tell(delegate, QStringLiteral("Error occurs"));
                tell(delegate, QCoreApplication::translate("ZipArchive",
                    "Entry \"%1\" uses compression method %2, which cannot be decoded")
                                   .arg(entry.name).arg(st.comp_method));
                return std::nullopt;
            }
            if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE) {
                tell(delegate, QStringLiteral("Error occurs"));
                tell(delegate, zip_encryption_method_supported(st.encryption_method, 0)
                                   ? QCoreApplication::translate("ZipArchive",
                                       "Entry \"%1\" is encrypted and needs a password").arg(entry.name)
                                   : QCoreApplication::translate("ZipArchive",
                                       "Entry \"%1\" uses an encryption method that cannot be decoded")
                                         .arg(entry.name));
                return std::nullopt;
            }
        }
        sizesAndCrcs.emplace_back((st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0,
                                  (st.valid & ZIP_STAT_CRC) ? st.crc : 0);
        entries.push_back(std::move(entry));
    }

    const ZipEntrySpans::Finding spans = ZipEntrySpans::check(
        fd, base, zip_uint64_t(count), [&sizesAndCrcs](zip_uint64_t index, zip_uint64_t compressedSize, zip_uint32_t crc) {
            return sizesAndCrcs[size_t(index)] == std::make_pair(compressedSize, crc);
        });
    if (spans.kind == ZipEntrySpans::Finding::Overlapping) {
        tell(delegate, QCoreApplication::translate("ZipArchive",
                                                   "Refused: entry \"%1\" overlaps the data of entry \"%2\"")
                           .arg(entries[size_t(spans.later)].name, entries[size_t(spans.earlier)].name));
        return std::nullopt;
    }
    if (spans.kind == ZipEntrySpans::Finding::Unreadable) {
        tell(delegate, QCoreApplication::translate("ZipArchive",
            "Refused: cannot read the central directory of \"%1\" to check its entries for overlaps")
                           .arg(zipFile));
        return std::nullopt;
    }
    return entries;
}

} // namespace ZipDirectory
