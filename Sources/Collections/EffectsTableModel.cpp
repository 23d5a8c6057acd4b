// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/EffectsTableModel.h"

#include "Collections/TemplateArchiveCollection.h"

namespace {

constexpr QSize ThumbnailSize(64, 36);

} // namespace

EffectsTableModel::EffectsTableModel(const TemplateArchiveCollection *collection, QObject *parent)
    : QAbstractTableModel(parent)
    , _collection(collection)
{
    reload();
}

const QStringList &EffectsTableModel::columnIdentifiers()
{
    static const QStringList identifiers = {QStringLiteral("index"), QStringLiteral("installed"),
                                            QStringLiteral("category"), QStringLiteral("title"),
                                            QStringLiteral("preview")};
    return identifiers;
}

void EffectsTableModel::reload()
{
    beginResetModel();
    _items = _collection ? _collection->effectsWithSearchOption(EffectSearchAll) : EffectTemplateItemList();
    _destinationRoot = TemplateInstaller::userDestMotionTemplatesFolder();
    _thumbnails.clear();
    endResetModel();
}

void EffectsTableModel::refreshInstalledMarks()
{
    if (_items.empty())
        return;
    const int column = int(columnIdentifiers().indexOf(QStringLiteral("installed")));
    emit dataChanged(index(0, column), index(int(_items.size()) - 1, column));
}

bool EffectsTableModel::isInstalled(const EffectTemplateItem *item) const
{
    return item->isInstalledInDestRootFolder(_destinationRoot);
}

QVariant EffectsTableModel::objectValue(const QString &identifier, int row) const
{
    if (row < 0 || row >= int(_items.size()))
        return {};
    const EffectTemplateItem *item = _items.at(size_t(row));
    if (identifier == QLatin1String("index"))
        return QStringLiteral("%1.").arg(row + 1);
    if (identifier == QLatin1String("installed"))
        return isInstalled(item) ? TemplateArchiveCollection::effectInstalledImage()
                                 : TemplateArchiveCollection::effectNotInstalledImage();
    if (identifier == QLatin1String("category"))
        return item->category();
    if (identifier == QLatin1String("title"))
        return item->title();
    return {};
}

int EffectsTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(_items.size());
}

int EffectsTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(columnIdentifiers().size());
}

QPixmap EffectsTableModel::thumbnail(int row) const
{
    auto cached = _thumbnails.constFind(row);
    if (cached != _thumbnails.constEnd())
        return *cached;
    const QImage preview = _items.at(size_t(row))->preview();
    QPixmap pixmap;
    if (!preview.isNull())
        pixmap = QPixmap::fromImage(preview.scaled(ThumbnailSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    _thumbnails.insert(row, pixmap);
    return pixmap;
}

QVariant EffectsTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(_items.size()) || index.column() >= columnIdentifiers().size())
        return {};
    const QString &identifier = columnIdentifiers().at(index.column());
    const int row = index.row();

    if (identifier == QLatin1String("installed")) {
        if (role == Qt::DecorationRole)
            return objectValue(identifier, row);
        if (role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
            return isInstalled(_items.at(size_t(row))) ? tr("Installed") : tr("Not installed");
        return {};
    }
    if (identifier == QLatin1String("preview")) {
        // The data source gives the column nothing; the window shows a thumbnail.
        if (role == Qt::DecorationRole)
            return thumbnail(row);
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return objectValue(identifier, row);
    case Qt::TextAlignmentRole:
        if (identifier == QLatin1String("index"))
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant EffectsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columnIdentifiers().size())
        return QAbstractTableModel::headerData(section, orientation, role);
    const QString &identifier = columnIdentifiers().at(section);
    if (role == ColumnIdentifierRole)
        return identifier;
    if (role == Qt::DisplayRole) {
        if (identifier == QLatin1String("index"))
            return tr("#");
        if (identifier == QLatin1String("installed"))
            return QString();
        if (identifier == QLatin1String("category"))
            return tr("Category");
        if (identifier == QLatin1String("title"))
            return tr("Title");
        return tr("Preview");
    }
    if (role == Qt::ToolTipRole && identifier == QLatin1String("installed"))
        return tr("Installed");
    return QAbstractTableModel::headerData(section, orientation, role);
}
