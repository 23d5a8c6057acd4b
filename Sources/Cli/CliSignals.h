// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

// SIGINT and SIGTERM stop mtzip the way a cancel does: the running operation
// is told through its progress listener, rolls back and cleans up, and the
// tool exits with 128 + the signal's number. A second signal ends the
// process at once (the next run finishes or undoes its work from the
// journal).
namespace CliSignals {

void install();
// The signal received, or 0.
int received();
// "SIGINT", "SIGTERM".
const char *name(int signal);

} // namespace CliSignals
