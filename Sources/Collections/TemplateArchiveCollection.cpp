// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/TemplateArchiveCollection.h"
#include "ui_TemplateArchiveCollection.h"

#include "Collections/Alert.h"
#include "Appearance/DarkAppearance.h"
#include "Collections/BackgroundWork.h"
#include "Collections/CollectionOpeningRules.h"
#include "Collections/EffectsTableModel.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "Collections/TemplateArchiveCollectionWindow.h"
#include "Common/DiagnosticLog.h"
#include "Common/LogCategories.h"
#include "Installer/TemplateInstallerV2.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QScopeGuard>
#include <QTimer>

#include <exception>

namespace {

std::function<void()> &terminateHandler()
{
    static std::function<void()> handler = [] { QCoreApplication::quit(); };
    return handler;
}

QPixmap statusImage(bool installed)
{
    // A circle of diameter 10 centred in 20 x 20: filled green when
    // installed, outlined in dark gray either way.
    QPixmap pixmap(20, 20);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath circle;
    circle.addEllipse(QRectF(5, 5, 10, 10));
    if (installed) {
        QColor green(Qt::green);
        green.setAlphaF(0.6f);
        painter.fillPath(circle, green);
    }
    painter.strokePath(circle, QPen(QColor(Qt::darkGray), 1.0));
    return pixmap;
}

using CollectionOpeningRules::archiveFileName;

} // namespace

// ---------------------------------------------------------------- opening

