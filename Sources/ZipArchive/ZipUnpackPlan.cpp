// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipUnpackPlan.h"

#include "Common/ByteSize.h"
#include "Common/FileOperations.h"
#include "ZipArchive/ZipEntryName.h"
#include "ZipArchive/ZipEntryWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>

#include <unordered_set>

namespace fs = std::filesystem;

using FileOperations::toFsPath;

namespace {

// Free space on the volume that will hold `folder`, which need not exist yet.
std::optional<quint64> availableSpaceFor(const QString &folder)
{
    std::error_code ec;
    fs::path probe = fs::absolute(toFsPath(folder), ec);
    if (ec)
        return std::nullopt;
    while (!probe.empty() && !fs::exists(probe, ec)) {
        const fs::path parent = probe.parent_path();
        if (parent == probe)
            break;
        probe = parent;
    }
    const fs::space_info info = fs::space(probe, ec);
    if (ec)
        return std::nullopt;
    return info.available;
}

ZipFault folderFault(const fs::path &folder, const std::error_code &ec)
{
    return {ZipEntryWriter::writeFault(ec.value()), {},
            QCoreApplication::translate("ZipArchive", "Cannot create the folder \"%1\": %2")
                .arg(QFile::decodeName(folder.c_str()), QString::fromLocal8Bit(ec.message().c_str()))};
}

// Makes one step of a folder's path unless a folder is there already.
std::optional<ZipFault> makeStep(const fs::path &at)
{
    std::error_code ec;
    const fs::file_type type = fs::symlink_status(at, ec).type();
    if (type == fs::file_type::not_found) {
        if (!fs::create_directory(at, ec) && ec)
            return folderFault(at, ec);
    } else if (ec) {
        return folderFault(at, ec);
    } else if (type == fs::file_type::symlink) {
        return ZipEntryWriter::linkFault(QFile::decodeName(at.c_str()));
    } else if (type != fs::file_type::directory) {
        return folderFault(at, std::make_error_code(std::errc::not_a_directory));
    }
    return std::nullopt;
}

} // namespace

std::optional<ZipFault> UnpackPlan::build(const ZipReader *reader, const QString &path,
                                          const QByteArray &asciiPassword)
{
    if (!reader || reader->count() == 0) {
        ZipFault fault = ZipReader::noEntries();
        if (!reader)
            fault.code = ZipError::NotOpen;
        return fault;
    }
    password = asciiPassword;
    destination = path.endsWith(QLatin1Char('/')) ? path.chopped(1) : path;
    if (std::optional<ZipFault> refusal = addEntries(*reader))
        return refusal;
    if (std::optional<ZipFault> refusal = reader->overlapRefusal(
            [reader](zip_uint64_t index, zip_uint64_t compressedSize, zip_uint32_t crc) {
                const ZipReader::Entry &entry = reader->entry(index);
                return entry.compressedSize == compressedSize && entry.crc == crc;
            },
            [reader](zip_uint64_t index) { return reader->name(index); }))
        return refusal;
    return spaceRefusal(path);
}

std::optional<ZipFault> UnpackPlan::addEntries(const ZipReader &reader)
{
    const zip_uint64_t count = reader.count();
    entries.resize(size_t(count));
    for (zip_uint64_t i = 0; i < count; ++i) {
        const ZipReader::Entry &stat = reader.entry(i);
        if (!(stat.valid & ZIP_STAT_NAME))
            return ZipReader::statFailed();
        Entry &entry = entries[size_t(i)];
        const QString name = reader.name(i);
        entry.isDirectory = ZipReader::isFolder(name, stat);
        if (std::optional<ZipFault> refusal = ZipReader::entryRefusal(name, entry.isDirectory, stat, !password.isEmpty()))
            return refusal;
        entry.size = stat.size;
        entry.hasMtime = stat.valid & ZIP_STAT_MTIME;
        entry.mtime = stat.mtime;
        if (entry.isDirectory)
            continue;
        if ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryptionMethod != ZIP_EM_NONE)
            encrypted = true;
        ++fileEntries;
        // Saturate rather than wrap on hostile sizes.
        totalBytes = entry.size > UINT64_MAX - totalBytes ? UINT64_MAX : totalBytes + entry.size;
    }
    return std::nullopt;
}

