// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Common/FileNames.h"

namespace {

qsizetype extensionDot(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? dot : -1;
}

} // namespace

namespace FileNames {

QString withoutLastExtension(const QString &fileName)
{
    const qsizetype dot = extensionDot(fileName);
    return dot < 0 ? fileName : fileName.left(dot);
}

QString lastExtension(const QString &fileName)
{
    const qsizetype dot = extensionDot(fileName);
    return dot < 0 ? QString() : fileName.mid(dot + 1);
}

QString comparable(const QString &name)
{
    // ASCII, by far the most common, is its own normal form.
    for (QChar c : name) {
        if (c.unicode() > 0x7f)
            return name.normalized(QString::NormalizationForm_C);
    }
    return name;
}

} // namespace FileNames
