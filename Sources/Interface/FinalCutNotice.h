// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

class QWidget;

// What a window tells after an install or removal while Final Cut Pro runs:
// it reads its templates when it starts, so it shows the change only after
// it has been reopened, which a button offers. Where Final Cut Pro does not
// run (every system but macOS) nothing is said. Tests replace the question
// and the action.
namespace FinalCutNotice {

// The bundle identifier of the Final Cut Pro running now, null when none:
// RunningFinalCut::running() unless replaced. May block: off the GUI thread.
QString runningFinalCut();
// Null restores the real question.
void setRunningQuery(std::function<QString()> query);
// What the button does: RunningFinalCut::quitAndReopen() unless replaced
// (null restores it). Called on a worker.
void setReopenAction(std::function<bool(const QString &bundleIdentifier)> action);

// "Final Cut Pro shows the change after it is reopened."
QString note();
// "Reopen Final Cut Pro"
QString reopenButton();

// Quits and reopens it on a worker; a sheet on `window` tells when that
// failed.
void reopen(QWidget *window, const QString &bundleIdentifier);

} // namespace FinalCutNotice
