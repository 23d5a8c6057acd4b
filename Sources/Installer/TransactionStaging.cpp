// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TransactionStaging.h"

#include "Installer/InstallJournal.h"
#include "Installer/TransactionSupport.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>

namespace TemplateTransaction::Staging {

using namespace Support;
using FileOperations::FileDescriptor;
using FileOperations::FileId;
using FileOperations::LinksOnTheWay;

namespace {

Error changedMeanwhile(const QString &target)
{
    return Error(Error::PosixDomain, ESTALE,
                 QCoreApplication::translate("TemplateTransaction",
                                             "\"%1\": replaced by something else while it was being installed")
                     .arg(target));
}

} // namespace

QByteArray lastName(const QString &relative)
{
    return QFile::encodeName(relative.section(QLatin1Char('/'), -1));
}

QString unusedNameIn(int folder, const QString &base)
{
    QString name = base;
    for (int n = 1; FileOperations::fileIdAt(folder, QFile::encodeName(name).constData()); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

FileDescriptor openParent(InstallJournal &journal, int root, const QString &relative, std::optional<Error> &error)
{
    std::error_code ec;
    FileDescriptor folder = FileOperations::openFolderBeneath(root, relative, ec, LinksOnTheWay::FollowOwn);
    if (ec != std::errc::no_such_file_or_directory) {
        if (ec)
            error = Error::fromErrorCode(ec, join(journal.root(), relative));
        return folder;
    }
    folder = FileOperations::openFolderBeneath(root, QString(), ec);
    QString walked;
    for (const QString &part : relative.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        walked = walked.isEmpty() ? part : walked + QLatin1Char('/') + part;
        const QByteArray name = QFile::encodeName(part);
        FileDescriptor next =
            FileOperations::openSubfolder(folder.get(), name.constData(), ec, LinksOnTheWay::FollowOwn);
        if (ec == std::errc::no_such_file_or_directory) {
            if ((error = journal.addDirectory(walked)))
                return {};
            if (::mkdirat(folder.get(), name.constData(), 0777) != 0 && errno != EEXIST) {
                error = errnoError(join(journal.root(), walked));
                return {};
            }
            next = FileOperations::openSubfolder(folder.get(), name.constData(), ec);
        }
        if (ec) {
            error = Error::fromErrorCode(ec, join(journal.root(), walked));
            return {};
        }
        folder = std::move(next);
    }
    return folder;
}

std::optional<Error> renameStagedIn(int folder, const QByteArray &staging, const QByteArray &name,
                                    const std::optional<FileId> &made, const QString &target)
{
    if (!made || FileOperations::fileIdAt(folder, staging.constData()) != made)
        return changedMeanwhile(target);
    const std::error_code ec = FileOperations::renameNoReplace(folder, staging.constData(), folder, name.constData());
    if (ec)
        return Error::fromErrorCode(ec, target);
    if (FileOperations::fileIdAt(folder, name.constData()) != made)
        return changedMeanwhile(target);
    return std::nullopt;
}

} // namespace TemplateTransaction::Staging
