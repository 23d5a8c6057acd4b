// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// Byte counts in words.
namespace ByteSize {

// Decimal units with one decimal in the user's locale ("2.4 MB"), as file
// managers on the Mac show sizes.
QString forDisplay(qint64 bytes);
// Binary units in the C locale ("1.50 MiB"), for messages that read the same
// on every machine; counts beyond qint64 show as its largest value.
QString forMessage(quint64 bytes);

} // namespace ByteSize
