// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/ProgressDialogListener.h"

#include "Appearance/DarkAppearance.h"
#include "Collections/BackgroundWork.h"

#include <QCoreApplication>
#include <QProgressDialog>

bool ProgressDialogListener::sCancelAll = false;

ProgressDialogListener::ProgressDialogListener(QWidget *window, QString label)
    : _window(window)
    , _label(std::move(label))
{
}

ProgressDialogListener::~ProgressDialogListener()
{
    delete _dialog.data();
}

void ProgressDialogListener::setLabel(const QString &label)
{
    _label = label;
    _pendingStatus.clear();
    _lastPermille = -1;
    if (_dialog) {
        _dialog->setLabelText(label);
        _dialog->setValue(0);
    }
}

bool ProgressDialogListener::progress(qint64 done, qint64 total)
{
    if (sCancelAll)
        _cancelled = true;
    if (_created && !_dialog) {
        // The window and its dialog are gone: nothing to show, nobody to ask.
        _cancelled = true;
        return false;
    }
    if (!_dialog) {
        _created = true;
        QWidget *parent = _window && _window->isVisible() ? _window.data() : nullptr;
        _dialog = new QProgressDialog(_pendingStatus.isEmpty() ? _label : _pendingStatus, QObject::tr("Cancel"), 0,
                                      1000, parent);
        _dialog->setWindowTitle(QObject::tr("Motion Template Installer"));
        _dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
        _dialog->setMinimumDuration(400);
        _dialog->setMinimumWidth(420);
        _dialog->setAutoClose(false);
        _dialog->setAutoReset(false);
        // Dark like the collection windows it belongs to, also while the
        // window is still being set up (unpacking) and not on screen yet.
        DarkAppearance::apply(_dialog);
        _dialog->setValue(0);
        _sinceEvents.start();
    }
    if (_dialog->wasCanceled())
        _cancelled = true;
    if (!_cancelled || _restoring) {
        // Nothing to measure (waiting for another writer): a busy bar.
        const int maximum = total > 0 ? 1000 : 0;
        if (_dialog->maximum() != maximum)
            _dialog->setMaximum(maximum);
        const int permille = total > 0 ? int(qBound(qint64(0), done * 1000 / total, qint64(1000))) : 0;
        if (permille != _lastPermille) {
            _lastPermille = permille;
            // Processes events itself when modal and on screen.
            _dialog->setValue(permille);
        }
    }
    // Also after a cancel: the roll-back that follows keeps the windows painting.
    if (_sinceEvents.elapsed() > 50) {
        QCoreApplication::processEvents();
        _sinceEvents.restart();
    }
    return !_cancelled;
}

void ProgressDialogListener::setStatus(const QString &status)
{
    // Whatever follows a cancel is the undo, which is shown but not cancellable.
    _restoring = _cancelled && !status.isEmpty();
    const QString text = status.isEmpty() ? _label : status;
    if (_dialog) {
        _dialog->setLabelText(text);
        if (_restoring) {
            // Cancel hid the dialog; the undo shows, and cannot be stopped.
            _dialog->setCancelButton(nullptr);
            _dialog->show();
        }
    } else {
        _pendingStatus = status;
    }
}

void ProgressDialogListener::cancelAll()
{
    sCancelAll = true;
    BackgroundWork::cancelAll();
}

bool ProgressDialogListener::isCancellingAll()
{
    return sCancelAll;
}
