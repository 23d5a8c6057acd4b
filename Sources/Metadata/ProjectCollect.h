// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Metadata/ProjectDocument.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class ProgressListener;

// One zip holding exactly the third-party templates a project uses, each at
// its path below the templates folder ("Titles.localized/ZT Lower
// Thirds/LT_Name/..."), so that the same references resolve on another Mac
// once it is installed there. Only template folders found beneath a root
// are read, links inside them are never followed, and the zip appears
// whole or not at all (written beside its name, then renamed).
namespace ProjectCollect {

struct Request
{
    QString userRoot;      // ~/Movies/Motion Templates.localized
    QString allUsersRoot;  // /Library/Application Support/Final Cut Pro/Templates.localized
    QString output;        // the zip to write (replaced when it exists)
};

struct Result
{
    QStringList collected;  // template folders written, "Titles.localized/ZT Lower Thirds/LT_Name"
    std::vector<ProjectDocument::Template> missing;  // not installed here: not in the zip
    std::vector<ProjectDocument::Refusal> refused;   // references outside the roots
    QStringList skippedLinks;  // links inside template folders, left out
    qint64 files = 0;
    qint64 bytes = 0;
    // Set when no zip was written (cancelled through the listener, or a
    // file could not be read or written); nothing is left at `output` then.
    std::optional<Error> error;
};

// The listener hears bytes read of the templates' total size.
Result collect(const ProjectDocument &project, const Request &request, ProgressListener *progress = nullptr);

} // namespace ProjectCollect
