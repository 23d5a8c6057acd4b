// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Library/TemplateLibraryWindow.h"
#include "ui_TemplateLibraryWindow.h"

#include "Appearance/DarkAppearance.h"
#include "Collections/Alert.h"
#include "Collections/BackgroundWork.h"
#include "Common/ByteSize.h"
#include "Installer/RecentlyRemoved.h"
#include "Installer/TemplateInstaller.h"
#include "Installer/TemplateLibrary.h"
#include "Library/RecentlyRemovedModel.h"
#include "Library/TemplateLibraryFilterModel.h"
#include "Library/TemplateLibraryModel.h"
#include "Library/TemplateVerificationDialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelection>
#include <QLocale>
#include <QMenu>
#include <QPointer>
#include <QProcess>
#include <QScrollBar>
#include <QSet>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <map>
#include <memory>

namespace {

constexpr int RowHeight = 42;
// Refusals named one by one in the alert after a Restore; the rest are counted.
constexpr int RefusalsNamed = 8;
constexpr int ColumnGap = 24;

// "1 template", "10,000 templates".
QString templateCount(int count)
{
    return count == 1 ? TemplateLibraryWindow::tr("1 template")
                      : TemplateLibraryWindow::tr("%1 templates").arg(QLocale().toString(count));
}

struct Target
{
    int rootIndex = 0;
    QString destination;
    QString title;
};

} // namespace

QList<TemplateLibraryWindow::Location> TemplateLibraryWindow::defaultLocations()
{
    QList<Location> locations{{TemplateInstaller::userDestMotionTemplatesFolder(), tr("My Templates")}};
    const QString allUsers = TemplateInstaller::localDestMotionTemplatesFolder();
    if (!allUsers.isEmpty())
        locations.append({allUsers, tr("All Users")});
    return locations;
}

TemplateLibraryWindow::TemplateLibraryWindow(const QList<Location> &locations, QWidget *parent)
    : QMainWindow(parent)
    , _ui(std::make_unique<Ui::TemplateLibraryWindow>())
    , _locations(locations)
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("libraryForm"));
    _ui->setupUi(central);
    setCentralWidget(central);
    setWindowTitle(central->windowTitle());
    resize(central->size());
    setMinimumSize(central->minimumSize());
    setObjectName(QStringLiteral("TemplateLibraryWindow"));

    _model = new TemplateLibraryModel(this);
    _filter = new TemplateLibraryFilterModel(this);
    _filter->setSourceModel(_model);

    createActions();
    setUpTable();
    setUpRemovedTable();
    fillFilters();

    connect(_ui->searchField, &QLineEdit::textChanged, _filter, &TemplateLibraryFilterModel::setSearchText);
    for (QComboBox *combo : {_ui->locationFilter, _ui->kindFilter, _ui->categoryFilter})
        connect(combo, &QComboBox::currentIndexChanged, this, &TemplateLibraryWindow::applyFilters);
    connect(_model, &TemplateLibraryModel::scanStarted, this, &TemplateLibraryWindow::updateState);
    connect(_model, &TemplateLibraryModel::scanFinished, this, [this] {
        refreshCategories();
        updateState();
        // Whatever changed the folder may have sent templates to the Trash.
        if (showsRemoved())
            refreshRecentlyRemoved();
    });
    for (auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(_filter, signal, this, &TemplateLibraryWindow::updateState);
    connect(_filter, &QAbstractItemModel::modelReset, this, &TemplateLibraryWindow::updateState);
    connect(_filter, &QAbstractItemModel::layoutChanged, this, &TemplateLibraryWindow::updateState);

    QStringList roots;
    for (const Location &location : std::as_const(_locations))
        roots.append(location.root);
    _model->setWatching(true);
    _model->setRoots(roots);

    DarkAppearance::apply(this);
    DarkAppearance::apply(_contextMenu);
    updateState();
}

TemplateLibraryWindow::~TemplateLibraryWindow()
{
    if (_removedLoader) {
        _removedLoader->disconnect(this);
        _removedLoader->wait();
        delete _removedLoader;
    }
}

