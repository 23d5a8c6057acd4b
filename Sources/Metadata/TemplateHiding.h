// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Error.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>
#include <vector>

class ProgressListener;

// Hiding installed templates from Final Cut Pro's browser, and showing them
// again, by the obsolete bit of their documents (TemplateDocumentEdit):
// old projects still render a hidden template. Each edit holds the root's
// lock, is journaled in the root and written through folders opened beneath
// it: the new bytes are staged beside the document and renamed over it, so
// a run killed on the way is finished or undone by the next (recover()).
// The template's receipt keeps the archive's bytes of the document and
// learns the hidden ones, so that verification calls it hidden, not
// changed; showing gives back the archive's bytes.
namespace TemplateHiding {

enum class Result {
    Done,          // changed
    AlreadySo,     // hidden (or shown) already: nothing written
    NoDocument,    // no template document in the folder
    Refused,       // the document is a link, a pipe or no regular file, or cannot be edited byte for byte
    Failed,        // reading or writing failed
    Cancelled,     // the listener stopped the run before this template
};

struct Outcome
{
    QString destination;           // as given
    Result result = Result::Failed;
    std::optional<Error> error;    // why, for Refused, Failed and NoDocument
};

// Sets (hidden) or clears the obsolete bit of each template's document;
// `destinations` are template folders relative to `root`. One outcome per
// destination, in order. Waits for the root's lock as the listener says,
// at most `lockWait` when given (an Error of the lock's, then, for every
// template), and hears one progress report per template; answering false
// stops before the next.
std::vector<Outcome> setHidden(const QString &root, const QStringList &destinations, bool hidden,
                               ProgressListener *listener = nullptr,
                               std::optional<std::chrono::milliseconds> lockWait = std::nullopt);

// Finishes or undoes an edit a killed run left in root; true when there
// was one. Run under no lock of this process's: it takes the root's.
bool recover(const QString &root);

// The journal's name in the root.
QString journalName();

// For tests: called at each step of an edit; a hook that ends the process
// there leaves what recover() must deal with.
enum class Step { Journaled, Staged, Swapped, ReceiptWritten };
using FaultHook = void (*)(Step step);
void setFaultHook(FaultHook hook);

} // namespace TemplateHiding
