// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/CollectionFlows.h"

#include "Collections/CollectionWindowController.h"
#include "Collections/EffectsTableModel.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionWindow.h"
#include "Documents/CollectionOpeningRules.h"
#include "Installer/EffectTemplateItem.h"
#include "Installer/TemplateInstallerV2.h"
#include "Interface/Alert.h"
#include "Interface/BackgroundWork.h"
#include "Interface/DocumentLoader.h"
#include "Interface/FinalCutNotice.h"
#include "Common/UserSettings.h"
#include "Metadata/TemplateMarks.h"

#include <QHash>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <cerrno>
#include <memory>

namespace {

std::function<void()> &terminateHandler()
{
    static std::function<void()> handler = [] { QCoreApplication::quit(); };
    return handler;
}

// The transaction names the template folders it installs; the dialog names
// them by the titles the table shows.
class TitledProgress : public ProgressListener
{
public:
    TitledProgress(ProgressListener &inner, const QHash<QString, QString> &titles) : _inner(inner), _titles(titles) {}
    bool progress(qint64 done, qint64 total) override { return _inner.progress(done, total); }
    void setStatus(const QString &status) override { _inner.setStatus(status); }
    void setCurrentItem(const QString &name) override { _inner.setCurrentItem(_titles.value(name, name)); }

private:
    ProgressListener &_inner;
    const QHash<QString, QString> &_titles;
};

} // namespace

CollectionFlows::CollectionFlows(TemplateArchiveCollection &collection)
    : _collection(collection)
{
}

void CollectionFlows::setTerminateHandler(std::function<void()> handler)
{
    terminateHandler() = handler ? std::move(handler) : [] { QCoreApplication::quit(); };
}

QString CollectionFlows::someOf(const QStringList &titles)
{
    // A sheet with hundreds of titles would run off the screen.
    constexpr qsizetype Shown = 5;
    QString text = titles.mid(0, Shown).join(QLatin1Char('\n'));
    if (titles.size() > Shown)
        text += QLatin1Char('\n') + tr("and %1 more").arg(titles.size() - Shown);
    return text;
}

void CollectionFlows::sheet(const QString &title, const QString &text, const QString &button)
{
    Alert::beginSheet(_collection.window(), title, text, {button.isEmpty() ? tr("OK") : button, QString(), QString()});
}

QString CollectionFlows::tooNewQuestion(int count, const FinalCutVersions::Requirement &newest,
                                        const QVersionNumber &finalCut)
{
    const QString needed = TemplateMarks::requirementText(newest);
    return count == 1 ? tr("1 template needs %1; this Mac has %2").arg(needed, finalCut.toString())
                      : tr("%1 templates need %2; this Mac has %3").arg(count).arg(needed, finalCut.toString());
}

void CollectionFlows::install(const Selection &selection)
{
    if (_collection.isBusy())
        return;
    // The documents the table has read already are judged as they are; the
    // others, and the Final Cut Pro version, are looked up on the worker.
    struct Candidate
    {
        const EffectTemplateItem *item;
        QString folder;
        DocumentLoader::Document document;
    };
    auto candidates = std::make_shared<std::vector<Candidate>>();
    const EffectsTableModel *model = _collection.tableModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        const EffectTemplateItem *item = model->item(row);
        if (!selection || selection->contains(item))
            candidates->push_back({item, item->sourceFolderPath(), model->document(row)});
    }
    auto tooNew = std::make_shared<TooNew>();
    _collection.runInBackground(
        TemplateArchiveCollection::Work::Install,
        [candidates, tooNew](ProgressListener &, BackgroundWork &work) {
            tooNew->finalCut = FinalCutVersions::effectiveVersion(UserSettings::finalCutVersionOverride());
            // No Final Cut Pro known: nothing is too new, nothing to ask.
            if (!tooNew->finalCut)
                return;
            for (Candidate &candidate : *candidates) {
                if (work.isCancelled()) {
                    tooNew->cancelled = true;
                    return;
                }
                if (!candidate.document)
                    candidate.document = DocumentLoader::read(candidate.folder);
                // None for a template whose files are not there yet.
                if (!candidate.document)
                    continue;
                const Expected<TemplateDocument> &document = *candidate.document;
                if (!document || !FinalCutVersions::isTooNew(document->finalCut, *tooNew->finalCut))
                    continue;
                tooNew->items.append(candidate.item);
                tooNew->titles.append(EffectsTableModel::shownTitle(*candidate.item));
                const FinalCutVersions::Requirement &needed = document->finalCut;
                FinalCutVersions::Requirement &newest = tooNew->newest;
                if (needed.newerThanTable > newest.newerThanTable
                    || (needed.newerThanTable == newest.newerThanTable && needed.finalCut > newest.finalCut))
                    newest = needed;
            }
        },
        [this, selection, tooNew] {
            // Cancelled while looking: nothing was installed, nothing is.
            if (tooNew->cancelled)
                return;
            if (tooNew->items.isEmpty())
                installNow(selection);
            else
                askAboutTooNew(selection, *tooNew);
        });
}

