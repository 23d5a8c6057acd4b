// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/CollectionWindowController.h"
#include "ui_TemplateArchiveCollection.h"

#include "Appearance/DarkAppearance.h"
#include "Collections/EffectsFilterModel.h"
#include "Collections/EffectsTableModel.h"
#include "Collections/EffectsTableView.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionWindow.h"
#include "Documents/CollectionOpeningRules.h"
#include "Documents/TemplateArchiveDocument.h"
#include "Installer/TemplateInstallerV2.h"
#include "Interface/FileManager.h"
#include "Interface/PreviewPanel.h"
#include "Interface/WindowMemory.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QShortcut>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

namespace {

enum class Status { NotInstalled, Installed, InstalledElsewhere };

QPixmap statusImage(Status status)
{
    // A circle of diameter 10 centred in 20 x 20: filled green when
    // installed, amber when the copy came from elsewhere, outlined in dark
    // gray either way.
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath circle;
    circle.addEllipse(QRectF(5, 5, 10, 10));
    if (status != Status::NotInstalled) {
        QColor fill = status == Status::Installed ? QColor(Qt::green) : QColor(255, 176, 0);
        fill.setAlphaF(status == Status::Installed ? 0.6f : 0.85f);
        painter.fillPath(circle, fill);
    }
    painter.strokePath(circle, QPen(QColor(Qt::darkGray), 1.0));
    return pixmap;
}

void setUpColumns(QHeaderView *header)
{
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->resizeSection(EffectsTableModel::IndexColumn, 56);
    header->resizeSection(EffectsTableModel::InstalledColumn, 34);
    header->setSectionResizeMode(EffectsTableModel::InstalledColumn, QHeaderView::Fixed);
    // Room for a few letters; the tool tip says what they mean.
    header->resizeSection(EffectsTableModel::MarksColumn, 48);
    header->resizeSection(EffectsTableModel::KindColumn, 90);
    header->resizeSection(EffectsTableModel::CategoryColumn, 150);
    header->setSectionResizeMode(EffectsTableModel::TitleColumn, QHeaderView::Stretch);
    header->resizeSection(EffectsTableModel::PreviewColumn, EffectsTableModel::ThumbnailSize.width() + 16);
    header->setSectionResizeMode(EffectsTableModel::PreviewColumn, QHeaderView::Fixed);
}

// Reveal and the double-click look in the user's folder only: that is where
// this window installs, whatever other roots hold.
QString installedFolder()
{
    return TemplateInstaller::userDestMotionTemplatesFolder();
}

} // namespace

CollectionWindowController::CollectionWindowController(TemplateArchiveCollection &collection)
    : _collection(collection)
{
}

CollectionWindowController::~CollectionWindowController()
{
    // The view first: it must not paint from a model being deleted.
    if (TemplateArchiveCollectionWindow *window = _collection.window())
        window->ui().effectsTable->setModel(nullptr);
    delete std::exchange(_filterModel, nullptr);
    delete std::exchange(_tableModel, nullptr);
}

