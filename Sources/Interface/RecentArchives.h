// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QList>
#include <QStringList>
#include <QUrl>

// The archives opened lately, for File > Open Recent: kept in the settings,
// newest first, each once.
namespace RecentArchives {

constexpr int Maximum = 10;

// Those that still exist, newest first.
QStringList paths();
// Puts the local files among `archives` first, in their order; the list
// keeps Maximum.
void add(const QList<QUrl> &archives);
void clear();

} // namespace RecentArchives