void CollectionFlows::askAboutTooNew(const Selection &selection, const TooNew &tooNew)
{
    QPointer<CollectionFlows> alive(this);
    // The rest of the selection: Skip Those installs only these.
    QSet<const EffectTemplateItem *> rest;
    const EffectsTableModel *model = _collection.tableModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        const EffectTemplateItem *item = model->item(row);
        if ((!selection || selection->contains(item)) && !tooNew.items.contains(item))
            rest.insert(item);
    }
    const QString text = someOf(tooNew.titles) + QStringLiteral("\n\n")
        + tr("Final Cut Pro cannot open them until it is updated. Skip Those installs the others.");
    // Cancel is the default (Return) and Escape's: the safe answer. Install
    // Anyway takes the destructive place.
    QMessageBox *box = Alert::beginSheet(
        _collection.window(), tooNewQuestion(int(tooNew.items.size()), tooNew.newest, *tooNew.finalCut), text,
        {tr("Skip Those"), tr("Install Anyway"), tr("Cancel")}, [alive, selection, rest](int answer) {
            if (!alive || answer < 0)
                return;
            if (answer == 0) {
                alive->installNow(selection);
                return;
            }
            // Nothing left once those are skipped: nothing to install.
            if (!rest.isEmpty())
                alive->installNow(rest);
        });
    if (auto *cancel = qobject_cast<QPushButton *>(box->escapeButton()))
        box->setDefaultButton(cancel);
}

void CollectionFlows::installNow(const Selection &selection)
{
    if (_collection.isBusy())
        return;
    // Shared with the worker: the collection may be closed before it ends, and
    // the job must still have somewhere to write.
    auto outcome = std::make_shared<TemplateArchiveDocument::InstallOutcome>();
    auto finalCut = std::make_shared<QString>();
    TemplateArchiveDocument *document = &_collection.document();
    QHash<QString, QString> titles;
    for (const EffectTemplateItem *item : document->effectsWithSearchOption(EffectSearchAll))
        titles.insert(item->relativeDestinationPath().section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty),
                      EffectsTableModel::shownTitle(*item));
    _collection.runInBackground(
        TemplateArchiveCollection::Work::Install,
        [document, selection, outcome, titles, finalCut](ProgressListener &listener, BackgroundWork &work) {
            TitledProgress titled(listener, titles);
            *outcome = document->install(selection, &titled, [&work](const TemplateInstallerV2 &installer) {
                work.setLabel(tr("Installing “%1”…").arg(installer.title()));
            });
            if (outcome->newlyInstalled > 0)
                *finalCut = FinalCutNotice::runningFinalCut();
        },
        [this, selection, outcome, finalCut] {
            _runningFinalCut = *finalCut;
            installed(selection, *outcome);
        });
}

