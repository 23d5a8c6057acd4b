// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Projects/ProjectCheckModel.h"

#include <QBrush>
#include <QColor>
#include <QFileInfo>

#include <algorithm>

namespace {

// A cell with hundreds of clips would run off the window; the tool tip has more.
constexpr qsizetype ClipsShown = 3;
constexpr qsizetype ClipsInToolTip = 25;

// The clips by their project or compound clip, in document order:
// [("Episode 1", ["Ann, Host", "Ben, Guest"]), ...]; each clip once.
std::vector<std::pair<QString, QStringList>> usesByOwner(const std::vector<ProjectDocument::Use> &uses)
{
    std::vector<std::pair<QString, QStringList>> owners;
    for (const ProjectDocument::Use &use : uses) {
        const QString owner = use.container.isEmpty() ? use.project : use.container;
        auto it = std::find_if(owners.begin(), owners.end(), [&owner](const auto &entry) { return entry.first == owner; });
        if (it == owners.end())
            it = owners.insert(owners.end(), {owner, {}});
        if (!it->second.contains(use.clip))
            it->second.append(use.clip);
    }
    return owners;
}

// "Episode 1: Ann, Host; Ben, Guest; Trailer: Opening and 3 more", naming at
// most `limit` clips.
QString usesText(const std::vector<ProjectDocument::Use> &uses, qsizetype limit, const QString &ownerSeparator)
{
    QStringList parts;
    qsizetype named = 0;
    qsizetype total = 0;
    for (const auto &[owner, clips] : usesByOwner(uses)) {
        total += clips.size();
        if (named >= limit)
            continue;
        const QStringList shown = clips.mid(0, limit - named);
        named += shown.size();
        const QString list = shown.join(QStringLiteral("; "));
        parts.append(owner.isEmpty() ? list : ProjectCheckModel::tr("%1: %2").arg(owner, list));
    }
    QString text = parts.join(ownerSeparator);
    if (total > named)
        text += ProjectCheckModel::tr(" and %1 more").arg(total - named);
    return text;
}

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

} // namespace

ProjectCheckModel::ProjectCheckModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

ProjectCheckModel::RowState ProjectCheckModel::stateOf(const ProjectCheck::Finding &finding)
{
    if (finding.state == ProjectCheck::State::Missing)
        return finding.providers.isEmpty() ? RowState::NotFound : RowState::Missing;
    if (finding.tooNew)
        return RowState::TooNew;
    if (!finding.plugIns.empty())
        return RowState::NeedsPlugIn;
    if (finding.hidden)
        return RowState::Hidden;
    return RowState::Installed;
}

void ProjectCheckModel::setResult(ProjectCheck::Result result)
{
    beginResetModel();
    _result = std::move(result);
    _rows.clear();
    for (const ProjectCheck::Finding &finding : _result.templates)
        _rows.push_back({stateOf(finding), &finding, nullptr, nullptr});
    // What needs doing comes first; the order within a state is the project's.
    std::stable_sort(_rows.begin(), _rows.end(), [](const Row &a, const Row &b) { return a.state < b.state; });
    for (const ProjectDocument::Template &own : _result.finalCutTemplates)
        _rows.push_back({RowState::FinalCut, nullptr, &own, nullptr});
    for (const ProjectDocument::Refusal &refusal : _result.refused)
        _rows.push_back({RowState::Refused, nullptr, nullptr, &refusal});
    endResetModel();
}

int ProjectCheckModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(_rows.size());
}

int ProjectCheckModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

ProjectCheckModel::RowState ProjectCheckModel::state(int row) const
{
    return _rows.at(size_t(row)).state;
}

const ProjectCheck::Finding *ProjectCheckModel::finding(int row) const
{
    return _rows.at(size_t(row)).finding;
}

int ProjectCheckModel::count(RowState state) const
{
    return int(std::count_if(_rows.begin(), _rows.end(), [state](const Row &row) { return row.state == state; }));
}

QString ProjectCheckModel::stateText(RowState state)
{
    switch (state) {
    case RowState::Missing: return tr("Missing");
    case RowState::NotFound: return tr("Missing, found nowhere");
    case RowState::TooNew: return tr("Too new for this Final Cut Pro");
    case RowState::NeedsPlugIn: return tr("Needs a plug-in");
    case RowState::Hidden: return tr("Hidden (obsolete)");
    case RowState::Installed: return tr("Installed");
    case RowState::FinalCut: return tr("Final Cut Pro's own");
    case RowState::Refused: return tr("Refused");
    }
    return {};
}

