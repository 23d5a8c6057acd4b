// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/TemplateArchiveCollection.h"
#include "ui_TemplateArchiveCollection.h"

#include "Collections/Alert.h"
#include "Appearance/DarkAppearance.h"
#include "Collections/BackgroundWork.h"
#include "Collections/CollectionOpeningRules.h"
#include "Collections/EffectsFilterModel.h"
#include "Collections/EffectsTableModel.h"
#include "Collections/EffectsTableView.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "Collections/TemplateArchiveCollectionWindow.h"
#include "Common/DiagnosticLog.h"
#include "Common/LogCategories.h"
#include "Installer/TemplateInstallerV2.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QScopeGuard>
#include <QSplitter>
#include <QStandardPaths>
#include <QTimer>

#include <exception>

namespace {

std::function<void()> &terminateHandler()
{
    static std::function<void()> handler = [] { QCoreApplication::quit(); };
    return handler;
}

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

using CollectionOpeningRules::archiveFileName;

} // namespace

// ---------------------------------------------------------------- opening

QList<TemplateArchiveCollection *> TemplateArchiveCollection::openNewTemplateArchives()
{
    // Where the last choice was made, for the rest of the run (no settings are kept).
    static QString sLastFolder;
    QFileDialog dialog;
    DarkAppearance::apply(&dialog);
    dialog.setDirectory(!sLastFolder.isEmpty() && QFileInfo(sLastFolder).isDir()
                            ? sLastFolder
                            : QStandardPaths::writableLocation(QStandardPaths::DownloadLocation));
    dialog.setWindowTitle(tr("Open Template Archives"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(tr("Motion Template Archives (*.mtzip)"));
    dialog.setOption(QFileDialog::DontResolveSymlinks);
    dialog.setOption(QFileDialog::ReadOnly); // no "New Folder"
    dialog.setLabelText(QFileDialog::Accept, tr("Open"));
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QList<QUrl> urls = dialog.selectedUrls();
    if (urls.isEmpty())
        return {};
    if (urls.first().isLocalFile())
        sLastFolder = QFileInfo(urls.first().toLocalFile()).absolutePath();

    std::optional<Error> error;
    QList<TemplateArchiveCollection *> collections = templateArchivesFromURLs(urls, true, &error);
    if (collections.isEmpty() && error) {
        const QString description = error->localizedDescription();
        QTimer::singleShot(0, qApp, [description] {
            Alert::runModal(tr("The archives could not be opened."), description, tr("OK"));
        });
    }
    return collections;
}

QList<TemplateArchiveCollection *> TemplateArchiveCollection::templateArchivesFromURLs(const QList<QUrl> &urls,
                                                                                      bool mergeIntoOneCollection,
                                                                                      std::optional<Error> *)
{
    QList<QUrl> openURLs;
    const QList<TemplateArchiveCollection *> open = TemplateArchiveCollectionController::sharedController().collections();
    for (const TemplateArchiveCollection *collection : open)
        openURLs += collection->archiveURLs();

    bool alreadyOpen = false;
    const QList<QUrl> accepted = CollectionOpeningRules::acceptedURLs(urls, openURLs, &alreadyOpen);

    QList<TemplateArchiveCollection *> result;
    if (!accepted.isEmpty()) {
        try {
            if (mergeIntoOneCollection) {
                if (TemplateArchiveCollection *collection = _initWithSourceArchiveURLs(accepted))
                    result.append(collection);
            } else {
                for (const QUrl &url : std::as_const(accepted)) {
                    if (TemplateArchiveCollection *collection = _initWithSourceArchiveURLs({url}))
                        result.append(collection);
                }
            }
        } catch (const std::exception &e) {
            MTI_DIAGNOSTIC(lcGui, QString::fromLocal8Bit(e.what()));
        }
    }

    if (alreadyOpen) {
        // The windows that show them come forward once the alert is answered.
        QList<QPointer<QWidget>> windows;
        for (TemplateArchiveCollection *collection : open) {
            if (std::any_of(urls.begin(), urls.end(),
                            [collection](const QUrl &url) { return collection->archiveURLs().contains(url); }))
                windows.append(collection->window());
        }
        // After the request has returned and its window is on screen.
        QTimer::singleShot(0, qApp, [windows] {
            Alert::runModal(tr("Archive Already Open"),
                            tr("Some of the archives are already open in another window, you cannot open them in a "
                               "new window. Please close the other window, and try again."),
                            tr("Ok"));
            for (const QPointer<QWidget> &window : windows) {
                if (window && window->isVisible()) {
                    window->raise();
                    window->activateWindow();
                }
            }
        });
    }
    return result;
}

TemplateArchiveCollection::TemplateArchiveCollection()
{
    TemplateArchiveCollectionController::sharedController().addCollection(this);
}

TemplateArchiveCollection *TemplateArchiveCollection::_initWithSourceArchiveURLs(const QList<QUrl> &sourceArchiveURLs)
{
    auto *collection = new TemplateArchiveCollection;
    if (sourceArchiveURLs.isEmpty()) {
        MTI_DIAGNOSTIC(lcGui, QStringLiteral("No sourceArchiveURLs"));
        delete collection;
        return nullptr;
    }
    collection->_document = std::make_unique<TemplateArchiveDocument>(sourceArchiveURLs);

    collection->_window = std::make_unique<TemplateArchiveCollectionWindow>();
    TemplateArchiveCollectionWindow *window = collection->_window.get();
    window->setCloseHandler([collection] { return collection->windowMayClose(); });
    window->setBusyQuery([collection] { return collection->isBusy(); });
    connect(window, &TemplateArchiveCollectionWindow::closing, collection, &TemplateArchiveCollection::close);
    connect(window, &TemplateArchiveCollectionWindow::shown, collection, [collection] {
        if (!collection->_problems.isEmpty())
            QTimer::singleShot(0, collection, &TemplateArchiveCollection::showProblems);
    });
    const Ui::TemplateArchiveCollection &ui = window->ui();
    connect(ui.installButton, &QPushButton::clicked, collection, &TemplateArchiveCollection::installForCurrentUser);
    connect(ui.deleteButton, &QPushButton::clicked, collection, &TemplateArchiveCollection::uninstallEffects);
    connect(ui.installSelectedButton, &QPushButton::clicked, collection, &TemplateArchiveCollection::installSelected);
    connect(ui.uninstallSelectedButton, &QPushButton::clicked, collection,
            &TemplateArchiveCollection::uninstallSelected);

    std::vector<bool> installed = collection->_createTemplateInstallersWithSourceArchiveURLs(sourceArchiveURLs);
    if (collection->_closeRequested) {
        // Closed while it unpacked: it never shows.
        delete collection;
        return nullptr;
    }
    collection->setUpTable();
    collection->finishInit(std::move(installed));
    TemplateArchiveCollectionWindow::decorate(window);
    return collection;
}

void TemplateArchiveCollection::setUpTable()
{
    const Ui::TemplateArchiveCollection &ui = _window->ui();
    // Owned by the collection, not the window: the view lets go of them
    // when the collection (and with it the installers' items) is gone.
    _tableModel = new EffectsTableModel(_document.get(), this);
    _filterModel = new EffectsFilterModel(_tableModel, this);
    EffectsTableView *table = ui.effectsTable;
    table->setModel(_filterModel);
    table->setIconSize(EffectsTableModel::ThumbnailSize);
    QHeaderView *rows = table->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(EffectsTableModel::ThumbnailSize.height() + 6);
    QHeaderView *header = table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->resizeSection(EffectsTableModel::IndexColumn, 56);
    header->resizeSection(EffectsTableModel::InstalledColumn, 34);
    header->setSectionResizeMode(EffectsTableModel::InstalledColumn, QHeaderView::Fixed);
    header->resizeSection(EffectsTableModel::KindColumn, 90);
    header->resizeSection(EffectsTableModel::CategoryColumn, 150);
    header->setSectionResizeMode(EffectsTableModel::TitleColumn, QHeaderView::Stretch);
    header->resizeSection(EffectsTableModel::PreviewColumn, EffectsTableModel::ThumbnailSize.width() + 16);
    header->setSectionResizeMode(EffectsTableModel::PreviewColumn, QHeaderView::Fixed);
    // The archives' order until a header is clicked.
    table->sortByColumn(EffectsTableModel::IndexColumn, Qt::AscendingOrder);

    ui.contentSplitter->setStretchFactor(0, 1);
    ui.contentSplitter->setStretchFactor(1, 0);
    ui.contentSplitter->setSizes({600, 398});

    connect(ui.searchField, &QLineEdit::textChanged, _filterModel, &EffectsFilterModel::setSearchText);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        updateSelectionControls();
        showPreview();
    });
    connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &TemplateArchiveCollection::showPreview);
    connect(_filterModel, &QAbstractItemModel::modelReset, this, &TemplateArchiveCollection::updateSelectionControls);
    connect(_tableModel, &EffectsTableModel::previewReady, this, [this](int row) {
        const QModelIndex current = _window->ui().effectsTable->currentIndex();
        if (current.isValid() && _filterModel->mapToSource(current).row() == row)
            showPreview();
    });
    connect(table, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &index) {
        const EffectTemplateItem *item = _tableModel->item(_filterModel->mapToSource(index).row());
        if (item && item->isInstalledInDestRootFolder(TemplateInstaller::userDestMotionTemplatesFolder()))
            revealInFileManager(item);
    });
    connect(table, &QWidget::customContextMenuRequested, this, &TemplateArchiveCollection::showContextMenu);

    _window->installSelectedAction()->setText(tr("Install Selected"));
    _window->uninstallSelectedAction()->setText(tr("Uninstall Selected"));