void TemplateLibraryWindow::createActions()
{
    _removeAction = new QAction(tr("Remove..."), this);
    _removeAction->setObjectName(QStringLiteral("removeAction"));
    _removeAction->setShortcuts({QKeySequence::Delete, QKeySequence(Qt::CTRL | Qt::Key_Backspace)});
    _removeAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(_removeAction, &QAction::triggered, this, &TemplateLibraryWindow::removeSelected);

    _revealAction = new QAction(tr("Reveal in File Manager"), this);
    _revealAction->setObjectName(QStringLiteral("revealAction"));
    _revealAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    _revealAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(_revealAction, &QAction::triggered, this, &TemplateLibraryWindow::revealSelected);

    _verifyAction = new QAction(tr("Verify"), this);
    _verifyAction->setObjectName(QStringLiteral("verifyAction"));
    connect(_verifyAction, &QAction::triggered, this, &TemplateLibraryWindow::verifySelected);

    _reinstallAction = new QAction(tr("Re-install from Archive..."), this);
    _reinstallAction->setObjectName(QStringLiteral("reinstallAction"));
    connect(_reinstallAction, &QAction::triggered, this, &TemplateLibraryWindow::reinstallSelected);

    _restoreAction = new QAction(tr("Restore"), this);
    _restoreAction->setObjectName(QStringLiteral("restoreAction"));
    connect(_restoreAction, &QAction::triggered, this, &TemplateLibraryWindow::restoreSelectedRemoved);

    addActions({_removeAction, _revealAction});

    connect(_ui->removeButton, &QPushButton::clicked, _removeAction, &QAction::trigger);
    connect(_ui->revealButton, &QPushButton::clicked, _revealAction, &QAction::trigger);
    connect(_ui->verifyButton, &QPushButton::clicked, _verifyAction, &QAction::trigger);
    connect(_ui->reinstallButton, &QPushButton::clicked, _reinstallAction, &QAction::trigger);
    connect(_ui->restoreButton, &QPushButton::clicked, _restoreAction, &QAction::trigger);

    _contextMenu = new QMenu(this);
    _contextMenu->setObjectName(QStringLiteral("libraryContextMenu"));
    _contextMenu->addAction(_revealAction);
    _contextMenu->addAction(_verifyAction);
    _contextMenu->addAction(_reinstallAction);
    _contextMenu->addSeparator();
    _contextMenu->addAction(_removeAction);
}

void TemplateLibraryWindow::setUpTable()
{
    QTableView *table = _ui->templatesTable;
    table->setModel(_filter);
    table->setIconSize(TemplateLibraryModel::thumbnailSize());
    // Fixed row heights: the view never measures 10,000 rows.
    QHeaderView *rows = table->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(RowHeight);
    QHeaderView *columns = table->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setSectionResizeMode(TemplateLibraryModel::PreviewColumn, QHeaderView::Fixed);
    columns->setSortIndicatorShown(true);
    const std::pair<int, int> widths[] = {
        {TemplateLibraryModel::PreviewColumn, TemplateLibraryModel::thumbnailSize().width() + 16},
        {TemplateLibraryModel::TitleColumn, 220},
        {TemplateLibraryModel::KindColumn, 80},
        {TemplateLibraryModel::CategoryColumn, 140},
        {TemplateLibraryModel::SizeColumn, 72},
        {TemplateLibraryModel::OriginColumn, 170},
    };
    for (const auto &[column, width] : widths)
        table->setColumnWidth(column, width);
    table->sortByColumn(TemplateLibraryModel::TitleColumn, Qt::AscendingOrder);

    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TemplateLibraryWindow::updateState);
    // After the view's own handling of a reset, so the selection is put back
    // into a view that knows the new rows.
    connect(_filter, &QAbstractItemModel::modelAboutToBeReset, this, &TemplateLibraryWindow::rememberView);
    connect(_filter, &QAbstractItemModel::modelReset, this, &TemplateLibraryWindow::restoreView);
    connect(table, &QWidget::customContextMenuRequested, this, [this, table](const QPoint &position) {
        const QModelIndex clicked = table->indexAt(position);
        if (clicked.isValid() && !table->selectionModel()->isRowSelected(clicked.row(), QModelIndex()))
            table->selectionModel()->select(clicked, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        updateState();
        _contextMenu->popup(table->viewport()->mapToGlobal(position));
    });
    connect(table, &QAbstractItemView::doubleClicked, this, [this] { revealSelected(); });
}

