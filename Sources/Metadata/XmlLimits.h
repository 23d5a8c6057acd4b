// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <string_view>

class QIODevice;

// Why a document's details are unavailable: the codes of DocumentError::Domain.
namespace DocumentError {

inline const QString Domain = QStringLiteral("MTIDocumentErrorDomain");

enum Code {
    Unreadable = 1,    // missing, not a regular file, a link, or reading failed
    TooLarge,          // beyond the reader's size bound
    NotXml,            // malformed, wrongly encoded, or binary
    Truncated,         // ends before its root element does
    TooDeep,           // elements nested beyond the bound
    EntitiesRefused,   // declares entities or notations, or refers to an external DTD
    WrongRoot,         // well-formed, but not this kind of document
    NotEditable,       // the edit cannot be made byte for byte
};

Error make(Code code, const QString &detail = QString());

} // namespace DocumentError

// An XML parser over untrusted bytes (expat's, which tokenizes the
// documents of a pack in less than half the time QXmlStreamReader takes),
// bounded: it refuses a DTD that declares entities or notations or names an
// external subset (so neither an entity bomb nor an external entity gets
// anywhere), a reference to an entity it does not know, and nesting deeper
// than `maxDepth`. Nothing is ever fetched. Names, attributes and text
// arrive as UTF-8; a premature end is Truncated.
class GuardedXmlParser
{
public:
    class Handler
    {
    public:
        virtual ~Handler() = default;
        // `attributes`: name, value, ..., null.
        virtual void startElement(std::string_view name, const char *const *attributes) = 0;
        virtual void endElement() = 0;
        virtual void characters(std::string_view text) = 0;
        // The XML declaration's encoding, when it names one.
        virtual void declaredEncoding(std::string_view) {}
    };

    // 256 is far deeper than these documents go; a hostile file's nesting
    // is stopped long before it costs anything.
    explicit GuardedXmlParser(Handler &handler, int maxDepth = 256);
    ~GuardedXmlParser();
    GuardedXmlParser(const GuardedXmlParser &) = delete;
    GuardedXmlParser &operator=(const GuardedXmlParser &) = delete;

    // The whole document, or up to stop(): null when it was well-formed (or
    // stopped cleanly), else the fault.
    std::optional<Error> parse(const QByteArray &bytes);
    // The same, read from the device a piece at a time.
    std::optional<Error> parse(QIODevice &device);
    // From a handler: parse no further; a null error ends the parse cleanly.
    void stop(std::optional<Error> error = std::nullopt);
    // Elements open, the current one included (in endElement too).
    int depth() const { return _depth; }
    // From a handler: where in the bytes what it is told about lies (a start
    // or end tag, a piece of text), and how many bytes it takes there.
    qint64 byteIndex() const;
    int byteCount() const;

    // An attribute's value, or null.
    static const char *attribute(const char *const *attributes, const char *name);
    // The same as text; empty when absent.
    static QString attributeText(const char *const *attributes, const char *name);

private:
    struct Callbacks;
    std::optional<Error> feed(const char *data, int length);
    std::optional<Error> finish();
    Error notXml() const;
    Handler &_handler;
    void *_parser;
    int _maxDepth;
    int _depth = 0;
    bool _stopped = false;
    std::optional<Error> _error;
};
