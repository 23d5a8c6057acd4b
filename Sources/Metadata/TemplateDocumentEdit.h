// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"
#include "Common/Expected.h"

#include <QByteArray>
#include <QString>

#include <optional>

// Hiding a template from Final Cut Pro's browser (old projects still render
// it) by the obsolete bit of its document's <template><flags>, editing the
// bytes where they lie: everything else in the file stays byte for byte.
namespace TemplateDocumentEdit {

// The document with the obsolete bit set or cleared; the same bytes when it
// is so already. Only the digits of <flags> change, or, where a document
// lacks it, hiding inserts "<flags >2</flags>" right after its <template>
// start tag, or, without <template>, "<template ><flags >2</flags></template>"
// right after the root's start tag. The space marks the insertion as ours:
// showing removes exactly it again, so hide then show gives back the
// original bytes (of any document not already holding such a marked tag).
// The <template> and <flags> edited are those TemplateDocument reads.
// NotEditable for a document that is not UTF-8, whose flags are no plain
// decimal number or an empty-element tag; the reader's errors for one that
// is not a sound template document. Hiding also refuses a document that
// TemplateDocument, reading its usual bound, would not then read as hidden.
Expected<QByteArray> setObsolete(const QByteArray &document, bool obsolete);

// The same on a document file (a regular file, not a link, of at most
// 64 MiB), replaced in one rename with its permissions; the file is not
// touched when nothing changes or anything fails.
[[nodiscard]] std::optional<Error> setObsoleteInFile(const QString &documentPath, bool obsolete);

} // namespace TemplateDocumentEdit
