// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/TemplateDocument.h"

#include "Installer/TemplateType.h"
#include "Metadata/XmlLimits.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QUrl>

#include <cstring>
#include <string>
#include <utility>

namespace {

// A lookup key over an attribute's bytes, without copying them.
QByteArray keyOf(const char *text)
{
    return text ? QByteArray::fromRawData(text, qsizetype(std::strlen(text))) : QByteArray();
}

bool isApple(const QString &manufacturer)
{
    return manufacturer.trimmed().startsWith(QLatin1String("Apple"), Qt::CaseInsensitive);
}

bool isOutsideRelative(const QString &cleaned)
{
    return cleaned.isEmpty() || cleaned == QLatin1String(".") || cleaned == QLatin1String("..")
        || cleaned.startsWith(QLatin1String("../")) || QDir::isAbsolutePath(cleaned);
}

// Where a media reference points, judged without looking outside the
// template folder: the relative URL wins (it is what moves with the
// template); an absolute one counts only when it lies in the folder.
TemplateDocument::Media resolveMedia(const QString &pathURL, const QString &relativeURL, const QString &folder)
{
    TemplateDocument::Media media;
    media.pathURL = pathURL;
    media.relativeURL = relativeURL;
    QString relative;
    if (!relativeURL.isEmpty()) {
        relative = QDir::cleanPath(QUrl::fromPercentEncoding(relativeURL.toUtf8()));
    } else {
        const QUrl url(pathURL);
        const QString local = url.isLocalFile() ? url.toLocalFile() : pathURL;
        const QString base = QDir::cleanPath(folder);
        const QString cleaned = QDir::cleanPath(local);
        if (folder.isEmpty() || !cleaned.startsWith(base + QLatin1Char('/'))) {
            media.state = folder.isEmpty() ? TemplateDocument::MediaState::Unknown
                                           : TemplateDocument::MediaState::Outside;
            return media;
        }
        relative = cleaned.mid(base.size() + 1);
    }
    if (isOutsideRelative(relative)) {
        media.state = TemplateDocument::MediaState::Outside;
        return media;
    }
    media.relativePath = relative;
    if (folder.isEmpty()) {
        media.state = TemplateDocument::MediaState::Unknown;
        return media;
    }
    const QFileInfo info(QDir(folder).filePath(relative));
    if (!info.exists()) {
        media.state = TemplateDocument::MediaState::Missing;
        return media;
    }
    // A link in the folder may still lead out of it.
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    media.state = info.canonicalFilePath().startsWith(canonicalFolder + QLatin1Char('/'))
        ? TemplateDocument::MediaState::Present
        : TemplateDocument::MediaState::Outside;
    if (media.state == TemplateDocument::MediaState::Outside)
        media.relativePath.clear();
    return media;
}

struct Parser final : GuardedXmlParser::Handler
{
    explicit Parser(TemplateDocument::Parts wanted) : parts(wanted), parser(*this) {}

    TemplateDocument::Parts parts;
    TemplateDocument doc;

    GuardedXmlParser parser;
    // Element serial numbers by depth: two references under one parent are
    // one medium.
    std::vector<quint64> serialAtDepth = std::vector<quint64>(1, 0);
    quint64 serial = 0;
    quint64 mediaParent = 0;
    int templateDepth = -1;
    int sceneSettingsDepth = -1;
    int publishDepth = -1;
    int factoryDepth = -1;
    QByteArray factoryId;
    QHash<QByteArray, QString> factoryManufacturer;
    QHash<QByteArray, QString> factoryName;
    QHash<QByteArray, QString> factoryUuid;
    QSet<QString> plugInKeys;
    bool sawRoot = false;
    bool seenVersion = false;
    bool seenFlags = false;
    bool seenTemplate = false;
    bool seenScene = false;
    bool seenPublish = false;

    // The element whose text is read, up to its end or its first child
    // (which is then seen like any other element: a <template> there still
    // counts), and where the text goes.
    enum class Text {
        None, Manufacturer, FactoryName, DisplayVersion, Theme, Flags, Description,
        Width, Height, FrameRate, Duration, PathURL, RelativeURL,
    };
    Text textFor = Text::None;
    int textDepth = 0;
    std::string textBytes;

    bool summaryDone() const
    {
        return parts == TemplateDocument::Parts::Summary && seenVersion && seenTemplate && seenScene && seenPublish;
    }

    void readText(Text what)
    {
        textFor = what;
        textDepth = parser.depth();
        textBytes.clear();
    }

