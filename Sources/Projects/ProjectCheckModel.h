// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Metadata/ProjectCheck.h"

#include <QAbstractTableModel>
#include <QStringList>

// The rows of the Check Project window: the project's templates with their
// states (ProjectCheck's findings), then Final Cut Pro's own templates and
// the references that were refused, each with the clips using it.
class ProjectCheckModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { TemplateColumn, StateColumn, WhereColumn, ClipsColumn, ColumnCount };

    // What a row says, most pressing first where several hold.
    enum class RowState {
        Missing,        // not here, an archive has it
        NotFound,       // not here, and no archive searched has it
        TooNew,         // installed, this Final Cut Pro cannot open it
        NeedsPlugIn,    // installed, uses a plug-in
        Hidden,         // installed, obsolete: renders, not in the browser
        Installed,
        FinalCut,       // Final Cut Pro's own
        Refused,        // a reference that leads outside the templates folders
    };
    Q_ENUM(RowState)

    enum Role {
        StateRole = Qt::UserRole + 1,  // RowState as int
        FolderRole,                    // installed template folder, or empty
        ProvidersRole,                 // QStringList of archives holding it
    };

    explicit ProjectCheckModel(QObject *parent = nullptr);

    void setResult(ProjectCheck::Result result);
    const ProjectCheck::Result &result() const { return _result; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    RowState state(int row) const;
    // The finding behind a row; null for Final Cut Pro's and refused rows.
    const ProjectCheck::Finding *finding(int row) const;
    int count(RowState state) const;

    // "Title, in “ZT Lower Thirds”" from a location's folder.
    static QString kindAndCategory(const QString &folder);
    static QString stateText(RowState state);

private:
    struct Row
    {
        RowState state = RowState::Installed;
        const ProjectCheck::Finding *finding = nullptr;
        const ProjectDocument::Template *own = nullptr;   // Final Cut Pro's
        const ProjectDocument::Refusal *refusal = nullptr;
    };
    QString where(const Row &row) const;
    QString clips(const Row &row) const;
    QString toolTip(const Row &row) const;
    static RowState stateOf(const ProjectCheck::Finding &finding);

    ProjectCheck::Result _result;
    std::vector<Row> _rows;
};