void TemplateLibraryWindow::setUpRemovedTable()
{
    _removedModel = new RecentlyRemovedModel(this);
    QTableView *table = _ui->removedTable;
    table->setModel(_removedModel);
    table->horizontalHeader()->setSortIndicatorShown(true);
    table->sortByColumn(RecentlyRemovedModel::RemovedColumn, Qt::DescendingOrder);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TemplateLibraryWindow::updateRemovedState);
    connect(table, &QAbstractItemView::doubleClicked, this, [this] { restoreSelectedRemoved(); });
    // The list is read when it is looked at, not with every rescan.
    connect(_ui->viewTabs, &QTabWidget::currentChanged, this, [this] {
        if (showsRemoved())
            refreshRecentlyRemoved();
    });
}

bool TemplateLibraryWindow::showsRemoved() const
{
    return _ui->viewTabs->currentWidget() == _ui->removedTab;
}

void TemplateLibraryWindow::refreshRecentlyRemoved()
{
    if (_removedLoader) {
        _removedReloadPending = true;
        return;
    }
    _removedReloadPending = false;
    QStringList roots;
    for (const Location &location : std::as_const(_locations))
        roots.append(location.root);
    auto found = std::make_shared<std::vector<RecentlyRemoved::Item>>();
    // items() looks at every Trash copy and may rewrite the list's file.
    _removedLoader = QThread::create([found, roots] {
        for (const QString &root : roots) {
            if (root.isEmpty())
                continue;
            std::vector<RecentlyRemoved::Item> items = RecentlyRemoved::items(root);
            std::move(items.begin(), items.end(), std::back_inserter(*found));
        }
    });
    _removedLoader->setObjectName(QStringLiteral("recently removed"));
    connect(_removedLoader, &QThread::finished, this, [this, found] {
        _removedLoader->wait();
        delete std::exchange(_removedLoader, nullptr);
        QTableView *table = _ui->removedTable;
        QSet<QString> selected;
        for (const QModelIndex &index : table->selectionModel()->selectedRows())
            selected.insert(index.data(RecentlyRemovedModel::InTrashRole).toString());
        const bool firstItems = _removedModel->rowCount() == 0 && !found->empty();
        _removedModel->setItems(std::move(*found));
        QItemSelection selection;
        for (int row = 0; row < _removedModel->rowCount(); ++row) {
            if (selected.contains(_removedModel->item(row).inTrash))
                selection.select(_removedModel->index(row, 0),
                                 _removedModel->index(row, RecentlyRemovedModel::ColumnCount - 1));
        }
        table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
        if (firstItems) {
            // From the texts, with room between the columns; the last one stretches.
            table->resizeColumnsToContents();
            for (int column = 0; column + 1 < RecentlyRemovedModel::ColumnCount; ++column)
                table->setColumnWidth(column, table->columnWidth(column) + ColumnGap);
        }
        _removedLoaded = true;
        updateRemovedState();
        if (_removedReloadPending)
            refreshRecentlyRemoved();
        else
            emit recentlyRemovedLoaded();
    });
    _removedLoader->start(QThread::LowPriority);
    updateRemovedState();
}

void TemplateLibraryWindow::updateRemovedState()
{
    const int count = _removedModel->rowCount();
    const int selected = int(_ui->removedTable->selectionModel()->selectedRows().size());
    QString status;
    if (!_removedLoaded) {
        status = tr("Looking for removed templates…");
    } else if (count > 0) {
        status = tr("%1 in the Trash").arg(templateCount(count));
        if (selected > 0)
            status += QStringLiteral(" · ") + tr("%1 selected").arg(QLocale().toString(selected));
    }
    _ui->removedStatusLabel->setText(status);
    const bool empty = _removedLoaded && count == 0;
    if (empty) {
        _ui->removedEmptyLabel->setText(tr("Nothing was removed recently.\n\nTemplates you remove go to the Trash "
                                           "and are listed here until it is emptied."));
    }
    _ui->removedStack->setCurrentWidget(empty ? _ui->removedEmptyPage : _ui->removedTablePage);
    _restoreAction->setEnabled(!_busy && selected > 0);
    _ui->restoreButton->setEnabled(_restoreAction->isEnabled());
    _ui->removedTable->setEnabled(!_busy);
}

