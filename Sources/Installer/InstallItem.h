// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

// What the collection window needs of a template to show it.
class InstallItem
{
public:
    virtual ~InstallItem() = default;

    virtual QString title() const = 0;
    // A null string when the template's prefix names no known category.
    virtual QString category() const = 0;
    // A null image when the template has no preview.
    virtual QImage preview() const = 0;
    virtual bool isInstalledInDestRootFolder(const QString &dstRootFolder) const = 0;
};
