// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Common/DiagnosticLog.h"

#include <QLoggingCategory>

QString diagnosticLogLine(const QString &message, const char *function, int line)
{
    return QStringLiteral("'%1' in %2 line %3")
        .arg(message, QString::fromUtf8(function), QString::number(line));
}

void writeDiagnosticLog(const QLoggingCategory &category, const QString &message,
                        const char *function, int line)
{
    if (category.isWarningEnabled())
        QMessageLogger(nullptr, 0, nullptr, category.categoryName()).warning().noquote()
            << diagnosticLogLine(message, function, line);
}
