// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/InstalledFiles.h"

#include "Common/ProgressListener.h"

#include <QByteArray>
#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <zlib.h>

namespace InstalledFiles {

QString comparable(const QString &path)
{
    for (QChar c : path) {
        if (c.unicode() > 0x7f)
            return path.normalized(QString::NormalizationForm_C);
    }
    return path;
}

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
            files[comparable(relative)] = {relative, qint64(info.st_size)};
    }
    ::closedir(dir);
}

bool fileCrc(const QString &path, quint32 *crc, ProgressListener *listener, qint64 &done, qint64 total, bool &stopped)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    uLong value = ::crc32(0L, Z_NULL, 0);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 count = file.read(buffer.data(), buffer.size());
        if (count < 0)
            return false;
        if (count == 0)
            break;
        value = ::crc32(value, reinterpret_cast<const Bytef *>(buffer.constData()), uInt(count));
        done += count;
        if (listener && !listener->progress(done, total)) {
            stopped = true;
            return false;
        }
    }
    *crc = quint32(value);
    return true;
}

} // namespace InstalledFiles