#ifdef Q_OS_MACOS
    _window->revealAction()->setText(tr("Show in Finder"));
#else
    _window->revealAction()->setText(tr("Show in File Manager"));
#endif
    connect(_window->installSelectedAction(), &QAction::triggered, this, &TemplateArchiveCollection::installSelected);
    connect(_window->uninstallSelectedAction(), &QAction::triggered, this,
            &TemplateArchiveCollection::uninstallSelected);
    connect(_window->revealAction(), &QAction::triggered, this, &TemplateArchiveCollection::revealSelected);

    // The first button, not a cell of the table, starts with the focus.
    ui.installButton->setFocus();
    updateSelectionControls();
    showPreview();
}

std::vector<bool> TemplateArchiveCollection::_createTemplateInstallersWithSourceArchiveURLs(
    const QList<QUrl> &sourceArchiveURLs)
{
    const QString root = TemplateInstaller::userDestMotionTemplatesFolder();
    BackgroundWork work(_window.get(), QString());
    _openingWork = &work;
    const auto noLongerOpening = qScopeGuard([this] { _openingWork = nullptr; });
    for (const QUrl &url : sourceArchiveURLs) {
        if (_closeRequested)
            break;
        try {
            Expected<std::unique_ptr<TemplateInstallerV2>> installer = TemplateInstallerV2::open(url, root);
            if (!installer) {
                _problems.append(tr("“%1” was not opened: %2.")
                                     .arg(archiveFileName(url),
                                          CollectionOpeningRules::refusalText(url, installer.error())));
                continue;
            }
            TemplateInstallerV2 *added = installer->get();
            _document->addInstaller(std::move(*installer));
            added->setDelegate(this);
            work.setLabel(tr("Unpacking “%1”…").arg(archiveFileName(url)));
            // Unpacking and scanning thousands of templates takes seconds:
            // on a worker, with the event loop turning meanwhile.
            bool unpacked = false;
            work.run([added, &unpacked](ProgressListener &listener) {
                added->setProgressListener(&listener);
                unpacked = added->unarchive();
                added->setProgressListener(nullptr);
            });
            if (!unpacked)
                _problems.append(tr("“%1” could not be unpacked: %2").arg(archiveFileName(url), added->unarchiveError()));
        } catch (const std::exception &e) {
            MTI_DIAGNOSTIC(lcGui, QString::fromLocal8Bit(e.what()));
        }
    }
    std::vector<bool> installed;
    if (!_closeRequested) {
        // One look per template at the destination: thousands of folders.
        work.setLabel(tr("Looking for installed templates…"));
        const TemplateArchiveDocument *document = _document.get();
        work.run([document, &installed](ProgressListener &) { installed = document->installedStates(); });
    }
    return installed;
}