void CollectionWindowController::setUpTable()
{
    const Ui::TemplateArchiveCollection &ui = _collection.window()->ui();
    // Owned here, not by the window: the view lets go of them when the
    // collection (and with it the installers' items) is gone.
    _tableModel = new EffectsTableModel(&_collection.document());
    _filterModel = new EffectsFilterModel(_tableModel);
    EffectsTableView *table = ui.effectsTable;
    table->setModel(_filterModel);
    if (!_filterLine) {
        // Below the counts, which keep their words.
        _filterLine = new QLabel(ui.infoStr->parentWidget());
        _filterLine->setObjectName(QStringLiteral("filterStr"));
        const int at = ui.bottomLayout->indexOf(ui.infoStr);
        ui.bottomLayout->removeWidget(ui.infoStr);
        auto *counts = new QVBoxLayout;
        counts->setSpacing(0);
        counts->addWidget(ui.infoStr);
        counts->addWidget(_filterLine);
        ui.bottomLayout->insertLayout(at, counts);
    }
    table->setIconSize(EffectsTableModel::ThumbnailSize);
    QHeaderView *rows = table->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(EffectsTableModel::ThumbnailSize.height() + 6);
    setUpColumns(table->horizontalHeader());
    // The archives' order until a header is clicked.
    table->sortByColumn(EffectsTableModel::IndexColumn, Qt::AscendingOrder);

    ui.contentSplitter->setStretchFactor(0, 1);
    ui.contentSplitter->setStretchFactor(1, 0);
    ui.contentSplitter->setSizes({600, 398});
    // As the user left the last collection window: size, columns, sort, division.
    WindowMemory::remember(_collection.window(), QStringLiteral("collection"));
    WindowMemory::remember(table->horizontalHeader(), QStringLiteral("collection"));
    WindowMemory::remember(ui.contentSplitter, QStringLiteral("collection"));
    table->sortByColumn(table->horizontalHeader()->sortIndicatorSection(),
                        table->horizontalHeader()->sortIndicatorOrder());
    connectTable();
    connectKeys();
    nameActions();
    // The first button, not a cell of the table, starts with the focus.
    ui.installButton->setFocus();
    updateSelectionControls();
    showPreview();
}

void CollectionWindowController::connectTable()
{
    const Ui::TemplateArchiveCollection &ui = _collection.window()->ui();
    EffectsTableView *table = ui.effectsTable;
    connect(ui.searchField, &QLineEdit::textChanged, _filterModel, &EffectsFilterModel::setSearchText);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        updateSelectionControls();
        showPreview();
        // The large preview, when up, follows the selection.
        showInPreviewPanel(false);
    });
    connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { showPreview(); });
    // A reset clears the selection without selectionChanged().
    connect(_filterModel, &QAbstractItemModel::modelReset, this, [this] { updateSelectionControls(); });
    for (const auto rowsChanged : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(_filterModel, rowsChanged, this, &CollectionWindowController::showFilterLine);
    connect(_filterModel, &QAbstractItemModel::layoutChanged, this, &CollectionWindowController::showFilterLine);
    connect(_tableModel, &EffectsTableModel::previewReady, this, [this](int row) {
        const QModelIndex current = _collection.window()->ui().effectsTable->currentIndex();
        // Previews of other rows arrive too (thumbnails as the table scrolls); only
        // the current row's changes the pane.
        if (current.isValid() && _filterModel->mapToSource(current).row() == row)
            showPreview();
    });
    connect(_tableModel, &EffectsTableModel::documentReady, this, [this](int row) {
        const QModelIndex current = _collection.window()->ui().effectsTable->currentIndex();
        if (current.isValid() && _filterModel->mapToSource(current).row() == row)
            showPreview();
    });
    connect(table, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        const EffectTemplateItem *item = _tableModel->item(_filterModel->mapToSource(index).row());
        // Nothing to reveal for a template not installed: the double-click does
        // nothing rather than open an unrelated folder.
        if (item && item->isInstalledInDestRootFolder(installedFolder()))
            reveal(item);
    });
    connect(table, &QWidget::customContextMenuRequested, this, &CollectionWindowController::showContextMenu);
}