QList<TemplateArchiveCollection *> TemplateArchiveCollection::openNewTemplateArchives()
{
    QFileDialog dialog;
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
        // After the request has returned and its window is on screen.
        QTimer::singleShot(0, qApp, [] {
            Alert::runModal(tr("Archive Already Open"),
                            tr("Some of the archives are already open in another window, you cannot open them in a "
                               "new window. Please close the other window, and try again."),
                            tr("Ok"));
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
    collection->_sourceArchiveURLs = sourceArchiveURLs;

    collection->_window = std::make_unique<TemplateArchiveCollectionWindow>();
    TemplateArchiveCollectionWindow *window = collection->_window.get();
    window->setCloseHandler([collection] { return collection->windowMayClose(); });
    window->setBusyQuery([collection] { return collection->isBusy(); });
    connect(window, &TemplateArchiveCollectionWindow::closing, collection, &TemplateArchiveCollection::close);
    connect(window, &TemplateArchiveCollectionWindow::shown, collection, [collection] {
        if (!collection->_problems.isEmpty())
            QTimer::singleShot(0, collection, &TemplateArchiveCollection::showProblems);
    });
    connect(window->ui().installButton, &QPushButton::clicked, collection,
            &TemplateArchiveCollection::installForCurrentUser);
    connect(window->ui().deleteButton, &QPushButton::clicked, collection,
            &TemplateArchiveCollection::uninstallEffects);

    collection->_templateInstallers = collection->_createTemplateInstallersWithSourceArchiveURLs(sourceArchiveURLs);
    if (collection->_closeRequested) {
        // Closed while it unpacked: it never shows.
        delete collection;
        return nullptr;
    }

    // Owned by the collection, not the window: the view lets go of it when
    // the collection (and with it the installers' items) is gone.
    collection->_tableModel = new EffectsTableModel(collection, collection);
    QTableView *table = window->ui().effectsTable;
    table->setModel(collection->_tableModel);
    table->setIconSize(QSize(64, 36));
    table->verticalHeader()->setDefaultSectionSize(42);
    QHeaderView *header = table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->resizeSection(0, 52);
    header->resizeSection(1, 34);
    header->setSectionResizeMode(1, QHeaderView::Fixed);
    header->resizeSection(2, 170);
    header->setSectionResizeMode(3, QHeaderView::Stretch);
    header->resizeSection(4, 84);
    header->setSectionResizeMode(4, QHeaderView::Fixed);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // The first button, not a cell of the table, starts with the focus.
    window->ui().installButton->setFocus();

    collection->finishInit();
    TemplateArchiveCollectionWindow::decorate(window);
    return collection;
}

std::vector<std::unique_ptr<TemplateInstallerV2>> TemplateArchiveCollection::_createTemplateInstallersWithSourceArchiveURLs(
    const QList<QUrl> &sourceArchiveURLs)
{
    const QString root = TemplateInstaller::userDestMotionTemplatesFolder();
    std::vector<std::unique_ptr<TemplateInstallerV2>> installers;
    installers.reserve(size_t(sourceArchiveURLs.size()));
    BackgroundWork work(_window.get(), QString());
    _openingWork = &work;
    const auto noLongerOpening = qScopeGuard([this] { _openingWork = nullptr; });
    for (const QUrl &url : sourceArchiveURLs) {
        if (_closeRequested)
            break;
        try {
            QString refusal;
            std::unique_ptr<TemplateInstallerV2> installer = TemplateInstallerV2::create(url, root, &refusal);
            if (!installer) {
                _problems.append(tr("“%1” was not opened: %2.")
                                     .arg(archiveFileName(url), CollectionOpeningRules::refusalText(url, refusal)));
                continue;
            }
            installers.push_back(std::move(installer));
            TemplateInstallerV2 *added = installers.back().get();
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
    return installers;
}

void TemplateArchiveCollection::finishInit()
{
    DarkAppearance::apply(_window.get());
    QStringList titles;
    for (const auto &installer : _templateInstallers)
        titles.append(installer->title());
    _window->setWindowTitle(CollectionOpeningRules::windowTitle(_sourceArchiveURLs, titles));
    adjustInstallButtonState();
}

TemplateArchiveCollection::~TemplateArchiveCollection()
{
    TemplateArchiveCollectionController::sharedController().removeCollection(this);
    _sourceArchiveURLs.clear();
    if (_window) {
        // Off the screen before anything slow happens.
        _window->setCloseHandler({});
        _window->setBusyQuery({});
        _window->hide();
        _window->ui().effectsTable->setModel(nullptr);
    }
    delete std::exchange(_tableModel, nullptr);
    // Removing the unpack folders takes seconds for big packs.
    DeferredCleanup::discard(std::move(_templateInstallers));
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
    const bool nothingOpened = std::none_of(_templateInstallers.begin(), _templateInstallers.end(),
                                            [](const auto &installer) { return installer->isUnpacked(); });
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
    EffectTemplateItemList list;
    if (option > EffectSearchNotInstalled)
        return list;
    const QString root = TemplateInstaller::userDestMotionTemplatesFolder();
    for (const auto &installer : _templateInstallers) {
        for (const EffectTemplateItem *item : installer->effects()) {
            if (option == EffectSearchAll || item->isInstalledInDestRootFolder(root) == (option == EffectSearchInstalled))
                list.push_back(item);
        }
    }
    return list;
}

void TemplateArchiveCollection::adjustInstallButtonState()
{
    const qsizetype all = qsizetype(effectsWithSearchOption(EffectSearchAll).size());
    const qsizetype installed = qsizetype(effectsWithSearchOption(EffectSearchInstalled).size());
    _window->ui().infoStr->setText(tr("%1 effects,  %2 installed").arg(all).arg(installed));
    _window->ui().installButton->setEnabled(all > 0 && all > installed);
    _window->ui().deleteButton->setEnabled(installed > 0);
}

void TemplateArchiveCollection::reloadTable()
{
    _tableModel->reload();
}

const QPixmap &TemplateArchiveCollection::effectInstalledImage()
{
    static const QPixmap sEffectInstalledImage = statusImage(true);
    return sEffectInstalledImage;
}

const QPixmap &TemplateArchiveCollection::effectNotInstalledImage()
{
    static const QPixmap sEffectNotInstalledImage = statusImage(false);
    return sEffectNotInstalledImage;
}

void TemplateArchiveCollection::setTerminateHandler(std::function<void()> handler)
{
    terminateHandler() = handler ? std::move(handler) : [] { QCoreApplication::quit(); };
}

// ---------------------------------------------------------------- flows

void TemplateArchiveCollection::installForCurrentUser()
{
    if (_activeWork)
        return;
    QPointer<TemplateArchiveCollection> alive(this);
    std::optional<Error> error;
    int newlyInstalled = 0;
    QList<quint64> kinds;
    const bool stillOpen = runWithProgress(true, tr("Installing “%1”…"), [&](TemplateInstallerV2 &installer) {
        error = installer.installEffects();
        if (error)
            return false;
        const TemplateTransaction::InstallReport &report = installer.lastInstallReport();
        newlyInstalled += report.newlyInstalled;
        if (report.newlyInstalled + report.replaced > 0) {
            for (const EffectTemplateItem *item : installer.effects()) {
                if (!kinds.contains(item->templateType()))
                    kinds.append(item->templateType());
            }
        }
        return true;
    });
    if (!stillOpen)
        return;
    // Only an archive all of whose templates this collection installed may
    // be deleted afterwards (decided here, on the GUI thread).
    if (!error) {
        for (const auto &installer : _templateInstallers) {
            if (installer->isUnpacked() && !installer->effects().empty())
                _completelyInstalled.insert(installer.get());
        }
    }

    if (error) {
        if (error->isCancellation()) {
            Alert::beginSheet(_window.get(), tr("Installation Cancelled"),
                              tr("The templates of the cancelled archive were not installed; the templates folder is "
                                 "as it was before."),
                              tr("Ok"), QString(), QString());
        } else {
            Alert::beginSheet(_window.get(), tr("Installation Failed"), error->localizedDescription(), tr("Ok"),
                              QString(), QString());
        }
        reloadTable();
        adjustInstallButtonState();
        return;
    }

    QStringList deletable;
    for (const auto &installer : _templateInstallers) {
        if (_completelyInstalled.contains(installer.get()))
            deletable.append(archiveFileName(installer->archiveURL()));
    }
    if (deletable.isEmpty()) {
        // Nothing was installed from any archive: nothing to offer to delete.
        reportInstallationCompleted(newlyInstalled, kinds);
    } else {
        const QString question = tr("The template archive file is no longer needed, do you want to delete or keep it?");
        Alert::beginSheet(_window.get(), tr("Delete Template Archive?"),
                          question + QStringLiteral("\n\n") + deletable.join(QLatin1Char('\n')),
                          tr("Keep"), tr("Delete"), QString(), [alive, newlyInstalled, kinds](int answer) {
                              if (!alive)
                                  return;
                              for (const auto &installer : alive->_templateInstallers) {
                                  installer->setMustDeleteTemplatesArchive(
                                      answer == 0 && alive->_completelyInstalled.contains(installer.get()));
                              }
                              alive->reportInstallationCompleted(newlyInstalled, kinds);
                          });
    }
    reloadTable();
    adjustInstallButtonState();
}

bool TemplateArchiveCollection::runWithProgress(bool installing, const QString &labelFormat,
                                                const std::function<bool(TemplateInstallerV2 &)> &step)
{
    QPointer<TemplateArchiveCollection> alive(this);
    {
        BackgroundWork work(_window.get(), QString());
        // Nothing may start another install or uninstall meanwhile.
        _activeWork = &work;
        _activeWorkIsInstall = installing;
        for (QWidget *control : {static_cast<QWidget *>(_window->ui().installButton),
                                 static_cast<QWidget *>(_window->ui().deleteButton)})
            control->setEnabled(false);
        // The installed marks follow the templates as they land.
        int refreshes = 0;
        work.setOnRefresh([this, &refreshes] {
            if (++refreshes % 10 == 0)
                _tableModel->refreshInstalledMarks();
        });
        for (const auto &installer : _templateInstallers) {
            work.setLabel(labelFormat.arg(installer->title()));
            bool goOn = false;
            TemplateInstallerV2 *current = installer.get();
            work.run([current, &step, &goOn](ProgressListener &listener) {
                current->setProgressListener(&listener);
                goOn = step(*current);
                current->setProgressListener(nullptr);
            });
            if (!goOn || work.isCancelled())
                break;
        }
        _activeWork = nullptr;
    }
    if (!alive)
        return false;
    if (_stopQuestion) {
        // The work ended before the question was answered: the close the
        // user asked for goes ahead.
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
    Alert::beginSheet(_window.get(), tr("Installation Completed"),
                      tr("%1 and will be visible under categories starting with 'ZT' in %2 in your FCP X browser.\n"
                         "Do you want to install more templates?")
                          .arg(installed, CollectionOpeningRules::kindNames(kinds)),
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
    if (_activeWork)
        return;
    const int installed = int(effectsWithSearchOption(EffectSearchInstalled).size());
    if (installed == 0) {
        // Nothing of ours to remove: nothing to confirm either.
        uninstallNow();
        return;
    }
    QPointer<TemplateArchiveCollection> alive(this);
    Alert::beginSheet(_window.get(),
                      tr("Uninstall %1 from Final Cut Pro's library?").arg(CollectionOpeningRules::templateCount(installed)),
                      tr("The installed templates of this window's archives are removed from the Motion Templates "
                         "folder; other templates stay."),
                      tr("Uninstall"), QString(), tr("Cancel"), [alive](int answer) {
                          if (alive && answer == 1)
                              alive->uninstallNow();
                      });
}

void TemplateArchiveCollection::uninstallNow()
{
    if (_activeWork)
        return;
    std::optional<Error> error;
    int removed = 0;
    int failed = 0;
    bool trashed = false;
    QList<TemplateInstallerV2 *> emptied;
    const bool stillOpen = runWithProgress(false, tr("Uninstalling “%1”…"), [&](TemplateInstallerV2 &installer) {
        error = installer.deleteEffects();
        const TemplateTransaction::RemovalReport &report = installer.lastRemovalReport();
        removed += report.removed;
        failed += report.failed;
        trashed = trashed || report.trashed;
        if (report.removed > 0)
            emptied.append(&installer);
        if (!error && report.failed > 0 && report.firstError)
            error = report.firstError;
        return !error;
    });
    if (!stillOpen)
        return;
    for (TemplateInstallerV2 *installer : std::as_const(emptied)) {
        // Its templates are gone again: its archive is no longer spare.
        _completelyInstalled.remove(installer);
        installer->setMustDeleteTemplatesArchive(false);
    }
    reloadTable();
    adjustInstallButtonState();
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
        if (trashed)
            text += QLatin1Char('\n') + tr("They were moved to the Trash.");
        Alert::beginSheet(_window.get(), tr("Uninstall Completed"), text, tr("Ok"), QString(), QString());
    }
}