void TemplateArchiveCollection::finishInit(std::vector<bool> installedStates)
{
    DarkAppearance::apply(_window.get());
    QStringList titles;
    for (const auto &installer : _document->templateInstallers())
        titles.append(installer->title());
    _window->setWindowTitle(CollectionOpeningRules::windowTitle(_document->archiveURLs(), titles));
    applyInstalledStates(std::move(installedStates));
}

TemplateArchiveCollection::~TemplateArchiveCollection()
{
    TemplateArchiveCollectionController::sharedController().removeCollection(this);
    if (_window) {
        // Off the screen before anything slow happens.
        _window->setCloseHandler({});
        _window->setBusyQuery({});
        _window->hide();
        _window->ui().effectsTable->setModel(nullptr);
    }
    delete std::exchange(_filterModel, nullptr);
    delete std::exchange(_tableModel, nullptr);
    // The installers go to DeferredCleanup with it.
    _document.reset();
    if (_window) {
        // We may be inside the window's own close event.
        _window.release()->deleteLater();
    }
}

void TemplateArchiveCollection::close()
{
    if (_openingWork) {
        _closeRequested = true;
        _openingWork->cancel();
        return;
    }
    if (_activeWork) {
        // A worker still uses the installers: cancel, and close once it
        // has rolled back (runWithProgress does).
        _closeRequested = true;
        _activeWork->cancel();
        return;
    }
    delete this;
}