void CollectionWindowController::connectKeys()
{
    TemplateArchiveCollectionWindow *window = _collection.window();
    const Ui::TemplateArchiveCollection &ui = window->ui();
    QLineEdit *search = ui.searchField;
    EffectsTableView *table = ui.effectsTable;
    // The window's, so it answers from any control in it.
    auto *find = new QAction(window);
    find->setObjectName(QStringLiteral("findAction"));
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WindowShortcut);
    window->addAction(find);
    connect(find, &QAction::triggered, search, [search] {
        search->setFocus(Qt::ShortcutFocusReason);
        search->selectAll();
    });
    // Escape empties the search; in an empty one it goes back to the table.
    auto *clear = new QShortcut(QKeySequence(Qt::Key_Escape), search);
    clear->setContext(Qt::WidgetShortcut);
    connect(clear, &QShortcut::activated, search, [search, table] {
        if (search->text().isEmpty())
            table->setFocus(Qt::ShortcutFocusReason);
        else
            search->clear();
    });
    // The table's own: in the search field Return and Delete keep their usual meaning.
    const auto onTable = [table](QKeySequence key, auto slot, auto *receiver) {
        auto *shortcut = new QShortcut(key, table);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, receiver, slot);
    };
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
        onTable(QKeySequence(key), &TemplateArchiveCollection::installSelected, &_collection);
    // Both flows ask first: an uninstall never starts from a key alone.
    for (Qt::Key key : {Qt::Key_Delete, Qt::Key_Backspace})
        onTable(QKeySequence(key), &TemplateArchiveCollection::uninstallSelected, &_collection);
    onTable(QKeySequence(Qt::Key_Space), &CollectionWindowController::togglePreviewPanel, this);
    auto *hide = new QShortcut(QKeySequence(Qt::Key_Escape), table);
    hide->setContext(Qt::WidgetShortcut);
    connect(hide, &QShortcut::activated, this, [this] {
        if (_previewPanel)
            _previewPanel->close();
    });
}

void CollectionWindowController::togglePreviewPanel()
{
    if (_previewPanel && _previewPanel->isVisible()) {
        _previewPanel->close();
        return;
    }
    showInPreviewPanel(true);
}

void CollectionWindowController::showInPreviewPanel(bool open)
{
    if (!open && !(_previewPanel && _previewPanel->isVisible()))
        return;
    const std::vector<int> rows = selectedSourceRows();
    const EffectTemplateItem *item = rows.size() == 1 ? _tableModel->item(rows.front()) : nullptr;
    if (!item) {
        if (_previewPanel)
            _previewPanel->close();
        return;
    }
    // One per window, hidden when put away, going with the window.
    if (!_previewPanel)
        _previewPanel = new PreviewPanel(_collection.window());
    _previewPanel->showTemplate(EffectsTableModel::shownTitle(*item), item->sourceFolderPath(),
                                _tableModel->filesPending(rows.front()));
}

void CollectionWindowController::nameActions()
{
    TemplateArchiveCollectionWindow *window = _collection.window();
    window->installSelectedAction()->setText(tr("Install Selected"));
    window->uninstallSelectedAction()->setText(tr("Uninstall Selected"));
#ifdef Q_OS_MACOS
    window->revealAction()->setText(tr("Show in Finder"));
#else
    window->revealAction()->setText(tr("Show in File Manager"));
#endif
    connect(window->installSelectedAction(), &QAction::triggered, &_collection,
            &TemplateArchiveCollection::installSelected);
    connect(window->uninstallSelectedAction(), &QAction::triggered, &_collection,
            &TemplateArchiveCollection::uninstallSelected);
    connect(window->revealAction(), &QAction::triggered, this, &CollectionWindowController::revealSelected);
}

void CollectionWindowController::applyInstalledStates(std::vector<bool> states)
{
    _tableModel->setInstalledStates(std::move(states));
    _tableModel->setProvenances(_collection.document().provenances());
    showCounts();
}

void CollectionWindowController::disableCommands()
{
    TemplateArchiveCollectionWindow *window = _collection.window();
    const Ui::TemplateArchiveCollection &ui = window->ui();
    for (QWidget *control : std::initializer_list<QWidget *>{ui.installButton, ui.deleteButton,
                                                             ui.installSelectedButton, ui.uninstallSelectedButton})
        control->setEnabled(false);
    for (QAction *action : {window->installSelectedAction(), window->uninstallSelectedAction()})
        action->setEnabled(false);
}

