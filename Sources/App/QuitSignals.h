// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

class QObject;

// Ctrl+C in a terminal or a SIGTERM at logout quits like the Quit command,
// so the unpack folders are removed on the way out: work under way stops
// and undoes itself, and open alerts and dialogs are answered with their
// cancel answer, so that none keeps the application waiting for a reply.
namespace QuitSignals {

// Catches SIGINT and SIGTERM from now on; the first one is acted on on the
// GUI thread, in whatever event loop turns (a modal alert's too), while
// `context` lives. Does nothing where there are no such signals.
void install(QObject *context);

// Whether a signal has arrived.
bool received();

} // namespace QuitSignals
