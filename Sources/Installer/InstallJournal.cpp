// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/InstallJournal.h"

#include "Common/FileOperations.h"
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
#include <system_error>

#include <fcntl.h>
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
    QFile file(root + QLatin1Char('/') + fileName());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QList<QByteArray> lines = file.readAll().split('\n');
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
    if (!isOwnName(journal._removalFolder, "removed"))
        journal._removalFolder.clear();

    // Whatever someone else wrote into the file, act only within the root
    // and only on this system's own staging and backup folders.
    QStringList directories;
    for (const QString &directory : std::as_const(journal._directories)) {
        if (isSafeRelativePath(directory))
            directories.append(directory);
    }
    journal._directories = directories;
    std::vector<Template> templates;
    for (const Template &entry : journal._templates) {
        if (isSafeRelativePath(entry.destination) && isOwnName(entry.staging, "stage")
            && (entry.backup.isEmpty() || isOwnName(entry.backup, "backup")))
            templates.push_back(entry);
    }
    journal._templates = std::move(templates);
    QStringList removals;
    for (const QString &removed : std::as_const(journal._removals)) {
        if (isSafeRelativePath(removed))
            removals.append(removed);
    }
    journal._removals = removals;
    QStringList plan;
    for (const QString &planned : std::as_const(journal._plan)) {
        if (isSafeRelativePath(planned))
            plan.append(planned);
    }
    journal._plan = plan;
    // Only what a Trash holds is ever taken back from elsewhere.
    std::vector<Trashed> kept;
    for (const Trashed &item : journal._trashed) {
        if (isSafeRelativePath(item.destination) && Trash::isInTrash(item.inTrash))
            kept.push_back(item);
    }
    journal._trashed = std::move(kept);
    return journal;
}
