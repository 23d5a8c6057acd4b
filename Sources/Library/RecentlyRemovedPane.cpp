// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Library/RecentlyRemovedPane.h"
#include "ui_TemplateLibraryWindow.h"

#include "Interface/Alert.h"
#include "Interface/BackgroundWork.h"
#include "Library/RecentlyRemovedModel.h"

#include <QAction>
#include <QItemSelection>
#include <QLocale>
#include <QSet>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace {

// Refusals named one by one in the alert after a Restore; the rest are counted.
constexpr int RefusalsNamed = 8;
constexpr int ColumnGap = 24;

QString templateCount(int count)
{
    return count == 1 ? RecentlyRemovedPane::tr("1 template")
                      : RecentlyRemovedPane::tr("%1 templates").arg(QLocale().toString(count));
}

} // namespace

struct RecentlyRemovedPane::Restoring
{
    std::vector<RecentlyRemoved::Item> chosen;
    int restored = 0;
    std::vector<std::pair<QString, QString>> refusals;  // title, reason
};

RecentlyRemovedPane::RecentlyRemovedPane(Ui::TemplateLibraryWindow &ui, QAction *restoreAction, QWidget *window,
                                         Hooks hooks)
    : QObject(window)
    , _ui(ui)
    , _restoreAction(restoreAction)
    , _window(window)
    , _hooks(std::move(hooks))
    , _model(new RecentlyRemovedModel(this))
{
    QTableView *table = _ui.removedTable;
    table->setModel(_model);
    table->horizontalHeader()->setSortIndicatorShown(true);
    table->sortByColumn(RecentlyRemovedModel::RemovedColumn, Qt::DescendingOrder);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { updateState(); });
    connect(table, &QAbstractItemView::doubleClicked, this, [this] { restoreSelected(); });
}

RecentlyRemovedPane::~RecentlyRemovedPane()
{
    if (_loader) {
        _loader->disconnect(this);
        _loader->waitForFinished();
    }
}

void RecentlyRemovedPane::refresh()
{
    if (_loader) {
        _reloadPending = true;
        return;
    }
    _reloadPending = false;
    _loader = std::make_unique<QFutureWatcher<Found>>();
    connect(_loader.get(), &QFutureWatcherBase::finished, this, [this] {
        Found found = _loader->result();
        // Not deleted from inside its own signal.
        _loader.release()->deleteLater();
        show(std::move(found));
    });
    // items() looks at every Trash copy and may rewrite the list's file.
    _loader->setFuture(QtConcurrent::run([roots = _roots] {
        Found found;
        for (const QString &root : roots) {
            if (root.isEmpty())
                continue;
            Found items = RecentlyRemoved::items(root);
            std::move(items.begin(), items.end(), std::back_inserter(found));
        }
        return found;
    }));
    updateState();
}

void RecentlyRemovedPane::show(Found found)
{
    QTableView *table = _ui.removedTable;
    // The selection by place in the Trash: the reload renumbers the rows.
    QSet<QString> selected;
    for (const QModelIndex &index : table->selectionModel()->selectedRows())
        selected.insert(index.data(RecentlyRemovedModel::InTrashRole).toString());
    const bool firstItems = _model->rowCount() == 0 && !found.empty();
    _model->setItems(std::move(found));
    QItemSelection selection;
    for (int row = 0; row < _model->rowCount(); ++row) {
        if (selected.contains(_model->item(row).inTrash))
            selection.select(_model->index(row, 0), _model->index(row, RecentlyRemovedModel::ColumnCount - 1));
    }
    table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (firstItems) {
        // From the texts, with room between the columns; the last one stretches.
        table->resizeColumnsToContents();
        for (int column = 0; column + 1 < RecentlyRemovedModel::ColumnCount; ++column)
            table->setColumnWidth(column, table->columnWidth(column) + ColumnGap);
    }
    _loaded = true;
    updateState();
    // loaded() only for the last of a series of reads: whoever waits on it
    // wants the list as it is now.
    if (_reloadPending)
        refresh();
    else if (_hooks.loaded)
        _hooks.loaded();
}

