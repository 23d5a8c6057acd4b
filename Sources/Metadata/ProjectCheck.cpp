// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/ProjectCheck.h"

#include "Common/FileNames.h"
#include "Installer/ReceiptIndex.h"
#include "Installer/TemplateInstallerV2.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <memory>

namespace ProjectCheck {

namespace {

// Items give destinations as "/Titles.localized/..."; project locations and
// the comparable keys have no leading slash.
QString withoutLeadingSlash(const QString &path)
{
    return path.startsWith(QLatin1Char('/')) ? path.mid(1) : path;
}

void resolveInstalled(Finding &finding, const QString &root, const ReceiptIndex &receipts,
                      const std::optional<QVersionNumber> &finalCut)
{
    const ProjectDocument::Location &location = finding.project.location;
    const QString document = QDir(root).filePath(location.relativePath);
    const QFileInfo info(document);
    if (!info.isFile())
        return;
    finding.state = State::Installed;
    finding.installedFolder = info.absolutePath();
    const ReceiptIndex::Owner owner = receipts.ownerOf(location.folder());
    finding.handCopy = owner.receipt == nullptr;
    if (owner.receipt)
        finding.archiveTitle = owner.receipt->archiveTitle;

    // Installed all the same when the document cannot be read: only the
    // details are lost, and the finding says why.
    Expected<TemplateDocument> details = TemplateDocument::read(document);
    if (!details) {
        finding.detailsUnavailable = details.error();
        return;
    }
    finding.hidden = details->isObsolete();
    finding.requirement = details->finalCut;
    finding.tooNew = finalCut && FinalCutVersions::isTooNew(details->finalCut, *finalCut);
    finding.plugIns = details->plugIns;
    finding.missingMedia = details->missingMedia();
}

} // namespace

bool Result::anythingMissing() const
{
    for (const Finding &finding : templates)
        if (finding.state == State::Missing)
            return true;
    return false;
}

QHash<QString, QStringList> templateFoldersOf(const QStringList &archives, const QString &root,
                                              const Categories &categories)
{
    QHash<QString, QStringList> folders;
    for (const QString &archive : archives) {
        std::unique_ptr<TemplateInstallerV2> installer = TemplateInstallerV2::create(QUrl::fromLocalFile(archive), root, categories);
        if (!installer || !installer->listArchive())
            continue;
        for (const EffectTemplateItem *item : installer->effects()) {
            // Composed form on both sides: a project and an archive may spell
            // the same accented name in different Unicode forms.
            QStringList &providers = folders[FileNames::comparable(withoutLeadingSlash(item->relativeDestinationPath()))];
            if (!providers.contains(archive))
                providers.append(archive);
        }
    }
    return folders;
}

Result check(const ProjectDocument &project, const Request &request)
{
    Result result;
    result.finalCutTemplates = project.finalCutTemplates;
    result.refused = project.refused;

    // Receipts are read once per root, and only for a root in use.
    std::unique_ptr<ReceiptIndex> userReceipts;
    std::unique_ptr<ReceiptIndex> allUsersReceipts;
    for (const ProjectDocument::Template &t : project.templates) {
        Finding finding;
        finding.project = t;
        const bool user = t.location.root == ProjectDocument::Root::User;
        const QString &root = user ? request.userRoot : request.allUsersRoot;
        if (!root.isEmpty()) {
            std::unique_ptr<ReceiptIndex> &receipts = user ? userReceipts : allUsersReceipts;
            if (!receipts)
                receipts = std::make_unique<ReceiptIndex>(root);
            resolveInstalled(finding, root, *receipts, request.finalCut);
        }
        result.templates.push_back(std::move(finding));
    }

    if (result.anythingMissing() && !request.archives.isEmpty()) {
        // Where an archive's templates go below a root does not depend on
        // the root, and listing writes nothing: any existing folder serves.
        const QHash<QString, QStringList> provided = templateFoldersOf(request.archives, QDir::tempPath());
        for (Finding &finding : result.templates)
            if (finding.state == State::Missing)
                finding.providers = provided.value(FileNames::comparable(finding.project.location.folder()));
    }
    return result;
}

} // namespace ProjectCheck
