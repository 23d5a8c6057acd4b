// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Common/Expected.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class ProgressListener;
class ZipArchiveDelegate;

// The temporary folder one archive is unpacked into, for as long as its
// installer lives: created empty, filled by unpack(), removed with whatever
// is left in it when the object goes. The name carries the owner's process
// id, so a later run can remove the folders of a process that died first.
class UnpackFolder
{
public:
    // A new empty folder below the temporary folder, named after the archive.
    [[nodiscard]] static Expected<UnpackFolder> create(const QString &archiveTitle);

    UnpackFolder(UnpackFolder &&other) noexcept;
    UnpackFolder &operator=(UnpackFolder &&other) noexcept;
    UnpackFolder(const UnpackFolder &) = delete;
    UnpackFolder &operator=(const UnpackFolder &) = delete;
    ~UnpackFolder();

    const QString &path() const { return _path; }

    // Unpacks the archive file into the folder, the zip layer's messages
    // going to `delegate`. `opened` runs once the archive opened, before its
    // entries are written. The error's text is the one shown to users.
    // Encrypted entries are read with `password`; `needsPassword`, when
    // given, tells whether the failure was for want of the right one.
    // A damaged preview image is left out, not a failure: its template
    // shows no preview. `damagedPreviews`, when given, is told their entries.
    [[nodiscard]] std::optional<Error> unpack(const QString &archive, ZipArchiveDelegate *delegate,
                                              ProgressListener *listener, const std::function<void()> &opened,
                                              const QString &password = {}, bool *needsPassword = nullptr,
                                              QStringList *damagedPreviews = nullptr);

    // Removes the unpack folders whose owning process no longer runs;
    // answers how many.
    static int removeAbandoned();

private:
    explicit UnpackFolder(QString path) : _path(std::move(path)) {}
    void removeNow();

    QString _path;
};
