// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Expected.h"
#include "Metadata/TemplateDocument.h"

#include <QString>
#include <QStringList>
#include <QVersionNumber>

#include <optional>
#include <vector>

// What a template's document means to the user who would install or keep
// it: the marks a table shows (too new for this Final Cut Pro, needs a
// plug-in, misses media, hidden, details unavailable), a sentence for each,
// and the details a preview pane lists. Shared by the windows and mtzip, so
// every text goes through QCoreApplication::translate.
namespace TemplateMarks {

// In the order marks are shown.
enum class Mark {
    TooNew,              // 'N': needs a newer Final Cut Pro than the one judged against
    NeedsPlugIn,         // 'P': needs a third-party plug-in
    MissingMedia,        // 'M': references media its folder lacks
    Hidden,              // 'H': the obsolete bit: hidden from Final Cut Pro's browser
    DetailsUnavailable,  // '?': the document could not be read
};

struct Judgement
{
    std::vector<Mark> marks;  // in Mark order, each at most once
    // One sentence per mark, in the same order.
    QStringList explanations;

    bool has(Mark mark) const;
    // One ASCII letter per mark ("NP"); empty when there is none.
    QString marksString() const;
    // The explanations, one per line, for a tooltip.
    QString tooltip() const;
};

// `finalCut` is the version judged against (FinalCutVersions::
// effectiveVersion); without one nothing is too new.
Judgement judge(const Expected<TemplateDocument> &document, const std::optional<QVersionNumber> &finalCut);

QChar letter(Mark mark);
// A stable name for machine-readable output: "tooNew", "needsPlugIn",
// "missingMedia", "hidden", "detailsUnavailable".
QString name(Mark mark);

// "Final Cut Pro 11.1 or later", "a Final Cut Pro newer than 12.2", or
// empty when every Final Cut Pro the table knows opens it.
QString requirementText(const FinalCutVersions::Requirement &requirement);
// "Needs Final Cut Pro 11.1 or later; this Mac has 10.8": the warning for a
// template too new for `finalCut`.
QString tooNewText(const FinalCutVersions::Requirement &requirement, const QVersionNumber &finalCut);

struct Detail
{
    QString label;  // "Resolution"
    QString value;  // "1920 x 1080"
};
// The details a preview pane lists, only those the document gives:
// resolution, frame rate, length, requirement, Motion version, theme,
// description, hidden, parameters, plug-ins, missing media; or the one
// "Details" row saying why they are unavailable.
std::vector<Detail> details(const Expected<TemplateDocument> &document, const std::optional<QVersionNumber> &finalCut);

} // namespace TemplateMarks
