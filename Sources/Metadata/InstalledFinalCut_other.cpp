// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/FinalCutVersions.h"

// Final Cut Pro runs on macOS only: elsewhere the version comes from the
// override alone.
std::vector<FinalCutVersions::Installation> FinalCutVersions::installed()
{
    return {};
}
