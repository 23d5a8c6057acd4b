#pragma once

#include <QIcon>
#include <QObject>

// The application delegate: launch, opening archives, the support menu and
// the about window.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    // The application's icon ("AppIcon_128" among the resources), loaded on
    // first success and kept; a null icon while it cannot be loaded.
    static QIcon appIcon();
};
