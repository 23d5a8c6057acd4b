// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Interface/WindowMemory.h"

#include "Common/UserSettings.h"

#include <QEvent>
#include <QHeaderView>
#include <QSplitter>
#include <QWidget>

namespace {

QString settingsKey(const QString &key, const char *what)
{
    return QStringLiteral("windows/%1/%2").arg(key, QLatin1String(what));
}

// Saves its window's geometry as it is hidden; a child of the window, so it
// goes with it.
class GeometryKeeper : public QObject
{
public:
    GeometryKeeper(QWidget *window, QString key)
        : QObject(window)
        , _window(window)
        , _key(std::move(key))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == _window && event->type() == QEvent::Hide && !_window->isMinimized())
            UserSettings::store().setValue(_key, _window->saveGeometry());
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget *_window;
    QString _key;
};

} // namespace

namespace WindowMemory {

void remember(QWidget *window, const QString &key)
{
    if (!window)
        return;
    const QString geometryKey = settingsKey(key, "geometry");
    const QByteArray stored = UserSettings::store().value(geometryKey).toByteArray();
    if (!stored.isEmpty())
        window->restoreGeometry(stored);
    new GeometryKeeper(window, geometryKey);
}

void remember(QHeaderView *header, const QString &key)
{
    if (!header)
        return;
    const QString stateKey = settingsKey(key, "columns");
    const QByteArray stored = UserSettings::store().value(stateKey).toByteArray();
    // A state of another set of columns (an older version's) is refused by
    // the header itself and the defaults stay.
    if (!stored.isEmpty())
        header->restoreState(stored);
    const auto save = [header, stateKey] { UserSettings::store().setValue(stateKey, header->saveState()); };
    QObject::connect(header, &QHeaderView::sectionResized, header, save);
    QObject::connect(header, &QHeaderView::sectionMoved, header, save);
    QObject::connect(header, &QHeaderView::sortIndicatorChanged, header, save);
}

void remember(QSplitter *splitter, const QString &key)
{
    if (!splitter)
        return;
    const QString stateKey = settingsKey(key, "splitter");
    const QByteArray stored = UserSettings::store().value(stateKey).toByteArray();
    if (!stored.isEmpty())
        splitter->restoreState(stored);
    QObject::connect(splitter, &QSplitter::splitterMoved, splitter,
                     [splitter, stateKey] { UserSettings::store().setValue(stateKey, splitter->saveState()); });
}

} // namespace WindowMemory
