// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Receives the problems ZipArchive meets while unpacking and decides about
// overwriting. Both operations are optional: the defaults drop the message and
// answer "overwrite".
class ZipArchiveDelegate
{
public:
    virtual ~ZipArchiveDelegate();

    virtual void ErrorMessage(const QString &message);
    // YES overwrites the existing file at path; NO skips the entry.
    virtual bool OverWriteOperation(const QString &path);
};
