// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TransactionSupport.h"

#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "Common/Trash.h"
#include "Installer/ReceiptIndex.h"
#include "Installer/RecentlyRemoved.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>

#include <cerrno>
#include <system_error>

namespace TemplateTransaction::Support {

QString relativeDestination(const QString &path)
{
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.contains(QLatin1String(".")) || parts.contains(QLatin1String("..")))
        return {};
    return parts.join(QLatin1Char('/'));
}

QString join(const QString &root, const QString &relative)
{
    return relative.isEmpty() ? root : root + QLatin1Char('/') + relative;
}

QString parentOf(const QString &relative)
{
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : relative.left(slash);
}

QString unusedName(const QString &folder, const QString &base)
{
    QString name = base;
    for (int n = 1; FileOperations::exists(folder + QLatin1Char('/') + name); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

QString ownName(const char *kind, qsizetype index)
{
    QString name = QStringLiteral(".mti-%1-%2").arg(QLatin1String(kind)).arg(QCoreApplication::applicationPid());
    if (index >= 0)
        name += QLatin1Char('-') + QString::number(index);
    return name;
}

std::optional<Error> errnoError(const QString &path)
{
    return Error::fromErrorCode(std::error_code(errno, std::generic_category()), path);
}

void warnIfFailed(const std::optional<Error> &error, const char *step)
{
    if (error)
        qCWarning(lcInstall).noquote() << step << ":" << error->localizedDescription();
}

QString trashTemplate(const QString &root, const QString &path, const QString &destination,
                      const std::optional<Receipt> &receipt)
{
    const QString prefix = root + QLatin1Char('/');
    const QString inTrash = path.startsWith(prefix)
        ? Trash::moveToTrashBeneath(root, path.mid(prefix.size()), join(root, destination))
        : Trash::moveToTrash(path, join(root, destination));
    if (!inTrash.isEmpty())
        RecentlyRemoved::record({QDateTime::currentDateTimeUtc(), root, destination, inTrash, receipt});
    return inTrash;
}

QHash<QString, Receipt> receiptsOf(const QString &root, const QStringList &relatives)
{
    QHash<QString, Receipt> receipts;
    const ReceiptIndex index(root);
    for (const QString &relative : relatives) {
        const ReceiptIndex::Owner owner = index.ownerOf(relative);
        if (owner.receipt)
            receipts.insert(relative, owner.receipt->holdingOnly(*owner.entry));
    }
    return receipts;
}

} // namespace TemplateTransaction::Support
