// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/ProgressListener.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QProgressDialog;
class QWidget;

// Shows a progress dialog for long unpacks and installs, on the main thread:
// events are processed between chunks. Modal to `window` when it is on
// screen, to the application otherwise; appears only when the work takes
// longer than a moment. Cancel answers false to the worker.
class ProgressDialogListener : public ProgressListener
{
public:
    ProgressDialogListener(QWidget *window, QString label);
    ~ProgressDialogListener() override;

    void setLabel(const QString &label);
    // Events are processed also after a cancel, while the work undoes
    // itself; a total of 0 shows a busy bar.
    bool progress(qint64 done, qint64 total) override;
    void setStatus(const QString &status) override;
    // Makes every later progress() answer false.
    void cancel() { _cancelled = true; }
    bool isCancelled() const { return _cancelled; }

    // Cancels every listener, now and later (the application is quitting:
    // a signal arrived while work was under way).
    static void cancelAll();
    static bool isCancellingAll();

private:
    QPointer<QWidget> _window;
    QString _label;
    // Owned here, but a child of the window: gone if the window goes first.
    QPointer<QProgressDialog> _dialog;
    bool _created = false;
    bool _cancelled = false;
    bool _restoring = false;
    QString _pendingStatus;
    static bool sCancelAll;
    int _lastPermille = -1;
    QElapsedTimer _sinceEvents;
};
