// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"

#include <QString>
#include <QStringList>

#include <optional>

// Whether this process may work in a templates folder. Whoever can change a
// folder a run works in can swap what it writes or removes there for links,
// or plant what it reads; the folder's owner may take that risk, nobody
// else. So, as sshd's StrictModes does with a user's files, a run as root or
// as a user other than a folder's owner refuses a root, or a kind or
// category folder on the way below it, that users other than its owner,
// root and (on macOS) the administrators' group can write into, or that
// another user (not root) owns.
namespace RootPermissions {

// Checks the root and, of the folders on the way to each destination
// (relative to the root, the template's own folder left out), those that are
// there: a folder still to be made is the run's own. The first refused
// answers an EPERM error saying why and how to put it right.
[[nodiscard]] std::optional<Error> check(const QString &root, const QStringList &destinations = {});

// For the folder of all users: everyone reads what is installed there and
// only its owner changes it, whatever the umask of whoever installed it.
// Sets folders to 0755 and files to 0644 on the root, on the way to each of
// `tops` (relative to the root) and everything below them; links are left
// as they are, never followed.
void shareWithAllUsers(const QString &root, const QStringList &tops);

} // namespace RootPermissions
