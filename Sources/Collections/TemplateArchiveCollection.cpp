// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/TemplateArchiveCollection.h"
#include "ui_TemplateArchiveCollection.h"

#include "Collections/Alert.h"
#include "Appearance/DarkAppearance.h"
#include "Common/DiagnosticLog.h"
#include "Collections/EffectsTableModel.h"
#include "Common/LogCategories.h"
#include "Collections/ProgressDialogListener.h"
#include "Collections/TemplateArchiveCollectionController.h"
#include "Installer/TemplateInstallerV2.h"

#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QPainter>
#include <QPainterPath>
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

QString archiveFileName(const QUrl &url)
{
    return QFileInfo(url.isLocalFile() ? url.toLocalFile() : url.path()).fileName();
}

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

    QList<QUrl> accepted;
    bool alreadyOpen = false;
    for (const QUrl &url : urls) {
        if (QFileInfo(url.path()).suffix() != QLatin1String("mtzip"))
            continue;
        if (accepted.contains(url))
            continue;
        if (openURLs.contains(url)) {
            alreadyOpen = true;
            continue;
        }
        accepted.append(url);
    }

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

    collection->_window = std::make_unique<QWidget>();
    collection->_ui = std::make_unique<Ui::TemplateArchiveCollection>();
    collection->_ui->setupUi(collection->_window.get());
    collection->_window->installEventFilter(collection);
    connect(collection->_ui->installButton, &QPushButton::clicked, collection,
            &TemplateArchiveCollection::installForCurrentUser);
    connect(collection->_ui->deleteButton, &QPushButton::clicked, collection,
            &TemplateArchiveCollection::uninstallEffects);

    collection->_templateInstallers = collection->_createTemplateInstallersWithSourceArchiveURLs(sourceArchiveURLs);

    // Owned by the collection, not the window: the view lets go of it when
    // the collection (and with it the installers' items) is gone.
    collection->_tableModel = new EffectsTableModel(collection, collection);
    QTableView *table = collection->_ui->effectsTable;
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
    collection->_ui->installButton->setFocus();

    collection->finishInit();
    return collection;
}

std::vector<std::unique_ptr<TemplateInstallerV2>> TemplateArchiveCollection::_createTemplateInstallersWithSourceArchiveURLs(
    const QList<QUrl> &sourceArchiveURLs)
{
    const QString root = TemplateInstaller::userDestMotionTemplatesFolder();
    std::vector<std::unique_ptr<TemplateInstallerV2>> installers;
    installers.reserve(size_t(sourceArchiveURLs.size()));
    ProgressDialogListener progress(_window.get(), QString());
    for (const QUrl &url : sourceArchiveURLs) {
        try {
            QString refusal;
            std::unique_ptr<TemplateInstallerV2> installer = TemplateInstallerV2::create(url, root, &refusal);
            if (!installer) {
                _problems.append(tr("“%1” was not opened: %2.").arg(archiveFileName(url), refusal));
                continue;
            }
            installers.push_back(std::move(installer));
            TemplateInstallerV2 *added = installers.back().get();
            added->setDelegate(this);
            progress.setLabel(tr("Unpacking “%1”…").arg(archiveFileName(url)));
            added->setProgressListener(&progress);
            if (!added->unarchive())
                _problems.append(tr("“%1” could not be unpacked: %2").arg(archiveFileName(url), added->unarchiveError()));
            added->setProgressListener(nullptr);
        } catch (const std::exception &e) {
            MTI_DIAGNOSTIC(lcGui, QString::fromLocal8Bit(e.what()));
        }
    }
    return installers;
}

void TemplateArchiveCollection::finishInit()
{
    DarkAppearance::apply(_window.get());
    _window->setWindowTitle(_templateInstallers.size() == 1 ? _templateInstallers.front()->title()
                                                            : tr("Multiple Template Archives"));
    adjustInstallButtonState();
}

TemplateArchiveCollection::~TemplateArchiveCollection()
{
    TemplateArchiveCollectionController::sharedController().removeCollection(this);
    _sourceArchiveURLs.clear();
    delete std::exchange(_tableModel, nullptr);
    _templateInstallers.clear();
    if (_window) {
        _window->removeEventFilter(this);
        _window->hide();
        // We may be inside the window's own close event.
        _window.release()->deleteLater();
    }
}

void TemplateArchiveCollection::close()
{
    delete this;
}

QWidget *TemplateArchiveCollection::window() const
{
    return _window.get();
}

bool TemplateArchiveCollection::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == _window.get()) {
        if (event->type() == QEvent::Close) {
            if (_activeProgress) {
                _closeRequested = true;
                _activeProgress->cancel();
                event->ignore();
                return true;
            }
            close();
            return false;
        }
        if (event->type() == QEvent::Show && !_problems.isEmpty())
            QTimer::singleShot(0, this, &TemplateArchiveCollection::showProblems);
    }
    return QObject::eventFilter(watched, event);
}

