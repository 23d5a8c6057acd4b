// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/Receipt.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

class ProgressListener;

// What the receipts of a destination root say about the archives installed
// there, read-only: who installed a path, which files a receipt lists, and
// the state of each template of an archive. Names (paths, titles) match in
// any Unicode normalisation form, and paths come back as they stand on
// disk; nothing is renamed. The functions share no state: any thread may
// call them.
namespace InstalledArchives {

struct Owner
{
    enum Kind {
        NotInstalled,  // nothing there, outside the root, or not below a template
        Archive,       // a receipt names the template it lies in
        HandCopy,      // an installed template no receipt names
    };
    Kind kind = NotInstalled;
    QString destination;   // the template folder, relative to the root; empty when not installed
    QString archiveTitle;  // Archive only
};

// One answer per path, absolute or relative to the root. A file or folder
// inside a template folder counts for that template; where receipts
// disagree, the newest install speaks for it.
std::vector<Owner> owners(const QString &root, const QStringList &paths);

struct TemplateFiles
{
    QString archiveTitle;
    QString title;
    QString destination;  // relative to the root
    QStringList paths;    // absolute, in the receipt's order
};

// The files receipts list: for an archive title or file name every template
// of its receipt; otherwise every receipt's templates whose destination,
// folder name or title the name is. Empty when nothing matches.
std::vector<TemplateFiles> files(const QString &root, const QString &name);

struct TemplateState
{
    enum State {
        Unchanged,  // its files are the receipt's
        Edited,     // files changed, added or missing
        Missing,    // gone altogether
        Replaced,   // another archive's receipt owns its destination now
    };
    Receipt::Template entry;  // as the receipt lists it
    State state = Unchanged;
    QString replacedBy;       // Replaced only: that archive's title
    QStringList missing;      // Edited only, as TemplateLibrary::verify tells them
    QStringList changed;
    QStringList added;
};

struct ArchiveInfo
{
    Receipt receipt;
    std::vector<TemplateState> templates;  // in the receipt's order
};

// The receipt with this archive title or file name and the state of each
// of its templates; nullopt when no readable receipt has it. A listener
// that answers false stops the comparison of files.
std::optional<ArchiveInfo> info(const QString &root, const QString &archiveTitleOrFileName,
                                ProgressListener *listener = nullptr);

// Every readable receipt, by archive title; the files that could not be
// read in `unreadable`.
std::vector<Receipt> receipts(const QString &root, QStringList *unreadable = nullptr);

// Lower-case hex of a file's SHA-256; null, with the reason in `error`, when
// it cannot be read.
QString sha256OfFile(const QString &path, QString *error = nullptr);

} // namespace InstalledArchives
