// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/XmlLimits.h"

#include <QCoreApplication>

#include <expat.h>

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

GuardedXmlReader::GuardedXmlReader(int maxDepth) : _maxDepth(maxDepth)
{
    // Names are compared as written ("ozml", "template"); resolving namespaces
    // would only add ways to refuse a document.
    _xml.setNamespaceProcessing(false);
    // Entities are refused at their declaration already; this is the second wall.
    _xml.setEntityExpansionLimit(1024);
}

void GuardedXmlReader::addData(const QByteArray &bytes)
{
    _xml.addData(bytes);
}

void GuardedXmlReader::setDevice(QIODevice *device)
{
    _xml.setDevice(device);
}

bool GuardedXmlReader::next()
{
    if (_error)
        return false;
    // Lowered on the token after an end tag: standing on an end element,
    // depth() still counts it, as it does on a start element.
    if (_xml.tokenType() == QXmlStreamReader::EndElement)
        --_depth;
    const QXmlStreamReader::TokenType token = _xml.readNext();
    switch (token) {
    case QXmlStreamReader::Invalid:
        if (_xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
            _error = DocumentError::make(DocumentError::Truncated);
        else
            _error = DocumentError::make(DocumentError::NotXml,
                                         QStringLiteral("(%1, line %2)").arg(_xml.errorString()).arg(_xml.lineNumber()));
        return false;
    case QXmlStreamReader::DTD:
        // A bare DOCTYPE passes: only what could expand or fetch is refused.
        if (!_xml.entityDeclarations().isEmpty() || !_xml.notationDeclarations().isEmpty()
            || !_xml.dtdSystemId().isEmpty() || !_xml.dtdPublicId().isEmpty()) {
            _error = DocumentError::make(DocumentError::EntitiesRefused);
            return false;
        }
        return true;
    case QXmlStreamReader::EntityReference:
        _error = DocumentError::make(DocumentError::EntitiesRefused);
        return false;
    case QXmlStreamReader::StartElement:
        if (++_depth > _maxDepth) {
            _error = DocumentError::make(DocumentError::TooDeep);
            return false;
        }
        return true;
    // The end is no fault: atCleanEnd() tells the two apart.
    case QXmlStreamReader::EndDocument:
        return false;
    default:
        return true;
    }
}

struct GuardedXmlParser::Callbacks
{
    static GuardedXmlParser &self(void *data) { return *static_cast<GuardedXmlParser *>(data); }

    static void XMLCALL start(void *data, const XML_Char *name, const XML_Char **attributes)
    {
        GuardedXmlParser &p = self(data);
        if (++p._depth > p._maxDepth) {
            p.stop(DocumentError::make(DocumentError::TooDeep));
            return;
        }
        p._handler.startElement(name, attributes);
    }

    static void XMLCALL end(void *data, const XML_Char *)
    {
        GuardedXmlParser &p = self(data);
        p._handler.endElement();
        --p._depth;
    }

    static void XMLCALL text(void *data, const XML_Char *text, int length)
    {
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
    const auto parser = static_cast<XML_Parser>(_parser);
    if (!parser)
        return DocumentError::make(DocumentError::Unreadable, QStringLiteral("(out of memory)"));
    if (bytes.size() > INT_MAX)
        return DocumentError::make(DocumentError::TooLarge);
    const auto fault = [&]() -> std::optional<Error> {
        if (_stopped)
            return _error;
        return DocumentError::make(DocumentError::NotXml, QStringLiteral("(%1, line %2)")
                                                              .arg(QString::fromLatin1(XML_ErrorString(XML_GetErrorCode(parser))))
                                                              .arg(XML_GetCurrentLineNumber(parser)));
    };
    // Every byte first, then the end: a document that is well-formed up to
    // its last byte and faults only at the end was cut short.
    if (XML_Parse(parser, bytes.constData(), int(bytes.size()), XML_FALSE) != XML_STATUS_OK)
        return fault();
    if (XML_Parse(parser, nullptr, 0, XML_TRUE) != XML_STATUS_OK)
        return _stopped ? _error : DocumentError::make(DocumentError::Truncated);
    return std::nullopt;
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
