// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Installer/TemplateType.h"

#include "Common/FileNames.h"

#include <iterator>

namespace {

struct Kind
{
    const char *extension;
    const char *folder;
    const char *name;
};

// Indexed by type - 1.
constexpr Kind Kinds[] = {
    {"moef", "Effects.localized", "effect"},
    {"motn", "Generators.localized", "generator"},
    {"moti", "Titles.localized", "title"},
    {"motr", "Transitions.localized", "transition"},
};

const Kind *kindOf(quint64 type)
{
    return type >= 1 && type <= std::size(Kinds) ? &Kinds[type - 1] : nullptr;
}

} // namespace

namespace TemplateType {

quint64 forFileName(const QString &fileName)
{
    // "._" files are AppleDouble metadata that macOS writes beside a file on
    // volumes without resource forks, with the same extension: never templates.
    if (fileName.startsWith(QLatin1String("._")))
        return 0;
    const QString extension = FileNames::lastExtension(fileName);
    for (quint64 type = 1; type <= std::size(Kinds); ++type) {
        if (extension == QLatin1String(Kinds[type - 1].extension))
            return type;
    }
    return 0;
}

QString kindFolder(quint64 type)
{
    const Kind *kind = kindOf(type);
    return kind ? QString::fromLatin1(kind->folder) : QString();
}

QString kindName(quint64 type)
{
    const Kind *kind = kindOf(type);
    return kind ? QString::fromLatin1(kind->name) : QString();
}

} // namespace TemplateType
