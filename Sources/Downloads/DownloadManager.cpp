// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Downloads/DownloadManager.h"

#include "Downloads/DownloadItem.h"
#include "Downloads/DownloadItemTableView.h"
#include "Downloads/DownloadItemView.h"
#include "ui_DownloadManager.h"

namespace {

DownloadManager *sDownloadManager = nullptr;

} // namespace

DownloadManager *DownloadManager::sharedDownloadManager()
{
    if (!sDownloadManager)
        sDownloadManager = new DownloadManager;
    return sDownloadManager;
}

DownloadManager::DownloadManager()
    : _window(std::make_unique<QWidget>())
{
    // The window comes from a form compiled into the program, so loading it
    // cannot fail the way reading a window description from disk can.
    Ui::DownloadManager ui;
    ui.setupUi(_window.get());
    _downloadItemsTable = ui.downloadItemsTable;
    _downloadItemsTable->setModel(this);
}

DownloadManager::~DownloadManager()
{
    // The items go first (see the field order); the table must not ask this
    // half-destroyed model for anything meanwhile.
    _downloadItemsTable->setModel(nullptr);
}

void DownloadManager::show()
{
    _window->show();
    _window->raise();
    _window->activateWindow();
}

void DownloadManager::hide()
{
    _window->hide();
}

DownloadItem *DownloadManager::downloadItemWithURL(const QUrl &url)
{
    std::unique_ptr<DownloadItem> item = DownloadItem::create(url, _destinationFolder);
    if (!item)
        return nullptr;

    DownloadItem *added = item.get();
    const int row = int(_downloadItems.size());
    beginInsertRows({}, row, row);
    _downloadItems.push_back(std::move(item));
    endInsertRows();

    if (!_window->isVisible())
        show();
    added->startDownloading();
    return added;
}

int DownloadManager::numberOfRowsInTableView() const
{
    return int(_downloadItems.size());
}

DownloadItem *DownloadManager::objectValueForTableColumn(int column, int row) const
{
    Q_UNUSED(column)
    if (row < 0 || row >= numberOfRowsInTableView())
        return nullptr;
    return _downloadItems[size_t(row)].get();
}

DownloadItemView *DownloadManager::rowViewForItem(const DownloadItem *item) const
{
    return item ? item->view() : nullptr;
}

DownloadItemView *DownloadManager::viewForTableColumn(const QString &columnIdentifier,
                                                      const DownloadItem *item) const
{
    if (!item || columnIdentifier != ItemViewColumnIdentifier)
        return nullptr;
    return item->view();
}

int DownloadManager::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : numberOfRowsInTableView();
}

int DownloadManager::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 1;
}

QVariant DownloadManager::data(const QModelIndex &index, int role) const
{
    const DownloadItem *item = objectValueForTableColumn(index.column(), index.row());
    if (!index.isValid() || !item)
        return {};
    switch (role) {
    case DownloadItemTableView::ItemViewRole: {
        const QString identifier =
            headerData(index.column(), Qt::Horizontal, Qt::UserRole).toString();
        return QVariant::fromValue<QWidget *>(viewForTableColumn(identifier, item));
    }
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole:
        return item->sourceURL().toDisplayString();
    default:
        // The row's view draws everything; the cell itself stays empty.
        return {};
    }
}

QVariant DownloadManager::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section != 0)
        return {};
    if (role == Qt::UserRole)
        return ItemViewColumnIdentifier;
    if (role == Qt::DisplayRole)
        return tr("Downloads");
    return {};
}
