// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Interface/BackgroundWork.h"

#include "Appearance/DarkAppearance.h"

#include <QLocale>
#include <QProgressDialog>
#include <QStyle>
#include <QStringList>
#include <QtConcurrent/QtConcurrentRun>

namespace {

constexpr int RefreshMs = 40;
// The dialog appears only for work that takes longer than this.
constexpr int ShowAfterTicks = 400 / RefreshMs;
// The dialog's width in average characters: room for a template's title
// and a usual archive name; longer ones are shortened in their middle.
constexpr int WidthInCharacters = 64;

QString megabytes(qint64 bytes)
{
    return QLocale().toString(double(bytes) / (1024.0 * 1024.0), 'f', 1);
}

} // namespace

BackgroundWork::BackgroundWork(QWidget *window, QString label, QObject *parent)
    : QObject(parent)
    , _window(window)
{
    _progress.setLabel(label);
    _timer.setInterval(RefreshMs);
    connect(&_timer, &QTimer::timeout, this, &BackgroundWork::refresh);
    connect(&_watcher, &QFutureWatcherBase::finished, this, &BackgroundWork::done);
}

BackgroundWork::~BackgroundWork()
{
    if (_watcher.isRunning()) {
        _progress.cancel();
        _watcher.disconnect(this);
        _watcher.waitForFinished();
    }
    // Its parent is the window, which outlives us: it goes with the work.
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

void BackgroundWork::setQuiet(bool quiet)
{
    _quiet = quiet;
    if (!quiet) {
        _ticks = ShowAfterTicks;
    } else if (_dialog) {
        // Perhaps from inside the dialog's own signal.
        _dialog->hide();
        _dialog->deleteLater();
        _dialog = nullptr;
    }
}

void BackgroundWork::cancel()
{
    _progress.cancel();
}

void BackgroundWork::start(std::function<void(ProgressListener &)> work)
{
    Q_ASSERT(!_watcher.isRunning());
    _ticks = 0;
    _progress.reset();
    _timer.start();
    // The listener, not `this`: the destructor waits for the worker, so it
    // outlives the run, and the worker never touches the QObject.
    WorkerProgress *progress = &_progress;
    _watcher.setFuture(QtConcurrent::run([progress, work = std::move(work)] { work(*progress); }));
}

void BackgroundWork::done()
{
    _timer.stop();
    // A last refresh: what the work did since the previous tick shows too.
    if (_onRefresh)
        _onRefresh();
    if (_dialog)
        _dialog->hide();
    emit finished();
}

void BackgroundWork::refresh()
{
    if (WorkerProgress::isCancellingAll())
        _progress.cancel();
    if (!_dialog && !_quiet && ++_ticks >= ShowAfterTicks)
        showDialog();
    if (_dialog)
        updateDialog();
    if (_onRefresh)
        _onRefresh();
}

void BackgroundWork::showDialog()
{
    // Modal: the dialog (or the window's own guards while it is not up yet)
    // keeps the user from starting more work meanwhile.
    // A hidden window (a collection still opening) cannot carry a window-modal
    // dialog: application-modal then.
    QWidget *parent = _window && _window->isVisible() ? _window.data() : nullptr;
    _dialog = new QProgressDialog(_progress.label(), QObject::tr("Cancel"), 0, 1000, parent);
    _dialog->setObjectName(QStringLiteral("progressDialog"));
    _dialog->setWindowTitle(QObject::tr("Motion Template Installer"));
    _dialog->setWindowModality(!parent ? Qt::ApplicationModal : _blocksWindow ? Qt::WindowModal : Qt::NonModal);
    // Shown at once: the delay is ours (ShowAfterTicks). Nor does it close or
    // reset at its maximum, as a roll-back may still follow.
    _dialog->setMinimumDuration(0);
    _dialog->setAutoClose(false);
    _dialog->setAutoReset(false);
    DarkAppearance::apply(_dialog);
    // One size from the start, from its font and its three lines: a dialog
    // that resized with its text left a band unpainted while it grew. The
    // lines are shortened to fit (updateDialog).
    const int margin = _dialog->style()->pixelMetric(QStyle::PM_LayoutLeftMargin, nullptr, _dialog)
        + _dialog->style()->pixelMetric(QStyle::PM_LayoutRightMargin, nullptr, _dialog);
    const int width = _dialog->fontMetrics().averageCharWidth() * WidthInCharacters;
    _lineWidth = width - 2 * margin;
    updateDialog();
    _dialog->setFixedSize(qMax(width, _dialog->sizeHint().width()), _dialog->sizeHint().height());
    connect(_dialog, &QProgressDialog::canceled, this, [this] {
        if (_onDialogCancel)
            _onDialogCancel();
        else
            _progress.cancel();
    });
    _dialog->show();
}

void BackgroundWork::updateDialog()
{
    const qint64 done = _progress.done();
    const qint64 total = _progress.total();
    const QString status = _progress.status();
    // Always three lines, empty ones too: a dialog that grew with its
    // label would leave an unpainted band while it resizes.
    QStringList lines{status.isEmpty() ? _progress.label() : status, _progress.currentItem(), QString()};
    if (status.isEmpty()) {
        if (total > 0)
            lines[2] = QObject::tr("%1 MB of %2 MB").arg(megabytes(done), megabytes(total));
    }
    // Long names lose their middle, where a name's start and its end (a
    // version, a number) stay readable; the tool tip has them whole.
    QStringList shown;
    for (const QString &line : std::as_const(lines))
        shown.append(_lineWidth > 0 ? _dialog->fontMetrics().elidedText(line, Qt::ElideMiddle, _lineWidth) : line);
    const QString text = shown.join(QLatin1Char('\n'));
    if (_dialog->labelText() != text) {
        _dialog->setLabelText(text);
        const QString whole = lines.join(QLatin1Char('\n'));
        _dialog->setToolTip(whole != text ? whole.trimmed() : QString());
    }
    const int maximum = total > 0 ? 1000 : 0;
    if (_dialog->maximum() != maximum)
        _dialog->setMaximum(maximum);
    if (total > 0)
        _dialog->setValue(int(qBound(qint64(0), done * 1000 / total, qint64(1000))));
    // After a cancel the roll-back runs to its end: it cannot be stopped.
    if (_progress.isCancelled())
        _dialog->setCancelButtonText(QString());
}

void BackgroundWork::cancelAll()
{
    WorkerProgress::cancelAll();
}

bool BackgroundWork::isCancellingAll()
{
    return WorkerProgress::isCancellingAll();
}
