// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/InstalledArchives.h"

#include "Common/FileNames.h"
#include "Common/FileOperations.h"
#include "Installer/ReceiptIndex.h"
#include "Installer/Sha256.h"
#include "Installer/TemplateLibrary.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <utility>

namespace InstalledArchives {

namespace {

using FileNames::comparable;

QString join(const QString &folder, const QString &name)
{
    return name.isEmpty() ? folder : folder + QLatin1Char('/') + name;
}

// The name in folder that is `name` in some normalisation form; null when
// none is. The exact name is tried first: it is nearly always there.
QString entryNamed(const QString &folder, const QString &name)
{
    if (FileOperations::exists(join(folder, name)))
        return name;
    const QString wanted = comparable(name);
    const QStringList names =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const auto it = std::find_if(names.cbegin(), names.cend(),
                                 [&wanted](const QString &entry) { return comparable(entry) == wanted; });
    return it == names.cend() ? QString() : *it;
}

// A path relative to the root as it stands on disk, whatever the
// normalisation of its names; null when nothing stands there.
QString locate(const QString &root, const QString &relative)
{
    if (relative.isEmpty() || FileOperations::exists(join(root, relative)))
        return relative;
    QString found;
    for (const QString &part : relative.split(QLatin1Char('/'))) {
        const QString onDisk = entryNamed(join(root, found), part);
        if (onDisk.isNull())
            return {};
        found = found.isEmpty() ? onDisk : found + QLatin1Char('/') + onDisk;
    }
    return found;
}

// A path given by a user, relative to the root: absolute inside it, or
// relative to it already. Null outside the root; empty for the root itself.
QString relativeToRoot(const QString &root, const QString &path)
{
    if (!QDir::isAbsolutePath(path)) {
        const QString relative = QDir::cleanPath(path);
        if (relative == QLatin1String(".."))
            return {};
        if (relative == QLatin1String("."))
            return QLatin1String("");
        return relative.startsWith(QLatin1String("../")) ? QString() : relative;
    }
    // As given, then with links resolved (a root reached through one).
    const std::pair<QString, QString> forms[] = {
        {QDir::cleanPath(root), QDir::cleanPath(path)},
        {QFileInfo(root).canonicalFilePath(), QFileInfo(path).canonicalFilePath()}};
    for (const auto &[base, full] : forms) {
        const QString prefix = comparable(base);
        const QString candidate = comparable(full);
        if (prefix.isEmpty() || candidate.isEmpty())
            continue;
        if (candidate == prefix)
            return QLatin1String("");
        if (candidate.startsWith(prefix + QLatin1Char('/')))
            return candidate.mid(prefix.size() + 1);
    }
    return {};
}

// Every template folder there is, by its comparable destination, as it
// stands on disk: the scan's, and the folders receipts name that lost
// their template file but still hold files of the receipt's.
QHash<QString, QString> installedTemplates(const QString &root, const ReceiptIndex &receipts)
{
    QHash<QString, QString> templates;
    for (const TemplateLibrary::InstalledTemplate &item : TemplateLibrary::scan(root))
        templates.insert(comparable(item.destination), item.destination);
    for (auto it = receipts.owners().cbegin(); it != receipts.owners().cend(); ++it) {
        if (templates.contains(it.key()))
            continue;
        const QString destination = locate(root, it->entry->destination);
        if (destination.isNull() || !FileOperations::isDirectory(join(root, destination)))
            continue;
        const auto holds = [&](const Receipt::File &file) {
            return !locate(root, destination + QLatin1Char('/') + file.path).isNull();
        };
        if (std::any_of(it->entry->files.cbegin(), it->entry->files.cend(), holds))
            templates.insert(it.key(), destination);
    }
    return templates;
}

Owner ownerOf(const QString &root, const QString &path, const QHash<QString, QString> &templates,
              const ReceiptIndex &receipts)
{
    const QString relative = relativeToRoot(root, path);
    const QString onDisk = relative.isEmpty() ? QString() : locate(root, relative);
    if (onDisk.isEmpty())
        return {};
    // The outermost template: one nested in another is part of it.
    const QStringList parts = comparable(onDisk).split(QLatin1Char('/'));
    for (qsizetype count = 1; count <= parts.size(); ++count) {
        const auto it = templates.constFind(parts.first(count).join(QLatin1Char('/')));
        if (it == templates.cend())
            continue;
        const ReceiptIndex::Owner owner = receipts.ownerOf(*it);
        if (!owner.receipt)
            return {Owner::HandCopy, *it, {}};
        return {Owner::Archive, *it, owner.receipt->archiveTitle};
    }
    return {};
}

TemplateFiles filesOf(const QString &root, const Receipt &receipt, const Receipt::Template &entry)
{
    TemplateFiles listed{receipt.archiveTitle, entry.title, locate(root, entry.destination), {}};
    if (listed.destination.isNull())
        listed.destination = entry.destination;
    for (const Receipt::File &file : entry.files) {
        const QString relative = listed.destination + QLatin1Char('/') + file.path;
        const QString onDisk = locate(root, relative);
        listed.paths.append(join(root, onDisk.isNull() ? relative : onDisk));
    }
    return listed;
}

bool namesTemplate(const QString &root, const Receipt::Template &entry, const QString &name)
{
    const QString wanted = comparable(name);
    const QString destination = comparable(entry.destination);
    const QString relative = relativeToRoot(root, name);
    return (!relative.isEmpty() && comparable(relative) == destination)
        || destination.section(QLatin1Char('/'), -1) == wanted || comparable(entry.title) == wanted;
}

} // namespace

std::vector<Owner> owners(const QString &root, const QStringList &paths)
{
    const ReceiptIndex receipts(root);
    const QHash<QString, QString> templates = installedTemplates(root, receipts);
    std::vector<Owner> answers;
    answers.reserve(size_t(paths.size()));
    for (const QString &path : paths)
        answers.push_back(ownerOf(root, path, templates, receipts));
    return answers;
}

std::vector<TemplateFiles> files(const QString &root, const QString &name)
{
    const ReceiptIndex receipts(root);
    std::vector<TemplateFiles> found;
    if (const Receipt *receipt = receipts.receiptNamed(name)) {
        for (const Receipt::Template &entry : receipt->templates)
            found.push_back(filesOf(root, *receipt, entry));
        return found;
    }
    for (const Receipt &receipt : receipts.receipts()) {
        for (const Receipt::Template &entry : receipt.templates) {
            if (namesTemplate(root, entry, name))
                found.push_back(filesOf(root, receipt, entry));
        }
    }
    return found;
}

std::optional<ArchiveInfo> info(const QString &root, const QString &archiveTitleOrFileName,
                                ProgressListener *listener)
{
    const ReceiptIndex receipts(root);
    const Receipt *receipt = receipts.receiptNamed(archiveTitleOrFileName);
    if (!receipt)
        return std::nullopt;
    ArchiveInfo info{*receipt, {}};
    // The templates still this archive's and on disk are compared in one pass.
    QStringList compared;
    for (const Receipt::Template &entry : receipt->templates) {
        TemplateState state{entry, TemplateState::Unchanged, {}, {}, {}, {}};
        const ReceiptIndex::Owner owner = receipts.ownerOf(entry.destination);
        const QString onDisk = locate(root, entry.destination);
        if (owner.receipt && owner.receipt != receipt) {
            state.state = TemplateState::Replaced;
            state.replacedBy = owner.receipt->archiveTitle;
        } else if (onDisk.isNull() || !FileOperations::isDirectory(join(root, onDisk))) {
            state.state = TemplateState::Missing;
        } else {
            compared.append(onDisk);
        }
        info.templates.push_back(std::move(state));
    }
    QHash<QString, TemplateLibrary::Verification> verified;
    if (!compared.isEmpty()) {
        for (TemplateLibrary::Verification &result : TemplateLibrary::verify(root, compared, listener))
            verified.insert(comparable(result.destination), std::move(result));
    }
    for (TemplateState &state : info.templates) {
        const auto it = verified.constFind(comparable(state.entry.destination));
        if (state.state != TemplateState::Unchanged || it == verified.cend())
            continue;
        state.missing = it->missing;
        state.changed = it->changed;
        state.added = it->added;
        if (!it->isIntact() || !it->added.isEmpty())
            state.state = TemplateState::Edited;
    }
    return info;
}

std::vector<Receipt> receipts(const QString &root, QStringList *unreadable)
{
    if (unreadable) {
        unreadable->clear();
        for (const QString &path : Receipt::paths(root)) {
            if (!Receipt::read(path))
                unreadable->append(path);
        }
    }
    return Receipt::readAll(root);
}

QString sha256OfFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return {};
    }
    Sha256 hash;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 count = file.read(buffer.data(), buffer.size());
        if (count < 0) {
            if (error)
                *error = file.errorString();
            return {};
        }
        if (count == 0)
            return hash.hexResult();
        hash.addData(buffer.constData(), count);
    }
}

} // namespace InstalledArchives
