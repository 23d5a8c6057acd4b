// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Common/LocalTimeZone.h"

#include <cstdlib>

void LocalTimeZone::pin()
{
#if defined(__GLIBC__)
    if (!std::getenv("TZ"))
        ::setenv("TZ", ":/etc/localtime", 0);
#endif
}
