#include "ProgressListener.h"

ProgressListener::~ProgressListener() = default;
