// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/TemplateMarks.h"

#include <QCoreApplication>

#include <algorithm>

namespace TemplateMarks {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("TemplateMarks", text);
}

// A tooltip of a template missing hundreds of files stays one line.
constexpr qsizetype MaxNamesListed = 5;

QString listed(const QStringList &names)
{
    if (names.size() <= MaxNamesListed)
        return names.join(QLatin1String(", "));
    return tr("%1 (and %2 more)").arg(names.first(MaxNamesListed).join(QLatin1String(", "))).arg(names.size() - MaxNamesListed);
}

QString plugInName(const TemplateDocument::PlugIn &plugIn)
{
    return plugIn.name.isEmpty() ? plugIn.uuid : plugIn.name;
}

QStringList plugInNames(const TemplateDocument &document)
{
    QStringList names;
    for (const TemplateDocument::PlugIn &plugIn : document.plugIns)
        names << plugInName(plugIn);
    return names;
}

QString number(double value)
{
    // "29.97", "25", "10.5": no trailing zeros, no exponent.
    QString text = QString::number(value, 'f', 3);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

} // namespace

bool Judgement::has(Mark mark) const
{
    return std::find(marks.begin(), marks.end(), mark) != marks.end();
}

QString Judgement::marksString() const
{
    QString text;
    for (Mark mark : marks)
        text += letter(mark);
    return text;
}

QString Judgement::tooltip() const
{
    return explanations.join(QLatin1Char('\n'));
}

QChar letter(Mark mark)
{
    switch (mark) {
    case Mark::TooNew: return QLatin1Char('N');
    case Mark::NeedsPlugIn: return QLatin1Char('P');
    case Mark::MissingMedia: return QLatin1Char('M');
    case Mark::Hidden: return QLatin1Char('H');
    case Mark::DetailsUnavailable: return QLatin1Char('?');
    }
    return QLatin1Char('?');
}

QString name(Mark mark)
{
    switch (mark) {
    case Mark::TooNew: return QStringLiteral("tooNew");
    case Mark::NeedsPlugIn: return QStringLiteral("needsPlugIn");
    case Mark::MissingMedia: return QStringLiteral("missingMedia");
    case Mark::Hidden: return QStringLiteral("hidden");
    case Mark::DetailsUnavailable: return QStringLiteral("detailsUnavailable");
    }
    return QString();
}

QString requirementText(const FinalCutVersions::Requirement &requirement)
{
    if (requirement.finalCut.isNull())
        return QString();
    if (requirement.newerThanTable)
        return tr("a Final Cut Pro newer than %1").arg(requirement.finalCut.toString());
    return tr("Final Cut Pro %1 or later").arg(requirement.finalCut.toString());
}

QString tooNewText(const FinalCutVersions::Requirement &requirement, const QVersionNumber &finalCut)
{
    if (requirement.newerThanTable)
        return tr("Needs a Final Cut Pro newer than %1; this Mac has %2").arg(requirement.finalCut.toString(), finalCut.toString());
    return tr("Needs Final Cut Pro %1 or later; this Mac has %2").arg(requirement.finalCut.toString(), finalCut.toString());
}

Judgement judge(const Expected<TemplateDocument> &document, const std::optional<QVersionNumber> &finalCut)
{
    Judgement judgement;
    auto add = [&judgement](Mark mark, const QString &explanation) {
        judgement.marks.push_back(mark);
        judgement.explanations << explanation;
    };
    if (!document) {
        add(Mark::DetailsUnavailable, tr("Details unavailable: %1").arg(document.error().localizedDescription()));
        return judgement;
    }
    if (finalCut && FinalCutVersions::isTooNew(document->finalCut, *finalCut))
        add(Mark::TooNew, tooNewText(document->finalCut, *finalCut));
    if (!document->plugIns.empty()) {
        const QStringList names = plugInNames(*document);
        add(Mark::NeedsPlugIn, names.size() == 1 ? tr("Needs the plug-in %1").arg(names.first())
                                                 : tr("Needs the plug-ins %1").arg(listed(names)));
    }
    if (const QStringList missing = document->missingMedia(); !missing.isEmpty())
        add(Mark::MissingMedia, tr("Media missing: %1").arg(listed(missing)));
    if (document->isObsolete())
        add(Mark::Hidden, tr("Hidden from Final Cut Pro's browser"));
    return judgement;
}

std::vector<Detail> details(const Expected<TemplateDocument> &document, const std::optional<QVersionNumber> &finalCut)
{
    std::vector<Detail> rows;
    if (!document) {
        rows.push_back({tr("Details"), tr("Unavailable: %1").arg(document.error().localizedDescription())});
        return rows;
    }
    const TemplateDocument &doc = *document;
    if (doc.width > 0 && doc.height > 0)
        rows.push_back({tr("Resolution"), tr("%1 x %2").arg(doc.width).arg(doc.height)});
    if (doc.frameRate > 0)
        rows.push_back({tr("Frame rate"), tr("%1 fps").arg(number(doc.frameRate))});
    if (doc.durationSeconds() > 0)
        rows.push_back({tr("Length"), tr("%1 s").arg(number(doc.durationSeconds()))});
    if (const QString requirement = requirementText(doc.finalCut); !requirement.isEmpty()) {
        QString value = tr("Needs %1").arg(requirement);
        if (finalCut && FinalCutVersions::isTooNew(doc.finalCut, *finalCut))
            value = tooNewText(doc.finalCut, *finalCut);
        rows.push_back({tr("Requirement"), value});
    }
    if (!doc.motionVersionText.isEmpty())
        rows.push_back({tr("Saved by"), tr("Motion %1").arg(doc.motionVersionText)});
    if (!doc.theme.isEmpty())
        rows.push_back({tr("Theme"), doc.theme});
    if (!doc.description.isEmpty())
        rows.push_back({tr("Description"), doc.description});
    if (doc.isObsolete())
        rows.push_back({tr("Hidden"), tr("Hidden from Final Cut Pro's browser")});
    if (!doc.parameters.isEmpty())
        rows.push_back({tr("Parameters"), doc.parameters.join(QLatin1String(", "))});
    if (!doc.plugIns.empty()) {
        QStringList plugIns;
        for (const TemplateDocument::PlugIn &plugIn : doc.plugIns)
            plugIns << (plugIn.version.isEmpty() ? plugInName(plugIn) : tr("%1 %2").arg(plugInName(plugIn), plugIn.version));
        rows.push_back({tr("Plug-ins"), plugIns.join(QLatin1String(", "))});
    }
    if (const QStringList missing = doc.missingMedia(); !missing.isEmpty())
        rows.push_back({tr("Missing media"), missing.join(QLatin1String(", "))});
    if (doc.incomplete)
        rows.push_back({tr("Note"), tr("The document is longer than what was read: plug-ins and media may be incomplete.")});
    return rows;
}

} // namespace TemplateMarks
