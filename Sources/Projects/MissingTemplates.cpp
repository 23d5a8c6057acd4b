// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Projects/MissingTemplates.h"

#include "Common/FileNames.h"
#include "Common/ProgressListener.h"
#include "Documents/CollectionOpeningRules.h"
#include "Installer/TemplateInstallerV2.h"

#include <QUrl>

#include <algorithm>

MissingTemplates::MissingTemplates(const ProjectCheck::Result &result, const Roots &roots)
{
    for (const ProjectCheck::Finding &finding : result.templates) {
        if (finding.state != ProjectCheck::State::Missing || finding.providers.isEmpty())
            continue;
        const QString root = finding.project.location.root == ProjectDocument::Root::AllUsers ? roots.allUsers : roots.user;
        if (root.isEmpty())
            continue;
        const QString archive = finding.providers.first();
        auto it = std::find_if(_wanted.begin(), _wanted.end(),
                               [&](const Wanted &w) { return w.root == root && w.archive == archive; });
        if (it == _wanted.end())
            it = _wanted.insert(_wanted.end(), Wanted{root, archive, {}});
        it->folders.append(FileNames::comparable(finding.project.location.folder()));
    }
}

MissingTemplates::Taken MissingTemplates::take(const QString &root)
{
    Taken taken;
    for (const Wanted &wanted : _wanted) {
        if (wanted.root != root)
            continue;
        taken.archives.append(wanted.archive);
        for (const QString &folder : wanted.folders)
            if (!taken.folders.contains(folder))
                taken.folders.append(folder);
    }
    _wanted.erase(std::remove_if(_wanted.begin(), _wanted.end(), [&](const Wanted &w) { return w.root == root; }),
                  _wanted.end());
    return taken;
}

bool MissingTemplates::prepare(const Progress &progress)
{
    for (const Wanted &wanted : _wanted) {
        auto part = std::find_if(_parts.begin(), _parts.end(), [&](const Part &p) { return p.root == wanted.root; });
        if (part == _parts.end()) {
            part = _parts.insert(_parts.end(), Part{wanted.root, std::make_unique<TemplateArchiveDocument>(QList<QUrl>{}),
                                                    QSet<const EffectTemplateItem *>{}, false});
        }
        const QUrl url = QUrl::fromLocalFile(wanted.archive);
        const QString name = CollectionOpeningRules::archiveFileName(url);
        Expected<std::unique_ptr<TemplateInstallerV2>> opened = TemplateInstallerV2::open(url, wanted.root);
        if (!opened) {
            _problems.append(tr("“%1” was not opened: %2.").arg(name, CollectionOpeningRules::refusalText(url, opened.error())));
            continue;
        }
        TemplateInstallerV2 *installer = opened->get();
        progress.setLabel(tr("Unpacking “%1”…").arg(name));
        installer->setProgressListener(&progress.listener);
        const bool unpacked = installer->unarchive();
        installer->setProgressListener(nullptr);
        if (progress.cancelled())
            return false;
        if (!unpacked) {
            _problems.append(tr("“%1” could not be unpacked: %2").arg(name, installer->unarchiveError()));
            continue;
        }
        for (const EffectTemplateItem *item : installer->effects()) {
            QString folder = item->relativeDestinationPath();
            if (folder.startsWith(QLatin1Char('/')))
                folder.remove(0, 1);
            if (wanted.folders.contains(FileNames::comparable(folder)))
                part->selection->insert(item);
        }
        part->document->addInstaller(std::move(*opened));
    }
    // A root whose archives all failed has nothing to install.
    _parts.erase(std::remove_if(_parts.begin(), _parts.end(), [](const Part &p) { return p.selection->isEmpty(); }),
                 _parts.end());
    return true;
}

MissingTemplates::Outcome MissingTemplates::install(const Progress &progress)
{
    Outcome outcome;
    for (Part &part : _parts) {
        if (part.installed)
            continue;
        outcome.last = part.document->install(part.selection, &progress.listener, [&progress](const TemplateInstallerV2 &installer) {
            progress.setLabel(tr("Installing “%1”…").arg(installer.title()));
        });
        outcome.newlyInstalled += outcome.last.newlyInstalled;
        if (outcome.last.error || !outcome.last.editedCopies.isEmpty() || !outcome.last.foreignCopies.isEmpty()) {
            outcome.stoppedAt = &part;
            return outcome;
        }
        part.installed = true;
    }
    return outcome;
}
