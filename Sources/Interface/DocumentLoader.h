// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Common/Expected.h"
#include "Metadata/TemplateDocument.h"

#include <QFutureWatcher>
#include <QObject>
#include <QStringList>
#include <QThreadPool>

#include <QVersionNumber>

#include <memory>
#include <optional>

// Reads the template documents of many template folders off the GUI thread,
// in order, on one worker of its own (the previews and the window keep the
// other core), and hands each one over as it arrives. Documents come from
// archives: each is read bounded, and one that does not read is an Error
// for its folder alone.
class DocumentLoader : public QObject
{
    Q_OBJECT

public:
    // Shared: the same read document goes to the table and the preview pane
    // without copying its lists.
    using Document = std::shared_ptr<const Expected<TemplateDocument>>;

    explicit DocumentLoader(QObject *parent = nullptr);
    // Stops after the document being read and waits for it: the folders
    // (an unpack folder) may go right after.
    ~DocumentLoader() override;

    // Reads the document of each folder; what an earlier load() had not read
    // yet is dropped, and its answers are not delivered. An empty folder
    // (one whose files are still to come) is answered with null.
    void load(const QStringList &folders);
    void cancel();
    bool isLoading() const;

    // Finds the Final Cut Pro version to judge documents against
    // (FinalCutVersions::effectiveVersion of the user's setting) on the
    // worker, ahead of documents asked for later: finalCutFound() follows.
    void findFinalCut();

    // On the calling thread, not the worker.
    static Document read(const QString &folder);

signals:
    // `index` is the folder's place in the list of the last load().
    void loaded(int index, const DocumentLoader::Document &document);
    // Every document of the last load() has been handed over.
    void finished();
    // Null: no Final Cut Pro is known, so nothing is too new.
    void finalCutFound(const std::optional<QVersionNumber> &version);

private:
    QThreadPool _pool;
    std::unique_ptr<QFutureWatcher<Document>> _watcher;
    QFutureWatcher<std::optional<QVersionNumber>> _finalCutWatcher;
};
