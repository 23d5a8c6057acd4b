// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/RecentlyRemoved.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QWidget;
class RecentlyRemovedModel;
namespace Ui { class TemplateLibraryWindow; }

// The library window's Recently Removed tab: reads what went from the roots
// to the Trash on a worker, shows it, and puts the selected templates back
// (Restore) on a worker under a progress dialog.
class RecentlyRemovedPane : public QObject
{
    // Translated in the window's context: to translators the tab is part of it.
    Q_DECLARE_TR_FUNCTIONS(TemplateLibraryWindow)

public:
    struct Hooks
    {
        // Restore starts (true) and ends (false): the window takes no other command meanwhile.
        std::function<void(bool busy)> setBusy;
        std::function<bool()> isBusy;
        // Something was restored: the library's list is out of date.
        std::function<void()> restored;
        // The list was read and is on screen.
        std::function<void()> loaded;
    };

    RecentlyRemovedPane(Ui::TemplateLibraryWindow &ui, QAction *restoreAction, QWidget *window, Hooks hooks);
    ~RecentlyRemovedPane() override;

    RecentlyRemovedModel *model() const { return _model; }
    // The list has been read at least once and no reading is under way.
    bool hasLoaded() const { return _loaded && !_loader; }
    void setRoots(QStringList roots) { _roots = std::move(roots); }

    // Reads the list again; a request while reading reads once more after.
    void refresh();
    void restoreSelected();
    // The status line, the empty page and Restore from the list as it is.
    void updateState();

private:
    using Found = std::vector<RecentlyRemoved::Item>;
    struct Restoring;

    void show(Found found);
    void reportRestored(const Restoring &outcome);

    Ui::TemplateLibraryWindow &_ui;
    QAction *_restoreAction;
    QWidget *_window;
    Hooks _hooks;
    RecentlyRemovedModel *_model;
    QStringList _roots;
    std::unique_ptr<QFutureWatcher<Found>> _loader;
    bool _loaded = false;
    bool _reloadPending = false;
};
