// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <chrono>

// Whether Final Cut Pro runs now, and quitting and reopening it: it reads
// its templates when it starts, so a change made while it runs shows only
// after it has been reopened. macOS only; elsewhere nothing runs.
namespace RunningFinalCut {

// The bundle identifier of a Final Cut Pro that runs now (one of
// FinalCutVersions::bundleIdentifiers()); null when none does.
QString running();

// Asks it to quit (it saves its libraries itself), waits up to `timeout`
// for it to have gone, then opens it again. False when it did not quit in
// time or would not open. Blocks: never on the GUI thread.
bool quitAndReopen(const QString &bundleIdentifier,
                   std::chrono::milliseconds timeout = std::chrono::seconds(60));

} // namespace RunningFinalCut
