// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Interface/PasswordSheet.h"

#include "Appearance/AppIcon.h"
#include "Appearance/DarkAppearance.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PasswordSheet::PasswordSheet(QWidget *window, const QString &archiveName, const QString &entry, bool retry)
    : QDialog(window)
    , _message(new QLabel(this))
    , _detail(new QLabel(this))
    , _retry(new QLabel(this))
    , _field(new QLineEdit(this))
{
    setObjectName(QStringLiteral("passwordSheet"));
    setWindowTitle(tr("Password Needed"));
    for (QLabel *label : {_message, _detail, _retry}) {
        // Archive and entry names are never markup.
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
    }
    _message->setObjectName(QStringLiteral("passwordMessage"));
    _detail->setObjectName(QStringLiteral("passwordDetail"));
    _retry->setObjectName(QStringLiteral("passwordRetry"));
    _field->setObjectName(QStringLiteral("passwordField"));
    _message->setText(tr("“%1” is protected by a password.").arg(archiveName));
    QFont bold = _message->font();
    bold.setBold(true);
    _message->setFont(bold);
    _detail->setText(entry.isEmpty() ? tr("Enter the password to unpack its templates.")
                                     : tr("Enter the password to unpack its templates; “%1” is the first entry that "
                                          "needs it.").arg(entry));
    _retry->setText(tr("The password you entered is not correct. Try again."));
    _retry->setVisible(retry);
    QPalette warning = _retry->palette();
    warning.setColor(QPalette::WindowText, QColor(0xff, 0x8a, 0x80));
    _retry->setPalette(warning);
    _field->setEchoMode(QLineEdit::Password);
    _field->setPlaceholderText(tr("Password"));

    auto *buttons = new QDialogButtonBox(this);
    _cancel = buttons->addButton(tr("Cancel"), QDialogButtonBox::RejectRole);
    _open = buttons->addButton(tr("Open"), QDialogButtonBox::AcceptRole);
    _open->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *icon = new QLabel(this);
    const QIcon appIcon = AppIcon::icon();
    if (!appIcon.isNull())
        icon->setPixmap(appIcon.pixmap(64, 64));
    auto *texts = new QVBoxLayout;
    texts->addWidget(_message);
    texts->addWidget(_detail);
    texts->addWidget(_retry);
    texts->addWidget(_field);
    auto *row = new QHBoxLayout;
    row->addWidget(icon, 0, Qt::AlignTop);
    row->addLayout(texts, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    // Room for the texts to wrap at a readable width, whatever the language.
    _field->setMinimumWidth(fontMetrics().averageCharWidth() * 44);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    _field->setFocus();
}

PasswordSheet *PasswordSheet::begin(QWidget *window, const QString &archiveName, const QString &entry, bool retry,
                                    std::function<void(std::optional<QString>)> completion)
{
    auto *sheet = new PasswordSheet(window, archiveName, entry, retry);
    DarkAppearance::apply(sheet);
    sheet->setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, sheet, [sheet, completion = std::move(completion)](int result) {
        if (!completion)
            return;
        if (result == QDialog::Accepted)
            completion(sheet->_field->text());
        else
            completion(std::nullopt);
    });
    sheet->open();
    return sheet;
}
