#include "ProgressListener.h"

ProgressListener::~ProgressListener() = default;

void ProgressListener::setStatus(const QString &)
{
}