TemplateArchiveCollectionWindow *TemplateArchiveCollection::window() const
{
    return _window.get();
}

bool TemplateArchiveCollection::windowMayClose()
{
    if (!_activeWork)
        return true;
    if (_closeRequested || _stopQuestion)
        return false;
    QPointer<TemplateArchiveCollection> alive(this);
    const bool installing = _activeWorkIsInstall;
    _stopQuestion = Alert::beginSheet(_window.get(), installing ? tr("Stop installing?") : tr("Stop uninstalling?"),
                      installing ? tr("The templates of the archive being installed are taken out again, and the "
                                      "templates folder is left as it was before; then the window closes.")
                                 : tr("The templates being removed are put back; then the window closes."),
                      tr("Stop"), QString(), tr("Continue"), [alive](int answer) {
                          if (!alive || answer != 1)
                              return;
                          alive->_closeRequested = true;
                          if (alive->_activeWork)
                              alive->_activeWork->cancel();
                          else
                              QTimer::singleShot(0, alive.data(), [alive] {
                                  if (alive)
                                      alive->_window->close();
                              });
                      });
    return false;
}

void TemplateArchiveCollection::showProblems()
{
    if (_problems.isEmpty() || !_window || !_window->isVisible())
        return;
    const QStringList problems = std::exchange(_problems, {});
    // Nothing left to show or install: the window goes once the user has read why.
    const bool nothingOpened = !_document->hasUnpackedArchive();
    QPointer<TemplateArchiveCollection> alive(this);
    Alert::beginSheet(_window.get(),
                      problems.size() == 1 ? tr("An Archive Could Not Be Opened") : tr("Some Archives Could Not Be Opened"),
                      problems.join(QLatin1Char('\n')), tr("Ok"), QString(), QString(), [alive, nothingOpened](int) {
                          if (alive && nothingOpened)
                              QTimer::singleShot(0, alive.data(), [alive] {
                                  if (alive)
                                      alive->close();
                              });
                      });
}

// ---------------------------------------------------------------- selection

EffectTemplateItemList TemplateArchiveCollection::effectsWithSearchOption(quint64 option) const
{
    return _document->effectsWithSearchOption(option);
}

void TemplateArchiveCollection::adjustInstallButtonState()
{
    applyInstalledStates(_document->installedStates());
}

void TemplateArchiveCollection::applyInstalledStates(std::vector<bool> states)
{
    _tableModel->setInstalledStates(std::move(states));
    _tableModel->setProvenances(_document->provenances());
    showCounts();
}

void TemplateArchiveCollection::showCounts()
{
    const int all = _tableModel->rowCount();
    const int installed = _tableModel->installedCount();
    const Ui::TemplateArchiveCollection &ui = _window->ui();
    ui.infoStr->setText(tr("%1 effects,  %2 installed").arg(all).arg(installed));
    ui.installButton->setEnabled(!isBusy() && all > 0 && all > installed);
    ui.deleteButton->setEnabled(!isBusy() && installed > 0);
    updateSelectionControls();
}

EffectTemplateItemList TemplateArchiveCollection::selectedEffects() const
{
    EffectTemplateItemList items;
    if (!_filterModel)
        return items;
    const QModelIndexList rows = _window->ui().effectsTable->selectionModel()->selectedRows();
    std::vector<int> sourceRows;
    sourceRows.reserve(size_t(rows.size()));
    for (const QModelIndex &row : rows)
        sourceRows.push_back(_filterModel->mapToSource(row).row());
    std::sort(sourceRows.begin(), sourceRows.end());
    for (int row : sourceRows) {
        if (const EffectTemplateItem *item = _tableModel->item(row))
            items.push_back(item);
    }
    return items;
}

