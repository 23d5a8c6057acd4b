// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/ProjectDocument.h"

#include "Installer/TemplateType.h"
#include "Metadata/XmlLimits.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QUrl>

namespace {

const QString UserPrefix = QStringLiteral("~/");
const QString FinalCutPrefix = QStringLiteral(".../");
const QString AllUsersFolder = QStringLiteral("/Library/Application Support/Final Cut Pro/Templates.localized/");
// Below a home folder, directly or through Final Cut Pro's sandbox container.
const QString UserFolder = QStringLiteral("/Movies/Motion Templates.localized/");

Error refusal(ProjectDocument::ReferenceCode code, const QString &text)
{
    return Error(ProjectDocument::ReferenceDomain, code, text);
}

// A path below a root, checked: a kind folder first, a template document
// last, nothing that climbs, nothing empty.
Expected<ProjectDocument::Location> checked(ProjectDocument::Root root, const QString &relative)
{
    const QStringList parts = relative.split(QLatin1Char('/'));
    static const QStringList kinds = {QStringLiteral("Effects.localized"), QStringLiteral("Generators.localized"),
                                      QStringLiteral("Titles.localized"), QStringLiteral("Transitions.localized")};
    for (const QString &part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..") || part.contains(QChar(0))
            || part.contains(QLatin1Char('\\')))
            return refusal(ProjectDocument::UnsafePath,
                           QCoreApplication::translate("ProjectDocument", "The template path is not a plain path below the templates folder."));
    }
    if (parts.size() < 3 || !kinds.contains(parts.first()) || TemplateType::forFileName(parts.last()) == 0)
        return refusal(ProjectDocument::UnsafePath,
                       QCoreApplication::translate("ProjectDocument", "The template path does not name a template in a kind folder."));
    return ProjectDocument::Location{root, relative};
}

// An absolute path in one of the two roots; null when it is in neither.
std::optional<Expected<ProjectDocument::Location>> fromAbsolute(const QString &path)
{
    if (path.startsWith(AllUsersFolder))
        return checked(ProjectDocument::Root::AllUsers, path.mid(AllUsersFolder.size()));
    const qsizetype user = path.indexOf(UserFolder);
    if (user > 0) {
        // "/Users/<name>" or "/Users/<name>/Library/Containers/com.apple.FinalCut/Data".
        const QStringList home = path.left(user).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        const bool plainHome = home.size() == 2;
        const bool container = home.size() == 6 && home[2] == QLatin1String("Library")
            && home[3] == QLatin1String("Containers") && home[4] == QLatin1String("com.apple.FinalCut")
            && home[5] == QLatin1String("Data");
        if (plainHome || container)
            return checked(ProjectDocument::Root::User, path.mid(user + UserFolder.size()));
    }
    return std::nullopt;
}

bool namesTemplateDocument(const QString &reference)
{
    return TemplateType::forFileName(reference.section(QLatin1Char('/'), -1)) != 0;
}

QString srcPath(const QString &src)
{
    const QUrl url(src);
    return url.isLocalFile() ? url.toLocalFile() : QString();
}

struct RefUse
{
    QString ref;
    ProjectDocument::Use use;
    QString mediaId;  // the <media> it lies in, when it does
};

struct Walker final : GuardedXmlParser::Handler
{
    Walker() : parser(*this) {}

    GuardedXmlParser parser;
    bool sawRoot = false;
    ProjectDocument doc;
    bool inResources = false;
    int resourcesDepth = -1;
    // The enclosing elements' names and "name" attributes.
    std::vector<std::pair<QString, QString>> stack;
    QString project;
    int projectDepth = -1;
    QString mediaId;
    QString mediaName;
    int mediaDepth = -1;
    std::vector<ProjectDocument::Template> effects;  // in resource order, all kinds
    std::vector<RefUse> refs;
    // Which media each project or media refers to (ref-clip, mc-clip).
    std::vector<std::pair<QString, QString>> mediaRefs;  // (user: project name or "#"+media id, media id)

