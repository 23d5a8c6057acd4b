// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>
#include <vector>

class TemplateInstallerV2;

// Destroys installers on a worker thread: removing an unpack folder of
// thousands of templates takes seconds, and the window is gone by then.
// Unless the application leaves early (see QuitGraceMs), everything handed
// over is finished before the application object goes.
namespace DeferredCleanup {

// How long quitting waits for clean-up before it leaves the rest to the next
// start's sweep: the folders carry the process id, and a dead process's are
// removed then.
constexpr int QuitGraceMs = 1000;

void discard(std::vector<std::unique_ptr<TemplateInstallerV2>> installers);
// Any other clean-up that may be cut short by quitting (the start's sweep).
void run(std::function<void()> job);
// Waits for every job so far to finish, at most timeoutMs when that is not
// negative; true when none is left.
bool waitForAll(int timeoutMs = -1);
int pendingCount();

} // namespace DeferredCleanup
