// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TemplateScanner.h"

#include "Common/DiagnosticLog.h"
#include "Common/LogCategories.h"
#include "Installer/FolderTree.h"
#include "ZipArchive/ZipArchiveDelegate.h"
#include "ZipArchive/ZipDirectory.h"
#include "ZipArchive/ZipReader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>

namespace {

// The directory reader tells what the zip layer would, in words only. The
// generic lines come first, the particulars after; the most telling one is
// kept for the user.
class ListingMessages : public ZipArchiveDelegate
{
public:
    void ErrorMessage(const QString &message) override
    {
        MTI_DIAGNOSTIC(lcInstall, message);
        static const QStringList generic = {QStringLiteral("Failed"), QStringLiteral("Error occurs"),
                                            QStringLiteral("Failed to reading zip file")};
        if (!generic.contains(message))
            telling = message;
        else if (telling.isEmpty() && message == QLatin1String("Failed"))
            telling = QCoreApplication::translate("TemplateInstaller", "The archive holds no entries.");
    }

    QString telling;
};

const QString domain = QStringLiteral("TemplateInstaller");

} // namespace

TemplateScanner::TemplateScanner(const Categories &categories, const QString &archiveTitle,
                                 DestinationRule destinationFor)
    : _categories(categories), _archiveTitle(archiveTitle), _destinationFor(std::move(destinationFor))
{
}

EffectTemplateItems TemplateScanner::scanFolder(const QString &folder) const
{
    return scan(DiskFolderTree(folder), folder);
}

EffectTemplateItems TemplateScanner::scan(const FolderTree &tree, const QString &rootFolder) const
{
    EffectTemplateItems items;
    items.reserve(100);
    tree.findTemplateFolders(QStringLiteral(""), [&](const QString &folder, const QString &, quint64 type) {
        // A template lying at the archive's top level is named after the archive.
        std::unique_ptr<EffectTemplateItem> item = EffectTemplateItem::create(
            folder, rootFolder, type, _categories, folder.isEmpty() ? _archiveTitle : QString());
        if (!item)
            return false;
        item->setRelativeDestinationPath(_destinationFor(*item));
        items.push_back(std::move(item));
        return true;
    });
    return items;
}

Expected<EffectTemplateItems> TemplateScanner::scanDirectory(const QString &archive,
                                                            std::unique_ptr<ZipReader> *loaded) const
{
    ListingMessages messages;
    std::optional<std::vector<ZipDirectory::Entry>> entries = ZipDirectory::read(archive, &messages, loaded);
    if (!entries) {
        if (!messages.telling.isEmpty())
            return Error(domain, EINVAL, messages.telling);
        return QFileInfo::exists(archive)
            ? Error(domain, EINVAL,
                    QCoreApplication::translate("TemplateInstaller", "The file is not a zip archive, or it is damaged."))
            : Error(domain, ENOENT, QCoreApplication::translate("TemplateInstaller", "The file does not exist."));
    }
    QString problem;
    const std::optional<ArchiveFolderTree> tree = ArchiveFolderTree::fromEntries(std::move(*entries), &problem);
    if (!tree) {
        if (loaded)
            loaded->reset();
        MTI_DIAGNOSTIC(lcInstall, problem);
        return Error(domain, EINVAL, problem);
    }
    return scan(*tree, archive);
}