void CollectionFlows::installed(const Selection &selection, const TemplateArchiveDocument::InstallOutcome &outcome)
{
    _collection.view().applyInstalledStates(outcome.installed);
    if (!outcome.editedCopies.isEmpty() || !outcome.foreignCopies.isEmpty()) {
        askToReplace(selection, outcome.editedCopies, outcome.foreignCopies);
        return;
    }
    if (outcome.error) {
        if (outcome.error->isCancellation()) {
            sheet(tr("Installation Cancelled"),
                  tr("The templates of the cancelled archive were not installed; the templates folder is "
                     "as it was before."));
        } else if (outcome.error->domain() == Error::PosixDomain && outcome.error->code() == ENOSPC) {
            // The core's text names both sizes and that nothing was changed.
            sheet(tr("Not Enough Free Space"), outcome.error->localizedDescription());
        } else {
            sheet(tr("Installation Failed"), outcome.error->localizedDescription(), tr("Ok"));
        }
        return;
    }
    // Kept for the report, which comes only after the delete question's answer.
    _lastKept = outcome.kept;
    if (outcome.deletableArchives.isEmpty()) {
        // No archive was installed whole: nothing to offer to delete.
        reportInstallationCompleted(outcome.newlyInstalled, outcome.kinds);
        return;
    }
    offerToDeleteArchives(outcome);
}

void CollectionFlows::offerToDeleteArchives(const TemplateArchiveDocument::InstallOutcome &outcome)
{
    QPointer<CollectionFlows> alive(this);
    const int newlyInstalled = outcome.newlyInstalled;
    const QList<quint64> kinds = outcome.kinds;
    const QString question = tr("The template archive file is no longer needed, do you want to delete or keep it?");
    Alert::beginSheet(_collection.window(), tr("Delete Template Archive?"),
                      question + QStringLiteral("\n\n") + outcome.deletableArchives.join(QLatin1Char('\n')), {tr("Keep"), tr("Delete"), QString()}, [alive, newlyInstalled, kinds](int answer) {
                          if (!alive)
                              return;
                          // Only flagged: the archive goes when the collection closes, as its
                          // unpacked folder does, not while the window still lists its templates.
                          alive->_collection.document().setDeleteArchives(answer == 0);
                          alive->reportInstallationCompleted(newlyInstalled, kinds);
                      });
}

// Copies the user changed, or that are not these archives', stand where the
// selection goes: nothing was written; the user decides.
void CollectionFlows::askToReplace(const Selection &selection, const QStringList &edited, const QStringList &foreign)
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
    QPointer<CollectionFlows> alive(this);
    Alert::beginSheet(_collection.window(), tr("Replace Templates?"), parts.join(QStringLiteral("\n\n")), {tr("Keep My Versions"), tr("Replace"), tr("Cancel")}, [alive, selection](int answer) {
                          if (!alive || answer < 0)
                              return;
                          const bool replace = answer == 0;
                          // The policy stays on the document for the second run, which now replaces
                          // or keeps without asking.
                          alive->_collection.document().setOwnershipPolicy({replace, replace, false});
                          alive->installNow(selection);
                      });
}

void CollectionFlows::reportInstallationCompleted(int newlyInstalled, const QList<quint64> &kinds)
{
    QPointer<TemplateArchiveCollection> collection(&_collection);
    const QString installed = newlyInstalled == 1 ? tr("1 template was installed") : tr("%1 templates were installed").arg(newlyInstalled);
    // Final Cut Pro running: it shows the new templates only once reopened,
    // which the first button offers in place of installing more.
    const QString finalCut = std::exchange(_runningFinalCut, QString());
    QString text = finalCut.isEmpty()
        ? tr("%1 and will be visible under categories starting with 'ZT' in %2 in your FCP X browser.\n"
             "Do you want to install more templates?")
              .arg(installed, CollectionOpeningRules::kindNames(kinds))
        : tr("%1 and will be visible under categories starting with 'ZT' in %2 in your FCP X browser.")
                  .arg(installed, CollectionOpeningRules::kindNames(kinds))
            + QLatin1Char('\n') + FinalCutNotice::note();
    if (_lastKept > 0)
        text.prepend((_lastKept == 1 ? tr("1 template you changed or that others installed was kept as it was.")
                                     : tr("%1 templates you changed or that others installed were kept as they were.")
                                           .arg(_lastKept))
                     + QLatin1Char('\n'));
    if (!finalCut.isEmpty()) {
        QPointer<QWidget> window(_collection.window());
        Alert::beginSheet(_collection.window(), tr("Installation Completed"), text,
                          {FinalCutNotice::reopenButton(), tr("Quit"), tr("Cancel")}, [window, finalCut](int answer) {
                              if (answer == 1)
                                  FinalCutNotice::reopen(window, finalCut);
                              else if (answer == 0)
                                  QTimer::singleShot(0, qApp, [] { terminateHandler()(); });
                          });
        return;
    }
    Alert::beginSheet(_collection.window(), tr("Installation Completed"), text, {tr("Yes"), tr("Quit"), tr("Cancel")},
                      [collection](int answer) {
                          if (answer == 1) {
                              // Never from inside the sheet's handler: close first, then
                              // ask for more archives, each on its own turn of the loop.
                              // A window with templates still to install stays.
                              QTimer::singleShot(0, qApp, [collection] {
                                  const EffectsTableModel *table = collection ? collection->tableModel() : nullptr;
                                  if (table && table->installedCount() >= table->rowCount())
                                      collection->close();
                              });
                              QTimer::singleShot(0, qApp, [] {
                                  // Nothing else brings these windows up.
                                  const QList<TemplateArchiveCollection *> opened =
                                      TemplateArchiveCollection::openNewTemplateArchives();
                                  for (TemplateArchiveCollection *next : opened)
                                      next->showWhenOpened();
                              });
                          } else if (answer == 0) {
                              // Quit from the event loop too: the sheet is still being answered.
                              QTimer::singleShot(0, qApp, [] { terminateHandler()(); });
                          }
                      });
}