void TemplateLibraryWindow::restoreSelectedRemoved()
{
    if (_busy)
        return;
    // Items, not rows: the list may be read again while the work runs.
    std::vector<RecentlyRemoved::Item> chosen;
    QModelIndexList selected = _ui->removedTable->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    for (const QModelIndex &index : std::as_const(selected))
        chosen.push_back(_removedModel->item(index.row()));
    if (chosen.empty())
        return;
    QPointer<TemplateLibraryWindow> alive(this);
    setBusy(true);
    int restored = 0;
    std::vector<std::pair<QString, QString>> refusals;  // title, reason
    {
        const int count = int(chosen.size());
        BackgroundWork work(this, count == 1 ? tr("Restoring “%1”…").arg(RecentlyRemovedModel::title(chosen.front()))
                                             : tr("Restoring %1 templates…").arg(QLocale().toString(count)));
        work.run([&](ProgressListener &listener) {
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
                    refusals.emplace_back(title, error->localizedDescription());
                else
                    ++restored;
            }
        });
    }
    if (!alive)
        return;
    setBusy(false);
    if (restored > 0)
        _model->rescan();
    refreshRecentlyRemoved();
    if (refusals.empty())
        return;
    if (refusals.size() == 1 && restored == 0) {
        Alert::beginSheet(this, tr("“%1” Could Not Be Restored").arg(refusals.front().first), refusals.front().second,
                          tr("OK"), QString(), QString());
        return;
    }
    QStringList lines;
    if (restored > 0)
        lines << tr("%1 restored.").arg(templateCount(restored)) << QString();
    for (size_t i = 0; i < refusals.size() && i < size_t(RefusalsNamed); ++i)
        lines << tr("“%1”: %2").arg(refusals[i].first, refusals[i].second);
    if (refusals.size() > size_t(RefusalsNamed))
        lines << tr("…and %1 more.").arg(QLocale().toString(qsizetype(refusals.size()) - RefusalsNamed));
    Alert::beginSheet(this, tr("Some Templates Could Not Be Restored"), lines.join(QLatin1Char('\n')), tr("OK"),
                      QString(), QString());
}

void TemplateLibraryWindow::fillFilters()
{
    _ui->locationFilter->addItem(tr("All Locations"), -1);
    for (int i = 0; i < _locations.size(); ++i)
        _ui->locationFilter->addItem(_locations.at(i).name, i);
    // One root needs no choice.
    _ui->locationFilter->setVisible(_locations.size() > 1);

    _ui->kindFilter->addItem(tr("All Kinds"), quint64(0));
    const std::pair<quint64, QString> kinds[] = {
        {1, tr("Effects")}, {2, tr("Generators")}, {3, tr("Titles")}, {4, tr("Transitions")}};
    for (const auto &[type, name] : kinds)
        _ui->kindFilter->addItem(name, type);

    _ui->categoryFilter->addItem(tr("All Categories"));
}

