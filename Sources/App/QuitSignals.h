// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

class QObject;

// Ctrl+C in a terminal, a SIGTERM or the session's end (logout, restart)
// quits like the Quit command,
// so the unpack folders are removed on the way out: work under way stops
// and undoes itself, and open alerts and dialogs are answered with their
// cancel answer, so that none keeps the application waiting for a reply.
namespace QuitSignals {

// Catches SIGINT and SIGTERM from now on; the first one is acted on on the
// GUI thread, in whatever event loop turns (a modal alert's too), while
// `context` lives. The session manager's request to save before the
// session ends is answered the same way.
void install(QObject *context);

// What a signal or the session's end does: nobody is there to answer, so
// the running install or uninstall stops and undoes itself (bounded, as
// for SIGTERM), open questions get their cancel answer, and the
// application quits. The session is never asked to wait; only a quit the
// user asks for may be declined by the user.
void quitForSystem(const char *why);

// Whether the platform's quit request being handled is the session's end
// (macOS: the quit Apple event's reason is logout, restart or shut down),
// not a quit the user chose. False where quits carry no reason.
bool sessionEnding();

// Whether a signal has arrived.
bool received();

} // namespace QuitSignals
