// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

// Marks the owner of an installer; the installer stores it and never calls it.
class TemplateInstallerDelegate
{
public:
    virtual ~TemplateInstallerDelegate() = default;
};