void CollectionFlows::askToUninstall(const Selection &selection)
{
    if (_collection.isBusy())
        return;
    // The count in the question is the folder's now, looked at off this thread.
    struct Looked
    {
        std::vector<bool> states;
        TemplateArchiveDocument::Conflicts conflicts;
    };
    auto looked = std::make_shared<Looked>();
    const TemplateArchiveDocument *document = &_collection.document();
    _collection.runInBackground(
        TemplateArchiveCollection::Work::Uninstall,
        [looked, document, selection](ProgressListener &, BackgroundWork &) {
            // The states too, so the marks match the count the question names.
            looked->states = document->installedStates();
            looked->conflicts = document->conflicts(selection, true);
        },
        [this, looked, selection] {
            _collection.view().applyInstalledStates(std::move(looked->states));
            confirmUninstall(selection, looked->conflicts);
        });
}

int CollectionFlows::installedCount(const Selection &selection) const
{
    const EffectsTableModel *model = _collection.tableModel();
    int installed = 0;
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->installedState(row) && (!selection || selection->contains(model->item(row))))
            ++installed;
    }
    return installed;
}

void CollectionFlows::confirmUninstall(const Selection &selection, const TemplateArchiveDocument::Conflicts &conflicts)
{
    const int installed = installedCount(selection);
    if (installed == 0) {
        // Nothing of ours to remove: nothing to confirm either.
        uninstallNow(selection);
        return;
    }
    QPointer<CollectionFlows> alive(this);
    const QString question =
        tr("Uninstall %1 from Final Cut Pro's library?").arg(CollectionOpeningRules::templateCount(installed));
    if (!conflicts.edited.isEmpty()) {
        QMessageBox *sheet = Alert::beginSheet(_collection.window(), question,
                          (conflicts.edited.size() == 1 ? tr("1 of them you changed:")
                                                        : tr("%1 of them you changed:").arg(conflicts.edited.size()))
                              + QLatin1Char('\n') + someOf(conflicts.edited) + QStringLiteral("\n\n")
                              + tr("Uninstall All sends those to the Trash too; Keep Changed Ones leaves them installed."), {tr("Keep Changed Ones"), tr("Uninstall All"), tr("Cancel")}, [alive, selection](int answer) {
                              if (!alive || answer < 0)
                                  return;
                              alive->_collection.document().setOwnershipPolicy({false, false, answer == 0});
                              alive->uninstallNow(selection);
                          });
        Alert::preferCancel(sheet);
        return;
    }
    // No changed copies: the default policy, whatever an earlier question set.
    _collection.document().setOwnershipPolicy({});
    QMessageBox *sheet = Alert::beginSheet(_collection.window(), question,
                      selection ? tr("The selected templates are removed from the Motion Templates folder; other "
                                     "templates stay.")
                                : tr("The installed templates of this window's archives are removed from the Motion "
                                     "Templates folder; other templates stay."), {tr("Uninstall"), QString(), tr("Cancel")}, [alive, selection](int answer) {
                          if (alive && answer == 1)
                              alive->uninstallNow(selection);
                      });
    Alert::preferCancel(sheet);
}

