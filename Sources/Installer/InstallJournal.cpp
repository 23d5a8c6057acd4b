// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/InstallJournal.h"

#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "Common/Trash.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::error_code lastErrno()
{
    return std::error_code(errno, std::generic_category());
}

// A path below the root that stays below it.
bool isSafeRelativePath(const QString &path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')) || path.contains(QLatin1Char('\\')))
        return false;
    const QStringList parts = path.split(QLatin1Char('/'));
    for (const QString &part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String(".."))
            return false;
    }
    return true;
}

// The names this system gives its own folders, and nothing else.
bool isOwnName(const QString &name, const char *kind)
{
    static const QRegularExpression pattern(QStringLiteral("^\\.mti-(stage|backup|removed)-[0-9]+(-[0-9]+)*$"));
    const QRegularExpressionMatch match = pattern.match(name);
    return match.hasMatch() && match.captured(1) == QLatin1String(kind);
}

// A journal lists a few records per template: 64 MiB is hundreds of
// thousands of them.
constexpr qint64 MaxJournalSize = 64 * 1024 * 1024;

// Other: a link, a FIFO, a device. Unknown: it could not be looked at (a
// folder on the way that cannot be searched), and acting on it will fail too.
enum class Standing { Absent, Folder, File, Other, Unknown };

// What stands at path, its last component not followed.
Standing standingOf(const QString &path)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Standing::Absent : Standing::Unknown;
    return S_ISDIR(info.st_mode) ? Standing::Folder : S_ISREG(info.st_mode) ? Standing::File : Standing::Other;
}

// Whether every component of `relative` below `folder` that exists is a
// folder (not a link to one), so that acting on it stays below `folder`.
bool foldersAllTheWay(const QString &folder, const QString &relative)
{
    QString path = folder;
    for (const QString &part : relative.split(QLatin1Char('/'))) {
        path += QLatin1Char('/') + part;
        const Standing standing = standingOf(path);
        if (standing == Standing::Absent || standing == Standing::Unknown)
            return true;
        if (standing != Standing::Folder)
            return false;
    }
    return true;
}

QString parentOf(const QString &relative)
{
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : relative.left(slash);
}

QString joined(const QString &root, const QString &relative)
{
    return relative.isEmpty() ? root : root + QLatin1Char('/') + relative;
}

} // namespace

QString InstallJournal::fileName()
{
    return QStringLiteral(".mti-journal");
}

InstallJournal::InstallJournal(QString root, Operation operation, QString archiveTitle)
    : _root(std::move(root))
    , _operation(operation)
    , _archiveTitle(std::move(archiveTitle))
    , _pid(QCoreApplication::applicationPid())
    , _host(QSysInfo::machineHostName())
{
}

InstallJournal::InstallJournal(InstallJournal &&other) noexcept
    : _root(std::move(other._root))
    , _operation(other._operation)
    , _archiveTitle(std::move(other._archiveTitle))
    , _pid(other._pid)
    , _host(std::move(other._host))
    , _directories(std::move(other._directories))
    , _templates(std::move(other._templates))
    , _committed(other._committed)
    , _removalFolder(std::move(other._removalFolder))
    , _toTrash(other._toTrash)
    , _removals(std::move(other._removals))
    , _plan(std::move(other._plan))
    , _trashed(std::move(other._trashed))
    , _cancelled(other._cancelled)
    , _fd(std::exchange(other._fd, -1))
{
}

InstallJournal &InstallJournal::operator=(InstallJournal &&other) noexcept
{
    if (this != &other) {
        if (_fd >= 0)
            ::close(_fd);
        _root = std::move(other._root);
        _operation = other._operation;
        _archiveTitle = std::move(other._archiveTitle);
        _pid = other._pid;
        _host = std::move(other._host);
        _directories = std::move(other._directories);
        _templates = std::move(other._templates);
        _committed = other._committed;
        _removalFolder = std::move(other._removalFolder);
        _toTrash = other._toTrash;
        _removals = std::move(other._removals);
        _plan = std::move(other._plan);
        _trashed = std::move(other._trashed);
        _cancelled = other._cancelled;
        _fd = std::exchange(other._fd, -1);
    }
    return *this;
}

InstallJournal::~InstallJournal()
{
    // An unfinished journal stays for the next run to act on.
    if (_fd >= 0)
        ::close(_fd);
}

std::optional<Error> InstallJournal::append(const QJsonObject &record)
{
    if (_fd < 0)
        return Error::fromErrorCode(std::make_error_code(std::errc::bad_file_descriptor), _root + QLatin1Char('/') + fileName());
    const QByteArray line = QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
    // O_APPEND: a record is one write, and a crash leaves at most a torn last line.
    if (!FileOperations::writeAll(_fd, line.constData(), line.size()))
        return Error::fromErrorCode(lastErrno(), _root + QLatin1Char('/') + fileName());
    apply(record);
    return std::nullopt;
}