void TemplateArchiveCollection::updateSelectionControls()
{
    if (!_filterModel)
        return;
    const QModelIndexList rows = _window->ui().effectsTable->selectionModel()->selectedRows();
    bool anyInstalled = false;
    for (const QModelIndex &row : rows) {
        if (_tableModel->installedState(_filterModel->mapToSource(row).row())) {
            anyInstalled = true;
            break;
        }
    }
    const bool idle = !isBusy();
    const Ui::TemplateArchiveCollection &ui = _window->ui();
    ui.installSelectedButton->setEnabled(idle && !rows.isEmpty());
    ui.uninstallSelectedButton->setEnabled(idle && anyInstalled);
    _window->installSelectedAction()->setEnabled(idle && !rows.isEmpty());
    _window->uninstallSelectedAction()->setEnabled(idle && anyInstalled);
    _window->revealAction()->setEnabled(rows.size() == 1 && anyInstalled);
}

void TemplateArchiveCollection::showPreview()
{
    const Ui::TemplateArchiveCollection &ui = _window->ui();
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
    ui.previewTitle->setText(EffectsTableModel::shownTitle(*item));
    QFont font = ui.previewTitle->font();
    font.setBold(true);
    ui.previewTitle->setFont(font);
    QString archive;
    for (const auto &installer : _document->templateInstallers()) {
        const EffectTemplateItemList effects = installer->effects();
        if (std::find(effects.begin(), effects.end(), item) != effects.end()) {
            archive = archiveFileName(installer->archiveURL());
            break;
        }
    }
    const QString kind = EffectsTableModel::kindName(item->templateType());
    ui.previewDetails->setText(item->category().isEmpty()
                                   ? tr("%1\nfrom %2").arg(kind, archive)
                                   : tr("%1 in %2\nfrom %3").arg(kind, item->category(), archive));
}

void TemplateArchiveCollection::showContextMenu(const QPoint &position)
{
    QMenu menu(_window.get());
    DarkAppearance::apply(&menu);
    menu.addAction(_window->installSelectedAction());
    menu.addAction(_window->uninstallSelectedAction());
    menu.addSeparator();
    menu.addAction(_window->revealAction());
    menu.exec(_window->ui().effectsTable->viewport()->mapToGlobal(position));
}

void TemplateArchiveCollection::revealSelected()
{
    const EffectTemplateItemList items = selectedEffects();
    if (items.size() == 1 && items.front()->isInstalledInDestRootFolder(TemplateInstaller::userDestMotionTemplatesFolder()))
        revealInFileManager(items.front());
}

