// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Cli/CliTrashOwner.h"

#include "Cli/CliCommand.h"
#include "Common/Trash.h"

#include <QFile>

#include <pwd.h>
#include <unistd.h>

namespace CliTrashOwner {

bool choose(CliContext &context, const QString &requested)
{
    const bool root = ::geteuid() == 0;
    const QString pkexec = root ? qEnvironmentVariable("PKEXEC_UID") : QString();
    if (!requested.isEmpty() && !root) {
        context.error(QStringLiteral("--trash-owner is for a run as root on another user's behalf"));
        return false;
    }
    if (!requested.isEmpty() && !pkexec.isEmpty() && requested != pkexec) {
        context.error(QStringLiteral("--trash-owner %1 is not the user who asked (%2)").arg(requested, pkexec));
        return false;
    }
    const QString owner = requested.isEmpty() ? pkexec : requested;
    if (owner.isEmpty())
        return true;
    bool number = false;
    const uint uid = owner.toUInt(&number);
    const struct passwd *user = number ? ::getpwuid(uid_t(uid)) : nullptr;
    if (!user || !user->pw_dir || !*user->pw_dir) {
        context.error(QStringLiteral("--trash-owner: no user with the id '%1'").arg(owner));
        return false;
    }
    Trash::setOwner(uid_t(uid), QFile::decodeName(user->pw_dir));
    return true;
}

} // namespace CliTrashOwner
