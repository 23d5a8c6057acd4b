// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/Receipt.h"

#include "Common/DiagnosticLog.h"
#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "Installer/TemplateType.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>

namespace {

constexpr int FormatVersion = 1;

// A "/"-separated path that stays below the folder it is joined to.
// Where a template can be installed: "<kind folder>/<category folder>/..."
// and no shallower, so that a receipt never names a kind or category folder
// (removing by archive title would take everything in it).
bool isTemplateDestination(const QString &path)
{
    const QStringList parts = path.split(QLatin1Char('/'));
    if (parts.size() < 3)
        return false;
    for (quint64 type = 1; type <= 4; ++type) {
        if (parts.first() == TemplateType::kindFolder(type))
            return true;
    }
    return false;
}

bool isSafeRelativePath(const QString &path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.contains(QLatin1Char('\\'))
        || path.contains(QChar(0)))
        return false;
    for (const QString &part : path.split(QLatin1Char('/'))) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    }
    return true;
}

QJsonValue nullable(const QString &text)
{
    return text.isNull() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

QString crcText(quint32 crc)
{
    return QStringLiteral("%1").arg(crc, 8, 16, QLatin1Char('0'));
}

bool byUtf8(const QString &a, const QString &b)
{
    return a.toUtf8() < b.toUtf8();
}

} // namespace

QString Receipt::folderName()
{
    return QStringLiteral(".receipts");
}

QString Receipt::pathFor(const QString &root, const QString &archiveTitle)
{
    const QString title = archiveTitle.normalized(QString::NormalizationForm_C);
    const QByteArray utf8 = title.toUtf8();
    // The hash tells apart what the readable part cannot: titles that differ
    // only in case on a file system that ignores it, and titles cut short.
    const QByteArray hash = QCryptographicHash::hash(utf8, QCryptographicHash::Sha256).left(8).toHex();
    // Room for "~", the hash and ".json" within the 255 bytes of a name.
    constexpr qsizetype Room = 255 - 1 - 16 - 5;
    QByteArray name;
    for (const uint code : title.toUcs4()) {
        const char32_t c = code;
        const QByteArray bytes = QString::fromUcs4(&c, 1).toUtf8();
        QByteArray encoded;
        // Beyond ASCII too: some file systems (HFS+) store such names in
        // another normalisation form, and they would then compare unequal.
        if (c == '%' || c == '/' || c == '\\' || c < 0x20 || c >= 0x7f || (c == '.' && name.isEmpty())) {
            for (const char byte : bytes)
                encoded += '%' + QByteArray::number(uchar(byte), 16).toUpper().rightJustified(2, '0');
        } else {
            encoded = bytes;
        }
        if (name.size() + encoded.size() > Room)
            break;
        name += encoded;
    }
    return root + QLatin1Char('/') + folderName() + QLatin1Char('/') + QString::fromUtf8(name) + QLatin1Char('~')
        + QString::fromLatin1(hash) + QStringLiteral(".json");
}

namespace {

// The name earlier versions gave a title's receipt. Titles that differ only
// where this puts "_" shared one file.
QString legacyPathFor(const QString &root, const QString &archiveTitle)
{
    QString name = archiveTitle;
    for (QChar &c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char('_');
    }
    if (name.startsWith(QLatin1Char('.')))
        name[0] = QLatin1Char('_');
    if (name.isEmpty())
        name = QStringLiteral("_");
    while (name.toUtf8().size() > 240)
        name.chop(1);
    return root + QLatin1Char('/') + Receipt::folderName() + QLatin1Char('/') + name + QStringLiteral(".json");
}

bool sameTitle(const QString &a, const QString &b)
{
    return a == b || a.normalized(QString::NormalizationForm_C) == b.normalized(QString::NormalizationForm_C);
}

} // namespace

QString Receipt::existingPathFor(const QString &root, const QString &archiveTitle)
{
    const QString path = pathFor(root, archiveTitle);
    if (FileOperations::exists(path))
        return path;
    // Written before names were made unique, maybe from the title in the
    // other normalisation form.
    for (const QString &title : {archiveTitle, archiveTitle.normalized(QString::NormalizationForm_C),
                                 archiveTitle.normalized(QString::NormalizationForm_D)}) {
        const QString legacy = legacyPathFor(root, title);
        if (const std::optional<Receipt> receipt = read(legacy); receipt && sameTitle(receipt->archiveTitle, archiveTitle))
            return legacy;
    }
    return path;
}

