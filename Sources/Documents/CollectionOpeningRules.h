// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// The rules that decide which archives a request opens, what the window is
// called and what the user is told, apart from any window so that they can
// be checked on their own.
namespace CollectionOpeningRules {

// A template archive by its name (*.mtzip, extension case-sensitive), or a
// *.zip laid out as a templates folder (its directory is read).
bool isTemplateArchive(const QUrl &url);

// The template archives of `urls` (isTemplateArchive), each once, in order,
// leaving out those in `openURLs`; `alreadyOpen` says whether any was left
// out for that reason.
QList<QUrl> acceptedURLs(const QList<QUrl> &urls, const QList<QUrl> &openURLs, bool *alreadyOpen);

// The archive's title: its file name without the extension.
QString archiveTitle(const QUrl &url);
QString archiveFileName(const QUrl &url);

// One archive asked for names the window after it, even when it could not
// be opened; otherwise the one archive that was, or "Multiple Template Archives".
QString windowTitle(const QList<QUrl> &sourceArchiveURLs, const QStringList &installerTitles);

// The words for an archive the core refused (TemplateInstaller::open's
// error): what was wrong with the name and how it should look.
QString refusalText(const QUrl &url, const Error &refusal);

// "1 template", "2 templates".
QString templateCount(int count);
// "titles", "titles and generators", "effects, titles and generators" for
// the template types present (1 effect, 2 generator, 3 title, 4 transition).
QString kindNames(const QList<quint64> &templateTypes);

} // namespace CollectionOpeningRules
