// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/TemplateInstaller.h"
#include "Installer/TemplateLibrary.h"
#include "Interface/DocumentLoader.h"
#include "Metadata/TemplateMarks.h"

#include <QAbstractTableModel>
#include <QCache>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QSet>
#include <QStringList>
#include <QVersionNumber>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class PreviewLoader;
class TemplateArchiveDocument;

// The collection window's table: one row per template of the collection,
// archive by archive in scan order. Rows never move here; sorting and the
// search are the window's proxy (EffectsFilterModel).
//
// The installed mark is asked of the destination folder whenever a cell is
// drawn, so the table shows templates installed by other means at their next
// redraw. Sorting and the counts use the states last handed in with
// setInstalledStates(), taken off the GUI thread: asking 10,000 folders
// would stall the window.
//
// Previews are read on worker threads when a row first asks for one and
// kept in small caches; previewReady() tells when one has arrived.
//
// The template documents are read on a worker of their own once the rows
// are in, in row order, and kept: the marks column fills in as they arrive
// (documentReady()), judged against the Final Cut Pro version handed in.
class EffectsTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        IndexColumn,
        InstalledColumn,
        MarksColumn,
        KindColumn,
        CategoryColumn,
        TitleColumn,
        PreviewColumn,
        ColumnCount
    };
    enum Role {
        ColumnIdentifierRole = Qt::UserRole + 1,
        // What the proxy sorts by: numbers for the index and installed
        // columns, texts otherwise.
        SortRole,
    };
    enum class PreviewState { Loading, None, Ready };

    static constexpr QSize ThumbnailSize{64, 36};
    static constexpr QSize PreviewSize{384, 216};

    explicit EffectsTableModel(const TemplateArchiveDocument *document, QObject *parent = nullptr);
    ~EffectsTableModel() override;

    // "index", "installed", "marks", "kind", "category", "title", "preview",
    // in column order.
    static const QStringList &columnIdentifiers();
    static std::optional<Column> columnForIdentifier(const QString &identifier);
    // "Effect", "Generator", "Title", "Transition".
    static QString kindName(quint64 templateType);
    // What the table shows as the title: the item's title, or its folder's
    // name where the name has no "<prefix>_" to take a title from.
    static QString shownTitle(const EffectTemplateItem &item);

    // The cell value: the running number ("1."), one of the two status
    // images, the marks' letters ("NP"; empty until the document is read),
    // the kind, category and title texts; nothing for the preview
    // column, unknown identifiers (compared exactly) and rows outside the list.
    QVariant objectValue(Column column, int row) const;
    QVariant objectValue(const QString &identifier, int row) const;

    const EffectTemplateItem *item(int row) const;
    // Whether the row's files are still being unpacked (its archive was
    // only listed so far).
    bool filesPending(int row) const { return row >= 0 && size_t(row) < _filesPending.size() && _filesPending[size_t(row)]; }

    // Takes the document's templates afresh: no per-row work. `change`, when
    // given, runs inside the reset: it may destroy the items the rows showed.
    void reload(const std::function<void()> &change = {});
    // The same templates have files now (a listed archive was unpacked):
    // previews and documents are read again, the rows keep their places.
    void filesArrived();
    // For each row, whether its template was installed (from
    // TemplateArchiveDocument::installedStates()); redraws the marks.
    void setInstalledStates(std::vector<bool> states);
    bool installedState(int row) const;
    int installedCount() const { return _installedCount; }
    // The installed marks are drawn again (templates land while installing).
    void refreshInstalledMarks();
    // Where each row's installed copy came from
    // (TemplateArchiveDocument::provenances()): a copy from another archive,
    // or another copy of this one, gets its own mark and says so.
    void setProvenances(std::vector<TemplateLibrary::Provenance> provenances);
    TemplateLibrary::Provenance provenance(int row) const;
    // What the installed column's tool tip says of a row: "Not installed",
    // "Installed", "Installed from “LT_Pack_v1”", ...
    QString installedNote(int row, bool installed) const;

    // The tool tip of the installed column, per row; installedNote() unless
    // replaced (null restores it).
    void setInstalledToolTip(std::function<QString(const EffectTemplateItem &item, bool installed)> toolTip);

    // The preview at PreviewSize (kept to its aspect ratio); a null image
    // while it loads (previewReady follows) or when the template has none.
    QImage preview(int row);
    PreviewState previewState(int row) const;

    // The row's document once read (documentReady follows its arrival);
    // null before.
    DocumentLoader::Document document(int row) const;
    // What the marks column says of a row; empty until its document is read.
    // An installed copy hidden in the library (its own document's obsolete
    // bit) is marked hidden here too.
    TemplateMarks::Judgement judgement(int row) const;
    // Whether the row's installed copy is hidden, as last read after
    // setInstalledStates(); false while not read or not installed.
    bool installedCopyHidden(int row) const;
    // The version documents are judged against; null: none known, nothing
    // is too new. Redraws the marks.
    void setFinalCutVersion(std::optional<QVersionNumber> version);
    const std::optional<QVersionNumber> &finalCutVersion() const { return _finalCut; }
    // Every row's document has been read.
    bool hasReadDocuments() const { return _documentsRead == _items.size(); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void previewReady(int row);
    void documentReady(int row);
    void documentsRead();

private:
    bool isInstalled(const EffectTemplateItem *item) const;
    void requestPreview(int row) const;
    // Which rows' archives are listed but not unpacked yet, and the folders
    // to read the documents from (none for those: their files are still to
    // come, not unreadable).
    void findPendingFiles();
    QStringList documentFolders() const;
    void previewLoaded(const QString &folder, const QImage &thumbnail, const QImage &preview);
    void documentLoaded(int row, const DocumentLoader::Document &document);
    void readInstalledCopies();

    const TemplateArchiveDocument *_document;
    EffectTemplateItemList _items;
    QString _destinationRoot;
    std::vector<bool> _installed;
    int _installedCount = 0;
    std::function<QString(const EffectTemplateItem &, bool)> _installedToolTip;
    std::vector<TemplateLibrary::Provenance> _provenances;
    mutable QCache<int, QPixmap> _thumbnails;
    mutable QCache<int, QImage> _previews;
    mutable QSet<int> _withoutPreview;
    std::vector<bool> _filesPending;
    mutable QSet<int> _loading;
    // The row each folder being read is for; a reload forgets them, which
    // makes their answers stale.
    mutable QHash<QString, int> _loadingFolders;
    std::unique_ptr<PreviewLoader> _previewLoader;
    std::vector<DocumentLoader::Document> _documents;
    size_t _documentsRead = 0;
    std::optional<QVersionNumber> _finalCut;
    // Rows whose marks changed since the last redraw: documents arrive in
    // bursts of hundreds, and one dataChanged for the burst keeps the proxy's
    // work (and the window's stall) to one pass.
    int _changedFirst = -1;
    int _changedLast = -1;
    void markChanged(int row);
    // Rows of the installed copies being read, in the installed loader's order.
    std::vector<int> _installedRows;
    std::vector<bool> _installedHidden;
    // Last: destroyed first, they wait for the document being read.
    std::unique_ptr<DocumentLoader> _installedLoader;
    std::unique_ptr<DocumentLoader> _documentLoader;
};