std::optional<ZipFault> UnpackPlan::spaceRefusal(const QString &path) const
{
    const std::optional<quint64> available = availableSpaceFor(path);
    if (!available || totalBytes <= *available)
        return std::nullopt;
    return ZipFault{ZipError::DiskFull, {},
                    QCoreApplication::translate("ZipArchive",
                                                "Not enough free space: unpacking needs %1, only %2 are available")
                        .arg(ByteSize::forMessage(totalBytes), ByteSize::forMessage(*available))};
}

qint64 UnpackPlan::progressTotal() const
{
    return qint64(qMin<quint64>(totalBytes, quint64(INT64_MAX)));
}

QString UnpackPlan::targetOf(const ZipReader &reader, zip_uint64_t index, QString *name) const
{
    const QString stored = reader.name(index);
    if (name)
        *name = stored;
    // Planning refused every name this would not accept.
    const QString relative = safeRelativeEntryPath(stored).value_or(QString());
    return relative.isEmpty() ? destination : destination + QLatin1Char('/') + relative;
}

fs::path UnpackPlan::folderOf(const ZipReader &reader, zip_uint64_t index) const
{
    const fs::path target = toFsPath(targetOf(reader, index));
    return entries[size_t(index)].isDirectory ? target : target.parent_path();
}

UnpackFolders::UnpackFolders(const QString &destination) : _destination(toFsPath(destination)) {}

std::optional<ZipFault> UnpackFolders::make(const fs::path &folder)
{
    if (folder == _lastMade)
        return std::nullopt;
    std::error_code ec;
    if (_lastMade.empty() && (fs::create_directories(_destination, ec), ec))
        return folderFault(_destination, ec);
    const fs::path relative = folder.lexically_relative(_destination);
    const fs::path lastRelative = _lastMade.empty() ? fs::path() : _lastMade.lexically_relative(_destination);
    // What the folder shares with the one made last was looked at then.
    auto part = relative.begin();
    fs::path at = _destination;
    for (auto last = lastRelative.begin(); part != relative.end() && last != lastRelative.end() && *part == *last;
         ++part, ++last)
        at /= *part;
    for (; part != relative.end(); ++part) {
        if (*part == ".")
            continue;
        at /= *part;
        if (std::optional<ZipFault> fault = makeStep(at))
            return fault;
    }
    _lastMade = folder;
    return std::nullopt;
}

// Paths are compared by hash, case-folded and composed as a case-insensitive,
// normalizing file system (macOS's) would see them; a collision only costs
// the parallel walk.
bool targetsCollide(const ZipReader &reader)
{
    const zip_uint64_t count = reader.count();
    std::unordered_set<size_t> files;
    std::unordered_set<size_t> folders;
    files.reserve(size_t(count));
    for (zip_uint64_t i = 0; i < count; ++i) {
        const QString name = reader.name(i);
        std::optional<QString> relative = safeRelativeEntryPath(name);
        if (!relative)
            return true;
        relative = relative->normalized(QString::NormalizationForm_C).toCaseFolded();
        const bool isDirectory = ZipReader::isFolder(name, reader.entry(i));
        if (!isDirectory && !files.insert(qHash(*relative)).second)
            return true;
        if (isDirectory)
            folders.insert(qHash(*relative));
        for (qsizetype slash = relative->indexOf(QLatin1Char('/')); slash >= 0;
             slash = relative->indexOf(QLatin1Char('/'), slash + 1))
            folders.insert(qHash(QStringView(*relative).left(slash)));
    }
    for (const size_t folder : folders) {
        if (files.count(folder))
            return true;
    }
    return false;
}
