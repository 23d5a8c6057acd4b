// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/TemplateArchiveCollection.h"
#include "ui_TemplateArchiveCollection.h"

#include "Appearance/DarkAppearance.h"
#include "Collections/CollectionFlows.h"
#include "Collections/CollectionOpener.h"
#include "Collections/CollectionWindowController.h"
#include "Collections/EffectsTableModel.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "Collections/TemplateArchiveCollectionWindow.h"
#include "Documents/CollectionOpeningRules.h"
#include "Installer/TemplateInstallerV2.h"
#include "Interface/Alert.h"
#include "Interface/BackgroundWork.h"

#include <QMessageBox>
#include <QSet>
#include <QTimer>

QList<TemplateArchiveCollection *> TemplateArchiveCollection::openNewTemplateArchives()
{
    return CollectionOpener::chooseAndOpen();
}

QList<TemplateArchiveCollection *> TemplateArchiveCollection::templateArchivesFromURLs(const QList<QUrl> &urls,
                                                                                      bool mergeIntoOneCollection,
                                                                                      std::optional<Error> *)
{
    return CollectionOpener::open(urls, mergeIntoOneCollection);
}

TemplateArchiveCollection::TemplateArchiveCollection(const QList<QUrl> &sourceArchiveURLs)
    : _window(std::make_unique<TemplateArchiveCollectionWindow>())
    , _document(std::make_unique<TemplateArchiveDocument>(sourceArchiveURLs))
    , _view(std::make_unique<CollectionWindowController>(*this))
    , _flows(std::make_unique<CollectionFlows>(*this))
{
    // Registered first: opening URLs checks the registry for archives open
    // already, even while this one is still unpacking.
    TemplateArchiveCollectionController::sharedController().addCollection(this);
    TemplateArchiveCollectionWindow *window = _window.get();
    window->setCloseHandler([this] { return windowMayClose(); });
    window->setBusyQuery([this] { return isBusy(); });
    connect(window, &TemplateArchiveCollectionWindow::closing, this, &TemplateArchiveCollection::close);
    connect(window, &TemplateArchiveCollectionWindow::shown, this, [this] {
        // An empty window is no place for the reasons: they come alone.
        if (!_opening && !hasTemplates()) {
            // Not from inside the show.
            QTimer::singleShot(0, this, [this] {
                _window->hide();
                showProblemsAlone();
            });
            return;
        }
        // After the show has finished: a sheet needs its window on screen.
        if (!_problems.isEmpty())
            QTimer::singleShot(0, this, &TemplateArchiveCollection::showProblems);
    });
    const Ui::TemplateArchiveCollection &ui = window->ui();
    connect(ui.installButton, &QPushButton::clicked, this, &TemplateArchiveCollection::installForCurrentUser);
    connect(ui.deleteButton, &QPushButton::clicked, this, &TemplateArchiveCollection::uninstallEffects);
    connect(ui.installSelectedButton, &QPushButton::clicked, this, &TemplateArchiveCollection::installSelected);
    connect(ui.uninstallSelectedButton, &QPushButton::clicked, this, &TemplateArchiveCollection::uninstallSelected);
}

TemplateArchiveCollection::~TemplateArchiveCollection()
{
    TemplateArchiveCollectionController::sharedController().removeCollection(this);
    // Off the screen before anything slow happens.
    _window->setCloseHandler({});
    _window->setBusyQuery({});
    _window->hide();
    // Work still running (the application is going) stops and is waited for
    // before the installers it uses go.
    _work.reset();
    _flows.reset();
    _view.reset();
    // The installers go to DeferredCleanup with it.
    _document.reset();
    // We may be inside the window's own close event.
    _window.release()->deleteLater();
}

void TemplateArchiveCollection::finishOpening(std::vector<bool> installedStates)
{
    _opening = false;
    _view->setUpTable();
    DarkAppearance::apply(_window.get());
    QStringList titles;
    for (const auto &installer : _document->templateInstallers()) {
        titles.append(installer->title());
        // One that failed to unpack has its problem told already.
        if (installer->effects().empty() && installer->unarchiveError().isEmpty())
            _problems.append(tr("“%1” holds no templates: no folder in it has a template file (.moef, .motn, .moti "
                                "or .motr). Nothing was changed.")
                                 .arg(CollectionOpeningRules::archiveFileName(installer->archiveURL())));
    }
    _window->setWindowTitle(CollectionOpeningRules::windowTitle(_document->archiveURLs(), titles));
    _view->applyInstalledStates(std::move(installedStates));
    TemplateArchiveCollectionWindow::decorate(_window.get());
    emit opened();
    if (_showWhenOpened)
        showWhenOpened();
}