void CollectionWindowController::showCounts()
{
    const int all = _tableModel->rowCount();
    const int installed = _tableModel->installedCount();
    const bool idle = !_collection.isBusy();
    const Ui::TemplateArchiveCollection &ui = _collection.window()->ui();
    ui.infoStr->setText(tr("%1 effects,  %2 installed").arg(all).arg(installed));
    ui.installButton->setEnabled(idle && all > 0 && all > installed);
    ui.deleteButton->setEnabled(idle && installed > 0);
    updateSelectionControls();
}

std::vector<int> CollectionWindowController::selectedSourceRows() const
{
    std::vector<int> sourceRows;
    if (!_filterModel)
        return sourceRows;
    const QModelIndexList rows = _collection.window()->ui().effectsTable->selectionModel()->selectedRows();
    sourceRows.reserve(size_t(rows.size()));
    for (const QModelIndex &row : rows)
        sourceRows.push_back(_filterModel->mapToSource(row).row());
    // By source row, not the view's: the table's sort and the order of the
    // clicks must not change what callers get.
    std::sort(sourceRows.begin(), sourceRows.end());
    return sourceRows;
}

EffectTemplateItemList CollectionWindowController::selectedEffects() const
{
    EffectTemplateItemList items;
    for (int row : selectedSourceRows()) {
        if (const EffectTemplateItem *item = _tableModel->item(row))
            items.push_back(item);
    }
    return items;
}

void CollectionWindowController::updateSelectionControls()
{
    if (!_filterModel)
        return;
    TemplateArchiveCollectionWindow *window = _collection.window();
    const QModelIndexList rows = window->ui().effectsTable->selectionModel()->selectedRows();
    const bool anyInstalled = std::any_of(rows.cbegin(), rows.cend(), [this](const QModelIndex &row) {
        return _tableModel->installedState(_filterModel->mapToSource(row).row());
    });
    const bool idle = !_collection.isBusy();
    const Ui::TemplateArchiveCollection &ui = window->ui();
    ui.installSelectedButton->setEnabled(idle && !rows.isEmpty());
    ui.uninstallSelectedButton->setEnabled(idle && anyInstalled);
    window->installSelectedAction()->setEnabled(idle && !rows.isEmpty());
    window->uninstallSelectedAction()->setEnabled(idle && anyInstalled);
    // One template at a time: a file manager window each would flood the screen.
    // Reveal only reads, so it stays on while work runs.
    window->revealAction()->setEnabled(rows.size() == 1 && anyInstalled);
    showFilterLine();
}

void CollectionWindowController::showFilterLine()
{
    if (!_filterLine || !_filterModel)
        return;
    const Ui::TemplateArchiveCollection &ui = _collection.window()->ui();
    const qsizetype selected = ui.effectsTable->selectionModel()->selectedRows().size();
    QStringList parts;
    if (!ui.searchField->text().isEmpty())
        parts.append(tr("%1 shown").arg(QLocale().toString(_filterModel->rowCount())));
    if (selected > 0)
        parts.append(tr("%1 selected").arg(QLocale().toString(selected)));
    // Why the previews are not there yet, and that an install will wait.
    if (_collection.isUnpacking())
        parts.append(tr("unpacking the previews…"));
    _filterLine->setText(parts.join(QStringLiteral(", ")));
}