QString ProjectCheckModel::kindAndCategory(const QString &folder)
{
    const QStringList parts = folder.split(QLatin1Char('/'));
    if (parts.size() < 3)
        return {};
    QString kind;
    const QString kindFolder = parts.at(0);
    if (kindFolder == QLatin1String("Effects.localized"))
        kind = tr("Effect");
    else if (kindFolder == QLatin1String("Generators.localized"))
        kind = tr("Generator");
    else if (kindFolder == QLatin1String("Titles.localized"))
        kind = tr("Title");
    else if (kindFolder == QLatin1String("Transitions.localized"))
        kind = tr("Transition");
    QString category = parts.at(1);
    if (category.endsWith(QLatin1String(".localized")))
        category.chop(10);
    return kind.isEmpty() ? tr("in “%1”").arg(category) : tr("%1 in “%2”").arg(kind, category);
}

QString ProjectCheckModel::where(const Row &row) const
{
    if (row.refusal)
        return row.refusal->reason;
    if (row.own)
        return tr("Comes with Final Cut Pro");
    const ProjectCheck::Finding &f = *row.finding;
    const bool allUsers = f.project.location.root == ProjectDocument::Root::AllUsers;
    if (f.state == ProjectCheck::State::Missing) {
        if (f.providers.isEmpty())
            return tr("Look for: %1, %2").arg(f.project.name, kindAndCategory(f.project.location.folder()));
        QStringList names;
        for (const QString &archive : f.providers)
            names.append(fileName(archive));
        return tr("In %1").arg(names.join(QStringLiteral(", ")));
    }
    const QString origin = f.handCopy ? tr("copied in by hand") : tr("from “%1”").arg(f.archiveTitle);
    return allUsers ? tr("%1, for all users").arg(origin) : origin;
}

QString ProjectCheckModel::clips(const Row &row) const
{
    if (row.refusal)
        return row.refusal->uses == 1 ? tr("1 clip") : tr("%1 clips").arg(row.refusal->uses);
    return usesText(row.finding ? row.finding->project.uses : row.own->uses, ClipsShown, QStringLiteral(" · "));
}

QString ProjectCheckModel::toolTip(const Row &row) const
{
    if (row.refusal)
        return row.refusal->uid;
    const ProjectDocument::Template &t = row.finding ? row.finding->project : *row.own;
    QStringList lines{t.uid};
    if (row.finding) {
        const ProjectCheck::Finding &f = *row.finding;
        if (!f.installedFolder.isEmpty())
            lines.append(f.installedFolder);
        for (const TemplateDocument::PlugIn &plugIn : f.plugIns)
            lines.append(tr("Plug-in: %1").arg(plugIn.name));
        if (f.tooNew && !f.requirement.finalCut.isNull())
            lines.append(tr("Needs Final Cut Pro %1 or later").arg(f.requirement.finalCut.toString()));
        if (f.detailsUnavailable)
            lines.append(tr("The template's document could not be read."));
        for (const QString &archive : f.providers)
            lines.append(archive);
    }
    lines.append(usesText(t.uses, ClipsInToolTip, QStringLiteral("\n")));
    return lines.join(QLatin1Char('\n'));
}

QVariant ProjectCheckModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Row &row = _rows.at(size_t(index.row()));
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case TemplateColumn:
            return row.refusal ? row.refusal->name : row.finding ? row.finding->project.name : row.own->name;
        case StateColumn: return stateText(row.state);
        case WhereColumn: return where(row);
        case ClipsColumn: return clips(row);
        default: return {};
        }
    case Qt::ToolTipRole:
        return toolTip(row);
    case Qt::ForegroundRole:
        if (index.column() != StateColumn)
            return {};
        switch (row.state) {
        case RowState::Missing:
        case RowState::NotFound:
        case RowState::Refused: return QBrush(QColor(0xff, 0x6b, 0x5e));
        case RowState::TooNew:
        case RowState::NeedsPlugIn: return QBrush(QColor(0xf0, 0xb4, 0x3c));
        case RowState::Installed: return QBrush(QColor(0x6c, 0xcf, 0x7a));
        default: return {};
        }
    case StateRole:
        return int(row.state);
    case FolderRole:
        return row.finding ? row.finding->installedFolder : QString();
    case ProvidersRole:
        return row.finding ? row.finding->providers : QStringList();
    default:
        return {};
    }
}

QVariant ProjectCheckModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case TemplateColumn: return tr("Template");
    case StateColumn: return tr("State");
    case WhereColumn: return tr("Where");
    case ClipsColumn: return tr("Used by");
    default: return {};
    }
}
