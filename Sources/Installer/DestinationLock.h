// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Common/FileDescriptor.h"

#include <QString>

#include <chrono>
#include <optional>
#include <system_error>

class ProgressListener;

// One writer per destination root, across processes: installs and uninstalls
// of the application and of mtzip hold this lock in the root. The lock is
// the kernel's (flock) on the file `.mti-lock`, so it goes with its
// holder's process, however that ends; what the file says (the holder's
// process id) only names the holder in messages and is never trusted for
// anything else. Others may write into the root: the file is opened without
// following a link and without ever blocking, and what stands there that is
// no regular file (a link, a folder, a FIFO) is set aside. Earlier versions
// locked the same file with QLockFile, which takes the same kernel lock.
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
    bool isHeld() const { return _file.isValid(); }

private:
    enum class Attempt { Taken, HeldElsewhere, Failed };
    Attempt attempt(std::error_code &ec);
    // Sets aside what stands at the lock's path and is no regular file.
    bool setAside(int root, const QString &problem);
    [[nodiscard]] Error heldElsewhere(std::chrono::milliseconds waited) const;

    QString _root;
    FileOperations::FileDescriptor _file;
    std::optional<std::chrono::milliseconds> _waitLimit;
};
