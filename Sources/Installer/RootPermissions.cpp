// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/RootPermissions.h"

#include "Common/FileOperations.h"

#include <QCoreApplication>
#include <QFile>
#include <QSet>

#include <cerrno>
#include <filesystem>

#include <fcntl.h>

#include <sys/stat.h>
#include <unistd.h>

namespace RootPermissions {

namespace {

enum class Problem { None, WritableByOthers, OwnedByAnother };

Problem problemOf(const struct stat &info, uid_t user)
{
    // Its owner may do with it as they like; only others are at risk.
    if (user != 0 && info.st_uid == user)
        return Problem::None;
    if ((info.st_mode & S_IWOTH) != 0)
        return Problem::WritableByOthers;
    if ((info.st_mode & S_IWGRP) != 0) {
#if defined(Q_OS_MACOS)
        // The administrators ("admin") may become root anyway.
        constexpr gid_t AdminGroup = 80;
        if (info.st_gid != AdminGroup)
            return Problem::WritableByOthers;
#else
        return Problem::WritableByOthers;
#endif
    }
    // Its owner can change it, a risk to runs as root; other users could not write into it at all.
    if (user == 0 && info.st_uid != 0)
        return Problem::OwnedByAnother;
    return Problem::None;
}

Error refusal(const QString &folder, Problem problem, bool asRoot)
{
    QString text;
    if (problem == Problem::WritableByOthers) {
        text = asRoot
            ? QCoreApplication::translate("RootPermissions",
                  "'%1' can be written by other users; as root, templates are installed and removed only in "
                  "folders that only their owner can change: chmod go-w '%1'")
            : QCoreApplication::translate("RootPermissions",
                  "'%1' can be written by other users; in a folder of someone else, templates are installed and "
                  "removed only when only its owner can change it: chmod go-w '%1' (as its owner)");
    } else {
        text = QCoreApplication::translate("RootPermissions",
            "'%1' belongs to another user, who can change what is installed there; as root, templates are "
            "installed and removed only in folders that only root can change: chown root '%1', or work in it "
            "as its owner");
    }
    return Error(Error::PosixDomain, EPERM, text.arg(folder));
}

// The folder at path, links followed as the install follows the user's own;
// false when nothing, or no folder, is there.
bool folderInfo(const QString &path, struct stat &info)
{
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

std::optional<Error> check(const QString &root, const QStringList &destinations)
{
    const uid_t user = ::geteuid();
    struct stat info;
    if (!folderInfo(root, info))
        return std::nullopt;
    if (const Problem problem = problemOf(info, user); problem != Problem::None)
        return refusal(root, problem, user == 0);
    QSet<QString> checked;
    for (const QString &destination : destinations) {
        const QStringList parts = destination.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        QString path = root;
        for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
            path += QLatin1Char('/') + parts.at(i);
            if (checked.contains(path))
                continue;
            checked.insert(path);
            // A file on the way, or a link of someone else's, is refused by the walk that comes to it.
            if (!folderInfo(path, info))
                break;
            if (const Problem problem = problemOf(info, user); problem != Problem::None)
                return refusal(path, problem, user == 0);
        }
    }
    return std::nullopt;
}

void shareWithAllUsers(const QString &root, const QStringList &tops)
{
    namespace fs = std::filesystem;
    const auto share = [](const fs::path &path, bool folder) {
        ::fchmodat(AT_FDCWD, path.c_str(), folder ? 0755 : 0644, 0);
    };
    share(FileOperations::toFsPath(root), true);
    for (const QString &top : tops) {
        QString walked;
        for (const QString &part : top.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
            walked += QLatin1Char('/') + part;
            struct stat info;
            const fs::path path = FileOperations::toFsPath(root + walked);
            if (::lstat(path.c_str(), &info) == 0 && (S_ISDIR(info.st_mode) || S_ISREG(info.st_mode)))
                share(path, S_ISDIR(info.st_mode));
        }
        std::error_code ec;
        for (fs::recursive_directory_iterator it(FileOperations::toFsPath(root + QLatin1Char('/') + top), ec), end;
             !ec && it != end; it.increment(ec)) {
            if (!it->is_symlink(ec) && (it->is_directory(ec) || it->is_regular_file(ec)))
                share(it->path(), it->is_directory(ec));
        }
    }
}

} // namespace RootPermissions
