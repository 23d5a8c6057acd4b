// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "ZipArchive/ZipArchiveDelegate.h"

ZipArchiveDelegate::~ZipArchiveDelegate() = default;

void ZipArchiveDelegate::ErrorMessage(const QString &)
{
}

bool ZipArchiveDelegate::OverWriteOperation(const QString &)
{
    return true;
}
