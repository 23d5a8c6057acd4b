// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Installer/Categories.h"
#include "Metadata/FinalCutVersions.h"
#include "Metadata/ProjectDocument.h"
#include "Metadata/TemplateDocument.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVersionNumber>

#include <optional>
#include <vector>

// Whether the templates a project uses are here: each one resolved against
// the installed roots (which archive installed it, by the receipts, or a
// hand copy; hidden; too new for this Final Cut Pro; needing a plug-in)
// and, when missing, looked for by its relative path in archives, which are
// listed, never unpacked. Only checked locations (ProjectDocument::locate)
// are ever looked up.
namespace ProjectCheck {

struct Request
{
    QString userRoot;        // ~/Movies/Motion Templates.localized
    QString allUsersRoot;    // /Library/Application Support/Final Cut Pro/Templates.localized
    QStringList archives;    // .mtzip files that may provide missing templates
    std::optional<QVersionNumber> finalCut;  // null: nothing is "too new"
};

enum class State {
    Installed,
    Missing,
};

struct Finding
{
    ProjectDocument::Template project;  // what the project says
    State state = State::Missing;
    QString installedFolder;            // the template folder, when installed
    QString archiveTitle;               // the receipt's archive; empty for a hand copy
    bool handCopy = false;              // installed, and no receipt names it
    bool hidden = false;                // the obsolete bit: renders, not in the browser
    bool tooNew = false;                // for `Request::finalCut`
    FinalCutVersions::Requirement requirement;
    std::vector<TemplateDocument::PlugIn> plugIns;
    QStringList missingMedia;
    std::optional<Error> detailsUnavailable;  // the document could not be read
    QStringList providers;              // archives holding it at its relative path
};

struct Result
{
    std::vector<Finding> templates;
    std::vector<ProjectDocument::Template> finalCutTemplates;
    std::vector<ProjectDocument::Refusal> refused;
    bool anythingMissing() const;
};

// The archives that would install each relative template folder, by the
// folder's comparable (composed) form; archives are listed from their
// directory, nothing is written, and those that cannot be listed are left
// out. `root` is any existing folder the listing may name as destination;
// `categories` are the prefixes archives are read by, as an install would.
QHash<QString, QStringList> templateFoldersOf(const QStringList &archives, const QString &root,
                                              const Categories &categories = Categories::shipped());

Result check(const ProjectDocument &project, const Request &request);

} // namespace ProjectCheck