QByteArray Receipt::toJson() const
{
    QJsonArray templateArray;
    for (const Template &entry : templates) {
        std::vector<const File *> sorted;
        sorted.reserve(entry.files.size());
        for (const File &file : entry.files)
            sorted.push_back(&file);
        std::sort(sorted.begin(), sorted.end(), [](const File *a, const File *b) { return byUtf8(a->path, b->path); });
        QJsonArray files;
        for (const File *file : sorted) {
            files.append(QJsonObject{{QStringLiteral("path"), file->path},
                                     {QStringLiteral("size"), file->size},
                                     {QStringLiteral("crc32"), crcText(file->crc32)}});
        }
        QJsonObject object{{QStringLiteral("type"), qint64(entry.templateType)},
                           {QStringLiteral("kind"), TemplateType::kindName(entry.templateType)},
                           {QStringLiteral("category"), nullable(entry.category)},
                           {QStringLiteral("title"), entry.title},
                           {QStringLiteral("destination"), entry.destination},
                           {QStringLiteral("files"), files}};
        // Only where there is one: older readers ignore it, and receipts of
        // nothing hidden stay as they were.
        if (entry.hidden)
            object.insert(QStringLiteral("hidden"), QJsonObject{{QStringLiteral("path"), entry.hidden->path},
                                                                {QStringLiteral("size"), entry.hidden->size},
                                                                {QStringLiteral("crc32"), crcText(entry.hidden->crc32)}});
        templateArray.append(object);
    }
    const QJsonObject document{
        {QStringLiteral("version"), FormatVersion},
        {QStringLiteral("archiveFileName"), archiveFileName},
        {QStringLiteral("archivePath"), archivePath},
        {QStringLiteral("archiveTitle"), archiveTitle},
        {QStringLiteral("archiveSha256"), nullable(archiveSha256)},
        {QStringLiteral("archiveSize"), archiveSize},
        {QStringLiteral("archiveModified"), archiveModified.isValid()
                                                ? QJsonValue(archiveModified.toUTC().toString(Qt::ISODateWithMs))
                                                : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("installedAt"), installedAt.toUTC().toString(Qt::ISODate)},
        {QStringLiteral("installedBy"), installedBy},
        {QStringLiteral("templates"), templateArray},
    };
    // Compact: a receipt of a thousand templates is read at every scan.
    return QJsonDocument(document).toJson(QJsonDocument::Compact);
}

std::optional<Receipt> Receipt::fromJson(const QByteArray &bytes)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    if (object.value(QLatin1String("version")).toInt() != FormatVersion)
        return std::nullopt;

    Receipt receipt;
    receipt.archiveTitle = object.value(QLatin1String("archiveTitle")).toString();
    if (receipt.archiveTitle.isEmpty())
        return std::nullopt;
    receipt.archiveFileName = object.value(QLatin1String("archiveFileName")).toString();
    receipt.archivePath = object.value(QLatin1String("archivePath")).toString();
    receipt.archiveSha256 = object.value(QLatin1String("archiveSha256")).toString();
    receipt.archiveSize = object.value(QLatin1String("archiveSize")).toInteger(-1);
    receipt.archiveModified =
        QDateTime::fromString(object.value(QLatin1String("archiveModified")).toString(), Qt::ISODateWithMs).toUTC();
    receipt.installedAt = QDateTime::fromString(object.value(QLatin1String("installedAt")).toString(), Qt::ISODate);
    if (receipt.installedAt.isValid())
        receipt.installedAt = receipt.installedAt.toUTC();
    receipt.installedBy = object.value(QLatin1String("installedBy")).toString();

    const QJsonArray templates = object.value(QLatin1String("templates")).toArray();
    receipt.templates.reserve(size_t(templates.size()));
    for (const QJsonValue &value : templates) {
        const QJsonObject entry = value.toObject();
        Template item;
        item.templateType = quint64(entry.value(QLatin1String("type")).toInteger());
        const QJsonValue category = entry.value(QLatin1String("category"));
        item.category = category.isString() ? category.toString() : QString();
        item.title = entry.value(QLatin1String("title")).toString();
        item.destination = entry.value(QLatin1String("destination")).toString();
        // Whatever else a receipt says, it never leads anyone outside the
        // root, nor into this system's own hidden folders.
        if (!isSafeRelativePath(item.destination) || item.destination.startsWith(QLatin1Char('.'))
            || !isTemplateDestination(item.destination))
            return std::nullopt;
        const QJsonArray files = entry.value(QLatin1String("files")).toArray();
        item.files.reserve(size_t(files.size()));
        for (const QJsonValue &fileValue : files) {
            const QJsonObject file = fileValue.toObject();
            File record;
            record.path = file.value(QLatin1String("path")).toString();
            if (!isSafeRelativePath(record.path))
                return std::nullopt;
            record.size = file.value(QLatin1String("size")).toInteger();
            bool ok = false;
            record.crc32 = file.value(QLatin1String("crc32")).toString().toUInt(&ok, 16);
            if (!ok || record.size < 0)
                return std::nullopt;
            item.files.push_back(std::move(record));
        }
        std::sort(item.files.begin(), item.files.end(),
                  [](const File &a, const File &b) { return byUtf8(a.path, b.path); });
        if (const QJsonObject hidden = entry.value(QLatin1String("hidden")).toObject(); !hidden.isEmpty()) {
            File record;
            record.path = hidden.value(QLatin1String("path")).toString();
            record.size = hidden.value(QLatin1String("size")).toInteger();
            bool ok = false;
            record.crc32 = hidden.value(QLatin1String("crc32")).toString().toUInt(&ok, 16);
            // A hidden record that does not parse is dropped, not the receipt:
            // the template then merely shows as changed.
            if (ok && record.size >= 0 && isSafeRelativePath(record.path))
                item.hidden = std::move(record);
        }
        receipt.templates.push_back(std::move(item));
    }
    return receipt;
}