void TemplateArchiveCollection::showWhenOpened()
{
    if (_opening) {
        _showWhenOpened = true;
        return;
    }
    _showWhenOpened = false;
    if (!hasTemplates()) {
        showProblemsAlone();
        return;
    }
    if (_window->isMinimized())
        _window->showNormal();
    else
        _window->show();
    _window->raise();
    _window->activateWindow();
}

bool TemplateArchiveCollection::isBusy() const
{
    return _work && (_workKind == Work::Install || _workKind == Work::Uninstall);
}

void TemplateArchiveCollection::whenUnpacked(std::function<void()> action)
{
    if (!_unpacking) {
        action();
        return;
    }
    _whenUnpacked = std::move(action);
    if (_work && _workKind == Work::Unpacking)
        _work->setQuiet(false);
    else if (!_work && std::exchange(_unpackCancelled, false))
        CollectionOpener::unpackNext(this);
}

void TemplateArchiveCollection::setUnpackHook(std::function<void()> hook)
{
    CollectionOpener::setUnpackHook(std::move(hook));
}

void TemplateArchiveCollection::runInBackground(Work kind, Job job, std::function<void()> then)
{
    // One piece of work at a time: the flows check isBusy() first, and the
    // opening runs its steps one after another.
    Q_ASSERT(!_work);
    // Not a child: a close carried out when it ends destroys the collection
    // while the work is still delivering its finished().
    _work = std::make_unique<BackgroundWork>(_window.get(), QString());
    _workKind = kind;
    BackgroundWork *work = _work.get();
    // Nobody waits for a background unpack until someone asks for its files.
    work->setQuiet(kind == Work::Unpacking && !_whenUnpacked);
    if (kind == Work::Unpacking) {
        // Cancel gives up the wait, not the unpack: the previews still come,
        // and a later install needs not start it over.
        work->setOnDialogCancel([this] {
            _whenUnpacked = {};
            if (_work)
                _work->setQuiet(true);
        });
    }
    if (kind == Work::Install || kind == Work::Uninstall) {
        // Nothing may start another install or uninstall meanwhile; the
        // window stays unblocked so that its close button asks to stop.
        _view->disableCommands();
        work->setBlocksWindow(false);
        // The installed marks follow the templates as they land.
        work->setOnRefresh([this, refreshes = 0]() mutable {
            // About every 400 ms: each redraw asks the folder of every visible row.
            if (++refreshes % 10 == 0)
                _view->tableModel()->refreshInstalledMarks();
        });
    }
    connect(work, &BackgroundWork::finished, this, [this, then = std::move(then)] {
        workEnded();
        if (!_closeRequested)
            then();
        else
            close();
    });
    work->start([work, job = std::move(job)](ProgressListener &listener) { job(listener, *work); });
}

void TemplateArchiveCollection::workEnded()
{
    _work.release()->deleteLater();
    // The work ended before the question was answered, or a quit signal
    // answered it for the user: the close goes ahead.
    if (_stopQuestion || BackgroundWork::isCancellingAll()) {
        delete _stopQuestion.data();
        _closeRequested = true;
    }
}