    void finishText()
    {
        if (textFor == Text::None)
            return;
        const Text what = std::exchange(textFor, Text::None);
        const QString value = QString::fromUtf8(textBytes).trimmed();
        switch (what) {
        case Text::None:
            break;
        case Text::Manufacturer:
            factoryManufacturer.insert(factoryId, value);
            break;
        case Text::FactoryName:
            factoryName.insert(factoryId, value);
            break;
        case Text::DisplayVersion:
            doc.motionVersionText = value;
            break;
        case Text::Theme:
            doc.theme = value;
            break;
        case Text::Flags: {
            bool ok = false;
            const uint flags = value.toUInt(&ok);
            if (ok)
                doc.flags = flags;
            break;
        }
        case Text::Description:
            doc.description = value;
            break;
        case Text::Width:
            doc.width = value.toInt();
            break;
        case Text::Height:
            doc.height = value.toInt();
            break;
        case Text::FrameRate:
            doc.frameRate = value.toDouble();
            break;
        case Text::Duration:
            doc.durationFrames = value.toDouble();
            break;
        case Text::PathURL:
        case Text::RelativeURL:
            addMediaReference(textDepth, what == Text::RelativeURL, value);
            break;
        }
    }

    void addPlugIn(const QString &name, const QString &uuid, const QString &version)
    {
        const QString key = uuid.isEmpty() ? name : uuid;
        if (key.isEmpty() || plugInKeys.contains(key))
            return;
        plugInKeys.insert(key);
        doc.plugIns.push_back({name, uuid, version});
    }

    void addMediaReference(int depth, bool isRelative, const QString &value)
    {
        const quint64 parent = serialAtDepth[size_t(depth - 1)];
        if (doc.media.empty() || parent != mediaParent) {
            doc.media.emplace_back();
            mediaParent = parent;
        }
        TemplateDocument::Media &media = doc.media.back();
        (isRelative ? media.relativeURL : media.pathURL) = value;
    }

    void characters(std::string_view text) override
    {
        if (textFor != Text::None)
            textBytes.append(text);
    }

    void startElement(std::string_view name, const char *const *attributes) override
    {
        finishText();
        const int depth = parser.depth();
        if (serialAtDepth.size() <= size_t(depth))
            serialAtDepth.resize(size_t(depth) + 1);
        serialAtDepth[size_t(depth)] = ++serial;

        if (depth == 1) {
            if (name != "ozml") {
                parser.stop(DocumentError::make(DocumentError::WrongRoot));
                return;
            }
            sawRoot = true;
            doc.formatVersion = GuardedXmlParser::attributeText(attributes, "version");
            return;
        }
        if (readHeader(name, attributes, depth) || readScene(name, attributes, depth))
            return;
        if (parts == TemplateDocument::Parts::Summary)
            return;
        readBody(name, attributes);
    }

    // The template's own facts, the Motion version and the factories.
    bool readHeader(std::string_view name, const char *const *attributes, int depth)
    {
        if (name == "template" && !doc.hasTemplateElement) {
            doc.hasTemplateElement = true;
            templateDepth = depth;
            return true;
        }
        if (name == "factory" && factoryDepth < 0) {
            factoryDepth = depth;
            factoryId = GuardedXmlParser::attribute(attributes, "id");
            factoryUuid.insert(factoryId, GuardedXmlParser::attributeText(attributes, "uuid"));
            return true;
        }
        if (factoryDepth >= 0 && depth == factoryDepth + 1) {
            if (name == "manufacturer")
                readText(Text::Manufacturer);
            else if (name == "description")
                readText(Text::FactoryName);
            return true;
        }
        if (name == "displayversion" && !seenVersion) {
            readText(Text::DisplayVersion);
            seenVersion = true;
            return true;
        }
        if (templateDepth >= 0 && depth == templateDepth + 1) {
            if (name == "theme") {
                readText(Text::Theme);
            } else if (name == "flags" && !seenFlags) {
                // The first one counts, as for hiding.
                seenFlags = true;
                readText(Text::Flags);
            } else if (name == "description") {
                readText(Text::Description);
            }
            return true;
        }
        if (name == "description" && depth == 2) {
            readText(Text::Description);
            return true;
        }
        return false;
    }

    // The scene's size, rate and length, and the published parameters.
    bool readScene(std::string_view name, const char *const *attributes, int depth)
    {
        if (name == "sceneSettings" && sceneSettingsDepth < 0 && !seenScene) {
            sceneSettingsDepth = depth;
            return true;
        }
        if (sceneSettingsDepth >= 0 && depth == sceneSettingsDepth + 1) {
            if (name == "width")
                readText(Text::Width);
            else if (name == "height")
                readText(Text::Height);
            else if (name == "frameRate")
                readText(Text::FrameRate);
            else if (name == "duration")
                readText(Text::Duration);
            return true;
        }
        if (name == "publishSettings" && publishDepth < 0 && !seenPublish) {
            publishDepth = depth;
            return true;
        }
        if (publishDepth >= 0 && name == "target") {
            const QString parameter = GuardedXmlParser::attributeText(attributes, "name");
            if (!parameter.isEmpty())
                doc.parameters.append(parameter);
            return true;
        }
        return false;
    }

