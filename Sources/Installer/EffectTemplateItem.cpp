// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/EffectTemplateItem.h"

#include "Common/DiagnosticLog.h"
#include "Common/FileNames.h"
#include "Common/FileOperations.h"
#include "Common/LogCategories.h"
#include "Installer/TemplateTransaction.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

// The last component of a "/"-separated path, as the folder name.
QString lastPathComponent(const QString &path)
{
    const QString trimmed = path.endsWith(QLatin1Char('/')) ? path.chopped(1) : path;
    return trimmed.section(QLatin1Char('/'), -1);
}

QString joinPath(const QString &root, const QString &relative)
{
    if (relative.isEmpty())
        return root;
    if (root.endsWith(QLatin1Char('/')) || relative.startsWith(QLatin1Char('/')))
        return root + relative;
    return root + QLatin1Char('/') + relative;
}

} // namespace

std::unique_ptr<EffectTemplateItem> EffectTemplateItem::create(const QString &relPath, const QString &rootFolder,
                                                               quint64 templateType, const Categories &categories,
                                                               const QString &folderName)
{
    if (relPath.isNull()) {
        MTI_DIAGNOSTIC(lcInstall, QStringLiteral("relPath = nil"));
        return nullptr;
    }
    if (rootFolder.isNull()) {
        MTI_DIAGNOSTIC(lcInstall, QStringLiteral("rootFolder = nil"));
        return nullptr;
    }

    std::unique_ptr<EffectTemplateItem> item(new EffectTemplateItem);
    item->_sourceRootFolder = rootFolder;
    item->_relSourcePath = relPath;
    item->_templateType = templateType;

    QString name = lastPathComponent(relPath);
    if (name.isEmpty())
        name = folderName;
    item->_folderName = name;
    const QStringList words = FileNames::withoutLastExtension(name).split(QLatin1Char('_'));
    item->_category = categories.titleForPrefix(words.first());
    item->_title = words.size() > 1 ? words.mid(1).join(QLatin1Char(' ')) : QStringLiteral("");
    return item;
}

const QStringList &EffectTemplateItem::previewFileNames()
{
    static const QStringList names{QStringLiteral("preview.png"), QStringLiteral("preview.jpg"),
                                   QStringLiteral("small.png"), QStringLiteral("large.png")};
    return names;
}

bool EffectTemplateItem::isPreviewEntry(const QString &entryName)
{
    return previewFileNames().contains(entryName.section(QLatin1Char('/'), -1));
}

QImage EffectTemplateItem::preview() const
{
    if (!_preview) {
        _preview = QImage();
        const QString folder = sourceFolderPath();
        for (const QString &name : previewFileNames()) {
            QImage image(folder + QLatin1Char('/') + name);
            if (!image.isNull()) {
                _preview = std::move(image);
                break;
            }
        }
    }
    return *_preview;
}

QString EffectTemplateItem::sourceFolderPath() const
{
    return joinPath(_sourceRootFolder, _relSourcePath);
}

QString EffectTemplateItem::destinationPath(const QString &dstRootFolder) const
{
    // "." and ".." would lead to the root, a folder above it or a whole
    // kind or category folder (an archive named "...mtzip" holding loose
    // template files gives the folder name "..").
    const QStringList parts = _relativeDestinationPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty() || parts.contains(QLatin1String(".")) || parts.contains(QLatin1String("..")))
        return {};
    return QDir::cleanPath(joinPath(dstRootFolder, _relativeDestinationPath));
}

bool EffectTemplateItem::isInstalledInDestRootFolder(const QString &dstRootFolder) const
{
    if (dstRootFolder.isNull()) {
        MTI_DIAGNOSTIC(lcInstall, QStringLiteral("dstRootFolder = nil"));
        return false;
    }
    const QString destination = destinationPath(dstRootFolder);
    return !destination.isEmpty() && FileOperations::isDirectory(destination);
}

std::optional<Error> EffectTemplateItem::installInDestRootFolder(const QString &dstRootFolder,
                                                                 ProgressListener *listener,
                                                                 InstallTransfer transfer) const
{
    if (dstRootFolder.isNull()) {
        MTI_DIAGNOSTIC(lcInstall, QStringLiteral("dstRootFolder = nil"));
        return std::nullopt;
    }
    const QString destination = destinationPath(dstRootFolder);
    if (destination.isEmpty()) {
        // Replacing the destination root would wipe every installed template.
        return Error(Error::PosixDomain, EINVAL,
                     QCoreApplication::translate("EffectTemplateItem",
                                                 "The template \"%1\" has no folder of its own to install to.").arg(_title));
    }
    if (!FileOperations::exists(dstRootFolder)) {
        if (std::optional<Error> error = FileOperations::createDirectories(dstRootFolder))
            return error;
    }
    // Staged beside the destination and swapped in: a failure leaves the
    // older copy as it was.
    const TemplateTransaction::InstallJob job{sourceFolderPath(), _relativeDestinationPath,
                                              listener ? FileOperations::treeSize(sourceFolderPath()) : 0,
                                              transfer == InstallTransfer::MoveSource, std::nullopt};
    return TemplateTransaction::install(
        {.root = dstRootFolder, .archiveTitle = _folderName, .jobs = {job}, .listener = listener});
}

std::optional<Error> EffectTemplateItem::uninstallInDestRootFolder(const QString &dstRootFolder,
                                                                   bool deleteEmptyParentFolders) const
{
    if (dstRootFolder.isNull()) {
        MTI_DIAGNOSTIC(lcInstall, QStringLiteral("dstRootFolder = nil"));
        return std::nullopt;
    }
    const QString destination = destinationPath(dstRootFolder);
    if (destination.isEmpty())
        return std::nullopt;

    std::optional<Error> lastError;
    if (FileOperations::isDirectory(destination)) {
        if (std::optional<Error> error = FileOperations::removeAll(destination))
            lastError = error;
    }
    if (!deleteEmptyParentFolders)
        return lastError;

    // Every folder between the template and the root, never the root itself.
    QStringList parts = _relativeDestinationPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    while (parts.size() > 1) {
        parts.removeLast();
        const QString folder = joinPath(dstRootFolder, parts.join(QLatin1Char('/')));
        if (!FileOperations::isDirectory(folder))
            continue;
        const QDir dir(folder);
        if (!dir.isReadable()) {
            lastError = Error(Error::PosixDomain, EACCES,
                              QCoreApplication::translate("EffectTemplateItem",
                                                          "\"%1\": Permission denied").arg(folder));
            continue;
        }
        // Finder metadata and other hidden files do not keep a folder alive.
        if (dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).isEmpty()) {
            if (std::optional<Error> error = FileOperations::removeAll(folder))
                lastError = error;
        }
    }
    return lastError;
}
