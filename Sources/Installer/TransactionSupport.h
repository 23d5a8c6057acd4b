// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

// What the install and the removal of TemplateTransaction share; not for
// use elsewhere.

#include "Common/Error.h"
#include "Installer/Receipt.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

class InstallJournal;

namespace TemplateTransaction::Support {

// A destination as the items give it ("/Titles.localized/ZT X/AB_Name"),
// without the leading "/"; empty when it would name the root or leave it.
QString relativeDestination(const QString &path);
QString join(const QString &root, const QString &relative);
QString parentOf(const QString &relative);
// A name in folder that nothing uses yet.
QString unusedName(const QString &folder, const QString &base);
// ".mti-<kind>-<pid>[-<index>]": the names recovery acts on.
QString ownName(const char *kind, qsizetype index = -1);
[[nodiscard]] std::optional<Error> errnoError(const QString &path);
// For clean-up steps whose failure leaves only a hidden leftover that a
// later run removes: said in the log, never the user's failure.
void warnIfFailed(const std::optional<Error> &error, const char *step);

// Sends the folder at `path` (below root) to the Trash as the template at
// `destination` (relative to root), so that Restore puts it back there, and
// records it as recently removed with its receipt entry. It is taken from
// its folder opened beneath the root, never through a link someone else put
// on the way. Answers where it went; empty
// when the volume has no Trash (nothing changed then).
QString trashTemplate(const QString &root, const QString &path, const QString &destination,
                      const std::optional<Receipt> &receipt);

// Each destination's receipt, holding only that template: what Restore
// puts back with it. Destinations no receipt names are left out.
QHash<QString, Receipt> receiptsOf(const QString &root, const QStringList &relatives);

// Completes the uninstall a journal records, or undoes it when it had been
// cancelled; the journal goes when all is done.
void completeRemoval(InstallJournal &journal);

} // namespace TemplateTransaction::Support