void CollectionWindowController::showPreview()
{
    const Ui::TemplateArchiveCollection &ui = _collection.window()->ui();
    // The current row only while it is selected: after a search hid the
    // selection, the current row is nothing the buttons would act on.
    const QModelIndex current = ui.effectsTable->currentIndex();
    const bool selected = current.isValid() && ui.effectsTable->selectionModel()->isRowSelected(current.row());
    const int row = selected ? _filterModel->mapToSource(current).row() : -1;
    const EffectTemplateItem *item = _tableModel->item(row);
    if (!item) {
        ui.previewImage->setPixmap(QPixmap());
        ui.previewImage->setText(tr("Select a template to see its preview."));
        ui.previewTitle->clear();
        ui.previewDetails->clear();
        ui.previewFacts->clear();
        return;
    }
    const QImage preview = _tableModel->preview(row);
    if (!preview.isNull()) {
        ui.previewImage->setPixmap(QPixmap::fromImage(preview));
    } else {
        ui.previewImage->setPixmap(QPixmap());
        ui.previewImage->setText(_tableModel->previewState(row) == EffectsTableModel::PreviewState::Loading
                                     ? QString()
                                     : tr("No Preview"));
    }
    showPreviewDetails(*item, row);
}

void CollectionWindowController::showPreviewDetails(const EffectTemplateItem &item, int row)
{
    const Ui::TemplateArchiveCollection &ui = _collection.window()->ui();
    ui.previewTitle->setText(EffectsTableModel::shownTitle(item));
    QFont font = ui.previewTitle->font();
    font.setBold(true);
    ui.previewTitle->setFont(font);
    QString archive;
    for (const auto &installer : _collection.templateInstallers()) {
        const EffectTemplateItemList effects = installer->effects();
        if (std::find(effects.begin(), effects.end(), &item) != effects.end()) {
            archive = CollectionOpeningRules::archiveFileName(installer->archiveURL());
            break;
        }
    }
    const QString kind = EffectsTableModel::kindName(item.templateType());
    ui.previewDetails->setText(item.category().isEmpty() ? tr("%1\nfrom %2").arg(kind, archive)
                                                         : tr("%1 in %2\nfrom %3").arg(kind, item.category(), archive));
    ui.previewFacts->setText(factsText(_tableModel->document(row), _tableModel->finalCutVersion()));
}

QString CollectionWindowController::factsText(const DocumentLoader::Document &document,
                                              const std::optional<QVersionNumber> &finalCut)
{
    // Read in row order on a worker: a row far down may not have come yet.
    if (!document)
        return tr("Reading the template’s details…");
    QStringList lines;
    for (const TemplateMarks::Detail &detail : TemplateMarks::details(*document, finalCut))
        lines.append(tr("%1: %2").arg(detail.label, detail.value));
    return lines.join(QLatin1Char('\n'));
}

void CollectionWindowController::showContextMenu(const QPoint &position)
{
    TemplateArchiveCollectionWindow *window = _collection.window();
    // Popped up, not exec()'d: no event loop of its own inside the window's.
    auto *menu = new QMenu(window);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    DarkAppearance::apply(menu);
    menu->addAction(window->installSelectedAction());
    menu->addAction(window->uninstallSelectedAction());
    menu->addSeparator();
    menu->addAction(window->revealAction());
    menu->popup(window->ui().effectsTable->viewport()->mapToGlobal(position));
}

void CollectionWindowController::filesArrived()
{
    if (!_tableModel)
        return;
    _tableModel->filesArrived();
    showPreview();
    showInPreviewPanel(false);
}

void CollectionWindowController::revealSelected()
{
    const EffectTemplateItemList items = selectedEffects();
    if (items.size() == 1 && items.front()->isInstalledInDestRootFolder(installedFolder()))
        reveal(items.front());
}

void CollectionWindowController::reveal(const EffectTemplateItem *item)
{
    FileManager::reveal(item->destinationPath(installedFolder()));
}

const QPixmap &CollectionWindowController::effectInstalledImage()
{
    static const QPixmap sImage = statusImage(Status::Installed);
    return sImage;
}

const QPixmap &CollectionWindowController::effectNotInstalledImage()
{
    static const QPixmap sImage = statusImage(Status::NotInstalled);
    return sImage;
}

const QPixmap &CollectionWindowController::effectInstalledElsewhereImage()
{
    static const QPixmap sImage = statusImage(Status::InstalledElsewhere);
    return sImage;
}
