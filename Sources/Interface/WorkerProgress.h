// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/ProgressListener.h"

#include <QMutex>
#include <QString>

#include <atomic>

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
    // Every run starts from nothing done and nothing said.
    void reset();

    qint64 done() const { return _done; }
    qint64 total() const { return _total; }
    QString status() const;
    QString currentItem() const;
    QString label() const;

    // Makes every listener's progress() answer false, now and later.
    static void cancelAll();
    static bool isCancellingAll();

private:
    // The numbers are atomics, read at every refresh; the texts sit under the mutex.
    std::atomic<qint64> _done{0};
    std::atomic<qint64> _total{0};
    std::atomic<bool> _cancelled{false};
    mutable QMutex _mutex;
    QString _status;
    QString _currentItem;
    QString _label;
};
