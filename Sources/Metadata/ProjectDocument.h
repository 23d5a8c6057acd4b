// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Expected.h"

#include <QString>
#include <QStringList>

#include <vector>

// The Motion templates a Final Cut Pro project (FCPXML, a .fcpxml file or a
// .fcpxmld bundle's Info.fcpxml) uses: every <effect> resource whose uid
// names a template document, where it lies below a templates folder, and
// which clips use it, also inside compound clips and multicam angles
// declared in <resources><media> and through transitions.
//
// Projects are read as hostile (GuardedXmlParser: no entities, no external
// DTD, bounded depth, at most MaxBytes); a uid or src that would lead
// outside the templates folders is refused, reported and never looked up.
struct ProjectDocument
{
    enum class Root {
        User,       // ~/Movies/Motion Templates.localized (also through the sandbox container)
        AllUsers,   // /Library/Application Support/Final Cut Pro/Templates.localized
        FinalCut,   // Final Cut Pro's own (".../"): never missing
    };

    // Where a template lies: a root and a path below it,
    // "Titles.localized/ZT Lower Thirds/LT_Name/LT_Name.moti".
    struct Location
    {
        Root root = Root::User;
        QString relativePath;
        // "Titles.localized/ZT Lower Thirds/LT_Name": what an install writes.
        QString folder() const;
        friend bool operator==(const Location &, const Location &) = default;
    };

    struct Use
    {
        QString project;    // the project using it, empty inside a compound or multicam clip
        QString container;  // the compound or multicam clip's name when inside one
        QString clip;       // the clip's name (a filter's or transition's: its clip's)
    };

    struct Template
    {
        QString id;          // the resource id clips refer to
        QString name;
        QString uid;
        QString src;
        Location location;
        std::vector<Use> uses;  // one per reference, in document order
        // The projects using it directly or through compound and multicam
        // clips, each once, in document order.
        QStringList projects;
    };

    struct Refusal
    {
        QString id;
        QString name;
        QString uid;
        QString src;
        QString reason;
        int uses = 0;
    };

    QString version;                         // <fcpxml version>
    std::vector<Template> templates;         // third-party, by resource order
    std::vector<Template> finalCutTemplates; // Final Cut Pro's own, listed apart
    std::vector<Refusal> refused;

    static constexpr qint64 MaxBytes = 256 * 1024 * 1024;

    // Where a reference points: the location, or a refusal (its description
    // says why). References that name no template document at all (built-in
    // effects, FxPlug filters: "FxPlug:…") are Refusals with code NotATemplate.
    enum ReferenceCode { NotATemplate = 1, OutsideRoots, UnsafePath };
    static inline const QString ReferenceDomain = QStringLiteral("MTIProjectReferenceDomain");
    static Expected<Location> locate(const QString &uid, const QString &src);

    static Expected<ProjectDocument> parse(const QByteArray &bytes);
    // A .fcpxml file, or a .fcpxmld bundle (a folder, not a link, holding
    // Info.fcpxml as a regular file).
    static Expected<ProjectDocument> read(const QString &path);
};
