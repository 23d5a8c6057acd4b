// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/FinalCutVersions.h"

#include <QDir>
#include <QSet>

#include <CoreServices/CoreServices.h>

#include <algorithm>

namespace {

// Every bundle Launch Services knows for an identifier, wherever it lies.
QStringList launchServicesPaths(const QString &identifier)
{
    QStringList paths;
    CFStringRef cfIdentifier = identifier.toCFString();
    CFArrayRef urls = LSCopyApplicationURLsForBundleIdentifier(cfIdentifier, nullptr);
    CFRelease(cfIdentifier);
    if (!urls)
        return paths;
    for (CFIndex i = 0; i < CFArrayGetCount(urls); ++i) {
        const auto url = static_cast<CFURLRef>(CFArrayGetValueAtIndex(urls, i));
        char path[PATH_MAX];
        if (CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8 *>(path), sizeof path))
            paths.append(QString::fromUtf8(path));
    }
    CFRelease(urls);
    return paths;
}

} // namespace

std::vector<FinalCutVersions::Installation> FinalCutVersions::installed()
{
    QStringList candidates;
    // /Applications as well: Launch Services may not know a copy that was
    // never launched.
    const QDir applications(QStringLiteral("/Applications"));
    for (const QString &name : applications.entryList({QStringLiteral("*.app")}, QDir::Dirs))
        candidates.append(applications.filePath(name));
    for (const QString &identifier : bundleIdentifiers())
        candidates.append(launchServicesPaths(identifier));

    std::vector<Installation> found;
    // Both sources name the same bundles; cleaned paths let their spellings meet.
    QSet<QString> seen;
    for (const QString &path : std::as_const(candidates)) {
        const QString clean = QDir::cleanPath(path);
        if (seen.contains(clean))
            continue;
        seen.insert(clean);
        if (std::optional<Installation> app = readBundle(clean))
            found.push_back(std::move(*app));
    }
    std::sort(found.begin(), found.end(),
              [](const Installation &a, const Installation &b) { return a.version > b.version; });
    return found;
}
