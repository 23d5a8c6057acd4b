// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Library/TemplateLibraryWindow.h"
#include "ui_TemplateLibraryWindow.h"

#include "Appearance/DarkAppearance.h"
#include "Interface/Alert.h"
#include "Interface/BackgroundWork.h"
#include "Interface/Elevation.h"
#include "Interface/FileManager.h"
#include "Interface/FinalCutNotice.h"
#include "Common/ByteSize.h"
#include "Installer/RecentlyRemoved.h"
#include "Installer/TemplateInstaller.h"
#include "Installer/TemplateLibrary.h"
#include "Library/LibraryPreviewPane.h"
#include "Metadata/TemplateHiding.h"
#include "Library/RecentlyRemovedPane.h"
#include "Library/TemplateLibraryFilterModel.h"
#include "Library/TemplateLibraryModel.h"
#include "Library/TemplateVerificationDialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QShowEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QItemSelection>
#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <map>
#include <memory>

#include <unistd.h>

namespace {

// Room for the 36-pixel thumbnail and its margins.
constexpr int RowHeight = 42;

// "1 template", "10,000 templates".
QString templateCount(int count)
{
    return count == 1 ? TemplateLibraryWindow::tr("1 template")
                      : TemplateLibraryWindow::tr("%1 templates").arg(QLocale().toString(count));
}

// A selected template by place, kept while the confirmation is up.
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
    setUpPreviewPane();
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
    // Watching before the first scan: a change made while it runs is heard and
    // scanned again.
    _model->setWatching(true);
    _model->setRoots(roots);

    DarkAppearance::apply(this);
    DarkAppearance::apply(_contextMenu);
    updateState();
}

TemplateLibraryWindow::~TemplateLibraryWindow() = default;

void TemplateLibraryWindow::createActions()
{
    _removeAction = new QAction(tr("Remove..."), this);
    _removeAction->setObjectName(QStringLiteral("removeAction"));
    _removeAction->setShortcuts({QKeySequence::Delete, QKeySequence(Qt::CTRL | Qt::Key_Backspace)});
    // This window only: Delete pressed in a collection window must not remove
    // templates here.
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

    _hideAction = new QAction(tr("Hide from Final Cut Pro"), this);
    _hideAction->setObjectName(QStringLiteral("hideAction"));
    _hideAction->setToolTip(tr("Final Cut Pro's browser no longer lists the template; projects that use it still play it"));
    connect(_hideAction, &QAction::triggered, this, &TemplateLibraryWindow::hideSelected);

    _showAction = new QAction(tr("Show in Final Cut Pro"), this);
    _showAction->setObjectName(QStringLiteral("showAction"));
    _showAction->setToolTip(tr("Final Cut Pro's browser lists the template again"));
    connect(_showAction, &QAction::triggered, this, &TemplateLibraryWindow::showSelected);

    // On the window too, so their shortcuts work without the menu open.
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
    _contextMenu->addActions({_hideAction, _showAction});
    _contextMenu->addSeparator();
    _contextMenu->addAction(_removeAction);

    _templatesMenu = new QMenu(tr("&Templates"), this);
    _templatesMenu->setObjectName(QStringLiteral("templatesMenu"));
    _templatesMenu->addActions(_contextMenu->actions());

    // One button for both: it hides while any selected template is shown.
    _hideButton = new QPushButton(_hideAction->text(), _ui->installedTab);
    _hideButton->setObjectName(QStringLiteral("hideButton"));
    _ui->bottomLayout->insertWidget(_ui->bottomLayout->indexOf(_ui->removeButton), _hideButton);
    connect(_hideButton, &QPushButton::clicked, this, [this] {
        if (_hideAction->isEnabled())
            _hideAction->trigger();
        else
            _showAction->trigger();
    });
}

void TemplateLibraryWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // The application's menu bar is set on the window (not on macOS, where
    // it is the system's); the window's own menu joins it once.
    if (auto *bar = qobject_cast<QMenuBar *>(menuWidget()); bar && !bar->actions().contains(_templatesMenu->menuAction())) {
        const QList<QAction *> menus = bar->actions();
        bar->insertMenu(menus.size() > 1 ? menus.at(1) : nullptr, _templatesMenu);
        DarkAppearance::apply(_templatesMenu);
    }
}

