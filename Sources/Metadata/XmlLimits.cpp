// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/XmlLimits.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QStringDecoder>

#include <expat.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>

Error DocumentError::make(Code code, const QString &detail)
{
    QString text;
    switch (code) {
    case Unreadable:
        text = QCoreApplication::translate("DocumentError", "The document cannot be read.");
        break;
    case TooLarge:
        text = QCoreApplication::translate("DocumentError", "The document is too large to read.");
        break;
    case NotXml:
        text = QCoreApplication::translate("DocumentError", "The document is not well-formed XML.");
        break;
    case Truncated:
        text = QCoreApplication::translate("DocumentError", "The document ends too early.");
        break;
    case TooDeep:
        text = QCoreApplication::translate("DocumentError", "The document nests its elements too deeply.");
        break;
    case EntitiesRefused:
        text = QCoreApplication::translate("DocumentError",
                                           "The document declares entities or an external DTD, which are not read.");
        break;
    case WrongRoot:
        text = QCoreApplication::translate("DocumentError", "The document is not of the expected kind.");
        break;
    case NotEditable:
        text = QCoreApplication::translate("DocumentError", "The document cannot be changed in place.");
        break;
    }
    if (!detail.isEmpty())
        text += QLatin1Char(' ') + detail;
    return Error(Domain, code, text);
}

// After XML_StopParser expat may still make a call it had begun (the end
// of an empty-element tag): handlers hear nothing once the parse stopped.
struct GuardedXmlParser::Callbacks
{
    static GuardedXmlParser &self(void *data) { return *static_cast<GuardedXmlParser *>(data); }

    static void XMLCALL start(void *data, const XML_Char *name, const XML_Char **attributes)
    {
        GuardedXmlParser &p = self(data);
        if (p._stopped)
            return;
        if (++p._depth > p._maxDepth) {
            p.stop(DocumentError::make(DocumentError::TooDeep));
            return;
        }
        p._handler.startElement(name, attributes);
    }

    static void XMLCALL end(void *data, const XML_Char *)
    {
        GuardedXmlParser &p = self(data);
        if (p._stopped)
            return;
        p._handler.endElement();
        --p._depth;
    }

    static void XMLCALL text(void *data, const XML_Char *text, int length)
    {
        if (!self(data)._stopped)
            self(data)._handler.characters(std::string_view(text, size_t(length)));
    }

    static void XMLCALL declaration(void *data, const XML_Char *, const XML_Char *encoding, int)
    {
        if (encoding)
            self(data)._handler.declaredEncoding(encoding);
    }

    // A bare DOCTYPE passes; one that names an external subset does not.
    static void XMLCALL doctype(void *data, const XML_Char *, const XML_Char *systemId, const XML_Char *publicId, int)
    {
        if ((systemId && *systemId) || (publicId && *publicId))
            self(data).stop(DocumentError::make(DocumentError::EntitiesRefused));
    }

    static void XMLCALL entity(void *data, const XML_Char *, int, const XML_Char *, int, const XML_Char *,
                               const XML_Char *, const XML_Char *, const XML_Char *)
    {
        self(data).stop(DocumentError::make(DocumentError::EntitiesRefused));
    }

    static void XMLCALL notation(void *data, const XML_Char *, const XML_Char *, const XML_Char *, const XML_Char *)
    {
        self(data).stop(DocumentError::make(DocumentError::EntitiesRefused));
    }

    static void XMLCALL skipped(void *data, const XML_Char *, int)
    {
        self(data).stop(DocumentError::make(DocumentError::EntitiesRefused));
    }

    // A parameter-entity reference in the internal subset: expat then lets
    // references to entities it does not know pass in attribute values, as
    // the reference might have declared them.
    static int XMLCALL notStandalone(void *data)
    {
        self(data).stop(DocumentError::make(DocumentError::EntitiesRefused));
        return XML_STATUS_ERROR;
    }

    // Encodings expat does not know itself, through Qt's decoders: those
    // of one byte per character (windows-1252 and the like).
    static int XMLCALL unknownEncoding(void *, const XML_Char *name, XML_Encoding *info)
    {
        QStringDecoder probe(name);
        if (!probe.isValid())
            return XML_STATUS_ERROR;
        for (int byte = 0; byte < 256; ++byte) {
            QStringDecoder decoder(name);
            const char one = char(byte);
            const QString decoded = decoder.decode(QByteArrayView(&one, 1));
            // No character of a byte alone: characters of several bytes,
            // which this does not map.
            if (decoded.size() != 1)
                return XML_STATUS_ERROR;
            const bool undefined = decoder.hasError() || decoded.front() == QChar::ReplacementCharacter;
            info->map[byte] = undefined ? -1 : decoded.front().unicode();
        }
        info->data = nullptr;
        info->convert = nullptr;
        info->release = nullptr;
        return XML_STATUS_OK;
    }
};

namespace {

// expat salts its hash tables against names made to collide, by default
// from a getrandom() call per parser; one secret for the process serves
// as well, without a system call per document.
unsigned long hashSalt()
{
    static const unsigned long salt = [] {
        std::random_device source;
        return (static_cast<unsigned long>(source()) << 31) ^ static_cast<unsigned long>(source());
    }();
    return salt;
}

} // namespace

