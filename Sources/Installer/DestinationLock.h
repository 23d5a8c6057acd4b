// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"

#include <QLockFile>
#include <QString>

#include <chrono>
#include <optional>

class ProgressListener;

// One writer per destination root, across processes: installs and uninstalls
// of the application and of mtzip hold this lock file in the root. A lock
// whose holder died is broken by the next taker. Others may write into the
// root: what stands at the lock's path that no QLockFile made (a link, a
// folder, a FIFO, something far too large) is set aside before QLockFile
// looks at it, and a lock file that names no process counts as stale once
// it is a few seconds old; beyond that only QLockFile's own judgement (the
// holder's process still runs) makes anyone wait.
class DestinationLock
{
public:
    explicit DestinationLock(const QString &root);
    ~DestinationLock();
    DestinationLock(const DestinationLock &) = delete;
    DestinationLock &operator=(const DestinationLock &) = delete;

    static QString fileName();  // in the root

    // How long acquire() waits for another holder before it gives up with
    // EBUSY, naming the holder's process; unset (the default), as long as
    // the listener wants, and for ever without one.
    void setWaitLimit(std::optional<std::chrono::milliseconds> limit) { _waitLimit = limit; }

    // Waits for the lock. After a second the listener is told that it waits
    // and is asked, a few times a second, whether to go on waiting; its no
    // gives up with a cancellation.
    [[nodiscard]] std::optional<Error> acquire(ProgressListener *listener);
    // Takes the lock only when nobody holds it.
    bool tryAcquire();
    void release();
    bool isHeld() const { return _file.isLocked(); }

private:
    [[nodiscard]] std::optional<Error> failure() const;
    // Makes the lock's path fit for QLockFile to look at; false when
    // something else stands there still (it could not be set aside).
    bool clearTheWay();
    [[nodiscard]] std::optional<Error> heldElsewhere(std::chrono::milliseconds waited);

    QString _root;
    QLockFile _file;
    std::optional<std::chrono::milliseconds> _waitLimit;
};
