#include "TemplateInstaller.h"

#include "DiagnosticLog.h"
#include "FileOperations.h"
#include "LogCategories.h"
#include "ProgressListener.h"
#include "TemplateInstallerDelegate.h"
#include "TemplateType.h"
#include "ZipArchive.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cerrno>
#include <exception>

bool TemplateInstaller::refuse(const QString &reason, QString *refusalReason, const char *function, int line)
{
    writeDiagnosticLog(lcInstall(), reason, function, line);
    if (refusalReason)
        *refusalReason = reason;
    return false;
}

std::unique_ptr<TemplateInstaller> TemplateInstaller::create(const QUrl &archiveURL, const QString &templatesRootFolder,
                                                             QString *refusalReason)
{
    std::unique_ptr<TemplateInstaller> installer(new TemplateInstaller);
    if (!installer->init(archiveURL, templatesRootFolder, refusalReason))
        return nullptr;
    return installer;
}

bool TemplateInstaller::init(const QUrl &archiveURL, const QString &templatesRootFolder, QString *refusalReason)
{
    if (archiveURL.isEmpty())
        return refuse(QStringLiteral("archiveURL = nil"), refusalReason, Q_FUNC_INFO, __LINE__);
    if (templatesRootFolder.isNull())
        return refuse(QStringLiteral("templatesRootFolder = nil"), refusalReason, Q_FUNC_INFO, __LINE__);
    // A missing root inside an existing folder (a Movies folder without
    // "Motion Templates.localized" yet) is created by the first install.
    if (!FileOperations::exists(templatesRootFolder)
        && !FileOperations::isDirectory(QFileInfo(templatesRootFolder).path()))
        return refuse(QStringLiteral("templatesRootFolder does not exist"), refusalReason, Q_FUNC_INFO, __LINE__);
    const QString path = archiveURL.isLocalFile() ? archiveURL.toLocalFile() : archiveURL.path();
    const QFileInfo archive(path);
    if (archive.suffix() != QLatin1String("mtzip") || archive.completeBaseName().isEmpty())
        return refuse(QStringLiteral("Not a Motion Template Archive"), refusalReason, Q_FUNC_INFO, __LINE__);

    _archiveURL = archiveURL;
    _archiveTitle = archive.completeBaseName();
    _templatesRootFolder = templatesRootFolder;
    return true;
}

TemplateInstaller::~TemplateInstaller()
{
    _effects.reset();
    if (_mustDeleteEffectsSourceFolder && !_effectsSourceFolder.isEmpty())
        FileOperations::removeAll(_effectsSourceFolder);
    if (_mustDeleteTemplatesArchive)
        QFile::remove(_archiveURL.toLocalFile());
}

QString TemplateInstaller::className() const
{
    return QStringLiteral("TemplateInstaller");
}

bool TemplateInstaller::unarchive()
{
    if (_archiveTitle.isEmpty()) {
        MTI_DIAGNOSTIC(lcInstall, QStringLiteral("No archive title"));
        return false;
    }
    _unarchiveError.clear();

    // A folder of its own: two archives of one title, or leftovers of an
    // earlier run, never mix.
    QTemporaryDir unpackDir(QDir::tempPath() + QLatin1Char('/') + _archiveTitle + QStringLiteral("-XXXXXX"));
    if (!unpackDir.isValid()) {
        _unarchiveError = QStringLiteral("Cannot create an unpack folder: %1").arg(unpackDir.errorString());
        MTI_DIAGNOSTIC(lcInstall, _unarchiveError);
        return false;
    }
    const QString unpackFolder = unpackDir.path();

    bool succeeded = false;
    ZipArchive zip;
    zip.setDelegate(this);
    zip.setProgressListener(_progressListener);
    try {
        if (!zip.UnzipOpenFile(_archiveURL.toLocalFile())) {
            _unarchiveError = QFileInfo::exists(_archiveURL.toLocalFile())
                ? QStringLiteral("The file is not a zip archive, or it is damaged.")
                : QStringLiteral("The file does not exist.");
        } else if (zip.UnzipFileTo(unpackFolder, true)) {
            FileOperations::removeAll(unpackFolder + QStringLiteral("/__MACOSX"));
            _effects = effectTemplateItemsInFolder(unpackFolder);
            _effectsSourceFolder = unpackFolder;
            _mustDeleteEffectsSourceFolder = true;
            unpackDir.setAutoRemove(false);
            succeeded = true;
        } else if (_unarchiveError.isEmpty()) {
            _unarchiveError = QStringLiteral("The archive could not be unpacked.");
        }
    } catch (const std::exception &e) {
        MTI_DIAGNOSTIC(lcInstall, QString::fromLocal8Bit(e.what()));
        _unarchiveError = QString::fromLocal8Bit(e.what());
    }
    zip.UnzipCloseFile();
    zip.setDelegate(nullptr);
    // On failure unpackDir removes what was written as it goes out of scope.
    return succeeded;
}