void InstallJournal::apply(const QJsonObject &record)
{
    if (record.contains(QLatin1String("mkdir"))) {
        _directories.append(record.value(QLatin1String("mkdir")).toString());
    } else if (record.contains(QLatin1String("stage"))) {
        _templates.push_back({record.value(QLatin1String("stage")).toString(),
                              record.value(QLatin1String("staging")).toString(), QString(), false,
                              record.value(QLatin1String("trash")).toBool()});
    } else if (record.contains(QLatin1String("swap")) && !_templates.empty()) {
        _templates.back().backup = record.value(QLatin1String("swap")).toString();
        _templates.back().swapping = true;
    } else if (record.contains(QLatin1String("plan"))) {
        for (const QJsonValue &value : record.value(QLatin1String("plan")).toArray())
            _plan.append(value.toString());
    } else if (record.contains(QLatin1String("trashed"))) {
        _trashed.push_back({record.value(QLatin1String("trashed")).toString(),
                            record.value(QLatin1String("to")).toString()});
    } else if (record.contains(QLatin1String("remove"))) {
        _removals.append(record.value(QLatin1String("remove")).toString());
    } else if (record.value(QLatin1String("committed")).toBool()) {
        _committed = true;
        _toTrash = record.value(QLatin1String("trash")).toBool();
    } else if (record.contains(QLatin1String("trashing"))) {
        _removalFolder = record.value(QLatin1String("trashing")).toString();
    } else if (record.value(QLatin1String("cancelled")).toBool()) {
        _cancelled = true;
    }
}

std::optional<Error> InstallJournal::begin(const QString &removalFolder, bool toTrash)
{
    const QString path = _root + QLatin1Char('/') + fileName();
    // O_EXCL: a journal already there belongs to a run that must be dealt with first.
    _fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0644);
    if (_fd < 0)
        return Error::fromErrorCode(lastErrno(), path);
    _removalFolder = removalFolder;
    _toTrash = toTrash;
    QJsonObject header{{QStringLiteral("journal"), 1},
                       {QStringLiteral("operation"), _operation == Operation::Install ? QStringLiteral("install")
                                                                                      : QStringLiteral("uninstall")},
                       {QStringLiteral("archive"), _archiveTitle},
                       {QStringLiteral("pid"), _pid},
                       {QStringLiteral("host"), _host},
                       {QStringLiteral("time"), QDateTime::currentDateTimeUtc().toString(Qt::ISODate)}};
    if (!removalFolder.isEmpty()) {
        header.insert(QStringLiteral("removal"), removalFolder);
        header.insert(QStringLiteral("trash"), toTrash);
    }
    if (std::optional<Error> error = append(header)) {
        ::close(std::exchange(_fd, -1));
        QFile::remove(path);
        return error;
    }
    return std::nullopt;
}

std::optional<Error> InstallJournal::addDirectory(const QString &relative)
{
    return append({{QStringLiteral("mkdir"), relative}});
}

std::optional<Error> InstallJournal::addStaging(const QString &destination, const QString &staging, bool toTrash)
{
    QJsonObject record{{QStringLiteral("stage"), destination}, {QStringLiteral("staging"), staging}};
    if (toTrash)
        record.insert(QStringLiteral("trash"), true);
    return append(record);
}

std::optional<Error> InstallJournal::addPlan(const QStringList &destinations)
{
    return append({{QStringLiteral("plan"), QJsonArray::fromStringList(destinations)}});
}

std::optional<Error> InstallJournal::addTrashed(const QString &destination, const QString &inTrash)
{
    return append({{QStringLiteral("trashed"), destination}, {QStringLiteral("to"), inTrash}});
}

std::optional<Error> InstallJournal::addSwap(const QString &backup)
{
    return append({{QStringLiteral("swap"), backup}});
}

std::optional<Error> InstallJournal::addRemoval(const QString &destination)
{
    return append({{QStringLiteral("remove"), destination}});
}

std::optional<Error> InstallJournal::addCommit(bool toTrash)
{
    return append({{QStringLiteral("committed"), true}, {QStringLiteral("trash"), toTrash}});
}

std::optional<Error> InstallJournal::addTrashing(const QString &removalFolder)
{
    return append({{QStringLiteral("trashing"), removalFolder}});
}

std::optional<Error> InstallJournal::addCancel()
{
    return append({{QStringLiteral("cancelled"), true}});
}

void InstallJournal::close()
{
    if (_fd >= 0)
        ::close(std::exchange(_fd, -1));
    QFile::remove(_root + QLatin1Char('/') + fileName());
}