void CollectionFlows::uninstallNow(const Selection &selection)
{
    if (_collection.isBusy())
        return;
    auto outcome = std::make_shared<TemplateArchiveDocument::UninstallOutcome>();
    auto finalCut = std::make_shared<QString>();
    TemplateArchiveDocument *document = &_collection.document();
    _collection.runInBackground(
        TemplateArchiveCollection::Work::Uninstall,
        [document, selection, outcome, finalCut](ProgressListener &listener, BackgroundWork &work) {
            *outcome = document->uninstall(selection, &listener, [&work](const TemplateInstallerV2 &installer) {
                work.setLabel(tr("Uninstalling “%1”…").arg(installer.title()));
            });
            if (outcome->removed > 0)
                *finalCut = FinalCutNotice::runningFinalCut();
        },
        [this, outcome, finalCut] {
            _runningFinalCut = *finalCut;
            _collection.view().applyInstalledStates(std::move(outcome->installed));
            reportUninstalled(*outcome);
        });
}

QString CollectionFlows::uninstalledText(const TemplateArchiveDocument::UninstallOutcome &outcome) const
{
    QString text = outcome.removed == 1 ? tr("1 effect was uninstalled successfully.")
                                        : tr("%1 effects were uninstalled successfully.").arg(outcome.removed);
    if (outcome.trashed)
        text += QLatin1Char('\n') + tr("They were moved to the Trash.");
    if (outcome.keptEdited > 0)
        text += QLatin1Char('\n') + (outcome.keptEdited == 1 ? tr("1 template you changed was kept.")
                                                             : tr("%1 templates you changed were kept.").arg(outcome.keptEdited));
    if (outcome.keptForeign > 0) {
        text += QLatin1Char('\n')
            + (outcome.keptForeign == 1 ? tr("1 template installed by another archive or copied in by hand was kept.")
                                        : tr("%1 templates installed by another archive or copied in by hand were kept.")
                                              .arg(outcome.keptForeign));
    }
    return text;
}

void CollectionFlows::reportUninstalled(const TemplateArchiveDocument::UninstallOutcome &outcome)
{
    const std::optional<Error> &error = outcome.error;
    const int failed = outcome.failed;
    const QString removedText = outcome.removed == 1 ? tr("1 effect was uninstalled successfully.")
                                                     : tr("%1 effects were uninstalled successfully.").arg(outcome.removed);
    if (error && error->isCancellation()) {
        sheet(tr("Uninstall Cancelled"), tr("The templates of the cancelled archive were left installed."));
    } else if (failed > 0) {
        const QString reason = error ? error->localizedDescription() : QString();
        sheet(tr("Uninstall Failed"),
              removedText + QLatin1Char('\n')
                  + (failed == 1 ? tr("1 template could not be removed: %1").arg(reason)
                                 : tr("%1 templates could not be removed: %2").arg(failed).arg(reason)),
              tr("Ok"));
    } else if (error) {
        sheet(tr("Uninstall Failed"), error->localizedDescription(), tr("Ok"));
    } else if (const QString finalCut = std::exchange(_runningFinalCut, QString()); !finalCut.isEmpty()) {
        QPointer<QWidget> window(_collection.window());
        Alert::beginSheet(_collection.window(), tr("Uninstall Completed"),
                          uninstalledText(outcome) + QLatin1Char('\n') + FinalCutNotice::note(),
                          {tr("Ok"), FinalCutNotice::reopenButton(), QString()}, [window, finalCut](int answer) {
                              if (answer == 0)
                                  FinalCutNotice::reopen(window, finalCut);
                          });
    } else {
        sheet(tr("Uninstall Completed"), uninstalledText(outcome), tr("Ok"));
    }
}