void TemplateInstaller::ErrorMessage(const QString &message)
{
    MTI_DIAGNOSTIC(lcInstall, message);
    // The zip layer says the generic text first and the particulars after;
    // keep the most telling one for the user.
    static const QStringList generic = {QStringLiteral("Failed"), QStringLiteral("Error occurs"),
                                        QStringLiteral("Failed to reading zip file")};
    if (!generic.contains(message))
        _unarchiveError = message;
    else if (_unarchiveError.isEmpty() && message == QLatin1String("Failed"))
        _unarchiveError = QStringLiteral("The archive holds no entries."); // positioning on the first entry failed
}

bool TemplateInstaller::OverWriteOperation(const QString &)
{
    return false;
}

EffectTemplateItems TemplateInstaller::effectTemplateItemsInFolder(const QString &folder)
{
    EffectTemplateItems items;
    items.reserve(100);
    iterateSrcFolder(folder, folder, items);
    return items;
}

void TemplateInstaller::iterateSrcFolder(const QString &srcFolder, const QString &rootFolder,
                                         EffectTemplateItems &foundTemplates)
{
    // The file system's own order, hidden names included.
    const QStringList names = QDir(srcFolder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    for (const QString &name : names) {
        const QString path = srcFolder + QLatin1Char('/') + name;
        const QFileInfo info(path);
        if (!info.exists() || info.isSymLink())
            continue;
        if (info.isDir()) {
            iterateSrcFolder(path, rootFolder, foundTemplates);
            continue;
        }
        const quint64 type = TemplateType::forFileName(name);
        if (type == 0)
            continue;

        const QString relativePath = srcFolder.mid(rootFolder.size());
        // A template lying at the archive's top level is named after the archive.
        std::unique_ptr<EffectTemplateItem> item =
            EffectTemplateItem::create(relativePath, rootFolder, type, relativePath.isEmpty() ? _archiveTitle : QString());
        if (!item)
            continue;
        item->setRelativeDestinationPath(relativeDestinationPathFor(*item));
        foundTemplates.push_back(std::move(item));
        // A template folder ends its own scan at its first template file.
        return;
    }
}

QString TemplateInstaller::relativeDestinationPathFor(const EffectTemplateItem &item) const
{
    return item.relativeSourcePath().isEmpty() ? QLatin1Char('/') + item.folderName() : item.relativeSourcePath();
}

EffectTemplateItemList TemplateInstaller::effects() const
{
    EffectTemplateItemList list;
    if (_effects) {
        list.reserve(_effects->size());
        for (const auto &item : *_effects)
            list.push_back(item.get());
    }
    return list;
}

QString TemplateInstaller::userDestMotionTemplatesFolder()
{
    static QString sFolder;
    if (sFolder.isEmpty()) {
        QStringList movies = QStandardPaths::standardLocations(QStandardPaths::MoviesLocation);
        // Qt's test mode keeps every other location out of the real home;
        // on Linux it leaves the Movies folder alone, so do it here.
        if (QStandardPaths::isTestModeEnabled())
            movies = {QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Movies")};
        if (movies.isEmpty() || movies.first().isEmpty()) {
            MTI_DIAGNOSTIC(lcInstall, QStringLiteral("No movies directory found"));
            return {};
        }
        sFolder = movies.first() + QStringLiteral("/Motion Templates.localized");
    }
    return sFolder;
}

QString TemplateInstaller::localDestMotionTemplatesFolder()
{
#if defined(Q_OS_MACOS)
    const QString applicationSupport = QStringLiteral("/Library/Application Support");
#else
    // The all-users data folder: the last generic data location is the
    // system's own (/usr/share on most Linux systems).
    const QStringList locations = QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation);
    const QString applicationSupport = locations.size() > 1 ? locations.last() : QString();
#endif
    if (applicationSupport.isEmpty()) {
        MTI_DIAGNOSTIC(lcInstall, QStringLiteral("No local application support directory found"));
        return {};
    }
    return applicationSupport + QStringLiteral("/Final Cut Pro/Templates");
}

std::optional<Error> TemplateInstaller::copyEffects(const EffectTemplateItemList &effects, const QString &folder,
                                                    ProgressListener *listener, InstallTransfer transfer)
{
    if (folder.isNull() || effects.empty())
        return std::nullopt;
    // Sizes only matter to a listener; the tree walks cost little beside the copies.
    std::vector<qint64> sizes(effects.size(), 0);
    qint64 total = 0;
    if (listener) {
        for (size_t i = 0; i < effects.size(); ++i)
            total += sizes[i] = FileOperations::treeSize(effects[i]->sourceFolderPath());
    }
    qint64 done = 0;
    if (transfer == InstallTransfer::MoveSource) {
        // Moving a folder that holds another template's folder would take
        // that one along, or leave it out of its parent's install.
        QStringList sources;
        for (const EffectTemplateItem *item : effects)
            sources.append(QDir::cleanPath(item->sourceFolderPath()) + QLatin1Char('/'));
        sources.sort();
        for (qsizetype i = 1; i < sources.size(); ++i) {
            if (sources.at(i).startsWith(sources.at(i - 1)))
                transfer = InstallTransfer::Copy;
        }
    }
    for (size_t i = 0; i < effects.size(); ++i) {
        if (std::optional<Error> error = effects[i]->installInDestRootFolder(folder, listener, done, total, transfer))
            return error;
        done += sizes[i];
        // A moved folder reports nothing while it goes.
        if (listener && !listener->progress(done, total))
            return Error::fromErrorCode(std::make_error_code(std::errc::operation_canceled));
    }
    return std::nullopt;
}

std::optional<Error> TemplateInstaller::deleteEffects(const EffectTemplateItemList &effects, const QString &folder)
{
    if (folder.isNull() || effects.empty())
        return std::nullopt;
    for (const EffectTemplateItem *item : effects)
        item->uninstallInDestRootFolder(folder, true);
    return std::nullopt;
}

std::optional<Error> TemplateInstaller::installEffects(InstallTransfer transfer)
{
    const EffectTemplateItemList list = effects();
    const QString &root = _templatesRootFolder;
    std::optional<Error> error;
    if (root.isNull()) {
        error = Error(className(), 0, QStringLiteral("The install directory was not specified. Please contact support."));
    } else if (FileOperations::exists(root)) {
        error = copyEffects(list, root, _progressListener, transfer);
    } else if (std::optional<Error> created = FileOperations::createDirectories(root)) {
        error = created->isPermissionError()
            ? Error(created->domain(), created->code(),
                    QStringLiteral("You have no permission to install the Motion templates to the folder: '%1'.").arg(root))
            : Error(created->domain(), created->code(),
                    QStringLiteral("The Motion templates could not be copied to the folder: '%1', [%2].")
                        .arg(root).arg(created->code()));
    } else {
        error = copyEffects(list, root, _progressListener, transfer);
    }
    if (error && !root.isNull())
        deleteEffects(list, root);
    return error;
}

std::optional<Error> TemplateInstaller::deleteEffects()
{
    return deleteEffects(effects(), _templatesRootFolder);
}

EffectTemplateItemList TemplateInstaller::installedEffects() const
{
    EffectTemplateItemList installed;
    for (const EffectTemplateItem *item : effects()) {
        if (item->isInstalledInDestRootFolder(_templatesRootFolder))
            installed.push_back(item);
    }
    return installed;
}
