// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Installer/TemplateLibrary.h"

#include <QList>
#include <QMainWindow>
#include <QStringList>
#include <QUrl>

#include <map>
#include <memory>
#include <optional>
#include <vector>

class LibraryPreviewPane;
class QAction;
class QMenu;
class QPushButton;
class RecentlyRemovedModel;
class RecentlyRemovedPane;
class TemplateLibraryFilterModel;
class TemplateLibraryModel;
namespace Ui { class TemplateLibraryWindow; }

// The library window: every template installed in the user's root and the
// all-users root, with search, kind, category and location filters, and
// Remove (to the Trash, after a confirmation), Reveal, Verify and Re-install
// for the selection. It follows the roots as they change. Its Recently
// Removed tab lists what went from these roots to the Trash, with Restore.
// Remove, Verify and Restore run on a worker; meanwhile the window takes no
// other command and a close waits for the work to end.
class TemplateLibraryWindow : public QMainWindow
{
    Q_OBJECT

public:
    struct Location
    {
        QString root;
        QString name;  // for the location filter: "My Templates"
    };
    // The user's root, then the all-users root where the platform has one.
    static QList<Location> defaultLocations();

    explicit TemplateLibraryWindow(const QList<Location> &locations = defaultLocations(), QWidget *parent = nullptr);
    ~TemplateLibraryWindow() override;

    // The widgets, actions and models as they are: the tests drive the window
    // through them, as a user would.
    Ui::TemplateLibraryWindow &ui() const { return *_ui; }
    TemplateLibraryModel *model() const { return _model; }
    TemplateLibraryFilterModel *filterModel() const { return _filter; }
    QAction *removeAction() const { return _removeAction; }
    QAction *revealAction() const { return _revealAction; }
    QAction *verifyAction() const { return _verifyAction; }
    QAction *reinstallAction() const { return _reinstallAction; }
    QAction *restoreAction() const { return _restoreAction; }
    QAction *hideAction() const { return _hideAction; }
    QAction *showAction() const { return _showAction; }
    // The window's own menu: its commands on the selection, for the menu bar.
    QMenu *templatesMenu() const { return _templatesMenu; }
    RecentlyRemovedModel *removedModel() const;
    // The list has been read at least once and no reading is under way.
    bool hasLoadedRemoved() const;
    // The context menu of the table, as it is shown.
    QMenu *contextMenu() const { return _contextMenu; }
    LibraryPreviewPane *previewPane() const { return _previewPane; }

    // Rows of model() that are selected, in the table's order.
    QList<int> selectedRows() const;
    // Selects the template with that key (TemplateLibraryModel::KeyRole);
    // false when no visible row has it.
    bool selectTemplate(const QString &key);
    bool isBusy() const { return _busy; }
    QString statusText() const;

public slots:
    // Asks, naming the count, then moves the selected templates to the Trash.
    void removeSelected();
    void revealSelected();
    // The selected templates, or every one when nothing is selected.
    void verifySelected();
    void reinstallSelected();
    // Hides the selected templates from Final Cut Pro's browser (old
    // projects still render them), or shows them again.
    void hideSelected();
    void showSelected();
    // Puts the selected rows of Recently Removed back, each where it was.
    void restoreSelectedRemoved();
    // Reads the Recently Removed list again, on a worker.
    void refreshRecentlyRemoved();

signals:
    // Re-install: the archives the selected templates came from, each still
    // where its receipt says; the application opens them in a collection
    // window, where they are installed again.
    void reinstallRequested(const QList<QUrl> &archives);
    // Verify is done and its results are on screen.
    void verificationShown(QWidget *dialog);
    // The Recently Removed list was read and is on screen.
    void recentlyRemovedLoaded();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createActions();
    void setUpTable();
    void setUpPreviewPane();
    void showCurrentInPane();
    void fillFilters();
    void refreshCategories();
    void applyFilters();
    void updateState();
    void rememberView();
    void restoreView();
    QList<QUrl> reinstallableArchives() const;
    // What a Remove did, gathered on its worker.
    struct Removal
    {
        int removed = 0;
        int failed = 0;
        bool deleted = false;  // no Trash on the volume
        bool declined = false; // the administrator's password was not given
        std::optional<Error> firstError;
        // The Final Cut Pro found running afterwards (its bundle identifier).
        QString runningFinalCut;
    };
    // By root: each root has its own lock and receipts, so one remove() each.
    void removeNow(const std::map<int, QStringList> &byRoot);
    void setHiddenNow(bool hidden);
    // On a worker, through mtzip with the platform's elevation.
    static void removeElevated(const QString &root, const QStringList &destinations, Removal &outcome);
    static void setHiddenElevated(const QString &root, const QStringList &destinations, bool hidden, int &done,
                                  int &failed, std::optional<Error> &firstError);
    // Selected rows whose document says hidden (or not): what Show (or Hide) acts on.
    QList<int> selectedRowsHidden(bool hidden) const;
    void reportRemoval(const Removal &outcome);
    // Final Cut Pro ran while the library changed: it shows the change once
    // reopened, which the sheet's second button does.
    void offerToReopenFinalCut(const QString &title, const QString &text, const QString &finalCut);
    void showVerification(const std::vector<TemplateLibrary::Verification> &results);
    void setBusy(bool busy);
    void setUpRemovedTable();
    bool showsRemoved() const;

    std::unique_ptr<Ui::TemplateLibraryWindow> _ui;
    QList<Location> _locations;
    TemplateLibraryModel *_model = nullptr;
    TemplateLibraryFilterModel *_filter = nullptr;
    QAction *_removeAction = nullptr;
    QAction *_revealAction = nullptr;
    QAction *_verifyAction = nullptr;
    QAction *_reinstallAction = nullptr;
    QAction *_restoreAction = nullptr;
    QAction *_hideAction = nullptr;
    QAction *_showAction = nullptr;
    QMenu *_templatesMenu = nullptr;
    QPushButton *_hideButton = nullptr;
    QMenu *_contextMenu = nullptr;
    RecentlyRemovedPane *_removed = nullptr;
    LibraryPreviewPane *_previewPane = nullptr;
    bool _busy = false;
    // A close came while busy: it is carried out when the work ends.
    bool _closeWhenDone = false;

    // What a rescan that resets the model must give back.
    QStringList _keptSelection;
    QString _keptCurrent;
    QString _keptTopRow;
    int _keptTopOffset = 0;
};