std::optional<InstallJournal> InstallJournal::read(const QString &root)
{
    const FileOperations::SmallFile file = FileOperations::readSmallFile(root + QLatin1Char('/') + fileName(), MaxJournalSize);
    if (!file) {
        if (file.error != ENOENT)
            qCWarning(lcInstall).noquote() << "ignored" << fileName() + QLatin1Char(':') << file.problem;
        return std::nullopt;
    }
    const QList<QByteArray> lines = file.contents->split('\n');
    if (lines.isEmpty())
        return std::nullopt;
    const QJsonObject header = QJsonDocument::fromJson(lines.first()).object();
    if (header.value(QLatin1String("journal")).toInt() != 1)
        return std::nullopt;
    const QString operation = header.value(QLatin1String("operation")).toString();
    if (operation != QLatin1String("install") && operation != QLatin1String("uninstall"))
        return std::nullopt;

    InstallJournal journal(root, operation == QLatin1String("install") ? Operation::Install : Operation::Uninstall,
                           header.value(QLatin1String("archive")).toString());
    journal._pid = header.value(QLatin1String("pid")).toInteger();
    journal._host = header.value(QLatin1String("host")).toString();
    journal._removalFolder = header.value(QLatin1String("removal")).toString();
    journal._toTrash = header.value(QLatin1String("trash")).toBool();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QJsonDocument document = QJsonDocument::fromJson(lines.at(i));
        if (document.isObject())
            journal.apply(document.object());
    }
    if (const QString problem = journal.misplacement(); !problem.isEmpty()) {
        qCWarning(lcInstall).noquote() << "ignored" << fileName() + QLatin1Char(':') << problem;
        return std::nullopt;
    }
    return journal;
}

QString InstallJournal::misplacement() const
{
    // This system writes nothing else: a journal that names anything else,
    // or finds a link where it names a folder of its own, was written or
    // changed by someone else, and acting on it would follow them.
    if (!_removalFolder.isEmpty() && !isOwnName(_removalFolder, "removed"))
        return QStringLiteral("its removal folder is none of ours");
    for (const QString &directory : _directories) {
        if (!isSafeRelativePath(directory))
            return QStringLiteral("it names a folder outside the root");
    }
    for (const QString &removed : _removals) {
        if (!isSafeRelativePath(removed))
            return QStringLiteral("it names a template outside the root");
    }
    for (const QString &planned : _plan) {
        if (!isSafeRelativePath(planned))
            return QStringLiteral("it names a template outside the root");
    }
    // Only what a Trash holds is ever taken back from elsewhere.
    for (const Trashed &item : _trashed) {
        if (!isSafeRelativePath(item.destination) || !Trash::isInTrash(item.inTrash))
            return QStringLiteral("it names a trashed template outside the root or the Trash");
    }
    for (const Template &entry : _templates) {
        if (!isSafeRelativePath(entry.destination))
            return QStringLiteral("it names a template outside the root");
        if (!isOwnName(entry.staging, "stage") || !(entry.backup.isEmpty() || isOwnName(entry.backup, "backup")))
            return QStringLiteral("its staging or backup folder is none of ours");
        const QString parent = joined(_root, parentOf(entry.destination));
        for (const QString &name : {entry.staging, entry.backup}) {
            const Standing standing = name.isEmpty() ? Standing::Absent : standingOf(parent + QLatin1Char('/') + name);
            if (standing == Standing::Other)
                return QStringLiteral("%1 beside %2 is not a folder or file of its own").arg(name, entry.destination);
        }
    }
    return removalFolderProblem();
}

QString InstallJournal::removalFolderProblem() const
{
    if (_removalFolder.isEmpty())
        return QString();
    const QString removal = _root + QLatin1Char('/') + _removalFolder;
    const Standing standing = standingOf(removal);
    if (standing == Standing::Absent || standing == Standing::Unknown)
        return QString();
    if (standing != Standing::Folder)
        return QStringLiteral("its removal folder %1 is not a folder of its own").arg(_removalFolder);
    // What an uninstall took away, and what an install replaced, lie in a
    // folder named after the archive in there, at their places in the root.
    QStringList places = _removals;
    for (const Template &entry : _templates)
        places.append(entry.destination);
    const QStringList holders = QDir(removal).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                                        | QDir::NoDotAndDotDot);
    for (const QString &holder : holders) {
        const QString held = removal + QLatin1Char('/') + holder;
        const Standing heldStanding = standingOf(held);
        if (heldStanding == Standing::File || heldStanding == Standing::Other)
            return QStringLiteral("%1 in its removal folder is not a folder of its own").arg(holder);
        for (const QString &place : std::as_const(places)) {
            if (!foldersAllTheWay(held, place))
                return QStringLiteral("a link stands on the way to %1 in its removal folder").arg(place);
        }
    }
    return QString();
}

void InstallJournal::setAside(const QString &root)
{
    const QString path = root + QLatin1Char('/') + fileName();
    const FileOperations::SmallFile file = FileOperations::readSmallFile(path, MaxJournalSize);
    if (file && !file.contents->contains('\n')) {
        // Killed while writing its first line: it had changed nothing yet.
        QFile::remove(path);
        return;
    }
    QString aside = path + QStringLiteral("-unreadable");
    for (int n = 1; standingOf(aside) != Standing::Absent; ++n)
        aside = path + QStringLiteral("-unreadable-") + QString::number(n);
    qCWarning(lcInstall).noquote() << "an unreadable journal in" << root << "was set aside as" << aside;
    // A rename takes a link itself along, never what it leads to.
    if (::rename(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) != 0)
        qCWarning(lcInstall).noquote() << "cannot set aside" << path << ":" << std::strerror(errno);
}