void TemplateLibraryWindow::refreshCategories()
{
    QComboBox *combo = _ui->categoryFilter;
    const QStringList categories = _model->categories();
    QStringList shown;
    for (int i = 1; i < combo->count(); ++i)
        shown.append(combo->itemText(i));
    if (shown == categories)
        return;
    const QString chosen = combo->currentIndex() > 0 ? combo->currentText() : QString();
    const QSignalBlocker blocker(combo);
    while (combo->count() > 1)
        combo->removeItem(1);
    combo->addItems(categories);
    // A category that is gone leaves its filter on until the user changes
    // it; otherwise a removal would suddenly show everything.
    int index = chosen.isNull() ? 0 : int(categories.indexOf(chosen)) + 1;
    if (!chosen.isNull() && index == 0) {
        combo->addItem(chosen);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

void TemplateLibraryWindow::applyFilters()
{
    _filter->setRootIndex(_ui->locationFilter->currentData().toInt());
    _filter->setTemplateType(_ui->kindFilter->currentData().toULongLong());
    _filter->setCategory(_ui->categoryFilter->currentIndex() > 0 ? _ui->categoryFilter->currentText() : QString());
    updateState();
}

QList<int> TemplateLibraryWindow::selectedRows() const
{
    QModelIndexList selected = _ui->templatesTable->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(), [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QList<int> rows;
    rows.reserve(selected.size());
    for (const QModelIndex &index : std::as_const(selected))
        rows.append(_filter->mapToSource(index).row());
    return rows;
}

bool TemplateLibraryWindow::selectTemplate(const QString &key)
{
    const int row = _model->rowForKey(key);
    const QModelIndex index = row < 0 ? QModelIndex() : _filter->mapFromSource(_model->index(row, 0));
    if (!index.isValid())
        return false;
    _ui->templatesTable->selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    _ui->templatesTable->scrollTo(index);
    return true;
}

QString TemplateLibraryWindow::statusText() const
{
    return _ui->statusLabel->text();
}

void TemplateLibraryWindow::updateState()
{
    const int total = _model->rowCount();
    const int shown = _filter->rowCount();
    const int selected = int(_ui->templatesTable->selectionModel()->selectedRows().size());

    QString status;
    if (!_model->hasScanned()) {
        status = tr("Looking for installed templates…");
    } else {
        status = _filter->isFiltering()
            ? tr("%1 of %2 shown").arg(QLocale().toString(shown), templateCount(total))
            : templateCount(total);
        if (total > 0)
            status += QStringLiteral(", ") + ByteSize::forDisplay(_model->totalSize());
        if (selected > 0)
            status += QStringLiteral(" · ") + tr("%1 selected").arg(QLocale().toString(selected));
    }
    _ui->statusLabel->setText(status);

    const bool empty = _model->hasScanned() && shown == 0;
    if (empty) {
        _ui->emptyLabel->setText(total == 0 ? tr("No templates are installed yet.\n\nOpen a template archive "
                                                 "(File > Open…) to install its templates; they appear here.")
                                            : tr("No template matches the search and the filters."));
    }
    _ui->contentStack->setCurrentWidget(empty ? _ui->emptyPage : _ui->tablePage);

    const bool idle = !_busy;
    _removeAction->setEnabled(idle && selected > 0);
    _revealAction->setEnabled(idle && selected > 0);
    _verifyAction->setEnabled(idle && total > 0);
    _verifyAction->setText(selected > 0 ? tr("Verify") : tr("Verify All"));
    const QList<QUrl> archives = selected > 0 ? reinstallableArchives() : QList<QUrl>();
    _reinstallAction->setEnabled(idle && !archives.isEmpty());
    _ui->reinstallButton->setToolTip(
        archives.isEmpty() && selected > 0
            ? tr("The archive the selected templates came from is no longer where it was installed from, or no "
                 "receipt names it.")
            : tr("Open the archive the selected templates came from, to install it again"));
    for (auto [button, action] : {std::pair{_ui->removeButton, _removeAction}, std::pair{_ui->revealButton, _revealAction},
                                  std::pair{_ui->verifyButton, _verifyAction},
                                  std::pair{_ui->reinstallButton, _reinstallAction}})
        button->setEnabled(action->isEnabled());
    _ui->verifyButton->setText(_verifyAction->text());
    for (QWidget *control : {static_cast<QWidget *>(_ui->searchField), static_cast<QWidget *>(_ui->locationFilter),
                             static_cast<QWidget *>(_ui->kindFilter), static_cast<QWidget *>(_ui->categoryFilter)})
        control->setEnabled(idle);
    updateRemovedState();
}

void TemplateLibraryWindow::rememberView()
{
    QTableView *table = _ui->templatesTable;
    _keptSelection.clear();
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    for (const QModelIndex &index : selected)
        _keptSelection.append(index.data(TemplateLibraryModel::KeyRole).toString());
    _keptCurrent = table->currentIndex().data(TemplateLibraryModel::KeyRole).toString();
    const QModelIndex top = table->indexAt(QPoint(0, 0));
    _keptTopRow = top.data(TemplateLibraryModel::KeyRole).toString();
    _keptTopOffset = top.isValid() ? table->visualRect(top).top() : 0;
}

void TemplateLibraryWindow::restoreView()
{
    QTableView *table = _ui->templatesTable;
    auto proxyRow = [this](const QString &key) {
        const int row = key.isEmpty() ? -1 : _model->rowForKey(key);
        return row < 0 ? -1 : _filter->mapFromSource(_model->index(row, 0)).row();
    };
    std::vector<int> rows;
    rows.reserve(size_t(_keptSelection.size()));
    for (const QString &key : std::as_const(_keptSelection)) {
        const int row = proxyRow(key);
        if (row >= 0)
            rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    // Runs of rows as ranges: a selection of thousands stays cheap.
    QItemSelection selection;
    for (size_t i = 0; i < rows.size();) {
        size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
            ++j;
        selection.select(_filter->index(rows[i], 0), _filter->index(rows[j], TemplateLibraryModel::ColumnCount - 1));
        i = j + 1;
    }
    const int current = proxyRow(_keptCurrent);
    if (current >= 0)
        table->selectionModel()->setCurrentIndex(_filter->index(current, 0), QItemSelectionModel::NoUpdate);
    if (!selection.isEmpty())
        table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);

    const int top = proxyRow(_keptTopRow);
    if (top >= 0) {
        // The scroll bars learn the new row count here, not later.
        table->doItemsLayout();
        table->scrollTo(_filter->index(top, 0), QAbstractItemView::PositionAtTop);
        table->verticalScrollBar()->setValue(table->verticalScrollBar()->value() - _keptTopOffset);
    }
    _keptSelection.clear();
    _keptCurrent.clear();
    _keptTopRow.clear();
}

QList<QUrl> TemplateLibraryWindow::reinstallableArchives() const
{
    QStringList paths;
    for (int row : selectedRows()) {
        const TemplateLibrary::InstalledTemplate &item = _model->installedTemplate(row);
        if (!item.originArchivePath.isEmpty() && !paths.contains(item.originArchivePath))
            paths.append(item.originArchivePath);
    }
    QList<QUrl> archives;
    for (const QString &path : std::as_const(paths)) {
        if (QFileInfo(path).isFile())
            archives.append(QUrl::fromLocalFile(path));
    }
    return archives;
}

void TemplateLibraryWindow::removeSelected()
{
    if (_busy)
        return;
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    // By place, not by row: a rescan may come before the answer.
    std::vector<Target> targets;
    for (int row : rows) {
        const TemplateLibrary::InstalledTemplate &item = _model->installedTemplate(row);
        targets.push_back({_model->rootIndex(row), item.destination, _model->title(row)});
    }
    const int count = int(targets.size());
    const QString question = count == 1 ? tr("Remove “%1”?").arg(targets.front().title)
                                        : tr("Remove %1 templates?").arg(QLocale().toString(count));
    const QString information =
        count == 1 ? tr("The template is moved to the Trash, where you can get it back; Final Cut Pro no longer shows it.")
                   : tr("The %1 templates are moved to the Trash, where you can get them back; Final Cut Pro no "
                        "longer shows them.").arg(QLocale().toString(count));
    QPointer<TemplateLibraryWindow> alive(this);
    Alert::beginSheet(this, question, information, tr("Remove"), QString(), tr("Cancel"), [alive, targets](int answer) {
        if (!alive || answer != 1)
            return;
        std::map<int, QStringList> byRoot;
        for (const Target &target : targets)
            byRoot[target.rootIndex].append(target.destination);
        // Not inside the sheet's own handler: the work runs an event loop.
        QTimer::singleShot(0, alive, [alive, byRoot] {
            if (alive)
                alive->removeNow(byRoot);
        });
    });
}

void TemplateLibraryWindow::removeNow(const std::map<int, QStringList> &byRoot)
{
    if (_busy)
        return;
    QPointer<TemplateLibraryWindow> alive(this);
    setBusy(true);
    int removed = 0;
    int failed = 0;
    bool deleted = false;
    std::optional<Error> firstError;
    {
        BackgroundWork work(this, tr("Moving templates to the Trash…"));
        const QStringList roots = _model->roots();
        work.run([&](ProgressListener &listener) {
            for (const auto &[rootIndex, destinations] : byRoot) {
                TemplateTransaction::RemovalReport report;
                // Rows whose template went since the last scan (in the file
                // manager, say) are left out rather than refusing the rest.
                const QString root = roots.value(rootIndex);
                const QStringList present = TemplateLibrary::resolve(root, destinations);
                const std::optional<Error> error = TemplateLibrary::remove(
                    root, present, TemplateTransaction::Disposal::Trash, &listener, &report);
                removed += report.removed;
                failed += report.failed;
                deleted = deleted || (report.removed > 0 && !report.trashed);
                if (!firstError)
                    firstError = error ? error : report.firstError;
            }
        });
    }
    if (!alive)
        return;
    setBusy(false);
    _model->rescan();
    if (failed > 0 || (firstError && removed == 0)) {
        QString text = tr("%1 removed.").arg(templateCount(removed));
        if (firstError)
            text += QLatin1Char('\n') + firstError->localizedDescription();
        Alert::beginSheet(this, tr("Some Templates Were Not Removed"), text, tr("Ok"), QString(), QString());
    } else if (deleted) {
        Alert::beginSheet(this, tr("Templates Deleted"), tr("Their volume has no Trash, so they were deleted."),
                          tr("Ok"), QString(), QString());
    }
}

void TemplateLibraryWindow::setBusy(bool busy)
{
    _busy = busy;
    updateState();
    if (!busy && _closeWhenDone)
        QTimer::singleShot(0, this, &QWidget::close);
}

void TemplateLibraryWindow::revealSelected()
{
    const QModelIndex current = _ui->templatesTable->currentIndex();
    QList<int> rows = selectedRows();
    if (current.isValid() && _ui->templatesTable->selectionModel()->isRowSelected(current.row(), QModelIndex()))
        rows = {_filter->mapToSource(current).row()};
    if (rows.isEmpty())
        return;
    revealInFileManager(_model->folderPath(rows.first()));
}

void TemplateLibraryWindow::revealInFileManager(const QString &path)
{
#ifdef Q_OS_MACOS
    // The Finder opens the enclosing folder with the item selected.
    if (QProcess::startDetached(QStringLiteral("/usr/bin/open"), {QStringLiteral("-R"), path}))
        return;
#endif
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

void TemplateLibraryWindow::verifySelected()
{
    if (_busy || _model->rowCount() == 0)
        return;
    std::map<int, QStringList> byRoot;
    const QList<int> rows = selectedRows();
    if (rows.isEmpty()) {
        for (int i = 0; i < _locations.size(); ++i)
            byRoot[i] = QStringList();
    } else {
        for (int row : rows)
            byRoot[_model->rootIndex(row)].append(_model->installedTemplate(row).destination);
    }
    const QStringList roots = _model->roots();
    std::vector<TemplateLibrary::Verification> results;
    setBusy(true);
    bool cancelled = false;
    {
        BackgroundWork work(this, tr("Verifying templates…"));
        work.run([&](ProgressListener &listener) {
            for (const auto &[rootIndex, destinations] : byRoot) {
                const QString &root = roots.at(rootIndex);
                if (root.isEmpty() || !QFileInfo(root).isDir())
                    continue;
                std::vector<TemplateLibrary::Verification> found = TemplateLibrary::verify(root, destinations, &listener);
                std::move(found.begin(), found.end(), std::back_inserter(results));
            }
        });
        cancelled = work.isCancelled();
    }
    setBusy(false);
    if (cancelled)
        return;
    auto *dialog = new TemplateVerificationDialog(results, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    DarkAppearance::apply(dialog);
    dialog->open();
    emit verificationShown(dialog);
}

void TemplateLibraryWindow::reinstallSelected()
{
    const QList<QUrl> archives = reinstallableArchives();
    if (!_busy && !archives.isEmpty())
        emit reinstallRequested(archives);
}

void TemplateLibraryWindow::closeEvent(QCloseEvent *event)
{
    // Work under way finishes first; it cannot be left half done.
    if (_busy) {
        _closeWhenDone = true;
        event->ignore();
        return;
    }
    event->accept();
}
