// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Common/FileOperations.h"

#include <QByteArray>
#include <QString>

#include <optional>

class InstallJournal;

// The steps an install takes inside the root through folder descriptors,
// so that a folder swapped for a link on the way never redirects a write.
namespace TemplateTransaction::Staging {

// The last component of a path relative to the root, as the file system names it.
QByteArray lastName(const QString &relative);

// A name in the open folder that nothing uses yet.
QString unusedNameIn(int folder, const QString &base);

// Opens the folder `relative` below the open root, creating the missing
// ones on the way, each announced in the journal first so that an undo
// removes exactly those. Of links on the way only the user's own (or
// root's) are followed: a folder someone else swapped for a link is
// refused, never written through.
FileOperations::FileDescriptor openParent(InstallJournal &journal, int root, const QString &relative,
                                          std::optional<Error> &error);

// Renames the staged copy in the open folder into place, only while it is
// the one prepared: whoever can write into the folder may have swapped it
// for a link or a folder of their own, which must never become the
// template. Looked at again once in place, since the swap can happen
// between the look and the rename; the undo then takes out what came in.
[[nodiscard]] std::optional<Error> renameStagedIn(int folder, const QByteArray &staging, const QByteArray &name,
                                                  const std::optional<FileOperations::FileId> &made,
                                                  const QString &target);

} // namespace TemplateTransaction::Staging
