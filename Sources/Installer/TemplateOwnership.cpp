// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TemplateOwnership.h"

#include "Common/FileNames.h"
#include "Common/FileOperations.h"
#include "Installer/InstalledFiles.h"
#include "Installer/ReceiptIndex.h"
#include "Installer/TransactionSupport.h"

#include <QHash>
#include <QSet>

namespace TemplateOwnership {

namespace {

using FileNames::comparable;

bool isFinderMetadata(const QString &path)
{
    return path == QLatin1String(".DS_Store") || path.endsWith(QLatin1String("/.DS_Store"));
}

// What the disk holds against one list of files: equal or not, reading the
// data only where the sizes agree, each file at most once.
class Comparison
{
public:
    explicit Comparison(QString folder)
        : _folder(std::move(folder))
    {
        InstalledFiles::filesBelow(_folder, QString(), _files);
        for (auto it = _files.begin(); it != _files.end();) {
            it = isFinderMetadata(it->first) ? _files.erase(it) : std::next(it);
        }
    }

    bool matches(const std::vector<Receipt::File> &wanted)
    {
        if (wanted.size() != _files.size())
            return false;
        for (const Receipt::File &file : wanted) {
            const auto it = _files.find(comparable(file.path));
            if (it == _files.end() || it->second.size != file.size)
                return false;
        }
        for (const Receipt::File &file : wanted) {
            // Unreadable: not what was installed, as far as anyone can tell.
            const std::optional<quint32> crc = crcOf(comparable(file.path));
            if (!crc || *crc != file.crc32)
                return false;
        }
        return true;
    }

    // Every file on disk is one of these, as it was: some may be gone.
    bool isSubsetOf(const std::vector<Receipt::File> &wanted)
    {
        QHash<QString, const Receipt::File *> byName;
        for (const Receipt::File &file : wanted)
            byName.insert(comparable(file.path), &file);
        for (const auto &[key, file] : _files) {
            const Receipt::File *known = byName.value(key);
            if (!known || known->size != file.size)
                return false;
            const std::optional<quint32> crc = crcOf(key);
            if (!crc || *crc != known->crc32)
                return false;
        }
        return true;
    }

    QStringList notIn(const std::vector<Receipt::File> &wanted) const
    {
        QSet<QString> names;
        for (const Receipt::File &file : wanted)
            names.insert(comparable(file.path));
        QStringList extra;
        for (const auto &[key, file] : _files) {
            if (!names.contains(key))
                extra.append(file.path);
        }
        return extra;
    }

private:
    std::optional<quint32> crcOf(const QString &key)
    {
        const auto known = _crcs.constFind(key);
        if (known != _crcs.cend())
            return *known;
        const std::optional<quint32> crc = InstalledFiles::rememberedCrc(_folder + QLatin1Char('/') + _files.at(key).path);
        if (crc)
            _crcs.insert(key, *crc);
        return crc;
    }

    QString _folder;
    InstalledFiles::Listing _files;
    QHash<QString, quint32> _crcs;
};

} // namespace

std::vector<Copy> assess(const QString &root, const QString &archiveTitle, const QStringList &destinations,
                         const std::vector<std::optional<std::vector<Receipt::File>>> &archiveFiles)
{
    const ReceiptIndex receipts(root);
    std::vector<Copy> copies(size_t(destinations.size()));
    for (qsizetype i = 0; i < destinations.size(); ++i) {
        const QString destination = TemplateTransaction::Support::relativeDestination(destinations[i]);
        const QString folder = root + QLatin1Char('/') + destination;
        Copy &copy = copies[size_t(i)];
        if (destination.isEmpty() || !FileOperations::isDirectory(folder))
            continue;
        const ReceiptIndex::Owner owner = receipts.ownerOf(destination);
        copy.owner = owner.receipt ? owner.receipt->archiveTitle : QString();
        Comparison disk(folder);
        const std::optional<std::vector<Receipt::File>> *files =
            size_t(i) < archiveFiles.size() ? &archiveFiles[size_t(i)] : nullptr;
        // A null title: each copy is judged against the receipt that names it.
        const bool own = owner.receipt
            && (archiveTitle.isNull() || comparable(owner.receipt->archiveTitle) == comparable(archiveTitle));
        if (files && files->has_value()) {
            copy.onlyInstalled = disk.notIn(**files);
            copy.identical = disk.matches(**files);
            // Another archive's stays its own, identical or not.
            if (copy.identical && (own || !owner.receipt)) {
                copy.state = State::Identical;
                continue;
            }
        }
        if (!own) {
            copy.state = State::Foreign;
            continue;
        }
        if (owner.entry->files.empty()) {
            copy.state = State::Unchanged;
            continue;
        }
        copy.state = disk.matches(owner.entry->files) ? State::Unchanged : State::Edited;
        // Hidden with 'hide' is no edit of the user's: the receipt knows those bytes.
        if (copy.state == State::Edited && owner.entry->hidden) {
            std::vector<Receipt::File> asHidden = owner.entry->files;
            for (Receipt::File &file : asHidden) {
                if (comparable(file.path) == comparable(owner.entry->hidden->path))
                    file = *owner.entry->hidden;
            }
            if (disk.matches(asHidden))
                copy.state = State::Unchanged;
        }
        if (copy.state == State::Edited)
            copy.onlyRemovals = disk.isSubsetOf(owner.entry->files);
    }
    return copies;
}

QString stateName(State state)
{
    switch (state) {
    case State::NotInstalled:
        return QStringLiteral("new");
    case State::Identical:
        return QStringLiteral("identical");
    case State::Unchanged:
        return QStringLiteral("unchanged");
    case State::Edited:
        return QStringLiteral("edited");
    case State::Foreign:
        return QStringLiteral("foreign");
    }
    return {};
}

} // namespace TemplateOwnership