void RecentlyRemovedPane::updateState()
{
    const int count = _model->rowCount();
    const int selected = int(_ui.removedTable->selectionModel()->selectedRows().size());
    QString status;
    if (!_loaded) {
        status = tr("Looking for removed templates…");
    } else if (count > 0) {
        status = tr("%1 in the Trash").arg(templateCount(count));
        if (selected > 0)
            status += QStringLiteral(" · ") + tr("%1 selected").arg(QLocale().toString(selected));
    }
    _ui.removedStatusLabel->setText(status);
    const bool empty = _loaded && count == 0;
    if (empty) {
        _ui.removedEmptyLabel->setText(tr("Nothing was removed recently.\n\nTemplates you remove go to the Trash "
                                          "and are listed here until it is emptied."));
    }
    _ui.removedStack->setCurrentWidget(empty ? _ui.removedEmptyPage : _ui.removedTablePage);
    const bool busy = _hooks.isBusy && _hooks.isBusy();
    _restoreAction->setEnabled(!busy && selected > 0);
    _ui.restoreButton->setEnabled(_restoreAction->isEnabled());
    // Greyed while busy: a double-click or a new choice would only be refused
    // until the work ends.
    _ui.removedTable->setEnabled(!busy);
}

void RecentlyRemovedPane::restoreSelected()
{
    if (_hooks.isBusy && _hooks.isBusy())
        return;
    // Items, not rows: the list may be read again while the work runs.
    auto outcome = std::make_shared<Restoring>();
    QModelIndexList selected = _ui.removedTable->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    for (const QModelIndex &index : std::as_const(selected))
        outcome->chosen.push_back(_model->item(index.row()));
    if (outcome->chosen.empty())
        return;
    _hooks.setBusy(true);
    const int count = int(outcome->chosen.size());
    auto *work = new BackgroundWork(_window, count == 1 ? tr("Restoring “%1”…").arg(RecentlyRemovedModel::title(outcome->chosen.front()))
                                                        : tr("Restoring %1 templates…").arg(QLocale().toString(count)), this);
    connect(work, &BackgroundWork::finished, this, [this, work, outcome] {
        work->deleteLater();
        _hooks.setBusy(false);
        if (outcome->restored > 0 && _hooks.restored)
            _hooks.restored();
        // Restored items left the log, refused ones may have left the Trash: read
        // the list again either way.
        refresh();
        reportRestored(*outcome);
    });
    work->start([outcome](ProgressListener &listener) {
        const std::vector<RecentlyRemoved::Item> &chosen = outcome->chosen;
        for (size_t i = 0; i < chosen.size(); ++i) {
            if (!listener.progress(qint64(i), qint64(chosen.size())))
                break;
            const QString title = RecentlyRemovedModel::title(chosen[i]);
            listener.setCurrentItem(title);
            const std::optional<Error> error = RecentlyRemoved::restore(chosen[i], &listener);
            // Giving up the wait for another run's lock stops the rest too.
            if (error && error->isCancellation())
                break;
            if (error)
                outcome->refusals.emplace_back(title, error->localizedDescription());
            else
                ++outcome->restored;
        }
    });
}

void RecentlyRemovedPane::reportRestored(const Restoring &outcome)
{
    const auto &refusals = outcome.refusals;
    if (refusals.empty())
        return;
    if (refusals.size() == 1 && outcome.restored == 0) {
        Alert::beginSheet(_window, tr("“%1” Could Not Be Restored").arg(refusals.front().first),
                          refusals.front().second, {tr("OK"), QString(), QString()});
        return;
    }
    QStringList lines;
    if (outcome.restored > 0)
        lines << tr("%1 restored.").arg(templateCount(outcome.restored)) << QString();
    for (size_t i = 0; i < refusals.size() && i < size_t(RefusalsNamed); ++i)
        lines << tr("“%1”: %2").arg(refusals[i].first, refusals[i].second);
    if (refusals.size() > size_t(RefusalsNamed))
        lines << tr("…and %1 more.").arg(QLocale().toString(qsizetype(refusals.size()) - RefusalsNamed));
    Alert::beginSheet(_window, tr("Some Templates Could Not Be Restored"), lines.join(QLatin1Char('\n')), {tr("OK"), QString(), QString()});
}
