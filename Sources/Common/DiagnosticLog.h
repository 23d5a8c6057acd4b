// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

class QLoggingCategory;

// The diagnostic log line: "'<message>' in <function signature> line <n>".
// Refused arguments, failed constructions and caught exceptions go here and
// are never shown to the user.
QString diagnosticLogLine(const QString &message, const char *function, int line);
void writeDiagnosticLog(const QLoggingCategory &category, const QString &message,
                        const char *function, int line);

#define MTI_DIAGNOSTIC(category, message) \
    writeDiagnosticLog(category(), (message), Q_FUNC_INFO, __LINE__)