void TemplateArchiveCollection::showProblems()
{
    if (_problems.isEmpty() || !_window || !_window->isVisible())
        return;
    const QStringList problems = std::exchange(_problems, {});
    Alert::beginSheet(_window.get(),
                      problems.size() == 1 ? tr("An Archive Could Not Be Opened") : tr("Some Archives Could Not Be Opened"),
                      problems.join(QLatin1Char('\n')), tr("Ok"), QString(), QString());
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
    _ui->infoStr->setText(tr("%1 effects,  %2 installed").arg(all).arg(installed));
    _ui->installButton->setEnabled(all > 0 && all > installed);
    _ui->deleteButton->setEnabled(installed > 0);
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
    if (_activeProgress)
        return;
    QPointer<TemplateArchiveCollection> alive(this);
    std::optional<Error> error;
    int newlyInstalled = 0;
    const bool stillOpen = runWithProgress(tr("Installing “%1”…"), [&](TemplateInstallerV2 &installer) {
        error = installer.installEffects();
        if (error)
            return false;
        newlyInstalled += installer.lastInstallReport().newlyInstalled;
        // Only an archive all of whose templates this collection
        // installed may be deleted afterwards.
        if (installer.isUnpacked() && !installer.effects().empty())
            _completelyInstalled.insert(&installer);
        return true;
    });
    if (!stillOpen)
        return;

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
        reportInstallationCompleted(newlyInstalled);
    } else {
        const QString question = tr("The template archive file is no longer needed, do you want to delete or keep it?");
        Alert::beginSheet(_window.get(), tr("Delete Template Archive?"),
                          question + QStringLiteral("\n\n") + deletable.join(QLatin1Char('\n')),
                          tr("Keep"), tr("Delete"), QString(), [alive, newlyInstalled](int answer) {
                              if (!alive)
                                  return;
                              for (const auto &installer : alive->_templateInstallers) {
                                  installer->setMustDeleteTemplatesArchive(
                                      answer == 0 && alive->_completelyInstalled.contains(installer.get()));
                              }
                              alive->reportInstallationCompleted(newlyInstalled);
                          });
    }
    reloadTable();
    adjustInstallButtonState();
}

bool TemplateArchiveCollection::runWithProgress(const QString &labelFormat,
                                                const std::function<bool(TemplateInstallerV2 &)> &step)
{
    QPointer<TemplateArchiveCollection> alive(this);
    {
        ProgressDialogListener progress(_window.get(), QString());
        // Nothing may start another install or uninstall meanwhile.
        _activeProgress = &progress;
        for (QWidget *control : {static_cast<QWidget *>(_ui->installButton), static_cast<QWidget *>(_ui->deleteButton)})
            control->setEnabled(false);
        for (const auto &installer : _templateInstallers) {
            progress.setLabel(labelFormat.arg(installer->title()));
            installer->setProgressListener(&progress);
            const bool goOn = step(*installer);
            installer->setProgressListener(nullptr);
            if (!goOn)
                break;
        }
        _activeProgress = nullptr;
    }
    if (!alive)
        return false;
    if (_closeRequested) {
        // The window was closed meanwhile: the work was cancelled and rolled
        // back; now close.
        close();
        return false;
    }
    return true;
}

void TemplateArchiveCollection::reportInstallationCompleted(int newlyInstalled)
{
    QPointer<TemplateArchiveCollection> alive(this);
    Alert::beginSheet(_window.get(), tr("Installation Completed"),
                      tr("%1 templates were installed and will be visible under categories starting with 'ZT' in "
                         "generators in your FCP X browser.\nDo you want to install more templates?")
                          .arg(newlyInstalled),
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
    if (_activeProgress)
        return;
    std::optional<Error> error;
    int removed = 0;
    int failed = 0;
    bool trashed = false;
    const bool stillOpen = runWithProgress(tr("Uninstalling “%1”…"), [&](TemplateInstallerV2 &installer) {
        error = installer.deleteEffects();
        const TemplateTransaction::RemovalReport &report = installer.lastRemovalReport();
        removed += report.removed;
        failed += report.failed;
        trashed = trashed || report.trashed;
        if (report.removed > 0) {
            // Its templates are gone again: its archive is no longer spare.
            _completelyInstalled.remove(&installer);
            installer.setMustDeleteTemplatesArchive(false);
        }
        if (!error && report.failed > 0 && report.firstError)
            error = report.firstError;
        return !error;
    });
    if (!stillOpen)
        return;
    reloadTable();
    adjustInstallButtonState();
    if (error && error->isCancellation()) {
        Alert::beginSheet(_window.get(), tr("Uninstall Cancelled"),
                          tr("The templates of the cancelled archive were left installed."), tr("Ok"), QString(),
                          QString());
    } else if (failed > 0) {
        const QString reason = error ? error->localizedDescription() : QString();
        Alert::beginSheet(_window.get(), tr("Uninstall Failed"),
                          tr("%1 effects were uninstalled successfully.").arg(removed) + QLatin1Char('\n')
                              + (failed == 1 ? tr("1 template could not be removed: %1").arg(reason)
                                             : tr("%1 templates could not be removed: %2").arg(failed).arg(reason)),
                          tr("Ok"), QString(), QString());
    } else if (error) {
        Alert::beginSheet(_window.get(), tr("Uninstall Failed"), error->localizedDescription(), tr("Ok"), QString(),
                          QString());
    } else {
        QString text = tr("%1 effects were uninstalled successfully.").arg(removed);
        if (trashed)
            text += QLatin1Char('\n') + tr("They were moved to the Trash.");
        Alert::beginSheet(_window.get(), tr("Uninstall Completed"), text, tr("Ok"), QString(), QString());
    }
}
