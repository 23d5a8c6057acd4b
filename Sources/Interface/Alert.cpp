// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Interface/Alert.h"

#include "Appearance/AppIcon.h"
#include "Appearance/DarkAppearance.h"
#include "Common/LogCategories.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>

namespace {

constexpr const char *AnswerProperty = "alertAnswer";
// Never reset: once the application is quitting, no alert may wait again.
bool sDismissing = false;

int answerOf(QMessageBox *box)
{
    QAbstractButton *clicked = box->clickedButton();
    if (!clicked)
        return box->property(AnswerProperty).toInt(); // closed without a click: the escape answer
    return clicked->property(AnswerProperty).toInt();
}

} // namespace

namespace Alert {

QMessageBox *create(const QString &messageText, const QString &informativeText, const Buttons &buttons,
                    QWidget *parent)
{
    const QString &defaultButton = buttons.defaultButton;
    const QString &alternateButton = buttons.alternateButton;
    const QString &otherButton = buttons.otherButton;
    auto *box = new QMessageBox(parent);
    box->setWindowTitle(messageText);
    box->setText(messageText);
    box->setInformativeText(informativeText);
    // Plain: the texts carry archive and template names, never to be read as
    // markup.
    box->setTextFormat(Qt::PlainText);
    const QIcon icon = AppIcon::icon();
    if (!icon.isNull())
        box->setIconPixmap(icon.pixmap(64, 64));
    else
        box->setIcon(QMessageBox::Information);

    // Roles: the default button accepts, the alternate one is the destructive
    // choice (Delete, Quit), the other one cancels and takes Escape.
    int escapeAnswer = 1;
    if (!otherButton.isEmpty()) {
        QPushButton *other = box->addButton(otherButton, QMessageBox::RejectRole);
        other->setProperty(AnswerProperty, -1);
        box->setEscapeButton(other);
        escapeAnswer = -1;
    }
    if (!alternateButton.isEmpty()) {
        QPushButton *alternate = box->addButton(alternateButton, QMessageBox::DestructiveRole);
        alternate->setProperty(AnswerProperty, 0);
    }
    QPushButton *primary = box->addButton(defaultButton.isEmpty() ? QStringLiteral("OK") : defaultButton,
                                          QMessageBox::AcceptRole);
    primary->setProperty(AnswerProperty, 1);
    box->setDefaultButton(primary);
    if (otherButton.isEmpty())
        box->setEscapeButton(primary);
    box->setProperty(AnswerProperty, escapeAnswer);

    // The message is the alert's headline.
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    // QMessageBox wraps its text at a narrow width; give the texts room.
    if (auto *grid = qobject_cast<QGridLayout *>(box->layout())) {
        grid->addItem(new QSpacerItem(420, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    return box;
}

QMessageBox *beginSheet(QWidget *window, const QString &messageText, const QString &informativeText,
                        const Buttons &buttons, std::function<void(int)> completion)
{
    QMessageBox *box = create(messageText, informativeText, buttons, window);
    DarkAppearance::apply(box);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [box, completion = std::move(completion)] {
        if (completion)
            completion(answerOf(box));
    });
    box->open();
    return box;
}

void preferCancel(QMessageBox *box)
{
    auto *cancel = box ? qobject_cast<QPushButton *>(box->escapeButton()) : nullptr;
    // Without a cancel button the default one is the only way out.
    if (!cancel || cancel->property(AnswerProperty).toInt() != -1)
        return;
    box->setDefaultButton(cancel);
    cancel->setFocus();
}

int runModal(const QString &messageText, const QString &informativeText, const QString &defaultButton,
             const QString &alternateButton, const QString &otherButton)
{
    QMessageBox *box = create(messageText, informativeText, {defaultButton, alternateButton, otherButton});
    DarkAppearance::apply(box);
    if (!sDismissing) {
        // Logged: a run that seems to hang then shows which question it waits on.
        qCDebug(lcGui).noquote() << "alert:" << messageText;
        box->exec();
    }
    const int answer = answerOf(box);
    delete box;
    return answer;
}

void dismissAll()
{
    sDismissing = true;
    // An answer's handler may ask the next question; a few rounds settle it.
    for (int round = 0; round < 8; ++round) {
        QList<QPointer<QDialog>> open;
        const QList<QWidget *> windows = QApplication::topLevelWidgets();
        for (QWidget *window : windows) {
            auto *dialog = qobject_cast<QDialog *>(window);
            if (dialog && dialog->isVisible() && dialog->windowModality() != Qt::NonModal
                && !qobject_cast<QProgressDialog *>(dialog))
                open.append(dialog);
        }
        if (open.isEmpty())
            return;
        // One handler may close another's window: each is checked as it comes.
        for (const QPointer<QDialog> &dialog : std::as_const(open)) {
            if (dialog && dialog->isVisible())
                dialog->reject();
        }
    }
}

} // namespace Alert