void TemplateArchiveCollection::revealInFileManager(const EffectTemplateItem *item)
{
    const QString folder = item->destinationPath(TemplateInstaller::userDestMotionTemplatesFolder());
    if (folder.isEmpty())
        return;
#ifdef Q_OS_MACOS
    // Finder selects the folder in its parent rather than opening it.
    if (QProcess::startDetached(QStringLiteral("/usr/bin/open"), {QStringLiteral("-R"), folder}))
        return;
#endif
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

const QPixmap &TemplateArchiveCollection::effectInstalledImage()
{
    static const QPixmap sEffectInstalledImage = statusImage(Status::Installed);
    return sEffectInstalledImage;
}

const QPixmap &TemplateArchiveCollection::effectNotInstalledImage()
{
    static const QPixmap sEffectNotInstalledImage = statusImage(Status::NotInstalled);
    return sEffectNotInstalledImage;
}

const QPixmap &TemplateArchiveCollection::effectInstalledElsewhereImage()
{
    static const QPixmap sImage = statusImage(Status::InstalledElsewhere);
    return sImage;
}

void TemplateArchiveCollection::setTerminateHandler(std::function<void()> handler)
{
    terminateHandler() = handler ? std::move(handler) : [] { QCoreApplication::quit(); };
}

// ---------------------------------------------------------------- flows

void TemplateArchiveCollection::installForCurrentUser()
{
    install(std::nullopt);
}

void TemplateArchiveCollection::installSelected()
{
    const EffectTemplateItemList items = selectedEffects();
    if (!items.empty())
        install(QSet<const EffectTemplateItem *>(items.begin(), items.end()));
}

// Names a few of the templates, and how many more there are.
QString TemplateArchiveCollection::someOf(const QStringList &titles)
{
    constexpr qsizetype Shown = 5;
    QString text = titles.mid(0, Shown).join(QLatin1Char('\n'));
    if (titles.size() > Shown)
        text += QLatin1Char('\n') + tr("and %1 more").arg(titles.size() - Shown);
    return text;
}

void TemplateArchiveCollection::install(const TemplateArchiveDocument::Selection &selection)
{
    installNow(selection);
}

// Copies the user changed, or that are not these archives', stand where the
// selection goes: nothing was written; the user decides.
void TemplateArchiveCollection::askToReplace(const TemplateArchiveDocument::Selection &selection,
                                             const QStringList &edited, const QStringList &foreign)
{
    QStringList parts;
    if (!edited.isEmpty()) {
        parts.append((edited.size() == 1 ? tr("1 template you changed will be replaced:")
                                        : tr("%1 templates you changed will be replaced:").arg(edited.size()))
                     + QLatin1Char('\n') + someOf(edited));
    }
    if (!foreign.isEmpty()) {
        parts.append((foreign.size() == 1
                         ? tr("1 template installed by another archive or copied in by hand will be replaced:")
                         : tr("%1 templates installed by another archive or copied in by hand will be replaced:")
                               .arg(foreign.size()))
                     + QLatin1Char('\n') + someOf(foreign));
    }
    parts.append(tr("Replaced copies go to the Trash. Keep My Versions installs the rest and leaves these as they are."));
    QPointer<TemplateArchiveCollection> alive(this);
    Alert::beginSheet(_window.get(), tr("Replace Templates?"), parts.join(QStringLiteral("\n\n")),
                      tr("Keep My Versions"), tr("Replace"), tr("Cancel"), [alive, selection](int answer) {
                          if (!alive || answer < 0)
                              return;
                          const bool replace = answer == 0;
                          alive->_document->setOwnershipPolicy({replace, replace, false});
                          alive->installNow(selection);
                      });
}

void TemplateArchiveCollection::installNow(const TemplateArchiveDocument::Selection &selection)
{
    if (_activeWork)
        return;
    QPointer<TemplateArchiveCollection> alive(this);
    TemplateArchiveDocument::InstallOutcome outcome;
    TemplateArchiveDocument *document = _document.get();
    const bool stillOpen = runWithProgress(true, QString(), [&](ProgressListener &listener, BackgroundWork &work) {
        outcome = document->install(selection, &listener, [&work](const TemplateInstallerV2 &installer) {
            work.setLabel(tr("Installing “%1”…").arg(installer.title()));
        });
    });
    if (!stillOpen)
        return;
    applyInstalledStates(std::move(outcome.installed));
    if (!outcome.editedCopies.isEmpty() || !outcome.foreignCopies.isEmpty()) {
        askToReplace(selection, outcome.editedCopies, outcome.foreignCopies);
        return;
    }

    if (outcome.error) {
        if (outcome.error->isCancellation()) {
            Alert::beginSheet(_window.get(), tr("Installation Cancelled"),
                              tr("The templates of the cancelled archive were not installed; the templates folder is "
                                 "as it was before."),
                              tr("Ok"), QString(), QString());
        } else {
            Alert::beginSheet(_window.get(), tr("Installation Failed"), outcome.error->localizedDescription(),
                              tr("Ok"), QString(), QString());
        }
        return;
    }

    const int newlyInstalled = outcome.newlyInstalled;
    const QList<quint64> kinds = outcome.kinds;
    _lastKept = outcome.kept;
    if (outcome.deletableArchives.isEmpty()) {
        // No archive was installed whole: nothing to offer to delete.
        reportInstallationCompleted(newlyInstalled, kinds);
        return;
    }
    const QString question = tr("The template archive file is no longer needed, do you want to delete or keep it?");
    Alert::beginSheet(_window.get(), tr("Delete Template Archive?"),
                      question + QStringLiteral("\n\n") + outcome.deletableArchives.join(QLatin1Char('\n')), tr("Keep"),
                      tr("Delete"), QString(), [alive, newlyInstalled, kinds](int answer) {
                          if (!alive)
                              return;
                          alive->_document->setDeleteArchives(answer == 0);
                          alive->reportInstallationCompleted(newlyInstalled, kinds);
                      });
}

bool TemplateArchiveCollection::runWithProgress(bool installing, const QString &label,
                                                const std::function<void(ProgressListener &, BackgroundWork &)> &work)
{
    QPointer<TemplateArchiveCollection> alive(this);
    {
        BackgroundWork background(_window.get(), label);
        // Nothing may start another install or uninstall meanwhile.
        _activeWork = &background;
        _activeWorkIsInstall = installing;
        const Ui::TemplateArchiveCollection &ui = _window->ui();
        for (QWidget *control : std::initializer_list<QWidget *>{ui.installButton, ui.deleteButton,
                                                                 ui.installSelectedButton, ui.uninstallSelectedButton})
            control->setEnabled(false);
        for (QAction *action : {_window->installSelectedAction(), _window->uninstallSelectedAction()})
            action->setEnabled(false);
        // The installed marks follow the templates as they land.
        int refreshes = 0;
        background.setOnRefresh([this, &refreshes] {
            if (++refreshes % 10 == 0)
                _tableModel->refreshInstalledMarks();
        });
        background.run([&work, &background](ProgressListener &listener) { work(listener, background); });
        _activeWork = nullptr;
    }
    if (!alive)
        return false;
    // The work ended before the question was answered, or a quit signal
    // answered it for the user: the close goes ahead.
    if (_stopQuestion || BackgroundWork::isCancellingAll()) {
        delete _stopQuestion.data();
        _closeRequested = true;
    }
    if (_closeRequested) {
        // The window was closed meanwhile: the work was cancelled and rolled
        // back; now close.
        close();
        return false;
    }
    return true;
}

void TemplateArchiveCollection::reportInstallationCompleted(int newlyInstalled, const QList<quint64> &kinds)
{
    QPointer<TemplateArchiveCollection> alive(this);
    const QString installed = newlyInstalled == 1 ? tr("1 template was installed") : tr("%1 templates were installed").arg(newlyInstalled);
    QString text = tr("%1 and will be visible under categories starting with 'ZT' in %2 in your FCP X browser.\n"
                      "Do you want to install more templates?")
                       .arg(installed, CollectionOpeningRules::kindNames(kinds));
    if (_lastKept > 0)
        text.prepend((_lastKept == 1 ? tr("1 template you changed or that others installed was kept as it was.")
                                     : tr("%1 templates you changed or that others installed were kept as they were.")
                                           .arg(_lastKept))
                     + QLatin1Char('\n'));
    Alert::beginSheet(_window.get(), tr("Installation Completed"), text,
                      tr("Yes"), tr("Quit"), tr("Cancel"), [alive](int answer) {
                          if (answer == 1) {
                              // Never from inside the sheet's handler: close first, then
                              // ask for more archives, each on its own turn of the loop.
                              QTimer::singleShot(0, qApp, [alive] {
                                  if (alive)
                                      alive->close();
                              });
                              QTimer::singleShot(0, qApp, [] {
                                  // Nothing else brings these windows up.
                                  const QList<TemplateArchiveCollection *> opened = openNewTemplateArchives();
                                  for (TemplateArchiveCollection *collection : opened) {
                                      collection->window()->show();
                                      collection->window()->raise();
                                      collection->window()->activateWindow();
                                  }
                              });
                          } else if (answer == 0) {
                              QTimer::singleShot(0, qApp, [] { terminateHandler()(); });
                          }
                      });
}

void TemplateArchiveCollection::uninstallEffects()
{
    askToUninstall(std::nullopt);
}

void TemplateArchiveCollection::uninstallSelected()
{
    const EffectTemplateItemList items = selectedEffects();
    if (!items.empty())
        askToUninstall(QSet<const EffectTemplateItem *>(items.begin(), items.end()));
}

void TemplateArchiveCollection::askToUninstall(const TemplateArchiveDocument::Selection &selection)
{
    if (_activeWork)
        return;
    // The count in the question is the folder's now, looked at off this thread.
    std::vector<bool> states;
    TemplateArchiveDocument::Conflicts conflicts;
    const TemplateArchiveDocument *document = _document.get();
    if (!runWithProgress(false, QString(), [&states, &conflicts, document, &selection](ProgressListener &, BackgroundWork &) {
            states = document->installedStates();
            conflicts = document->conflicts(selection, true);
        }))
        return;
    applyInstalledStates(std::move(states));
    int installed = 0;
    for (int row = 0; row < _tableModel->rowCount(); ++row) {
        if (_tableModel->installedState(row) && (!selection || selection->contains(_tableModel->item(row))))
            ++installed;
    }
    if (installed == 0) {
        // Nothing of ours to remove: nothing to confirm either.
        uninstallNow(selection);
        return;
    }
    QPointer<TemplateArchiveCollection> alive(this);
    if (!conflicts.edited.isEmpty()) {
        Alert::beginSheet(_window.get(),
                          tr("Uninstall %1 from Final Cut Pro's library?").arg(CollectionOpeningRules::templateCount(installed)),
                          (conflicts.edited.size() == 1 ? tr("1 of them you changed:")
                                                          : tr("%1 of them you changed:").arg(conflicts.edited.size())) + QLatin1Char('\n')
                              + someOf(conflicts.edited) + QStringLiteral("\n\n")
                              + tr("Uninstall All sends those to the Trash too; Keep Changed Ones leaves them installed."),
                          tr("Keep Changed Ones"), tr("Uninstall All"), tr("Cancel"), [alive, selection](int answer) {
                              if (!alive || answer < 0)
                                  return;
                              alive->_document->setOwnershipPolicy({false, false, answer == 0});
                              alive->uninstallNow(selection);
                          });
        return;
    }
    _document->setOwnershipPolicy({});
    Alert::beginSheet(_window.get(),
                      tr("Uninstall %1 from Final Cut Pro's library?").arg(CollectionOpeningRules::templateCount(installed)),
                      selection ? tr("The selected templates are removed from the Motion Templates folder; other "
                                     "templates stay.")
                                : tr("The installed templates of this window's archives are removed from the Motion "
                                     "Templates folder; other templates stay."),
                      tr("Uninstall"), QString(), tr("Cancel"), [alive, selection](int answer) {
                          if (alive && answer == 1)
                              alive->uninstallNow(selection);
                      });
}

void TemplateArchiveCollection::uninstallNow(const TemplateArchiveDocument::Selection &selection)
{
    if (_activeWork)
        return;
    TemplateArchiveDocument::UninstallOutcome outcome;
    TemplateArchiveDocument *document = _document.get();
    const bool stillOpen = runWithProgress(false, QString(), [&](ProgressListener &listener, BackgroundWork &work) {
        outcome = document->uninstall(selection, &listener, [&work](const TemplateInstallerV2 &installer) {
            work.setLabel(tr("Uninstalling “%1”…").arg(installer.title()));
        });
    });
    if (!stillOpen)
        return;
    applyInstalledStates(std::move(outcome.installed));
    const std::optional<Error> &error = outcome.error;
    const int removed = outcome.removed;
    const int failed = outcome.failed;
    const QString removedText = removed == 1 ? tr("1 effect was uninstalled successfully.")
                                             : tr("%1 effects were uninstalled successfully.").arg(removed);
    if (error && error->isCancellation()) {
        Alert::beginSheet(_window.get(), tr("Uninstall Cancelled"),
                          tr("The templates of the cancelled archive were left installed."), tr("Ok"), QString(),
                          QString());
    } else if (failed > 0) {
        const QString reason = error ? error->localizedDescription() : QString();
        Alert::beginSheet(_window.get(), tr("Uninstall Failed"),
                          removedText + QLatin1Char('\n')
                              + (failed == 1 ? tr("1 template could not be removed: %1").arg(reason)
                                             : tr("%1 templates could not be removed: %2").arg(failed).arg(reason)),
                          tr("Ok"), QString(), QString());
    } else if (error) {
        Alert::beginSheet(_window.get(), tr("Uninstall Failed"), error->localizedDescription(), tr("Ok"), QString(),
                          QString());
    } else {
        QString text = removedText;
        if (outcome.trashed)
            text += QLatin1Char('\n') + tr("They were moved to the Trash.");
        if (outcome.keptEdited > 0)
            text += QLatin1Char('\n') + (outcome.keptEdited == 1 ? tr("1 template you changed was kept.")
                                                                 : tr("%1 templates you changed were kept.").arg(outcome.keptEdited));
        if (outcome.keptForeign > 0) {
            text += QLatin1Char('\n')
                + (outcome.keptForeign == 1
                       ? tr("1 template installed by another archive or copied in by hand was kept.")
                       : tr("%1 templates installed by another archive or copied in by hand were kept.")
                             .arg(outcome.keptForeign));
        }
        Alert::beginSheet(_window.get(), tr("Uninstall Completed"), text, tr("Ok"), QString(), QString());
    }
}
