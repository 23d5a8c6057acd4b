// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Appearance/DarkAppearance.h"

#include <QList>
#include <QPalette>
#include <QStyleFactory>
#include <QToolTip>
#include <QWidget>

namespace DarkAppearance {

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
    static QStyle *const fusion = QStyleFactory::create(QStringLiteral("Fusion"));
    if (fusion) {
        widget->setStyle(fusion);
        const QList<QWidget *> children = widget->findChildren<QWidget *>();
        for (QWidget *child : children)
            child->setStyle(fusion);
    }
    widget->setPalette(palette());
    widget->setAutoFillBackground(true);
    // Tool tips take the application's tool tip palette, not the widget's:
    // every window that has tips is a dark one.
    static const bool darkToolTips = [] {
        QToolTip::setPalette(palette());
        return true;
    }();
    Q_UNUSED(darkToolTips);
}

} // namespace DarkAppearance
