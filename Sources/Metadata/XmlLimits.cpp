// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/XmlLimits.h"

#include <QCoreApplication>

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
