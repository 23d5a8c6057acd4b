// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Interface/WorkerProgress.h"

#include <QMutexLocker>

namespace {

std::atomic<bool> sCancelAll{false};

} // namespace

bool WorkerProgress::progress(qint64 done, qint64 total)
{
    _done = done;
    _total = total;
    // Sticky: a worker asking again later must get the same answer.
    if (sCancelAll)
        _cancelled = true;
    return !_cancelled;
}

void WorkerProgress::reset()
{
    _done = 0;
    _total = 0;
    QMutexLocker lock(&_mutex);
    _status.clear();
    _currentItem.clear();
}

void WorkerProgress::setStatus(const QString &status)
{
    QMutexLocker lock(&_mutex);
    _status = status;
}

QString WorkerProgress::status() const
{
    QMutexLocker lock(&_mutex);
    return _status;
}

void WorkerProgress::setCurrentItem(const QString &name)
{
    QMutexLocker lock(&_mutex);
    _currentItem = name;
}

QString WorkerProgress::currentItem() const
{
    QMutexLocker lock(&_mutex);
    return _currentItem;
}

void WorkerProgress::setLabel(const QString &label)
{
    QMutexLocker lock(&_mutex);
    // A new label starts a new step: the item last named was the old step's.
    _label = label;
    _currentItem.clear();
}

QString WorkerProgress::label() const
{
    QMutexLocker lock(&_mutex);
    return _label;
}

void WorkerProgress::cancelAll()
{
    sCancelAll = true;
}

bool WorkerProgress::isCancellingAll()
{
    return sCancelAll;
}
