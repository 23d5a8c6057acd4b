// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Feeds arbitrary bytes to the template document reader (both depths), the
// obsolete-bit edit and the project reader. None may crash, leak or hang,
// and an edit that succeeds must read back with the bit as asked and, for
// hide then show, give back the very bytes it started from when the
// document was not hidden before (TemplateDocumentEdit's contract).
#include "Metadata/ProjectDocument.h"
#include "Metadata/TemplateDocument.h"
#include "Metadata/TemplateDocumentEdit.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    (void)TemplateDocument::parse(bytes, QString(), TemplateDocument::Parts::Summary);
    const Expected<TemplateDocument> doc = TemplateDocument::parse(bytes);

    const Expected<QByteArray> hidden = TemplateDocumentEdit::setObsolete(bytes, true);
    if (hidden) {
        const Expected<TemplateDocument> reread = TemplateDocument::parse(*hidden, QString(), TemplateDocument::Parts::Summary);
        if (!reread || !reread->isObsolete())
            abort();
        // A document already holding the tags hiding inserts cannot tell
        // them from its own.
        const bool marked = bytes.contains("<flags >") || bytes.contains("<template >");
        if (doc && !doc->isObsolete() && !marked) {
            const Expected<QByteArray> shown = TemplateDocumentEdit::setObsolete(*hidden, false);
            if (!shown || *shown != bytes)
                abort();
        }
    }

    (void)ProjectDocument::parse(bytes);
    return 0;
}