void TemplateArchiveCollection::close()
{
    if (_work) {
        // A worker still uses the installers: cancel, and close once it
        // has stopped (runInBackground does).
        _closeRequested = true;
        _work->cancel();
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
    if (!isBusy())
        return true;
    if (_closeRequested || _stopQuestion)
        return false;
    if (BackgroundWork::isCancellingAll()) {
        // A quit signal: nobody is there to answer. Stop, roll back, close.
        _closeRequested = true;
        _work->cancel();
        return false;
    }
    QPointer<TemplateArchiveCollection> alive(this);
    const bool installing = _workKind == Work::Install;
    _stopQuestion = Alert::beginSheet(_window.get(), installing ? tr("Stop installing?") : tr("Stop uninstalling?"),
                      installing ? tr("The templates of the archive being installed are taken out again, and the "
                                      "templates folder is left as it was before; then the window closes.")
                                 : tr("The templates being removed are put back; then the window closes."), {tr("Stop"), QString(), tr("Continue")}, [alive](int answer) {
                          if (!alive || answer != 1)
                              return;
                          alive->_closeRequested = true;
                          if (alive->_work)
                              alive->_work->cancel();
                          else
                              QTimer::singleShot(0, alive.data(), [alive] {
                                  if (alive)
                                      alive->_window->close();
                              });
                      });
    Alert::preferCancel(qobject_cast<QMessageBox *>(_stopQuestion.data()));
    return false;
}

void TemplateArchiveCollection::showProblems()
{
    if (_problems.isEmpty() || !_window->isVisible())
        return;
    const QStringList problems = std::exchange(_problems, {});
    // Nothing left to show or install: the window goes once the user has read why.
    const bool nothingOpened = !_document->hasUnpackedArchive();
    QPointer<TemplateArchiveCollection> alive(this);
    Alert::beginSheet(_window.get(),
                      problems.size() == 1 ? tr("An Archive Could Not Be Opened") : tr("Some Archives Could Not Be Opened"),
                      problems.join(QLatin1Char('\n')), {tr("OK"), QString(), QString()}, [alive, nothingOpened](int) {
                          if (alive && nothingOpened)
                              QTimer::singleShot(0, alive.data(), [alive] {
                                  if (alive)
                                      alive->close();
                              });
                      });
}

bool TemplateArchiveCollection::hasTemplates() const
{
    return !_document->effectsWithSearchOption(EffectSearchAll).empty();
}

void TemplateArchiveCollection::showProblemsAlone()
{
    if (_problemsAlone)
        return;
    const QStringList problems = std::exchange(_problems, {});
    QMessageBox *box = Alert::create(problems.size() == 1 ? tr("An Archive Could Not Be Opened")
                                                          : tr("Some Archives Could Not Be Opened"),
                                     problems.join(QLatin1Char('\n')), {tr("OK"), QString(), QString()});
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    DarkAppearance::apply(box);
    _problemsAlone = box;
    // Nothing left to show or install: the collection goes once the user has read why.
    connect(box, &QMessageBox::finished, this, [this] { QTimer::singleShot(0, this, &TemplateArchiveCollection::close); });
    box->show();
}

EffectTemplateItemList TemplateArchiveCollection::effectsWithSearchOption(quint64 option) const
{
    return _document->effectsWithSearchOption(option);
}

void TemplateArchiveCollection::adjustInstallButtonState()
{
    if (_view->hasTable())
        _view->applyInstalledStates(_document->installedStates());
}

EffectsTableModel *TemplateArchiveCollection::tableModel() const
{
    return _view->tableModel();
}

EffectsFilterModel *TemplateArchiveCollection::filterModel() const
{
    return _view->filterModel();
}

EffectTemplateItemList TemplateArchiveCollection::selectedEffects() const
{
    return _view->selectedEffects();
}

void TemplateArchiveCollection::revealSelected()
{
    _view->revealSelected();
}

const QPixmap &TemplateArchiveCollection::effectInstalledImage()
{
    return CollectionWindowController::effectInstalledImage();
}

const QPixmap &TemplateArchiveCollection::effectNotInstalledImage()
{
    return CollectionWindowController::effectNotInstalledImage();
}

const QPixmap &TemplateArchiveCollection::effectInstalledElsewhereImage()
{
    return CollectionWindowController::effectInstalledElsewhereImage();
}

void TemplateArchiveCollection::setTerminateHandler(std::function<void()> handler)
{
    CollectionFlows::setTerminateHandler(std::move(handler));
}

void TemplateArchiveCollection::installForCurrentUser()
{
    if (!_opening)
        whenUnpacked([this] { _flows->install(std::nullopt); });
}

void TemplateArchiveCollection::installSelected()
{
    const EffectTemplateItemList items = selectedEffects();
    if (!_opening && !items.empty())
        whenUnpacked([this, selection = QSet<const EffectTemplateItem *>(items.begin(), items.end())] {
            _flows->install(selection);
        });
}

void TemplateArchiveCollection::uninstallEffects()
{
    if (!_opening)
        whenUnpacked([this] { _flows->askToUninstall(std::nullopt); });
}

void TemplateArchiveCollection::uninstallSelected()
{
    const EffectTemplateItemList items = selectedEffects();
    if (!_opening && !items.empty())
        whenUnpacked([this, selection = QSet<const EffectTemplateItem *>(items.begin(), items.end())] {
            _flows->askToUninstall(selection);
        });
}