GuardedXmlParser::GuardedXmlParser(Handler &handler, int maxDepth)
    : _handler(handler), _parser(XML_ParserCreate(nullptr)), _maxDepth(maxDepth)
{
    const auto parser = static_cast<XML_Parser>(_parser);
    if (!parser)
        return;
    XML_SetHashSalt(parser, hashSalt());
    XML_SetUserData(parser, this);
    XML_SetElementHandler(parser, Callbacks::start, Callbacks::end);
    XML_SetCharacterDataHandler(parser, Callbacks::text);
    XML_SetXmlDeclHandler(parser, Callbacks::declaration);
    XML_SetStartDoctypeDeclHandler(parser, Callbacks::doctype);
    XML_SetEntityDeclHandler(parser, Callbacks::entity);
    XML_SetNotationDeclHandler(parser, Callbacks::notation);
    XML_SetSkippedEntityHandler(parser, Callbacks::skipped);
    XML_SetNotStandaloneHandler(parser, Callbacks::notStandalone);
    XML_SetUnknownEncodingHandler(parser, Callbacks::unknownEncoding, nullptr);
    // Nothing outside the document is ever read.
    XML_SetParamEntityParsing(parser, XML_PARAM_ENTITY_PARSING_NEVER);
}

GuardedXmlParser::~GuardedXmlParser()
{
    if (_parser)
        XML_ParserFree(static_cast<XML_Parser>(_parser));
}

void GuardedXmlParser::stop(std::optional<Error> error)
{
    if (_stopped)
        return;
    _stopped = true;
    _error = std::move(error);
    XML_StopParser(static_cast<XML_Parser>(_parser), XML_FALSE);
}

std::optional<Error> GuardedXmlParser::parse(const QByteArray &bytes)
{
    if (bytes.size() > INT_MAX)
        return DocumentError::make(DocumentError::TooLarge);
    if (std::optional<Error> error = feed(bytes.constData(), int(bytes.size())))
        return error;
    return finish();
}

std::optional<Error> GuardedXmlParser::parse(QIODevice &device)
{
    // expat scans a token it has not seen the end of again with every
    // piece: pieces as large as all read so far keep a huge token (a
    // hostile comment or attribute) from costing quadratic time.
    constexpr qint64 FirstPiece = 256 * 1024;
    constexpr qint64 LargestPiece = 64 * 1024 * 1024;
    QByteArray chunk;
    qint64 fed = 0;
    for (;;) {
        chunk.resize(qsizetype(std::clamp(fed, FirstPiece, LargestPiece)));
        const qint64 got = device.read(chunk.data(), chunk.size());
        if (got < 0)
            return DocumentError::make(DocumentError::Unreadable, device.errorString());
        if (got == 0)
            return finish();
        if (std::optional<Error> error = feed(chunk.constData(), int(got)))
            return error;
        if (_stopped)
            return _error;
        fed += got;
    }
}

std::optional<Error> GuardedXmlParser::feed(const char *data, int length)
{
    const auto parser = static_cast<XML_Parser>(_parser);
    if (!parser)
        return DocumentError::make(DocumentError::Unreadable, QStringLiteral("(out of memory)"));
    if (_stopped)
        return _error;
    if (XML_Parse(parser, data, length, XML_FALSE) == XML_STATUS_OK)
        return std::nullopt;
    if (_stopped)
        return _error;
    return notXml();
}

Error GuardedXmlParser::notXml() const
{
    const auto parser = static_cast<XML_Parser>(_parser);
    return DocumentError::make(DocumentError::NotXml, QStringLiteral("(%1, line %2)")
                                                          .arg(QString::fromLatin1(XML_ErrorString(XML_GetErrorCode(parser))))
                                                          .arg(XML_GetCurrentLineNumber(parser)));
}

std::optional<Error> GuardedXmlParser::finish()
{
    const auto parser = static_cast<XML_Parser>(_parser);
    if (!parser)
        return DocumentError::make(DocumentError::Unreadable, QStringLiteral("(out of memory)"));
    if (_stopped)
        return _error;
    if (XML_Parse(parser, nullptr, 0, XML_TRUE) == XML_STATUS_OK)
        return std::nullopt;
    if (_stopped)
        return _error;
    // Every byte was well-formed so far: an element, a token or a character
    // left open at the end means the document was cut short; anything else
    // ("hello") is no XML.
    switch (XML_GetErrorCode(parser)) {
    case XML_ERROR_NO_ELEMENTS:
    case XML_ERROR_UNCLOSED_TOKEN:
    case XML_ERROR_UNCLOSED_CDATA_SECTION:
    case XML_ERROR_PARTIAL_CHAR:
        return DocumentError::make(DocumentError::Truncated);
    default:
        return notXml();
    }
}

qint64 GuardedXmlParser::byteIndex() const
{
    return qint64(XML_GetCurrentByteIndex(static_cast<XML_Parser>(_parser)));
}

int GuardedXmlParser::byteCount() const
{
    return XML_GetCurrentByteCount(static_cast<XML_Parser>(_parser));
}

const char *GuardedXmlParser::attribute(const char *const *attributes, const char *name)
{
    for (; attributes[0]; attributes += 2) {
        if (std::strcmp(name, attributes[0]) == 0)
            return attributes[1];
    }
    return nullptr;
}

QString GuardedXmlParser::attributeText(const char *const *attributes, const char *name)
{
    const char *value = attribute(attributes, name);
    return value ? QString::fromUtf8(value) : QString();
}
