// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/TemplateHiding.h"

#include "Common/FileNames.h"
#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "Common/ProgressListener.h"
#include "Installer/DestinationLock.h"
#include "Installer/Receipt.h"
#include "Installer/ReceiptIndex.h"
#include "Metadata/ArchiveDocuments.h"
#include "Metadata/TemplateDocument.h"
#include "Metadata/TemplateDocumentEdit.h"
#include "Metadata/XmlLimits.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <zlib.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace TemplateHiding {

namespace {

using FileOperations::FileDescriptor;

FaultHook sFaultHook = nullptr;

void reached(Step step)
{
    if (sFaultHook)
        sFaultHook(step);
}

// As TemplateDocumentEdit::setObsoleteInFile bounds it.
constexpr qint64 MaxDocumentBytes = 64 * 1024 * 1024;
constexpr qint64 MaxJournalBytes = 64 * 1024;
const QLatin1String StagingPrefix(".mti-hide-");

Error posixError(int code, const QString &path)
{
    return Error::fromErrorCode(std::error_code(code, std::generic_category()), path);
}

bool isPlainName(const QString &name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") && !name.contains(QLatin1Char('/'))
        && !name.contains(QChar(0));
}

bool isSafeDestination(const QString &destination)
{
    if (destination.isEmpty() || destination.startsWith(QLatin1Char('.')))
        return false;
    const QStringList parts = destination.split(QLatin1Char('/'));
    return std::all_of(parts.begin(), parts.end(), isPlainName);
}

// The names in an open folder, without following anything.
QStringList namesIn(int folder)
{
    QStringList names;
    const int copy = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return names;
    DIR *dir = ::fdopendir(copy);
    if (!dir) {
        ::close(copy);
        return names;
    }
    ::rewinddir(dir);
    while (const dirent *entry = ::readdir(dir)) {
        const QString name = QFile::decodeName(entry->d_name);
        if (name != QLatin1String(".") && name != QLatin1String(".."))
            names.append(name);
    }
    ::closedir(dir);
    return names;
}

struct Document
{
    QString name;
    QByteArray bytes;
    mode_t mode = 0644;
};

enum class ReadFault { None, NoDocument, Refused, Failed };

// The template's document in its open folder: a regular file, opened
// without following a link and without waiting on a pipe.
std::optional<Document> readDocument(int folder, const QString &folderPath, const QString &name, ReadFault *fault,
                                     std::optional<Error> *error)
{
    const QString path = folderPath + QLatin1Char('/') + name;
    const QByteArray encoded = QFile::encodeName(name);
    struct stat before {};
    if (::fstatat(folder, encoded.constData(), &before, AT_SYMLINK_NOFOLLOW) != 0) {
        *fault = ReadFault::Failed;
        *error = posixError(errno, path);
        return std::nullopt;
    }
    if (!S_ISREG(before.st_mode)) {
        *fault = ReadFault::Refused;
        *error = DocumentError::make(DocumentError::Unreadable, path);
        return std::nullopt;
    }
    FileDescriptor file(::openat(folder, encoded.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat opened {};
    if (!file.isValid() || ::fstat(file.get(), &opened) != 0) {
        *fault = errno == ELOOP ? ReadFault::Refused : ReadFault::Failed;
        *error = posixError(errno, path);
        return std::nullopt;
    }
    if (!S_ISREG(opened.st_mode) || opened.st_ino != before.st_ino || opened.st_dev != before.st_dev) {
        *fault = ReadFault::Refused;
        *error = DocumentError::make(DocumentError::Unreadable, path);
        return std::nullopt;
    }
    if (opened.st_size > MaxDocumentBytes) {
        *fault = ReadFault::Refused;
        *error = DocumentError::make(DocumentError::TooLarge, path);
        return std::nullopt;
    }
    Document document{name, QByteArray(qsizetype(opened.st_size), Qt::Uninitialized), opened.st_mode & 07777};
    qsizetype done = 0;
    while (done < document.bytes.size()) {
        const ssize_t got = ::read(file.get(), document.bytes.data() + done, size_t(document.bytes.size() - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            *fault = ReadFault::Failed;
            *error = posixError(errno, path);
            return std::nullopt;
        }
        if (got == 0)
            break;
        done += got;
    }
    document.bytes.truncate(done);
    return document;
}

quint32 crcOf(const QByteArray &bytes)
{
    return quint32(::crc32(::crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef *>(bytes.constData()), uInt(bytes.size())));
}

// Brings the template's receipt in line with its document as it now is:
// hidden when the document, shown again, is the archive's.
std::optional<Error> syncReceipt(const QString &root, const QString &destination, const QString &documentName,
                                 const QByteArray &bytes)
{
    const ReceiptIndex index(root);
    const ReceiptIndex::Owner owner = index.ownerOf(destination);
    if (!owner.receipt || !owner.entry)
        return std::nullopt;  // a hand copy: nothing to record
    Receipt receipt = *owner.receipt;
    Receipt::Template *entry = nullptr;
    for (Receipt::Template &candidate : receipt.templates) {
        if (FileNames::comparable(candidate.destination) == FileNames::comparable(owner.entry->destination))
            entry = &candidate;
    }
    if (!entry)
        return std::nullopt;
    const auto file = std::find_if(entry->files.begin(), entry->files.end(), [&](const Receipt::File &f) {
        return FileNames::comparable(f.path) == FileNames::comparable(documentName);
    });
    std::optional<Receipt::File> hidden;
    if (file != entry->files.end() && (bytes.size() != file->size || crcOf(bytes) != file->crc32)) {
        const Expected<QByteArray> shown = TemplateDocumentEdit::setObsolete(bytes, false);
        if (shown && shown->size() == file->size && crcOf(*shown) == file->crc32)
            hidden = Receipt::File{file->path, bytes.size(), crcOf(bytes)};
    }
    const bool same = hidden.has_value() == entry->hidden.has_value()
        && (!hidden || (hidden->path == entry->hidden->path && hidden->size == entry->hidden->size
                        && hidden->crc32 == entry->hidden->crc32));
    if (same)
        return std::nullopt;
    entry->hidden = hidden;
    const QString path = Receipt::existingPathFor(root, receipt.archiveTitle);
    return FileOperations::replaceFileBeneath(root, QDir(root).relativeFilePath(path), receipt.toJson());
}

void removeJournal(const QString &root)
{
    if (const std::optional<Error> error = FileOperations::replaceFileBeneath(root, journalName(), std::nullopt))
        qCWarning(lcInstall).noquote() << "cannot remove the hiding journal:" << error->localizedDescription();
}

// Deals with the journal in root; the caller holds the root's lock.
bool recoverLocked(const QString &root)
{
    const FileOperations::SmallFile file = FileOperations::readSmallFile(root + QLatin1Char('/') + journalName(), MaxJournalBytes);
    if (!file) {
        // Something there that is no journal of ours (a link, a folder): out of the way.
        if (file.error != ENOENT)
            removeJournal(root);
        return file.error != ENOENT;
    }
    const QJsonObject record = QJsonDocument::fromJson(*file.contents).object();
    const QString destination = record.value(QLatin1String("destination")).toString();
    const QString document = record.value(QLatin1String("document")).toString();
    const QString staging = record.value(QLatin1String("staging")).toString();
    // A journal torn before its end, or naming anything but a template
    // folder and its own two files, is acted on no further.
    if (isSafeDestination(destination) && isPlainName(document) && isPlainName(staging) && staging.startsWith(StagingPrefix)) {
        std::error_code ec;
        const FileDescriptor top = FileOperations::openFolder(root, ec);
        const FileDescriptor folder = ec ? FileDescriptor()
                                         : FileOperations::openFolderBeneath(top.get(), destination, ec,
                                                                             FileOperations::LinksOnTheWay::FollowOwn);
        if (!ec) {
            // Staged but not renamed: undone. Renamed: finished below.
            ::unlinkat(folder.get(), QFile::encodeName(staging).constData(), 0);
            ReadFault fault = ReadFault::None;
            std::optional<Error> error;
            if (const std::optional<Document> now = readDocument(folder.get(), root + QLatin1Char('/') + destination,
                                                                 document, &fault, &error)) {
                if (const std::optional<Error> failed = syncReceipt(root, destination, document, now->bytes)) {
                    qCWarning(lcInstall).noquote() << "cannot bring the receipt of" << destination
                                                   << "in line:" << failed->localizedDescription();
                    return true;  // the journal stays for the next try
                }
            }
        }
    }
    removeJournal(root);
    return true;
}

Outcome hideOne(int top, const QString &root, const QString &destination, bool hidden)
{
    Outcome outcome{destination, Result::Failed, std::nullopt};
    const QString folderPath = root + QLatin1Char('/') + destination;
    if (!isSafeDestination(destination)) {
        outcome.error = posixError(EINVAL, folderPath);
        return outcome;
    }
    std::error_code ec;
    const FileDescriptor folder =
        FileOperations::openFolderBeneath(top, destination, ec, FileOperations::LinksOnTheWay::FollowOwn);
    if (ec) {
        outcome.result = ec == std::errc::too_many_symbolic_link_levels ? Result::Refused : Result::Failed;
        outcome.error = Error::fromErrorCode(ec, folderPath);
        return outcome;
    }
    const QString name = ArchiveDocuments::documentName(namesIn(folder.get()), destination.section(QLatin1Char('/'), -1));
    if (name.isEmpty()) {
        outcome.result = Result::NoDocument;
        outcome.error = DocumentError::make(DocumentError::Unreadable, folderPath);
        return outcome;
    }
    ReadFault fault = ReadFault::None;
    const std::optional<Document> document = readDocument(folder.get(), folderPath, name, &fault, &outcome.error);
    if (!document) {
        outcome.result = fault == ReadFault::Refused ? Result::Refused : Result::Failed;
        return outcome;
    }
    const Expected<QByteArray> edited = TemplateDocumentEdit::setObsolete(document->bytes, hidden);
    if (!edited) {
        outcome.result = Result::Refused;
        outcome.error = edited.error();
        return outcome;
    }
    if (*edited == document->bytes) {
        outcome.result = Result::AlreadySo;
        // A receipt out of step with the document (written by hand) is set right.
        outcome.error = syncReceipt(root, destination, name, document->bytes);
        return outcome;
    }

    const QString staging = StagingPrefix + QString::number(::getpid());
    const QByteArray stagingName = QFile::encodeName(staging);
    const QJsonObject record{{QStringLiteral("destination"), destination},
                             {QStringLiteral("document"), name},
                             {QStringLiteral("staging"), staging},
                             {QStringLiteral("hidden"), hidden}};
    if ((outcome.error = FileOperations::replaceFileBeneath(root, journalName(),
                                                            QJsonDocument(record).toJson(QJsonDocument::Compact))))
        return outcome;
    reached(Step::Journaled);
    const auto undo = [&] {
        ::unlinkat(folder.get(), stagingName.constData(), 0);
        removeJournal(root);
    };
    ::unlinkat(folder.get(), stagingName.constData(), 0);  // a dead run of the same pid
    FileDescriptor file(::openat(folder.get(), stagingName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                 document->mode));
    const bool written = file.isValid() && ::fchmod(file.get(), document->mode) == 0
        && FileOperations::writeAll(file.get(), edited->constData(), edited->size()) && ::fsync(file.get()) == 0;
    const int writeErrno = errno;
    file.reset();
    if (!written) {
        outcome.error = posixError(writeErrno, folderPath + QLatin1Char('/') + staging);
        undo();
        return outcome;
    }
    reached(Step::Staged);
    if (::renameat(folder.get(), stagingName.constData(), folder.get(), QFile::encodeName(name).constData()) != 0) {
        outcome.error = posixError(errno, folderPath + QLatin1Char('/') + name);
        undo();
        return outcome;
    }
    reached(Step::Swapped);
    // The document is in place; a receipt that cannot be written now is
    // brought in line by the next run, which finds the journal.
    if (const std::optional<Error> failed = syncReceipt(root, destination, name, *edited)) {
        qCWarning(lcInstall).noquote() << "cannot record" << destination << "as hidden:" << failed->localizedDescription();
        outcome.result = Result::Done;
        return outcome;
    }
    reached(Step::ReceiptWritten);
    removeJournal(root);
    outcome.result = Result::Done;
    return outcome;
}

} // namespace

QString journalName()
{
    return QStringLiteral(".mti-hide-journal");
}

void setFaultHook(FaultHook hook)
{
    sFaultHook = hook;
}

bool recover(const QString &root)
{
    if (!FileOperations::exists(root + QLatin1Char('/') + journalName()))
        return false;
    DestinationLock lock(root);
    if (!lock.tryAcquire())
        return false;
    return recoverLocked(root);
}

std::vector<Outcome> setHidden(const QString &root, const QStringList &destinations, bool hidden, ProgressListener *listener,
                               std::optional<std::chrono::milliseconds> lockWait)
{
    std::vector<Outcome> outcomes;
    outcomes.reserve(size_t(destinations.size()));
    const auto failAll = [&](const Error &error, Result result) {
        for (qsizetype i = qsizetype(outcomes.size()); i < destinations.size(); ++i)
            outcomes.push_back({destinations.at(i), result, error});
        return outcomes;
    };
    DestinationLock lock(root);
    lock.setWaitLimit(lockWait);
    if (std::optional<Error> error = lock.acquire(listener))
        return failAll(*error, error->isCancellation() ? Result::Cancelled : Result::Failed);
    recoverLocked(root);
    std::error_code ec;
    const FileDescriptor top = FileOperations::openFolder(root, ec);
    if (ec)
        return failAll(Error::fromErrorCode(ec, root), Result::Failed);
    const qint64 total = destinations.size();
    for (qsizetype i = 0; i < destinations.size(); ++i) {
        if (listener && !listener->progress(i, total))
            return failAll(posixError(ECANCELED, root), Result::Cancelled);
        outcomes.push_back(hideOne(top.get(), root, destinations.at(i), hidden));
    }
    if (listener)
        listener->progress(total, total);
    return outcomes;
}

} // namespace TemplateHiding
