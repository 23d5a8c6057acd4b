// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

namespace LocalTimeZone {

// With TZ unset, glibc's mktime, which libzip calls for the time of every
// entry it reads, looks at /etc/localtime again on every call: a stat per
// entry, a tenth of listing a large pack. TZ naming that same file (the
// form glibc and Qt both read as "the system's zone") lets glibc read it
// once, and so never notice a change of the system's zone: for mtzip, which
// runs for moments, not for the application. Elsewhere, or with TZ set,
// nothing changes. Call first in main(), before any thread starts: setenv
// is not safe beside other threads.
void pin();

} // namespace LocalTimeZone
