// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"

#include <QLockFile>
#include <QString>

#include <optional>

class ProgressListener;

// One writer per destination root, across processes: installs and uninstalls
// of the application and of mtzip hold this lock file in the root. A lock
// whose holder died is broken by the next taker.
class DestinationLock
{
public:
    explicit DestinationLock(const QString &root);
    ~DestinationLock();
    DestinationLock(const DestinationLock &) = delete;
    DestinationLock &operator=(const DestinationLock &) = delete;

    static QString fileName();  // in the root

    // Waits for the lock. After a second the listener is told that it waits
    // and is asked, a few times a second, whether to go on waiting; its no
    // gives up with a cancellation.
    std::optional<Error> acquire(ProgressListener *listener);
    // Takes the lock only when nobody holds it.
    bool tryAcquire();
    void release();
    bool isHeld() const { return _file.isLocked(); }

private:
    std::optional<Error> failure() const;

    QString _root;
    QLockFile _file;
};
