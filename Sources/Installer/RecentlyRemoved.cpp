// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/RecentlyRemoved.h"

#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "Common/Trash.h"
#include "Installer/DestinationLock.h"
#include "Installer/RootPermissions.h"
#include "Installer/TemplateTransaction.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace RecentlyRemoved {

namespace {

// Beyond this the oldest entries go: the Trash itself is emptied too.
constexpr qsizetype MaxItems = 20000;

QJsonObject toJson(const Item &item)
{
    QJsonObject object{{QStringLiteral("removedAt"), item.removedAt.toString(Qt::ISODate)},
                       {QStringLiteral("root"), item.root},
                       {QStringLiteral("destination"), item.destination},
                       {QStringLiteral("inTrash"), item.inTrash}};
    if (item.receipt)
        object.insert(QStringLiteral("receipt"), QJsonDocument::fromJson(item.receipt->toJson()).object());
    return object;
}

std::optional<Item> fromJson(const QByteArray &line)
{
    const QJsonObject object = QJsonDocument::fromJson(line).object();
    Item item;
    item.removedAt = QDateTime::fromString(object.value(QLatin1String("removedAt")).toString(), Qt::ISODate);
    item.root = object.value(QLatin1String("root")).toString();
    item.destination = object.value(QLatin1String("destination")).toString();
    item.inTrash = object.value(QLatin1String("inTrash")).toString();
    const QStringList parts = item.destination.split(QLatin1Char('/'));
    if (!item.root.startsWith(QLatin1Char('/')) || item.destination.isEmpty() || parts.contains(QLatin1String(".."))
        || parts.contains(QString()) || !Trash::isInTrash(item.inTrash))
        return std::nullopt;
    if (object.contains(QLatin1String("receipt")))
        item.receipt = Receipt::fromJson(QJsonDocument(object.value(QLatin1String("receipt")).toObject()).toJson());
    return item;
}

std::vector<Item> readLog()
{
    std::vector<Item> all;
    QFile file(logPath());
    if (!file.open(QIODevice::ReadOnly))
        return all;
    while (!file.atEnd()) {
        if (std::optional<Item> item = fromJson(file.readLine()))
            all.push_back(std::move(*item));
    }
    return all;
}

void writeLog(const std::vector<Item> &all)
{
    QDir().mkpath(QFileInfo(logPath()).path());
    QSaveFile file(logPath());
    if (!file.open(QIODevice::WriteOnly))
        return;
    const size_t first = all.size() > size_t(MaxItems) ? all.size() - size_t(MaxItems) : 0;
    for (size_t i = first; i < all.size(); ++i)
        file.write(QJsonDocument(toJson(all[i])).toJson(QJsonDocument::Compact) + '\n');
    if (!file.commit())
        qCWarning(lcInstall).noquote() << "cannot write" << logPath() << ":" << file.errorString();
}

bool sameItem(const Item &a, const Item &b)
{
    return a.inTrash == b.inTrash && a.root == b.root && a.destination == b.destination;
}

// Its receipt entry back: into its archive's receipt, or a receipt of its own.
void restoreReceipt(const Item &item)
{
    if (!item.receipt || item.receipt->templates.empty() || !Receipt::folderIsOwn(item.root))
        return;
    const QString path = Receipt::existingPathFor(item.root, item.receipt->archiveTitle);
    // One that is there but cannot be read is not replaced by this one entry.
    std::optional<Receipt> existing = Receipt::read(path);
    if (!existing && FileOperations::exists(path)) {
        qCWarning(lcInstall).noquote() << "the receipt" << path << "cannot be read; its entry was not put back";
        return;
    }
    Receipt receipt = existing.value_or(*item.receipt);
    const Receipt::Template &entry = item.receipt->templates.front();
    if (!receipt.templateAt(entry.destination))
        receipt.templates.push_back(entry);
    if (std::optional<Error> error = FileOperations::replaceFileBeneath(
            item.root, Receipt::folderName() + QLatin1Char('/') + QFileInfo(path).fileName(), receipt.toJson()))
        qCWarning(lcInstall).noquote() << "cannot restore the receipt" << path << ":" << error->localizedDescription();
}

} // namespace

QString logPath()
{
    const QString overridden = qEnvironmentVariable("MTI_RECENTLY_REMOVED");
    if (!overridden.isEmpty())
        return overridden;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/motion-template-installer/recently-removed.jsonl");
}

void record(const Item &item)
{
    QDir().mkpath(QFileInfo(logPath()).path());
    QFile file(logPath());
    if (!file.open(QIODevice::Append)
        || file.write(QJsonDocument(toJson(item)).toJson(QJsonDocument::Compact) + '\n') < 0)
        qCWarning(lcInstall).noquote() << "cannot record a removal in" << logPath() << ":" << file.errorString();
}

std::vector<Item> items(const QString &root)
{
    std::vector<Item> all = readLog();
    const auto gone = [](const Item &item) { return !FileOperations::exists(item.inTrash); };
    if (std::any_of(all.begin(), all.end(), gone)) {
        all.erase(std::remove_if(all.begin(), all.end(), gone), all.end());
        writeLog(all);
    }
    std::vector<Item> wanted;
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (root.isEmpty() || it->root == root)
            wanted.push_back(*it);
    }
    return wanted;
}

std::optional<Error> restore(const Item &item, ProgressListener *listener)
{
    if (std::optional<Error> error = RootPermissions::check(item.root, {item.destination}))
        return error;
    DestinationLock lock(item.root);
    if (std::optional<Error> error = lock.acquire(listener))
        return error;
    TemplateTransaction::recover(item.root);
    if (std::optional<Error> error = TemplateTransaction::unfinishedRun(item.root))
        return error;
    if (std::optional<Error> error = Trash::restoreBeneath(item.inTrash, item.root, item.destination))
        return error;
    restoreReceipt(item);
    std::vector<Item> all = readLog();
    all.erase(std::remove_if(all.begin(), all.end(), [&item](const Item &other) { return sameItem(item, other); }),
              all.end());
    writeLog(all);
    return std::nullopt;
}

} // namespace RecentlyRemoved
