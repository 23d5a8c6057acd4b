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

namespace {

// The text of the current element, read up to its end, where the reader
// then stands; or up to a child element, where it then stands, so that the
// child is seen like any other element (a <template> there still counts).
QString elementText(GuardedXmlReader &reader, bool *atChild)
{
    const int depth = reader.depth();
    QString text;
    while (reader.next()) {
        const QXmlStreamReader::TokenType token = reader.xml().tokenType();
        if (token == QXmlStreamReader::Characters)
            text += reader.xml().text();
        else if (token == QXmlStreamReader::StartElement || (token == QXmlStreamReader::EndElement && reader.depth() == depth))
            break;
    }
    *atChild = reader.xml().tokenType() == QXmlStreamReader::StartElement;
    return text;
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

struct Parser
{
    Parser(const QString &templateFolder, TemplateDocument::Parts wanted) : folder(templateFolder), parts(wanted) {}

    const QString &folder;
    TemplateDocument::Parts parts;
    TemplateDocument doc;

    GuardedXmlReader reader;
    // Element serial numbers by depth: two references under one parent are
    // one medium.
    std::vector<quint64> serialAtDepth = std::vector<quint64>(1, 0);
    quint64 serial = 0;
    quint64 mediaParent = 0;
    int templateDepth = -1;
    int sceneSettingsDepth = -1;
    int publishDepth = -1;
    int factoryDepth = -1;
    QString factoryId;
    QHash<QString, QString> factoryManufacturer;
    QHash<QString, QString> factoryName;
    QHash<QString, QString> factoryUuid;
    QSet<QString> plugInKeys;
    bool seenVersion = false;
    bool seenFlags = false;
    bool seenTemplate = false;
    bool seenScene = false;
    bool seenPublish = false;

    bool atChild = false;

    QString text()
    {
        return elementText(reader, &atChild);
    }

    bool summaryDone() const
    {
        return parts == TemplateDocument::Parts::Summary && seenVersion && seenTemplate && seenScene && seenPublish;
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

    void startElement()
    {
        QXmlStreamReader &xml = reader.xml();
        const int depth = reader.depth();
        if (serialAtDepth.size() <= size_t(depth))
            serialAtDepth.resize(size_t(depth) + 1);
        serialAtDepth[size_t(depth)] = ++serial;
        const QStringView name = xml.name();
        const QXmlStreamAttributes attributes = xml.attributes();

        if (depth == 1) {
            doc.formatVersion = attributes.value(QLatin1String("version")).toString();
            return;
        }
        if (readHeader(name, attributes, depth) || readScene(name, attributes, depth))
            return;
        if (parts == TemplateDocument::Parts::Summary)
            return;
        readBody(name, attributes, depth);
    }

    // The template's own facts, the Motion version and the factories.
    bool readHeader(QStringView name, const QXmlStreamAttributes &attributes, int depth)
    {
        if (name == u"template" && !doc.hasTemplateElement) {
            doc.hasTemplateElement = true;
            templateDepth = depth;
            return true;
        }
        if (name == u"factory" && factoryDepth < 0) {
            factoryDepth = depth;
            factoryId = attributes.value(QLatin1String("id")).toString();
            factoryUuid.insert(factoryId, attributes.value(QLatin1String("uuid")).toString());
            return true;
        }
        if (factoryDepth >= 0 && depth == factoryDepth + 1) {
            if (name == u"manufacturer")
                factoryManufacturer.insert(factoryId, text().trimmed());
            else if (name == u"description")
                factoryName.insert(factoryId, text().trimmed());
            return true;
        }
        if (name == u"displayversion" && !seenVersion) {
            doc.motionVersionText = text().trimmed();
            seenVersion = true;
            return true;
        }
        if (templateDepth >= 0 && depth == templateDepth + 1) {
            readTemplateChild(name);
            return true;
        }
        if (name == u"description" && depth == 2) {
            doc.description = text().trimmed();
            return true;
        }
        return false;
    }

    void readTemplateChild(QStringView name)
    {
        if (name == u"theme") {
            doc.theme = text().trimmed();
        } else if (name == u"flags" && !seenFlags) {
            // The first one counts, as for hiding.
            seenFlags = true;
            bool ok = false;
            const uint value = text().trimmed().toUInt(&ok);
            if (ok)
                doc.flags = value;
        } else if (name == u"description") {
            doc.description = text().trimmed();
        }
    }

    // The scene's size, rate and length, and the published parameters.
    bool readScene(QStringView name, const QXmlStreamAttributes &attributes, int depth)
    {
        if (name == u"sceneSettings" && sceneSettingsDepth < 0 && !seenScene) {
            sceneSettingsDepth = depth;
            return true;
        }
        if (sceneSettingsDepth >= 0 && depth == sceneSettingsDepth + 1) {
            const QString value = text().trimmed();
            if (name == u"width")
                doc.width = value.toInt();
            else if (name == u"height")
                doc.height = value.toInt();
            else if (name == u"frameRate")
                doc.frameRate = value.toDouble();
            else if (name == u"duration")
                doc.durationFrames = value.toDouble();
            return true;
        }
        if (name == u"publishSettings" && publishDepth < 0 && !seenPublish) {
            publishDepth = depth;
            return true;
        }
        if (publishDepth >= 0 && name == u"target") {
            const QString parameter = attributes.value(QLatin1String("name")).toString();
            if (!parameter.isEmpty())
                doc.parameters.append(parameter);
            return true;
        }
        return false;
    }

    // Media references and plug-ins, anywhere in the scene.
    void readBody(QStringView name, const QXmlStreamAttributes &attributes, int depth)
    {
        if (name == u"pathURL" || name == u"relativeURL") {
            addMediaReference(depth, name == u"relativeURL", text().trimmed());
            return;
        }
        const QString factory = attributes.value(QLatin1String("factoryID")).toString();
        const QString manufacturer = factoryManufacturer.value(factory);
        if (attributes.hasAttribute(QLatin1String("pluginUUID")) || attributes.hasAttribute(QLatin1String("pluginName"))) {
            if (!isApple(manufacturer))
                addPlugIn(attributes.value(QLatin1String("pluginName")).toString(), attributes.value(QLatin1String("pluginUUID")).toString(),
                          attributes.value(QLatin1String("pluginVersion")).toString());
        } else if (!factory.isEmpty() && !manufacturer.isEmpty() && !isApple(manufacturer)) {
            addPlugIn(factoryName.value(factory), factoryUuid.value(factory), QString());
        }
    }

    void endElement()
    {
        const int depth = reader.depth();
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
    }

    std::optional<Error> run()
    {
        bool sawRoot = false;
        while (!summaryDone() && reader.next()) {
            const QXmlStreamReader::TokenType token = reader.xml().tokenType();
            if (token == QXmlStreamReader::StartElement) {
                if (reader.depth() == 1) {
                    if (reader.xml().name() != u"ozml")
                        return DocumentError::make(DocumentError::WrongRoot);
                    sawRoot = true;
                }
                // Reading an element's text may stop on a child's start.
                do {
                    atChild = false;
                    startElement();
                } while (atChild);
            } else if (token == QXmlStreamReader::EndElement) {
                endElement();
            }
        }
        if (reader.error())
            return reader.error();
        if (!sawRoot)
            return DocumentError::make(DocumentError::Truncated);
        return std::nullopt;
    }
};

Expected<TemplateDocument> parseBytes(const QByteArray &bytes, const QString &folder, TemplateDocument::Parts parts,
                                      const std::vector<FinalCutVersions::Row> &table, bool cutShort)
{
    Parser parser(folder, parts);
    parser.reader.addData(bytes);
    const std::optional<Error> error = parser.run();
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
