// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <vector>

class TemplateInstallerV2;

// Destroys installers on a worker thread: removing an unpack folder of
// thousands of templates takes seconds, and the window is gone by then.
// Everything handed over is finished before the application object goes.
namespace DeferredCleanup {

void discard(std::vector<std::unique_ptr<TemplateInstallerV2>> installers);
// Waits for every discard so far to finish.
void waitForAll();
int pendingCount();

} // namespace DeferredCleanup
