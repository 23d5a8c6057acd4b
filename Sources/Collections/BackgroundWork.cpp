// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/BackgroundWork.h"

#include "Appearance/DarkAppearance.h"
#include "Installer/TemplateInstallerV2.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLocale>
#include <QMutexLocker>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <list>
#include <thread>

namespace {

std::atomic<bool> sCancelAll{false};

constexpr int RefreshMs = 40;
// The dialog appears only for work that takes longer than this.
constexpr int ShowAfterTicks = 400 / RefreshMs;

QString megabytes(qint64 bytes)
{
    return QLocale().toString(double(bytes) / (1024.0 * 1024.0), 'f', 1);
}

} // namespace

bool WorkerProgress::progress(qint64 done, qint64 total)
{
    _done = done;
    _total = total;
    if (sCancelAll)
        _cancelled = true;
    return !_cancelled;
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
    _label = label;
    _currentItem.clear();
}

QString WorkerProgress::label() const
{
    QMutexLocker lock(&_mutex);
    return _label;
}

BackgroundWork::BackgroundWork(QWidget *window, QString label)
    : _window(window)
{
    _progress.setLabel(label);
}

BackgroundWork::~BackgroundWork()
{
    delete _dialog.data();
}

QProgressDialog *BackgroundWork::dialog() const
{
    return _dialog.data();
}

void BackgroundWork::setLabel(const QString &label)
{
    _progress.setLabel(label);
}

void BackgroundWork::cancel()
{
    _progress.cancel();
}

void BackgroundWork::run(const std::function<void(ProgressListener &)> &work)
{
    _ticks = 0;
    _progress.progress(0, 0);
    _progress.setStatus(QString());
    _progress.setCurrentItem(QString());
    QEventLoop loop;
    QThread *thread = QThread::create([this, &work] { work(_progress); });
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    QTimer timer;
    timer.setInterval(RefreshMs);
    QObject::connect(&timer, &QTimer::timeout, &loop, [this] { refresh(); });
    timer.start();
    thread->start();
    // Only timers, painting and input while the worker runs: the modal
    // dialog (or the window's own guards) keep the user from starting more.
    loop.exec();
    thread->wait();
    delete thread;
    if (_onRefresh)
        _onRefresh();
    if (_dialog)
        _dialog->hide();
}

void BackgroundWork::refresh()
{
    if (sCancelAll)
        _progress.cancel();
    ++_ticks;
    if (!_dialog && _ticks >= ShowAfterTicks) {
        QWidget *parent = _window && _window->isVisible() ? _window.data() : nullptr;
        _dialog = new QProgressDialog(_progress.label(), QObject::tr("Cancel"), 0, 1000, parent);
        _dialog->setObjectName(QStringLiteral("progressDialog"));
        _dialog->setWindowTitle(QObject::tr("Motion Template Installer"));
        _dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
        _dialog->setMinimumDuration(0);
        _dialog->setMinimumWidth(460);
        _dialog->setAutoClose(false);
        _dialog->setAutoReset(false);
        DarkAppearance::apply(_dialog);
        QObject::connect(_dialog, &QProgressDialog::canceled, _dialog, [this] { _progress.cancel(); });
        _dialog->show();
    }
    if (_dialog) {
        const qint64 done = _progress.done();
        const qint64 total = _progress.total();
        const QString status = _progress.status();
        QString text = status.isEmpty() ? _progress.label() : status;
        if (status.isEmpty()) {
            const QString item = _progress.currentItem();
            if (!item.isEmpty())
                text += QLatin1Char('\n') + item;
            if (total > 0)
                text += QLatin1Char('\n') + QObject::tr("%1 MB of %2 MB").arg(megabytes(done), megabytes(total));
        }
        if (_dialog->labelText() != text)
            _dialog->setLabelText(text);
        const int maximum = total > 0 ? 1000 : 0;
        if (_dialog->maximum() != maximum)
            _dialog->setMaximum(maximum);
        if (total > 0)
            _dialog->setValue(int(qBound(qint64(0), done * 1000 / total, qint64(1000))));
        // After a cancel the roll-back runs to its end: it cannot be stopped.
        if (_progress.isCancelled())
            _dialog->setCancelButtonText(QString());
    }
    if (_onRefresh)
        _onRefresh();
}

void BackgroundWork::cancelAll()
{
    sCancelAll = true;
}

bool BackgroundWork::isCancellingAll()
{
    return sCancelAll;
}

namespace DeferredCleanup {

namespace {

struct State
{
    QMutex mutex;
    std::list<std::thread> threads;
    std::atomic<int> pending{0};
};

State &state()
{
    static State s;
    return s;
}

} // namespace

void discard(std::vector<std::unique_ptr<TemplateInstallerV2>> installers)
{
    if (installers.empty())
        return;
    static const bool registered = [] {
        // Before the application object is gone, whichever way the run ends.
        qAddPostRoutine(waitForAll);
        return true;
    }();
    Q_UNUSED(registered);
    State &s = state();
    ++s.pending;
    QMutexLocker lock(&s.mutex);
    s.threads.emplace_back([list = std::move(installers)]() mutable {
        list.clear();
        --state().pending;
    });
}

void waitForAll()
{
    State &s = state();
    std::list<std::thread> threads;
    {
        QMutexLocker lock(&s.mutex);
        threads.swap(s.threads);
    }
    for (std::thread &thread : threads)
        thread.join();
}

int pendingCount()
{
    return state().pending;
}

} // namespace DeferredCleanup
