// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Expected.h"
#include "Metadata/FinalCutVersions.h"

#include <QString>
#include <QStringList>
#include <QVersionNumber>

#include <optional>
#include <vector>

// What a template document (.moef, .motn, .moti, .motr: Motion's XML, root
// <ozml>) says about the template: which Motion saved it and so which Final
// Cut Pro opens it, whether it is hidden, its scene, the parameters the
// editor sees, the third-party plug-ins and the media it needs.
//
// Documents come from archives and are read as hostile: at most
// `maxBytes` of them, through GuardedXmlParser (no entities, no external
// DTD, bounded depth). A fault gives an Error of DocumentError::Domain (the
// "details unavailable" answer, with its reason); nothing throws.
struct TemplateDocument
{
    struct PlugIn
    {
        QString name;
        QString uuid;
        QString version;
        friend bool operator==(const PlugIn &, const PlugIn &) = default;
    };

    enum class MediaState {
        Present,  // below the template folder, and there
        Missing,  // below the template folder, and not there
        Outside,  // would lie outside the template folder: never looked up
        Unknown,  // no folder was given to look in
    };
    struct Media
    {
        QString pathURL;      // as written, when written
        QString relativeURL;  // as written, when written
        QString relativePath; // below the template folder; empty when Outside
        MediaState state = MediaState::Unknown;
    };

    QString formatVersion;          // <ozml version="5.11">
    QString motionVersionText;      // <displayversion>, as written
    QVersionNumber motionVersion;   // null when absent or not a version
    FinalCutVersions::Requirement finalCut;
    bool hasTemplateElement = false;
    QString theme;                  // <template><theme>
    std::optional<quint32> flags;   // <template><flags>
    QString description;
    int width = 0;
    int height = 0;
    double frameRate = 0;
    double durationFrames = 0;      // <sceneSettings><duration>: frames
    QStringList parameters;         // <publishSettings><target name>, in order
    std::vector<PlugIn> plugIns;    // third-party only, one per UUID
    std::vector<Media> media;
    // Plug-ins and media are known only up to here: the document was longer
    // than the bound (the header parts came before it).
    bool incomplete = false;

    static constexpr quint32 ObsoleteFlag = 0x2;
    // Hidden from Final Cut Pro's browser; old projects still render it.
    bool isObsolete() const { return flags && (*flags & ObsoleteFlag); }
    // Zero when frame rate or duration is unknown.
    double durationSeconds() const { return frameRate > 0 ? durationFrames / frameRate : 0; }
    QStringList missingMedia() const;

    enum class Parts {
        // Versions, template element, description, scene, parameters: stops
        // as soon as these have been seen.
        Summary,
        // Also plug-ins and media: reads the whole document.
        Everything,
    };

    static constexpr qint64 DefaultMaxBytes = 8 * 1024 * 1024;

    // Reads document bytes. `templateFolder`, when given, is where media are
    // looked for; relative URLs resolve against it.
    static Expected<TemplateDocument> parse(const QByteArray &bytes, const QString &templateFolder = QString(),
                                            Parts parts = Parts::Everything, const std::vector<FinalCutVersions::Row> &table = FinalCutVersions::table());
    // parse() of the first bytes of a longer document, read up to a bound
    // (`cutShort`: there was more): a cut after the header keeps what came
    // before it, marked incomplete; a cut before it is TooLarge, as read()
    // answers.
    static Expected<TemplateDocument> parseCut(const QByteArray &bytes, bool cutShort, Parts parts = Parts::Everything);
    // Reads a document file: a regular file, not a link, its first
    // `maxBytes` only.
    static Expected<TemplateDocument> read(const QString &documentPath, Parts parts = Parts::Everything,
                                           qint64 maxBytes = DefaultMaxBytes);
    // The template document of a template folder: the file directly in it
    // with a template extension, preferring the one named after the folder;
    // a null string when there is none.
    static QString documentIn(const QString &templateFolder);
    // documentIn + read; Unreadable when the folder holds no document.
    static Expected<TemplateDocument> readFolder(const QString &templateFolder, Parts parts = Parts::Everything,
                                                 qint64 maxBytes = DefaultMaxBytes);
};