    // Media references and plug-ins, anywhere in the scene.
    void readBody(std::string_view name, const char *const *attributes)
    {
        if (name == "pathURL" || name == "relativeURL") {
            readText(name == "relativeURL" ? Text::RelativeURL : Text::PathURL);
            return;
        }
        const QByteArray factory = keyOf(GuardedXmlParser::attribute(attributes, "factoryID"));
        const QString manufacturer = factoryManufacturer.value(factory);
        const char *plugInName = GuardedXmlParser::attribute(attributes, "pluginName");
        const char *plugInUuid = GuardedXmlParser::attribute(attributes, "pluginUUID");
        if (plugInName || plugInUuid) {
            if (!isApple(manufacturer))
                addPlugIn(QString::fromUtf8(plugInName), QString::fromUtf8(plugInUuid),
                          GuardedXmlParser::attributeText(attributes, "pluginVersion"));
        } else if (!factory.isEmpty() && !manufacturer.isEmpty() && !isApple(manufacturer)) {
            addPlugIn(factoryName.value(factory), factoryUuid.value(factory), QString());
        }
    }

    void endElement() override
    {
        const int depth = parser.depth();
        if (textFor != Text::None && depth == textDepth)
            finishText();
        if (depth == factoryDepth) {
            factoryDepth = -1;
        } else if (depth == templateDepth) {
            templateDepth = -1;
            seenTemplate = true;
        } else if (depth == sceneSettingsDepth) {
            sceneSettingsDepth = -1;
            seenScene = true;
        } else if (depth == publishDepth) {
            publishDepth = -1;
            seenPublish = true;
        }
        if (summaryDone())
            parser.stop();
    }

    std::optional<Error> run(const QByteArray &bytes)
    {
        if (std::optional<Error> error = parser.parse(bytes))
            return error;
        if (!sawRoot)
            return DocumentError::make(DocumentError::Truncated);
        return std::nullopt;
    }
};

Expected<TemplateDocument> parseBytes(const QByteArray &bytes, const QString &folder, TemplateDocument::Parts parts,
                                      const std::vector<FinalCutVersions::Row> &table, bool cutShort)
{
    Parser parser(parts);
    const std::optional<Error> error = parser.run(bytes);
    TemplateDocument &doc = parser.doc;
    if (error) {
        // Cut at the bound after the header: what came before still counts.
        const bool headerRead = parser.seenVersion && parser.seenScene;
        if (!cutShort || error->code() != DocumentError::Truncated || !headerRead)
            return cutShort && error->code() == DocumentError::Truncated ? DocumentError::make(DocumentError::TooLarge)
                                                                          : *error;
        doc.incomplete = true;
    }
    if (const std::optional<QVersionNumber> version = FinalCutVersions::parse(doc.motionVersionText)) {
        doc.motionVersion = *version;
        doc.finalCut = FinalCutVersions::requirementFor(*version, table);
    }
    for (TemplateDocument::Media &media : doc.media)
        media = resolveMedia(media.pathURL, media.relativeURL, folder);
    return std::move(doc);
}

} // namespace

QStringList TemplateDocument::missingMedia() const
{
    QStringList missing;
    for (const Media &m : media)
        if (m.state == MediaState::Missing)
            missing.append(m.relativePath);
    return missing;
}

Expected<TemplateDocument> TemplateDocument::parse(const QByteArray &bytes, const QString &templateFolder, Parts parts,
                                                   const std::vector<FinalCutVersions::Row> &table)
{
    return parseBytes(bytes, templateFolder, parts, table, false);
}

Expected<TemplateDocument> TemplateDocument::parseCut(const QByteArray &bytes, bool cutShort, Parts parts)
{
    return parseBytes(bytes, QString(), parts, FinalCutVersions::table(), cutShort);
}

Expected<TemplateDocument> TemplateDocument::read(const QString &documentPath, Parts parts, qint64 maxBytes)
{
    const QFileInfo info(documentPath);
    if (info.isSymLink() || !info.isFile())
        return DocumentError::make(DocumentError::Unreadable);
    QFile file(documentPath);
    if (!file.open(QIODevice::ReadOnly))
        return DocumentError::make(DocumentError::Unreadable, file.errorString());
    const QByteArray bytes = file.read(maxBytes);
    if (file.error() != QFileDevice::NoError)
        return DocumentError::make(DocumentError::Unreadable, file.errorString());
    const bool cutShort = !file.atEnd();
    return parseBytes(bytes, info.absolutePath(), parts, FinalCutVersions::table(), cutShort);
}

QString TemplateDocument::documentIn(const QString &templateFolder)
{
    const QDir folder(templateFolder);
    const QString ownName = folder.dirName();
    QString first;
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        if (TemplateType::forFileName(name) == 0 || name.startsWith(QLatin1Char('.')))
            continue;
        if (QFileInfo(name).completeBaseName() == ownName)
            return folder.filePath(name);
        if (first.isEmpty())
            first = folder.filePath(name);
    }
    return first;
}

Expected<TemplateDocument> TemplateDocument::readFolder(const QString &templateFolder, Parts parts, qint64 maxBytes)
{
    const QString document = documentIn(templateFolder);
    if (document.isEmpty())
        return DocumentError::make(DocumentError::Unreadable);
    return read(document, parts, maxBytes);
}
