// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

class QMessageBox;
class QWidget;

// The classic three-button alert: a default button (answer 1), an alternate
// button (answer 0) and an other button (answer -1); an empty title leaves a
// button out. Alerts carry the application icon.
namespace Alert {

struct Buttons
{
    QString defaultButton;    // answer 1
    QString alternateButton;  // answer 0
    QString otherButton;      // answer -1, and Escape's
};

// Made, not shown: the caller picks the modality. The parent owns it, or
// without one the caller does.
QMessageBox *create(const QString &messageText, const QString &informativeText, const Buttons &buttons,
                    QWidget *parent = nullptr);

// Shown window-modal on `window` with the dark look; `completion` gets the
// answer later, from the event loop. The box deletes itself; the box is
// answered for whoever wants to dismiss it early.
QMessageBox *beginSheet(QWidget *window, const QString &messageText, const QString &informativeText,
                        const Buttons &buttons, std::function<void(int answer)> completion = {});

// For a question whose default answer removes or undoes something
// (Uninstall, Remove, Stop): Return and the first focus go to the cancel
// button (the other button) instead, so a key pressed in passing changes
// nothing. The answers stay as they were.
void preferCancel(QMessageBox *box);

// Application-modal; waits for the answer. After dismissAll() it shows
// nothing and answers as Escape would (the cancel answer).
int runModal(const QString &messageText, const QString &informativeText, const QString &defaultButton,
             const QString &alternateButton = QString(), const QString &otherButton = QString());

// The application is quitting with nobody to answer: every open modal alert
// and dialog (progress dialogs aside, their work is cancelled and undone
// in its own time) is rejected, as Escape would, and later runModal() calls
// return at once.
void dismissAll();

} // namespace Alert
