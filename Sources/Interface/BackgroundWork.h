// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Interface/WorkerProgress.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QProgressDialog;
class QWidget;

// Long core work on a worker thread (QtConcurrent) while the GUI thread
// goes on with its own event loop: a progress dialog on `window` (after a
// moment) shows the label, the item being worked on, MB done of the total
// and the core's status; its Cancel cancels the work. finished() follows on
// the GUI thread. setLabel() may be called from the worker.
class BackgroundWork : public QObject
{
    Q_OBJECT

public:
    BackgroundWork(QWidget *window, QString label, QObject *parent = nullptr);
    // Cancels work still running and waits for it: whatever it uses must
    // outlive this object.
    ~BackgroundWork() override;

    void setLabel(const QString &label);
    // Runs `work` with this object's listener. One run at a time.
    void start(std::function<void(ProgressListener &)> work);
    bool isRunning() const { return _watcher.isRunning(); }
    // The progress dialog, once it shows (for tests and the benchmark).
    QProgressDialog *dialog() const;
    void cancel();
    bool isCancelled() const { return _progress.isCancelled(); }
    // Whether the dialog blocks its window (the default). A window whose
    // own controls guard against more work may leave it unblocked, so that
    // its close button still reaches it: the platform drops a close on a
    // window that a modal dialog blocks.
    void setBlocksWindow(bool blocks) { _blocksWindow = blocks; }
    // A quiet run shows no dialog until it is made loud again (someone
    // waits for it now): then the dialog comes at the next refresh.
    // Going quiet puts away a dialog already up.
    void setQuiet(bool quiet);
    bool isQuiet() const { return _quiet; }
    // When set, the dialog's Cancel calls this instead of cancelling the
    // work: the one who waited gives up, the work itself goes on.
    void setOnDialogCancel(std::function<void()> onCancel) { _onDialogCancel = std::move(onCancel); }
    // Called on the GUI thread at every refresh while the work runs.
    void setOnRefresh(std::function<void()> onRefresh) { _onRefresh = std::move(onRefresh); }

    // Cancels every run, now and later (the application is quitting: a
    // signal arrived while work was under way).
    static void cancelAll();
    static bool isCancellingAll();

signals:
    void finished();

private:
    void refresh();
    void showDialog();
    void updateDialog();
    void done();

    QPointer<QWidget> _window;
    WorkerProgress _progress;
    QPointer<QProgressDialog> _dialog;
    QFutureWatcher<void> _watcher;
    QTimer _timer;
    std::function<void()> _onRefresh;
    std::function<void()> _onDialogCancel;
    int _ticks = 0;
    int _lineWidth = 0;
    bool _blocksWindow = true;
    bool _quiet = false;
};
