// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

struct CliContext;

// Run as root on a user's behalf (pkexec says who in PKEXEC_UID, the
// application with remove's --trash-owner): what goes to the Trash goes to
// that user's, never root's.
namespace CliTrashOwner {

// `requested` is --trash-owner's value, empty when not given. It is for a
// run as root only, and must agree with PKEXEC_UID when that is set: a
// user cannot send things into another user's Trash. False, after telling
// why, when the owner cannot be chosen.
bool choose(CliContext &context, const QString &requested);

} // namespace CliTrashOwner