    QString clipName() const
    {
        static const QSet<QString> clips = {
            QStringLiteral("title"), QStringLiteral("video"), QStringLiteral("asset-clip"), QStringLiteral("clip"),
            QStringLiteral("ref-clip"), QStringLiteral("mc-clip"), QStringLiteral("sync-clip"), QStringLiteral("gap"),
            QStringLiteral("transition"), QStringLiteral("audio")};
        for (auto it = stack.rbegin(); it != stack.rend(); ++it)
            if (clips.contains(it->first))
                return it->second;
        return {};
    }

    void characters(std::string_view) override {}

    void startElement(std::string_view elementName, const char *const *attributes) override
    {
        const auto attribute = [attributes](const char *name) {
            return GuardedXmlParser::attributeText(attributes, name);
        };
        const QString name = QString::fromUtf8(elementName.data(), qsizetype(elementName.size()));
        const int depth = parser.depth();
        stack.emplace_back(name, attribute("name"));
        if (depth == 1) {
            if (name != u"fcpxml") {
                parser.stop(DocumentError::make(DocumentError::WrongRoot));
                return;
            }
            sawRoot = true;
            doc.version = attribute("version");
            return;
        }
        if (name == u"resources" && resourcesDepth < 0) {
            resourcesDepth = depth;
        } else if (resourcesDepth >= 0 && depth == resourcesDepth + 1 && name == u"effect") {
            ProjectDocument::Template effect;
            effect.id = attribute("id");
            effect.name = attribute("name");
            effect.uid = attribute("uid");
            effect.src = attribute("src");
            effects.push_back(std::move(effect));
        } else if (resourcesDepth >= 0 && depth == resourcesDepth + 1 && name == u"media") {
            mediaDepth = depth;
            mediaId = attribute("id");
            mediaName = attribute("name");
        } else if (name == u"project" && projectDepth < 0) {
            projectDepth = depth;
            project = attribute("name");
        }

        const QString ref = attribute("ref");
        if (ref.isEmpty())
            return;
        if (name == u"title" || name == u"video" || name == u"filter-video") {
            RefUse use;
            use.ref = ref;
            use.use.project = mediaDepth >= 0 ? QString() : project;
            use.use.container = mediaDepth >= 0 ? mediaName : QString();
            use.use.clip = name == u"filter-video" ? clipNameAbove() : stack.back().second;
            use.mediaId = mediaDepth >= 0 ? mediaId : QString();
            refs.push_back(std::move(use));
        } else if (name == u"ref-clip" || name == u"mc-clip") {
            const QString user = mediaDepth >= 0 ? QLatin1Char('#') + mediaId : project;
            if (!user.isEmpty())
                mediaRefs.emplace_back(user, ref);
        }
    }

    QString clipNameAbove()
    {
        // The filter's own entry is on top: its clip is below it.
        const auto own = stack.back();
        stack.pop_back();
        const QString clip = clipName();
        stack.push_back(own);
        return clip;
    }

    void endElement() override
    {
        const int depth = parser.depth();
        if (depth == resourcesDepth)
            resourcesDepth = -1;
        if (depth == mediaDepth) {
            mediaDepth = -1;
            mediaId.clear();
            mediaName.clear();
        }
        if (depth == projectDepth) {
            projectDepth = -1;
            project.clear();
        }
        if (!stack.empty())
            stack.pop_back();
    }

    template <typename Source>
    std::optional<Error> run(Source &source)
    {
        if (std::optional<Error> error = parser.parse(source))
            return error;
        if (!sawRoot)
            return DocumentError::make(DocumentError::Truncated);
        return std::nullopt;
    }

    // The projects reaching a media, through media in media, each once.
    QStringList projectsReaching(const QString &media) const
    {
        QStringList projects;
        QSet<QString> seen{QLatin1Char('#') + media};
        QStringList pending{QLatin1Char('#') + media};
        while (!pending.isEmpty()) {
            const QString target = pending.takeFirst().mid(1);
            for (const auto &[user, used] : mediaRefs) {
                if (used != target || seen.contains(user))
                    continue;
                seen.insert(user);
                if (user.startsWith(QLatin1Char('#')))
                    pending.append(user);
                else
                    projects.append(user);
            }
        }
        return projects;
    }

