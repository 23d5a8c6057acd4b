// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/ProgressListener.h"

#include <QMutex>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QProgressDialog;
class QWidget;
class TemplateInstallerV2;

// A progress listener that a worker thread calls: it only stores what it is
// told, and the GUI thread reads it. cancel() may be called from any thread.
class WorkerProgress : public ProgressListener
{
public:
    bool progress(qint64 done, qint64 total) override;
    void setStatus(const QString &status) override;
    void setCurrentItem(const QString &name) override;
    void setLabel(const QString &label);
    void cancel() { _cancelled = true; }
    bool isCancelled() const { return _cancelled; }

    qint64 done() const { return _done; }
    qint64 total() const { return _total; }
    QString status() const;
    QString currentItem() const;
    QString label() const;

private:
    std::atomic<qint64> _done{0};
    std::atomic<qint64> _total{0};
    std::atomic<bool> _cancelled{false};
    mutable QMutex _mutex;
    QString _status;
    QString _currentItem;
    QString _label;
};

// Runs long core work on a worker thread while the GUI thread keeps its
// event loop turning: a progress dialog on `window` (after a moment) shows
// the label, the item being worked on, MB done of the total and the core's
// status; its Cancel cancels the work. run() returns when the work has
// finished, on the GUI thread. setLabel() may be called from the worker.
class BackgroundWork
{
public:
    BackgroundWork(QWidget *window, QString label);
    ~BackgroundWork();

    void setLabel(const QString &label);
    // Runs `work` with this object's listener; events are processed meanwhile.
    void run(const std::function<void(ProgressListener &)> &work);
    // The progress dialog, once it shows (for tests and the benchmark).
    QProgressDialog *dialog() const;
    void cancel();
    bool isCancelled() const { return _progress.isCancelled(); }
    // Called on the GUI thread at every refresh while the work runs.
    void setOnRefresh(std::function<void()> onRefresh) { _onRefresh = std::move(onRefresh); }

    // Cancels every run, now and later (the application is quitting: a
    // signal arrived while work was under way).
    static void cancelAll();
    static bool isCancellingAll();

private:
    void refresh();

    QPointer<QWidget> _window;
    WorkerProgress _progress;
    QPointer<QProgressDialog> _dialog;
    std::function<void()> _onRefresh;
    int _ticks = 0;
};

// Destroys installers on a worker thread: removing an unpack folder of
// thousands of templates takes seconds, and the window is gone by then.
// Everything handed over is finished before the application object goes.
namespace DeferredCleanup {

void discard(std::vector<std::unique_ptr<TemplateInstallerV2>> installers);
// Waits for every discard so far to finish.
void waitForAll();
int pendingCount();

} // namespace DeferredCleanup
