// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Metadata/TemplateDocumentEdit.h"

#include "Metadata/TemplateDocument.h"
#include "Metadata/XmlLimits.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// What hiding inserts where a document lacks the element. The space before
// ">" (plain XML, read as without it) marks them as ours, so that showing
// takes exactly them away again and leaves a document's own elements alone.
const QByteArray AddedTemplateOpen = QByteArrayLiteral("<template >");
const QByteArray TemplateClose = QByteArrayLiteral("</template>");
const QByteArray AddedFlags = QByteArrayLiteral("<flags >2</flags>");

// Where the pieces an edit touches lie, in bytes; -1 when absent.
struct Located
{
    qsizetype rootInner = -1;      // just after the root's start tag
    qsizetype templateStart = -1;  // at "<template"
    qsizetype templateInner = -1;  // just after "<template>"
    qsizetype templateEnd = -1;    // just after "</template>"
    qsizetype flagsStart = -1;     // at "<flags"
    qsizetype flagsInner = -1;     // just after "<flags>"
    qsizetype flagsTextEnd = -1;   // at "</flags>"
    qsizetype flagsEnd = -1;       // just after "</flags>"
};

// Walks the document once with the reader TemplateDocument reads it with,
// so that both take the same <template> and <flags>, and refuse the same
// documents; notes the offsets an edit needs.
class Locator final : public GuardedXmlParser::Handler
{
public:
    explicit Locator(const QByteArray &bytes) : _bytes(bytes), _parser(*this) {}

    Expected<Located> run()
    {
        if (std::optional<Error> error = _parser.parse(_bytes))
            return *error;
        if (_at.rootInner < 0)
            return DocumentError::make(DocumentError::Truncated);
        return _at;
    }

private:
    qsizetype tagStart() const { return qsizetype(_parser.byteIndex()); }
    qsizetype tagEnd() const { return qsizetype(_parser.byteIndex() + _parser.byteCount()); }

    void refuse(DocumentError::Code code) { _parser.stop(DocumentError::make(code)); }

    void declaredEncoding(std::string_view encoding) override
    {
        if (QLatin1StringView(encoding.data(), qsizetype(encoding.size())).compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) != 0)
            refuse(DocumentError::NotEditable);
    }

    void startElement(std::string_view name, const char *const *) override
    {
        const int depth = _parser.depth();
        if (depth == 1) {
            if (name != "ozml") {
                refuse(DocumentError::WrongRoot);
                return;
            }
            _at.rootInner = tagEnd();
        } else if (name == "template" && _at.templateInner < 0) {
            _at.templateInner = tagEnd();
            // "<template/>" has no inside to insert into: rewriting the tag
            // would not be an edit in place.
            if (_bytes.mid(_at.templateInner - 2, 2) == "/>") {
                refuse(DocumentError::NotEditable);
                return;
            }
            _templateDepth = depth;
            if (_bytes.mid(_at.templateInner - AddedTemplateOpen.size(), AddedTemplateOpen.size()) == AddedTemplateOpen)
                _at.templateStart = _at.templateInner - AddedTemplateOpen.size();
        } else if (name == "flags" && depth == _templateDepth + 1 && _at.flagsInner < 0) {
            _at.flagsStart = tagStart();
            _at.flagsInner = tagEnd();
            if (_bytes.mid(_at.flagsInner - 2, 2) == "/>") {
                refuse(DocumentError::NotEditable);
                return;
            }
            _at.flagsTextEnd = _at.flagsInner;
            _inFlags = true;
        } else if (_inFlags) {
            // An element inside <flags>: not the plain number this edit rewrites.
            refuse(DocumentError::NotEditable);
        }
    }

    void characters(std::string_view) override
    {
        if (_inFlags)
            _at.flagsTextEnd = tagEnd();
    }

    void endElement() override
    {
        const int depth = _parser.depth();
        if (_inFlags && depth == _templateDepth + 1) {
            _inFlags = false;
            _at.flagsEnd = tagEnd();
        } else if (depth == _templateDepth) {
            _templateDepth = -2; // only the first <template> counts
            _at.templateEnd = tagEnd();
        }
    }

    const QByteArray &_bytes;
    GuardedXmlParser _parser;
    Located _at;
    int _templateDepth = -1;
    bool _inFlags = false;
};

Expected<Located> locate(const QByteArray &bytes)
{
    // UTF-16 or UTF-32 (by a byte order mark, or a zero byte beside the
    // first "<"), or another encoding its declaration names: the inserted
    // bytes are UTF-8.
    if (bytes.startsWith("\xFE\xFF") || bytes.startsWith("\xFF\xFE")
        || (bytes.size() >= 2 && (bytes.at(0) == '\0' || bytes.at(1) == '\0')))
        return DocumentError::make(DocumentError::NotEditable);
    return Locator(bytes).run();
}