    void finish()
    {
        QHash<QString, ProjectDocument::Template *> byId;
        std::vector<ProjectDocument::Template> templates;
        std::vector<ProjectDocument::Template> finalCut;
        QHash<QString, qsizetype> refusedById;
        for (ProjectDocument::Template &effect : effects) {
            Expected<ProjectDocument::Location> location = ProjectDocument::locate(effect.uid, effect.src);
            if (!location) {
                if (location.error().code() == ProjectDocument::NotATemplate)
                    continue;
                refusedById.insert(effect.id, qsizetype(doc.refused.size()));
                doc.refused.push_back({effect.id, effect.name, effect.uid, effect.src,
                                       location.error().localizedDescription(), 0});
                continue;
            }
            effect.location = *location;
            (location->root == ProjectDocument::Root::FinalCut ? finalCut : templates).push_back(std::move(effect));
        }
        doc.templates = std::move(templates);
        doc.finalCutTemplates = std::move(finalCut);
        for (auto *list : {&doc.templates, &doc.finalCutTemplates})
            for (ProjectDocument::Template &t : *list)
                byId.insert(t.id, &t);

        QHash<QString, QStringList> reachCache;
        for (const RefUse &ref : refs) {
            if (const auto refused = refusedById.constFind(ref.ref); refused != refusedById.cend()) {
                ++doc.refused[size_t(*refused)].uses;
                continue;
            }
            ProjectDocument::Template *t = byId.value(ref.ref);
            if (!t)
                continue;
            t->uses.push_back(ref.use);
            QStringList projects;
            if (ref.mediaId.isEmpty()) {
                projects = {ref.use.project};
            } else {
                auto cached = reachCache.find(ref.mediaId);
                if (cached == reachCache.end())
                    cached = reachCache.insert(ref.mediaId, projectsReaching(ref.mediaId));
                projects = *cached;
            }
            for (const QString &project : std::as_const(projects))
                if (!project.isEmpty() && !t->projects.contains(project))
                    t->projects.append(project);
        }
    }
};

} // namespace

QString ProjectDocument::Location::folder() const
{
    return relativePath.section(QLatin1Char('/'), 0, -2);
}

Expected<ProjectDocument::Location> ProjectDocument::locate(const QString &uid, const QString &src)
{
    const bool uidIsTemplate = namesTemplateDocument(uid);
    const QString source = srcPath(src);
    if (!uidIsTemplate && !namesTemplateDocument(source))
        return refusal(NotATemplate, QCoreApplication::translate("ProjectDocument", "The effect is no Motion template."));
    if (uidIsTemplate) {
        if (uid.startsWith(FinalCutPrefix))
            return checked(Root::FinalCut, uid.mid(FinalCutPrefix.size()));
        if (uid.startsWith(UserPrefix))
            return checked(Root::User, uid.mid(UserPrefix.size()));
        if (uid.startsWith(QLatin1Char('/'))) {
            if (std::optional<Expected<Location>> location = fromAbsolute(uid))
                return std::move(*location);
        }
    }
    // The uid says nothing usable: the file it was exported from may.
    if (!source.isEmpty() && namesTemplateDocument(source)) {
        if (std::optional<Expected<Location>> location = fromAbsolute(source))
            return std::move(*location);
    }
    return refusal(OutsideRoots, QCoreApplication::translate("ProjectDocument", "The template lies outside the templates folders."));
}

Expected<ProjectDocument> ProjectDocument::parse(const QByteArray &bytes)
{
    if (bytes.size() > MaxBytes)
        return DocumentError::make(DocumentError::TooLarge);
    Walker walker;
    if (std::optional<Error> error = walker.run(bytes))
        return *error;
    walker.finish();
    return std::move(walker.doc);
}

Expected<ProjectDocument> ProjectDocument::read(const QString &path)
{
    QFileInfo info(path);
    if (info.isSymLink())
        return DocumentError::make(DocumentError::Unreadable);
    if (info.isDir()) {
        info = QFileInfo(path + QStringLiteral("/Info.fcpxml"));
        if (info.isSymLink())
            return DocumentError::make(DocumentError::Unreadable);
    }
    if (!info.isFile())
        return DocumentError::make(DocumentError::Unreadable);
    if (info.size() > MaxBytes)
        return DocumentError::make(DocumentError::TooLarge);
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly))
        return DocumentError::make(DocumentError::Unreadable, file.errorString());
    Walker walker;
    if (std::optional<Error> error = walker.run(file))
        return *error;
    walker.finish();
    return std::move(walker.doc);
}
