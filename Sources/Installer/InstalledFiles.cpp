// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/InstalledFiles.h"

#include "Common/FileNames.h"
#include "Common/ProgressListener.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QMutex>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <zlib.h>

#ifdef MTI_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

namespace InstalledFiles {

void filesBelow(const QString &folder, const QString &prefix, Listing &files)
{
    DIR *dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
            continue;
        struct stat info;
        if (::fstatat(::dirfd(dir), name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const QString fileName = QFile::decodeName(name);
        const QString relative = prefix.isEmpty() ? fileName : prefix + QLatin1Char('/') + fileName;
        if (S_ISDIR(info.st_mode))
            filesBelow(folder + QLatin1Char('/') + fileName, relative, files);
        else if (S_ISREG(info.st_mode))
            files[FileNames::comparable(relative)] = {relative, qint64(info.st_size)};
    }
    ::closedir(dir);
}

std::optional<quint32> fileCrc(const QString &path, ReadProgress &progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // libdeflate's CRC is several times zlib's: a re-install reads every installed byte.
#ifdef MTI_HAVE_LIBDEFLATE
    quint32 value = 0;
#else
    uLong value = ::crc32(0L, Z_NULL, 0);
#endif
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 count = file.read(buffer.data(), buffer.size());
        if (count < 0)
            return std::nullopt;
        if (count == 0)
            break;
#ifdef MTI_HAVE_LIBDEFLATE
        value = libdeflate_crc32(value, buffer.constData(), size_t(count));
#else
        value = ::crc32(value, reinterpret_cast<const Bytef *>(buffer.constData()), uInt(count));
#endif
        progress.done += count;
        if (progress.listener && !progress.listener->progress(progress.done, progress.total)) {
            progress.stopped = true;
            return std::nullopt;
        }
    }
    return quint32(value);
}

std::optional<quint32> rememberedCrc(const QString &path)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    // Seconds and nanoseconds apart: an entry may carry a date centuries
    // ahead, whose nanoseconds since 1970 overflow 64 bits.
#if defined(Q_OS_MACOS)
    const struct timespec &changed = info.st_ctimespec;
    const struct timespec &modified = info.st_mtimespec;
#else
    const struct timespec &changed = info.st_ctim;
    const struct timespec &modified = info.st_mtim;
#endif
    const auto stamp = [](const struct timespec &time) -> QByteArray {
        return QByteArray::number(qint64(time.tv_sec)) + '.' + QByteArray::number(qint64(time.tv_nsec));
    };
    const QByteArray key = QByteArray::number(quint64(info.st_dev)) + ':' + QByteArray::number(quint64(info.st_ino))
        + ':' + QByteArray::number(qint64(info.st_size)) + ':' + stamp(changed) + ':' + stamp(modified);
    static QMutex lock;
    static QHash<QByteArray, quint32> known;
    {
        const QMutexLocker locker(&lock);
        const auto it = known.constFind(key);
        if (it != known.cend())
            return *it;
    }
    ReadProgress unwatched;
    const std::optional<quint32> crc = fileCrc(path, unwatched);
    if (!crc)
        return std::nullopt;
    const QMutexLocker locker(&lock);
    known.insert(key, *crc);
    return crc;
}

} // namespace InstalledFiles