Expected<QByteArray> edit(const QByteArray &document, bool obsolete)
{
    Expected<Located> located = locate(document);
    if (!located)
        return located.error();
    const Located &at = *located;
    QByteArray bytes = document;

    if (at.flagsInner < 0) {
        // No flags: not hidden, so nothing to clear.
        if (!obsolete)
            return bytes;
        if (at.templateInner >= 0)
            return bytes.insert(at.templateInner, AddedFlags);
        if (bytes.mid(at.rootInner - 2, 2) == "/>")
            return DocumentError::make(DocumentError::NotEditable);
        return bytes.insert(at.rootInner, AddedTemplateOpen + AddedFlags + TemplateClose);
    }

    const QByteArray text = bytes.mid(at.flagsInner, at.flagsTextEnd - at.flagsInner);
    const QByteArray trimmed = text.trimmed();
    bool ok = false;
    const uint value = trimmed.toUInt(&ok, 10);
    // Only the plain decimal form is rewritten: another ("007") would not
    // come back as it was.
    if (!ok || trimmed != QByteArray::number(value))
        return DocumentError::make(DocumentError::NotEditable);
    const uint changed = obsolete ? value | TemplateDocument::ObsoleteFlag : value & ~TemplateDocument::ObsoleteFlag;
    if (changed == value)
        return bytes;

    // Our own insertion goes again, whole.
    if (!obsolete && changed == 0 && at.flagsStart == at.templateInner
        && bytes.mid(at.flagsStart, at.flagsEnd - at.flagsStart) == AddedFlags) {
        const bool addedTemplate = at.templateStart == at.rootInner && at.flagsEnd + TemplateClose.size() == at.templateEnd
            && bytes.mid(at.flagsEnd, TemplateClose.size()) == TemplateClose;
        if (addedTemplate)
            return bytes.remove(at.templateStart, at.templateEnd - at.templateStart);
        return bytes.remove(at.flagsStart, AddedFlags.size());
    }
    const qsizetype digits = at.flagsInner + text.indexOf(trimmed);
    return bytes.replace(digits, trimmed.size(), QByteArray::number(changed));
}

} // namespace

Expected<QByteArray> TemplateDocumentEdit::setObsolete(const QByteArray &document, bool obsolete)
{
    Expected<QByteArray> edited = edit(document, obsolete);
    if (!edited || !obsolete)
        return edited;
    // Listings read only the first bytes of a document: one hidden beyond
    // what they read (a huge document whose header lies past the bound)
    // would be hidden without showing so anywhere.
    const qint64 bound = TemplateDocument::DefaultMaxBytes;
    const Expected<TemplateDocument> read = TemplateDocument::parseCut(edited->left(bound), edited->size() > bound,
                                                                       TemplateDocument::Parts::Summary);
    if (!read)
        return read.error();
    if (!read->isObsolete())
        return DocumentError::make(DocumentError::NotEditable);
    return edited;
}

std::optional<Error> TemplateDocumentEdit::setObsoleteInFile(const QString &documentPath, bool obsolete)
{
    constexpr qint64 MaxBytes = 64 * 1024 * 1024;
    const QFileInfo info(documentPath);
    if (info.isSymLink() || !info.isFile())
        return DocumentError::make(DocumentError::Unreadable);
    if (info.size() > MaxBytes)
        return DocumentError::make(DocumentError::TooLarge);
    QFile file(documentPath);
    if (!file.open(QIODevice::ReadOnly))
        return DocumentError::make(DocumentError::Unreadable, file.errorString());
    // One byte over the bound: a file that grew since the size was read is
    // still caught.
    const QByteArray original = file.read(MaxBytes + 1);
    file.close();
    if (original.size() > MaxBytes)
        return DocumentError::make(DocumentError::TooLarge);
    Expected<QByteArray> edited = setObsolete(original, obsolete);
    if (!edited)
        return edited.error();
    // Not rewritten when nothing changes: its modification time stays.
    if (*edited == original)
        return std::nullopt;
    // Written aside and renamed over: Final Cut Pro never reads half a document.
    QSaveFile save(documentPath);
    if (!save.open(QIODevice::WriteOnly) || save.write(*edited) != edited->size() || !save.commit())
        return Error(Error::PosixDomain, EIO, save.errorString());
    return std::nullopt;
}