void TemplateLibraryWindow::setUpTable()
{
    QTableView *table = _ui->templatesTable;
    table->setModel(_filter);
    table->setIconSize(TemplateLibraryModel::thumbnailSize());
    // Archive names differ at their ends as often as at their starts
    // ("…_v2"): both stay, the middle goes; the tool tip has them whole.
    table->setTextElideMode(Qt::ElideMiddle);
    // Fixed row heights: the view never measures 10,000 rows.
    QHeaderView *rows = table->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(RowHeight);
    QHeaderView *columns = table->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setSectionResizeMode(TemplateLibraryModel::PreviewColumn, QHeaderView::Fixed);
    columns->setSortIndicatorShown(true);
    // As in the collection window.
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const std::pair<int, int> widths[] = {
        {TemplateLibraryModel::PreviewColumn, TemplateLibraryModel::thumbnailSize().width() + 16},
        // Narrower than the title once was: the marks column and the preview
        // pane share the width, and the installed time must still fit.
        {TemplateLibraryModel::TitleColumn, 190},
        {TemplateLibraryModel::KindColumn, 80},
        {TemplateLibraryModel::CategoryColumn, 140},
        {TemplateLibraryModel::SizeColumn, 72},
        {TemplateLibraryModel::OriginColumn, 170},
        {TemplateLibraryModel::InstalledColumn, 130},
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
        // A right click outside the selection selects that row: the menu acts on
        // what was clicked, not on rows out of view.
        const QModelIndex clicked = table->indexAt(position);
        if (clicked.isValid() && !table->selectionModel()->isRowSelected(clicked.row(), QModelIndex()))
            table->selectionModel()->select(clicked, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        updateState();
        _contextMenu->popup(table->viewport()->mapToGlobal(position));
    });
    connect(table, &QAbstractItemView::doubleClicked, this, [this] { revealSelected(); });
}

void TemplateLibraryWindow::setUpPreviewPane()
{
    // Made here rather than in the form: the table and the pane share a
    // splitter, the table taking what the window gains.
    QTableView *table = _ui->templatesTable;
    QLayout *layout = _ui->tablePageLayout;
    auto *splitter = new QSplitter(Qt::Horizontal, _ui->tablePage);
    splitter->setObjectName(QStringLiteral("libraryContentSplitter"));
    splitter->setChildrenCollapsible(false);
    const int at = layout->indexOf(table);
    layout->removeWidget(table);
    static_cast<QVBoxLayout *>(layout)->insertWidget(at, splitter, 1);
    _previewPane = new LibraryPreviewPane(_model, splitter);
    splitter->addWidget(table);
    splitter->addWidget(_previewPane);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    // The form's size was chosen for the table alone: the pane widens the
    // window rather than squeezing the columns.
    resize(width() + _previewPane->minimumWidth() + splitter->handleWidth(), height());
    // Beside the title: what the template needs is read with its name.
    table->horizontalHeader()->moveSection(TemplateLibraryModel::MarksColumn, TemplateLibraryModel::TitleColumn + 1);
    table->setColumnWidth(TemplateLibraryModel::MarksColumn, 44);
    connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TemplateLibraryWindow::showCurrentInPane);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TemplateLibraryWindow::showCurrentInPane);
    // Hide and Show follow what the selected templates' documents say, which
    // may arrive after the selection.
    connect(_model, &TemplateLibraryModel::documentReady, this, [this](int row) {
        const QModelIndex shown = _filter->mapFromSource(_model->index(row, 0));
        if (shown.isValid() && _ui->templatesTable->selectionModel()->isRowSelected(shown.row(), QModelIndex()))
            updateState();
    });
    // Rows are renumbered by a rescan; the pane follows its template.
    connect(_filter, &QAbstractItemModel::modelReset, this, &TemplateLibraryWindow::showCurrentInPane);
    connect(_filter, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &first, const QModelIndex &last) {
        const QModelIndex current = _ui->templatesTable->currentIndex();
        if (current.isValid() && current.row() >= first.row() && current.row() <= last.row())
            showCurrentInPane();
    });
}

