// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Common/ByteSize.h"

#include <QLocale>

#include <cstdint>

namespace ByteSize {

QString forDisplay(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

QString forMessage(quint64 bytes)
{
    return QLocale::c().formattedDataSize(qint64(qMin<quint64>(bytes, quint64(INT64_MAX))));
}

} // namespace ByteSize
