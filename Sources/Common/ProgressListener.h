// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

class QString;

// Receives progress of a long operation (unpacking, copying) on the caller's
// thread. Returning false asks the operation to stop as soon as it can; the
// operation then fails as cancelled.
class ProgressListener
{
public:
    virtual ~ProgressListener();
    virtual bool progress(qint64 done, qint64 total) = 0;
    // What the operation is doing now, for a listener that shows it ("Waiting
    // for another installation...", "Restoring..."). Empty: back to the
    // listener's own label.
    virtual void setStatus(const QString &status);
    // The item being worked on now (a template folder's name while installing).
    virtual void setCurrentItem(const QString &name);
};