std::optional<Receipt> Receipt::read(const QString &path)
{
    // A receipt of many thousand templates is a few MiB.
    constexpr qint64 MaxSize = 64 * 1024 * 1024;
    const FileOperations::SmallFile file = FileOperations::readSmallFile(path, MaxSize);
    if (!file) {
        if (file.error != ENOENT)
            qCWarning(lcInstall).noquote() << "ignored the receipt" << path + QLatin1Char(':') << file.problem;
        return std::nullopt;
    }
    return fromJson(*file.contents);
}

bool Receipt::folderIsOwn(const QString &root)
{
    struct stat info;
    const QByteArray path = QFile::encodeName(root + QLatin1Char('/') + folderName());
    return ::lstat(path.constData(), &info) != 0 ? errno == ENOENT : S_ISDIR(info.st_mode);
}

QStringList Receipt::paths(const QString &root)
{
    // A link in place of the folder, or of a receipt, would have receipts
    // read, rewritten and removed wherever it leads.
    if (!folderIsOwn(root))
        return {};
    const QDir folder(root + QLatin1Char('/') + folderName());
    // Hidden names are an install's staged or set-aside copies.
    QStringList names = folder.entryList({QStringLiteral("*.json")}, QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (QString &name : names)
        name = folder.filePath(name);
    return names;
}

std::vector<Receipt> Receipt::readAll(const QString &root)
{
    std::vector<Receipt> receipts;
    for (const QString &path : paths(root)) {
        std::optional<Receipt> receipt = read(path);
        if (!receipt) {
            MTI_DIAGNOSTIC(lcInstall, QStringLiteral("Unreadable receipt %1").arg(path));
            continue;
        }
        receipts.push_back(std::move(*receipt));
    }
    std::stable_sort(receipts.begin(), receipts.end(),
                     [](const Receipt &a, const Receipt &b) { return byUtf8(a.archiveTitle, b.archiveTitle); });
    return receipts;
}

void Receipt::forgetRemoved(const QString &root, const QStringList &destinations)
{
    if (destinations.isEmpty())
        return;
    const QSet<QString> removed(destinations.begin(), destinations.end());
    for (const QString &path : paths(root)) {
        std::optional<Receipt> receipt = read(path);
        if (!receipt)
            continue;
        // A template nested in a removed one went with it.
        const auto named = [&removed](const QString &destination) {
            for (qsizetype end = destination.size(); end > 0; end = destination.lastIndexOf(QLatin1Char('/'), end - 1)) {
                if (removed.contains(destination.left(end)))
                    return true;
            }
            return false;
        };
        const auto gone = [&](const Template &entry) {
            return named(entry.destination)
                && !FileOperations::isDirectory(root + QLatin1Char('/') + entry.destination);
        };
        const auto kept = std::remove_if(receipt->templates.begin(), receipt->templates.end(), gone);
        if (kept == receipt->templates.end())
            continue;
        receipt->templates.erase(kept, receipt->templates.end());
        const std::optional<QByteArray> contents =
            receipt->templates.empty() ? std::nullopt : std::optional<QByteArray>(receipt->toJson());
        // The folder may have been swapped for a link since it was listed.
        if (std::optional<Error> error = FileOperations::replaceFileBeneath(
                root, folderName() + QLatin1Char('/') + QFileInfo(path).fileName(), contents))
            qCWarning(lcInstall).noquote() << "cannot update the receipt" << path << ":" << error->localizedDescription();
    }
    // The folder goes with its last receipt, so that a root all of whose
    // templates were removed is as it was before the first install.
    const QString folder = root + QLatin1Char('/') + folderName();
    if (QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        QDir().rmdir(folder);
}

const Receipt::Template *Receipt::templateAt(const QString &destination) const
{
    for (const Template &entry : templates) {
        if (entry.destination == destination)
            return &entry;
    }
    return nullptr;
}

Receipt Receipt::holdingOnly(const Template &entry) const
{
    Receipt one;
    one.archiveFileName = archiveFileName;
    one.archivePath = archivePath;
    one.archiveTitle = archiveTitle;
    one.archiveSha256 = archiveSha256;
    one.archiveSize = archiveSize;
    one.archiveModified = archiveModified;
    one.installedAt = installedAt;
    one.installedBy = installedBy;
    one.templates = {entry};
    return one;
}
