// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Common/ProgressListener.h"

ProgressListener::~ProgressListener() = default;

void ProgressListener::setStatus(const QString &)
{
}

void ProgressListener::setCurrentItem(const QString &)
{
}
