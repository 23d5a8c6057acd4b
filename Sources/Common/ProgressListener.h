#pragma once

#include <QtGlobal>

// Receives progress of a long operation (unpacking, copying) on the caller's
// thread. Returning false asks the operation to stop as soon as it can; the
// operation then fails as cancelled.
class ProgressListener
{
public:
    virtual ~ProgressListener();
    virtual bool progress(qint64 done, qint64 total) = 0;
};
