// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractTableModel>
#include <QUrl>

#include <memory>
#include <vector>

class DownloadItem;
class DownloadItemTableView;
class DownloadItemView;
class QWidget;

// The downloads window and its list, one per process. Row i of the window's
// table is the i-th item added; each row shows the item's own view.
//
// Nothing in the application opens this window; it is a component on its own.
class DownloadManager : public QAbstractTableModel
{
    Q_OBJECT

public:
    // The one table column; its cells show the items' views.
    static inline const QString ItemViewColumnIdentifier = QStringLiteral("itemView");

    // Created on first use and kept for the rest of the process.
    static DownloadManager *sharedDownloadManager();
    ~DownloadManager() override;

    void show();
    void hide();

    // Adds a download of url, shows the window and starts the transfer. Null,
    // with nothing changed, when no item can be made (a file URL). The manager
    // keeps the item.
    DownloadItem *downloadItemWithURL(const QUrl &url);

    int numberOfRowsInTableView() const;
    // Null when row is outside the list; the column is not consulted.
    DownloadItem *objectValueForTableColumn(int column, int row) const;
    DownloadItemView *rowViewForItem(const DownloadItem *item) const;
    // The item's view in the "itemView" column, null in any other.
    DownloadItemView *viewForTableColumn(const QString &columnIdentifier,
                                         const DownloadItem *item) const;

    // Where new downloads are saved; empty (the default) means the user's
    // Downloads folder.
    const QString &destinationFolder() const { return _destinationFolder; }
    void setDestinationFolder(const QString &folder) { _destinationFolder = folder; }

    QWidget *window() const { return _window.get(); }
    DownloadItemTableView *downloadItemsTable() const { return _downloadItemsTable; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    // Only sharedDownloadManager() makes one.
    DownloadManager();

    // Declared before the list so that the items, and with them their row
    // views, go before the window that shows them.
    std::unique_ptr<QWidget> _window;
    DownloadItemTableView *_downloadItemsTable = nullptr;
    std::vector<std::unique_ptr<DownloadItem>> _downloadItems;
    QString _destinationFolder;
};
