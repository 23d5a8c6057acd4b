// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Appearance/DarkAppearance.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QEvent>
#include <QList>
#include <QPalette>
#include <QStyleFactory>
#include <QToolTip>
#include <QWidget>

namespace DarkAppearance {

namespace {

QStyle *fusionStyle()
{
    static QStyle *const fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    return fusion;
}

// A combo box's pop-up is a window of its own: the combo's palette does not
// reach it, and the combo gives it a menu's (the light application palette)
// whenever its own palette or style changes. It takes the dark one each time
// it is about to show.
class PopupDarkener : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *popup = qobject_cast<QWidget *>(watched))
                darken(popup);
        }
        return QObject::eventFilter(watched, event);
    }

public:
    static void darken(QWidget *popup)
    {
        const QPalette dark = palette();
        if (QStyle *fusion = fusionStyle(); fusion && popup->style() != fusion) {
            popup->setStyle(fusion);
            for (QWidget *child : popup->findChildren<QWidget *>())
                child->setStyle(fusion);
        }
        popup->setPalette(dark);
        for (QAbstractItemView *view : popup->findChildren<QAbstractItemView *>())
            view->setPalette(dark);
    }
};

void darkenPopupOf(QComboBox *combo)
{
    static PopupDarkener *const darkener = new PopupDarkener(qApp);
    // view() makes the pop-up if there is none yet.
    QWidget *popup = combo->view() ? combo->view()->window() : nullptr;
    if (!popup || popup == combo->window())
        return;
    popup->removeEventFilter(darkener);
    popup->installEventFilter(darkener);
    PopupDarkener::darken(popup);
    // An editable combo's completions drop down in a window of their own.
    if (QCompleter *completer = combo->completer(); completer && completer->popup()) {
        QWidget *completions = completer->popup();
        completions->removeEventFilter(darkener);
        completions->installEventFilter(darkener);
        PopupDarkener::darken(completions);
    }
}

} // namespace

QPalette palette()
{
    QPalette p;
    const QColor window(0x2b, 0x2b, 0x2e);
    const QColor base(0x1e, 0x1e, 0x21);
    const QColor text(0xe8, 0xe8, 0xea);
    const QColor disabledText(0x7a, 0x7a, 0x80);
    const QColor highlight(0x3a, 0x6e, 0xd8);

    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x2a));
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabledText);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3f));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::white);
    p.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x50));
    p.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x46));
    p.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x34));
    p.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x6a, 0x9e, 0xff));
    p.setColor(QPalette::LinkVisited, QColor(0xa0, 0x8c, 0xf0));
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabledText);
    p.setColor(QPalette::Disabled, QPalette::Button, QColor(0x33, 0x33, 0x37));
    return p;
}

void apply(QWidget *widget)
{
    if (!widget)
        return;
    // Fusion draws every control from the palette, so the dark colours hold
    // whatever the platform's own style is. A style set on a widget does not
    // reach its children, hence the walk.
    QStyle *const fusion = fusionStyle();
    if (fusion) {
        widget->setStyle(fusion);
        const QList<QWidget *> children = widget->findChildren<QWidget *>();
        for (QWidget *child : children)
            child->setStyle(fusion);
    }
    widget->setPalette(palette());
    widget->setAutoFillBackground(true);
    QList<QComboBox *> combos = widget->findChildren<QComboBox *>();
    if (auto *combo = qobject_cast<QComboBox *>(widget))
        combos.append(combo);
    for (QComboBox *combo : std::as_const(combos))
        darkenPopupOf(combo);
    // Tool tips take the application's tool tip palette, not the widget's:
    // every window that has tips is a dark one. The label that shows them
    // also takes the palette the platform theme gave its class, and the
    // application's style, which need not draw from the palette.
    static const bool darkToolTips = [] {
        QToolTip::setPalette(palette());
        QApplication::setPalette(palette(), "QTipLabel");
        return true;
    }();
    Q_UNUSED(darkToolTips);
}

} // namespace DarkAppearance
