// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Installer/Categories.h"
#include "Installer/InstallItem.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class ProgressListener;

// How an install brings a template folder to its destination. Moving takes
// the folder out of the unpack folder (when both lie on one file system,
// else it copies): for callers that drop the installer right after.
enum class InstallTransfer { Copy, MoveSource };

// One template of an unpacked archive: a folder that directly holds a
// template file, with everything else in it. Title and category come from the
// folder's name ("<prefix>_<title words>"); the item installs itself as a
// complete copy at its relative destination path below a destination root.
class EffectTemplateItem : public InstallItem
{
public:
    // relPath is relative to rootFolder and, as scans produce it, starts with
    // "/". The category is the title categories give the folder name's first
    // word. `folderName` stands in for the folder's own name when relPath is
    // the root itself (templates lying at an archive's top level). Null
    // arguments are refused with a diagnostic line.
    static std::unique_ptr<EffectTemplateItem> create(const QString &relPath, const QString &rootFolder,
                                                      quint64 templateType,
                                                      const Categories &categories = Categories::shipped(),
                                                      const QString &folderName = QString());

    quint64 templateType() const { return _templateType; }
    QString title() const override { return _title; }
    QString category() const override { return _category; }
    QImage preview() const override;
    // The files a template's preview is looked for in, most wanted first.
    static const QStringList &previewFileNames();
    // Whether an archive entry (a name as stored) is a preview image: one
    // whose damage leaves the template without a preview rather than
    // refusing the archive.
    static bool isPreviewEntry(const QString &entryName);

    const QString &relativeSourcePath() const { return _relSourcePath; }
    // The template folder's own name (or the stand-in given to create()).
    const QString &folderName() const { return _folderName; }
    QString sourceFolderPath() const;

    const QString &relativeDestinationPath() const { return _relativeDestinationPath; }
    void setRelativeDestinationPath(const QString &path) { _relativeDestinationPath = path; }

    bool isInstalledInDestRootFolder(const QString &dstRootFolder) const override;
    // Replaces whatever stands at the destination with a fresh copy, staged
    // beside it first, so that a failure leaves the older copy in place. The
    // caller holds the root's DestinationLock.
    [[nodiscard]] std::optional<Error> installInDestRootFolder(const QString &dstRootFolder,
                                                 ProgressListener *listener = nullptr,
                                                 InstallTransfer transfer = InstallTransfer::Copy) const;
    // Removes the installed folder (a plain file there is left alone) and,
    // when asked, every parent folder below the root that holds nothing but
    // hidden files. Never stops early; answers the last error.
    [[nodiscard]] std::optional<Error> uninstallInDestRootFolder(const QString &dstRootFolder,
                                                   bool deleteEmptyParentFolders) const;

    // The destination folder, or a null string when the relative destination
    // would name the root itself, a folder above it or a whole kind or
    // category folder.
    QString destinationPath(const QString &dstRootFolder) const;

private:
    EffectTemplateItem() = default;

    QString _sourceRootFolder;
    QString _relSourcePath;
    QString _folderName;
    QString _title;
    QString _category;
    mutable std::optional<QImage> _preview; // decoded on first request, then kept
    quint64 _templateType = 0;
    QString _relativeDestinationPath;
};