void TemplateLibraryWindow::showCurrentInPane()
{
    // The current row while it is selected: after a search hid the selection,
    // it is nothing the buttons would act on.
    const QModelIndex current = _ui->templatesTable->currentIndex();
    const bool selected = current.isValid() && _ui->templatesTable->selectionModel()->isRowSelected(current.row(), QModelIndex());
    _previewPane->showRow(selected ? _filter->mapToSource(current).row() : -1);
}

void TemplateLibraryWindow::setUpRemovedTable()
{
    RecentlyRemovedPane::Hooks hooks;
    hooks.setBusy = [this](bool busy) { setBusy(busy); };
    hooks.isBusy = [this] { return _busy; };
    hooks.restored = [this] { _model->rescan(); };
    hooks.loaded = [this] { emit recentlyRemovedLoaded(); };
    _removed = new RecentlyRemovedPane(*_ui, _restoreAction, this, std::move(hooks));
    QStringList roots;
    for (const Location &location : std::as_const(_locations))
        roots.append(location.root);
    _removed->setRoots(roots);
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

RecentlyRemovedModel *TemplateLibraryWindow::removedModel() const
{
    return _removed->model();
}

bool TemplateLibraryWindow::hasLoadedRemoved() const
{
    return _removed->hasLoaded();
}

void TemplateLibraryWindow::refreshRecentlyRemoved()
{
    _removed->refresh();
}

void TemplateLibraryWindow::restoreSelectedRemoved()
{
    _removed->restoreSelected();
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
    // No filtering while the list is rebuilt: applyFilters() would see it half
    // made and show every category for a moment.
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
    // The view hands them in selection order; the confirmation names the first
    // row the user sees.
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
    const bool anyShown = !selectedRowsHidden(false).isEmpty();
    const bool anyHidden = !selectedRowsHidden(true).isEmpty();
    _hideAction->setEnabled(idle && anyShown);
    _showAction->setEnabled(idle && anyHidden);
    _hideButton->setEnabled(idle && (anyShown || anyHidden));
    _hideButton->setText(anyHidden && !anyShown ? _showAction->text() : _hideAction->text());
    _hideButton->setToolTip(anyHidden && !anyShown ? _showAction->toolTip() : _hideAction->toolTip());
    for (auto [button, action] : {std::pair{_ui->removeButton, _removeAction}, std::pair{_ui->revealButton, _revealAction},
                                  std::pair{_ui->verifyButton, _verifyAction},
                                  std::pair{_ui->reinstallButton, _reinstallAction}})
        button->setEnabled(action->isEnabled());
    _ui->verifyButton->setText(_verifyAction->text());
    for (QWidget *control : {static_cast<QWidget *>(_ui->searchField), static_cast<QWidget *>(_ui->locationFilter),
                             static_cast<QWidget *>(_ui->kindFilter), static_cast<QWidget *>(_ui->categoryFilter)})
        control->setEnabled(idle);
    _removed->updateState();
}

void TemplateLibraryWindow::rememberView()
{
    QTableView *table = _ui->templatesTable;
    // By key, not row: the reset renumbers every row.
    _keptSelection.clear();
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    for (const QModelIndex &index : selected)
        _keptSelection.append(index.data(TemplateLibraryModel::KeyRole).toString());
    _keptCurrent = table->currentIndex().data(TemplateLibraryModel::KeyRole).toString();
    // The top row and how far it stands out of view, so the table does not
    // jump when the rows under it change.
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
        // Only archives still there: opening a moved one would only fail later.
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
    // The sheet answers later, from the event loop; the window may be gone.
    QPointer<TemplateLibraryWindow> alive(this);
    QMessageBox *sheet = Alert::beginSheet(this, question, information, {tr("Remove"), QString(), tr("Cancel")}, [alive, targets](int answer) {
        if (!alive || answer != 1)
            return;
        std::map<int, QStringList> byRoot;
        for (const Target &target : targets)
            byRoot[target.rootIndex].append(target.destination);
        alive->removeNow(byRoot);
    });
    Alert::preferCancel(sheet);
}

void TemplateLibraryWindow::removeNow(const std::map<int, QStringList> &byRoot)
{
    if (_busy)
        return;
    setBusy(true);
    auto outcome = std::make_shared<Removal>();
    auto *work = new BackgroundWork(this, tr("Moving templates to the Trash…"), this);
    connect(work, &BackgroundWork::finished, this, [this, work, outcome] {
        work->deleteLater();
        setBusy(false);
        // The watcher would notice too, but only after its delay: the rows that
        // went should go with the progress dialog.
        _model->rescan();
        reportRemoval(*outcome);
    });
    work->start([outcome, byRoot, roots = _model->roots()](ProgressListener &listener) {
        for (const auto &[rootIndex, destinations] : byRoot) {
            TemplateTransaction::RemovalReport report;
            // Rows whose template went since the last scan (in the file
            // manager, say) are left out rather than refusing the rest.
            const QString root = roots.value(rootIndex);
            const QStringList present = TemplateLibrary::resolve(root, destinations);
            if (Elevation::isNeeded(root)) {
                removeElevated(root, present, *outcome);
                continue;
            }
            const std::optional<Error> error =
                TemplateLibrary::remove(root, present, TemplateTransaction::Disposal::Trash, &listener, &report);
            outcome->removed += report.removed;
            outcome->failed += report.failed;
            // One root without a Trash is enough for the warning: those are gone.
            outcome->deleted = outcome->deleted || (report.removed > 0 && !report.trashed);
            if (!outcome->firstError)
                outcome->firstError = error ? error : report.firstError;
        }
        if (outcome->removed > 0)
            outcome->runningFinalCut = FinalCutNotice::runningFinalCut();
    });
}

// The folder of all users, which this process may not change: the bundled
// mtzip removes them there, run with the administrator's permission, into
// this user's Trash.
void TemplateLibraryWindow::removeElevated(const QString &root, const QStringList &destinations, Removal &outcome)
{
    if (destinations.isEmpty())
        return;
    const Elevation::Result result = Elevation::run(
        QStringList{QStringLiteral("remove"), QStringLiteral("--dest"), root, QStringLiteral("--trash"),
                    QStringLiteral("--remove-edited"), QStringLiteral("--json"), QStringLiteral("--trash-owner"),
                    QString::number(::getuid()), QStringLiteral("--")}
        + destinations);
    if (result.outcome == Elevation::Result::Outcome::Declined) {
        outcome.declined = true;
        return;
    }
    const int removed = result.document.value(QStringLiteral("removed")).toInt();
    outcome.removed += removed;
    outcome.failed += result.document.value(QStringLiteral("failed")).toInt();
    outcome.deleted = outcome.deleted || (removed > 0 && !result.document.value(QStringLiteral("trashed")).toBool());
    if (result.outcome == Elevation::Result::Outcome::Failed && !outcome.firstError) {
        const QString said = result.document.value(QStringLiteral("error")).toString();
        outcome.firstError = Error(QStringLiteral("Elevation"), result.exitCode, said.isEmpty() ? result.message : said);
    }
}

void TemplateLibraryWindow::reportRemoval(const Removal &outcome)
{
    // Nobody gave the administrator's permission: nothing was changed, which
    // the rows still standing show.
    if (outcome.declined && outcome.removed == 0 && outcome.failed == 0 && !outcome.firstError)
        return;
    if (outcome.failed > 0 || (outcome.firstError && outcome.removed == 0)) {
        QString text = tr("%1 removed.").arg(templateCount(outcome.removed));
        if (outcome.firstError)
            text += QLatin1Char('\n') + outcome.firstError->localizedDescription();
        Alert::beginSheet(this, tr("Some Templates Were Not Removed"), text, {tr("OK"), QString(), QString()});
    } else if (outcome.deleted) {
        Alert::beginSheet(this, tr("Templates Deleted"), tr("Their volume has no Trash, so they were deleted."), {tr("OK"), QString(), QString()});
    } else if (!outcome.runningFinalCut.isEmpty()) {
        offerToReopenFinalCut(tr("Templates Removed"), tr("%1 removed.").arg(templateCount(outcome.removed)),
                              outcome.runningFinalCut);
    }
}

void TemplateLibraryWindow::offerToReopenFinalCut(const QString &title, const QString &text, const QString &finalCut)
{
    QPointer<TemplateLibraryWindow> alive(this);
    Alert::beginSheet(this, title, text + QLatin1Char('\n') + FinalCutNotice::note(),
                      {tr("OK"), FinalCutNotice::reopenButton(), QString()}, [alive, finalCut](int answer) {
                          if (alive && answer == 0)
                              FinalCutNotice::reopen(alive, finalCut);
                      });
}

QList<int> TemplateLibraryWindow::selectedRowsHidden(bool hidden) const
{
    QList<int> rows;
    for (int row : selectedRows()) {
        // Only what a read document says: a template whose document did not
        // read (or not yet) is neither hidden nor shown.
        const DocumentLoader::Document document = _model->document(row);
        if (document && *document && (*document)->isObsolete() == hidden)
            rows.append(row);
    }
    return rows;
}

void TemplateLibraryWindow::hideSelected()
{
    setHiddenNow(true);
}

void TemplateLibraryWindow::showSelected()
{
    setHiddenNow(false);
}

void TemplateLibraryWindow::setHiddenNow(bool hidden)
{
    if (_busy)
        return;
    const QList<int> rows = selectedRowsHidden(!hidden);
    if (rows.isEmpty())
        return;
    std::map<int, QStringList> byRoot;
    QStringList keys;
    for (int row : rows) {
        byRoot[_model->rootIndex(row)].append(_model->installedTemplate(row).destination);
        keys.append(TemplateLibraryModel::key(_model->rootIndex(row), _model->installedTemplate(row).destination));
    }
    setBusy(true);
    struct Edited
    {
        int done = 0;
        int failed = 0;
        std::optional<Error> firstError;
        QString runningFinalCut;
    };
    auto outcome = std::make_shared<Edited>();
    auto *work = new BackgroundWork(this, hidden ? tr("Hiding templates…") : tr("Showing templates…"), this);
    connect(work, &BackgroundWork::finished, this, [this, work, outcome, keys, hidden] {
        work->deleteLater();
        setBusy(false);
        // Edited in place: the rows stand, their documents are read again.
        QList<int> edited;
        for (const QString &key : keys)
            edited.append(_model->rowForKey(key));
        _model->rereadDocuments(edited);
        _model->rescan();
        if (outcome->failed > 0) {
            QString text = hidden ? tr("%1 hidden.").arg(templateCount(outcome->done))
                                  : tr("%1 shown again.").arg(templateCount(outcome->done));
            if (outcome->firstError)
                text += QLatin1Char('\n') + outcome->firstError->localizedDescription();
            Alert::beginSheet(this, hidden ? tr("Some Templates Were Not Hidden") : tr("Some Templates Were Not Shown"),
                              text, {tr("OK"), QString(), QString()});
        } else if (!outcome->runningFinalCut.isEmpty()) {
            offerToReopenFinalCut(hidden ? tr("Templates Hidden") : tr("Templates Shown"),
                                  hidden ? tr("%1 hidden.").arg(templateCount(outcome->done))
                                         : tr("%1 shown again.").arg(templateCount(outcome->done)),
                                  outcome->runningFinalCut);
        }
    });
    work->start([outcome, byRoot, hidden, roots = _model->roots()](ProgressListener &listener) {
        for (const auto &[rootIndex, destinations] : byRoot) {
            if (Elevation::isNeeded(roots.value(rootIndex))) {
                setHiddenElevated(roots.value(rootIndex), destinations, hidden, outcome->done, outcome->failed,
                                  outcome->firstError);
                continue;
            }
            for (const TemplateHiding::Outcome &one : TemplateHiding::setHidden(roots.value(rootIndex), destinations, hidden, &listener)) {
                if (one.result == TemplateHiding::Result::Done || one.result == TemplateHiding::Result::AlreadySo) {
                    ++outcome->done;
                } else if (one.result != TemplateHiding::Result::Cancelled) {
                    ++outcome->failed;
                    if (!outcome->firstError)
                        outcome->firstError = one.error;
                }
            }
        }
        if (outcome->done > 0)
            outcome->runningFinalCut = FinalCutNotice::runningFinalCut();
    });
}

void TemplateLibraryWindow::setHiddenElevated(const QString &root, const QStringList &destinations, bool hidden,
                                              int &done, int &failed, std::optional<Error> &firstError)
{
    const Elevation::Result result = Elevation::run(
        QStringList{hidden ? QStringLiteral("hide") : QStringLiteral("show"), QStringLiteral("--dest"), root,
                    QStringLiteral("--json"), QStringLiteral("--")}
        + destinations);
    if (result.outcome == Elevation::Result::Outcome::Declined)
        return;
    const QJsonArray templates = result.document.value(QStringLiteral("templates")).toArray();
    for (const QJsonValue &one : templates) {
        const QJsonValue error = one.toObject().value(QStringLiteral("error"));
        if (error.isNull()) {
            ++done;
            continue;
        }
        ++failed;
        if (!firstError)
            firstError = Error(QStringLiteral("Elevation"), result.exitCode, error.toString());
    }
    // No answer per template (a refused folder, an unknown name): all failed.
    if (result.outcome == Elevation::Result::Outcome::Failed && templates.isEmpty()) {
        failed += int(destinations.size());
        if (!firstError)
            firstError = Error(QStringLiteral("Elevation"), result.exitCode, result.message);
    }
}

void TemplateLibraryWindow::setBusy(bool busy)
{
    _busy = busy;
    updateState();
    // From the event loop: this runs inside the work's finished handler, and
    // the close deletes the window.
    if (!busy && _closeWhenDone)
        QTimer::singleShot(0, this, &QWidget::close);
}

void TemplateLibraryWindow::revealSelected()
{
    const QModelIndex current = _ui->templatesTable->currentIndex();
    QList<int> rows = selectedRows();
    // One template is revealed, the current one when selected: a file manager
    // window per selected row would flood the screen.
    if (current.isValid() && _ui->templatesTable->selectionModel()->isRowSelected(current.row(), QModelIndex()))
        rows = {_filter->mapToSource(current).row()};
    if (rows.isEmpty())
        return;
    FileManager::reveal(_model->folderPath(rows.first()));
}

void TemplateLibraryWindow::verifySelected()
{
    if (_busy || _model->rowCount() == 0)
        return;
    std::map<int, QStringList> byRoot;
    const QList<int> rows = selectedRows();
    if (rows.isEmpty()) {
        // An empty list verifies the whole root.
        for (int i = 0; i < _locations.size(); ++i)
            byRoot[i] = QStringList();
    } else {
        for (int row : rows)
            byRoot[_model->rootIndex(row)].append(_model->installedTemplate(row).destination);
    }
    setBusy(true);
    auto results = std::make_shared<std::vector<TemplateLibrary::Verification>>();
    auto *work = new BackgroundWork(this, tr("Verifying templates…"), this);
    connect(work, &BackgroundWork::finished, this, [this, work, results] {
        work->deleteLater();
        setBusy(false);
        // A cancelled Verify compared only part: no report rather than a partial
        // one that reads as complete.
        if (!work->isCancelled())
            showVerification(*results);
    });
    work->start([results, byRoot, roots = _model->roots()](ProgressListener &listener) {
        for (const auto &[rootIndex, destinations] : byRoot) {
            const QString &root = roots.at(rootIndex);
            if (root.isEmpty() || !QFileInfo(root).isDir())
                continue;
            std::vector<TemplateLibrary::Verification> found = TemplateLibrary::verify(root, destinations, &listener);
            std::move(found.begin(), found.end(), std::back_inserter(*results));
        }
    });
}

void TemplateLibraryWindow::showVerification(const std::vector<TemplateLibrary::Verification> &results)
{
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
