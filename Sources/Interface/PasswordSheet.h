// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QDialog>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the password of an archive with encrypted entries, as a sheet on
// the archive's window: it names the archive and the entry that needs the
// password, and after a wrong one says so above the field. Open is the
// default button, Cancel takes Escape.
class PasswordSheet : public QDialog
{
    Q_OBJECT

public:
    // Shown window-modal on `window` with the dark look; `completion` gets
    // the password, or none for Cancel, from the event loop. The sheet
    // deletes itself.
    static PasswordSheet *begin(QWidget *window, const QString &archiveName, const QString &entry, bool retry,
                                std::function<void(std::optional<QString> password)> completion);

    QLineEdit *passwordField() const { return _field; }
    QPushButton *openButton() const { return _open; }
    QPushButton *cancelButton() const { return _cancel; }
    QLabel *messageLabel() const { return _message; }
    QLabel *detailLabel() const { return _detail; }
    // The "not correct" line; hidden on the first ask.
    QLabel *retryLabel() const { return _retry; }

private:
    PasswordSheet(QWidget *window, const QString &archiveName, const QString &entry, bool retry);

    QLabel *_message;
    QLabel *_detail;
    QLabel *_retry;
    QLineEdit *_field;
    QPushButton *_open;
    QPushButton *_cancel;
};
