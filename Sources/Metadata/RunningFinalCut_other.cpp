// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/RunningFinalCut.h"

// Final Cut Pro runs on macOS only.
QString RunningFinalCut::running()
{
    return {};
}

bool RunningFinalCut::quitAndReopen(const QString &, std::chrono::milliseconds)
{
    return false;
}
