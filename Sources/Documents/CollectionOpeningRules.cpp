// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Documents/CollectionOpeningRules.h"

#include "Installer/TemplateInstaller.h"
#include "Installer/TemplateLayout.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

namespace CollectionOpeningRules {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("CollectionOpeningRules", text);
}

} // namespace

bool isTemplateArchive(const QUrl &url)
{
    const QString suffix = QFileInfo(url.path()).suffix();
    return suffix == QLatin1String("mtzip")
        || (suffix == QLatin1String("zip") && url.isLocalFile() && TemplateLayout::isLayoutZip(url.toLocalFile()));
}

QList<QUrl> acceptedURLs(const QList<QUrl> &urls, const QList<QUrl> &openURLs, bool *alreadyOpen)
{
    QList<QUrl> accepted;
    bool open = false;
    for (const QUrl &url : urls) {
        if (!isTemplateArchive(url))
            continue;
        if (accepted.contains(url))
            continue;
        if (openURLs.contains(url)) {
            open = true;
            continue;
        }
        accepted.append(url);
    }
    if (alreadyOpen)
        *alreadyOpen = open;
    return accepted;
}

QString archiveFileName(const QUrl &url)
{
    return QFileInfo(url.isLocalFile() ? url.toLocalFile() : url.path()).fileName();
}

QString archiveTitle(const QUrl &url)
{
    return QFileInfo(archiveFileName(url)).completeBaseName();
}

QString windowTitle(const QList<QUrl> &sourceArchiveURLs, const QStringList &installerTitles)
{
    if (sourceArchiveURLs.size() == 1)
        return installerTitles.size() == 1 ? installerTitles.first() : archiveTitle(sourceArchiveURLs.first());
    if (installerTitles.size() == 1)
        return installerTitles.first();
    return tr("Multiple Template Archives");
}

QString refusalText(const QUrl &url, const Error &refusal)
{
    using Refusal = TemplateInstaller::Refusal;
    if (refusal.domain() != TemplateInstaller::RefusalDomain)
        return refusal.localizedDescription();
    switch (Refusal(refusal.code())) {
    case Refusal::UnexpectedPrefix:
        return tr("its name does not start with a two-character category prefix and an underscore; "
                  "template archives are named like “LT_My_Pack.mtzip”");
    case Refusal::UnrecognizedCategory:
        return tr("its category prefix “%1” is not one this installer knows, so it cannot tell where its "
                  "templates belong")
            .arg(archiveTitle(url).section(QLatin1Char('_'), 0, 0));
    case Refusal::RootMissing:
        return tr("the Motion Templates folder in your Movies folder cannot be found or made");
    case Refusal::NotAnArchive:
        return tr("it is not a template archive (a file ending in “.mtzip”)");
    case Refusal::OutsideKindFolder:
        return tr("it holds a template outside the Effects, Generators, Titles or Transitions folder of its kind");
    case Refusal::NoArchive:
    case Refusal::NoRoot:
        break;
    }
    return refusal.localizedDescription();
}

QString templateCount(int count)
{
    return count == 1 ? tr("1 template") : tr("%1 templates").arg(count);
}

QString kindNames(const QList<quint64> &templateTypes)
{
    // The order of the kind folders in the browser.
    static const QList<QPair<quint64, const char *>> kinds = {
        {1, QT_TRANSLATE_NOOP("CollectionOpeningRules", "effects")},
        {4, QT_TRANSLATE_NOOP("CollectionOpeningRules", "transitions")},
        {3, QT_TRANSLATE_NOOP("CollectionOpeningRules", "titles")},
        {2, QT_TRANSLATE_NOOP("CollectionOpeningRules", "generators")},
    };
    QStringList names;
    for (const auto &[type, name] : kinds) {
        if (templateTypes.contains(type))
            names.append(tr(name));
    }
    if (names.isEmpty())
        return tr("generators");
    if (names.size() == 1)
        return names.first();
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + tr(" and ") + last;
}

} // namespace CollectionOpeningRules
