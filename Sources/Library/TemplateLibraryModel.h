// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Installer/TemplateLibrary.h"
#include "Interface/DocumentLoader.h"
#include "Metadata/TemplateMarks.h"

#include <QAbstractTableModel>
#include <QFutureWatcher>
#include <QCache>
#include <QCollatorSortKey>
#include <QHash>
#include <QPixmap>
#include <QSet>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <optional>
#include <vector>

class PreviewLoader;
class QFileSystemWatcher;

// Every template installed below one or more destination roots (the user's
// and the all-users root), one row each. The roots are scanned on a worker
// thread and the results swapped in on the model's thread: a scan that
// finds what the model shows already changes nothing, one that finds the
// same rows with other values only reports those rows changed, anything
// else resets the model. Previews are read lazily, off the model's thread,
// and cached; until one arrives its cell is empty. The template documents
// are read after each scan on a worker of their own, only those not read
// yet or of copies that changed: the marks column fills in as they arrive.
//
// With watching on, a file-system watcher over the roots, their kind and
// category folders and their receipts folders rescans after each burst of
// changes, whoever made them (a collection window, mtzip in another process,
// the file manager).
//
// GUI thread only: the worker sees nothing but a ScanResult of its own, so
// no member needs a lock.
class TemplateLibraryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        PreviewColumn,
        TitleColumn,
        KindColumn,
        CategoryColumn,
        SizeColumn,
        OriginColumn,
        InstalledColumn,
        // Letters: TemplateMarks' and D for a template installed in both roots.
        MarksColumn,
        ColumnCount
    };

    enum Role {
        // A value that sorts as the column reads: numbers for the size, the
        // date for the installed time, text otherwise.
        SortRole = Qt::UserRole + 1,
        RootIndexRole,     // int: which of roots()
        DestinationRole,   // relative to its root
        KeyRole,           // root index and destination: stable across rescans
        TemplateTypeRole,  // quint64 TemplateType
        CategoryRole,      // the category as the table shows it
        OriginArchiveTitleRole,  // null for origin unknown
        OriginArchivePathRole,
        FolderPathRole,    // the template folder, absolute
    };

    explicit TemplateLibraryModel(QObject *parent = nullptr);
    // Waits for a scan under way; reading previews stops.
    ~TemplateLibraryModel() override;

    // Scans these roots (missing ones give no rows) from now on; the rows of
    // the old ones go at once.
    // Root indexes (RootIndexRole, keys) are positions in this list: a caller
    // that reorders it invalidates every key it kept.
    void setRoots(const QStringList &roots);
    const QStringList &roots() const { return _roots; }

    // Scans on a worker; asked while a scan runs, one more scan follows it.
    void rescan();
    bool isScanning() const { return _scan != nullptr; }
    // Whether the results of a scan of the current roots are in.
    bool hasScanned() const { return _hasScanned; }

    // Off until asked: the tests scan once and look; the library window turns it
    // on. Off again drops any rescan a change had scheduled.
    void setWatching(bool watching);
    bool isWatching() const { return _watcher != nullptr; }
    // The quiet time that ends a burst of changes (300 ms); a burst that
    // goes on is rescanned at the latest after four times as long.
    void setRescanDelay(int milliseconds);
    QStringList watchedFolders() const;

    // Source rows, unchecked: a row number holds only until the next reset, so
    // keep a key() across scans, never a row.
    const TemplateLibrary::InstalledTemplate &installedTemplate(int row) const { return _rows.at(size_t(row)).item; }
    int rootIndex(int row) const { return _rows.at(size_t(row)).rootIndex; }
    const QString &title(int row) const { return _rows.at(size_t(row)).title; }
    const QString &category(int row) const { return _rows.at(size_t(row)).category; }
    QString folderPath(int row) const;
    static QString key(int rootIndex, const QString &destination);
    // -1 when no row has the key.
    int rowForKey(const QString &key) const { return _rowByKey.value(key, -1); }

    // The categories of the rows, sorted for display, each once.
    QStringList categories() const;
    qint64 totalSize() const { return _totalSize; }

    // Negative, zero or positive as row a sorts before, with or after row b
    // by the column: sizes and dates as numbers, kinds in their order, text
    // in the user's collation (numbers in it as numbers), templates of
    // unknown origin after the named archives; ties by title, then by place.
    int compare(int a, int b, int column) const;
    // The collation of titles, categories and archive names.
    // A new one per call: QCollator is reentrant, not thread-safe, and the scan
    // needs its own on the worker.
    static QCollator collator();

    // In logical pixels, for the view's icon size; thumbnails are read at it
    // times the screen's pixel ratio.
    static QSize thumbnailSize();
    static QString kindText(quint64 templateType);
    static QString originUnknownText();

    // The row's document once read; null before.
    DocumentLoader::Document document(int row) const;
    // What the row's document means against finalCutVersion(); empty until read.
    TemplateMarks::Judgement judgement(int row) const;
    // The same relative path is installed below another root too: which
    // copy Final Cut Pro uses is not known.
    bool isDuplicate(int row) const { return _rows.at(size_t(row)).duplicate; }
    static QString duplicateText();
    static QChar duplicateLetter() { return QLatin1Char('D'); }
    // Every row's document has been read.
    bool hasReadDocuments() const;
    // Reads these rows' documents again (their files were edited in place,
    // which a rescan does not see).
    void rereadDocuments(const QList<int> &rows);
    // Null: no Final Cut Pro known, nothing is too new. Redraws the marks.
    void setFinalCutVersion(const std::optional<QVersionNumber> &version);
    const std::optional<QVersionNumber> &finalCutVersion() const { return _finalCut; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // Also for the follow-up scan a pending rescan() starts: the window shows
    // "Looking..." only until hasScanned(), not on every rescan.
    void scanStarted();
    // The results are in (whether or not anything changed).
    void scanFinished();
    // A row's document has arrived; the row number is the model's now.
    void documentReady(int row);

private:
    struct Row
    {
        TemplateLibrary::InstalledTemplate item;
        int rootIndex = 0;
        // What the table shows: the core's title and category, or for
        // folders not named by the archive rule ("XX_Title") the folder's
        // own name and its category folder's.
        QString title;
        QString category;
        // Made with the scan, on its worker: comparing two is a memcmp.
        // Optional only because QCollatorSortKey has no default constructor.
        std::optional<QCollatorSortKey> titleKey;
        std::optional<QCollatorSortKey> categoryKey;
        std::optional<QCollatorSortKey> originKey;
        bool duplicate = false;
    };
    // Defined in the .cpp: only the scan and takeResult() look inside.
    struct ScanResult;

    static void scanRoots(ScanResult &result);
    void startScan();
    void takeResult(ScanResult &result);
    void scheduleRescan();
    void updateWatchedFolders(const QStringList &folders);
    QStringList rootFolders() const;
    void previewLoaded(const QString &folder, const QImage &thumbnail);
    QVariant preview(int row) const;
    QVariant displayValue(const Row &row, int column) const;
    QVariant sortValue(const Row &row, int column) const;
    void rebuildIndexes();
    void readMissingDocuments();
    void documentLoaded(int index, const DocumentLoader::Document &document);
    QString marksText(int row) const;

    QStringList _roots;
    std::vector<Row> _rows;
    QHash<QString, int> _rowByKey;
    // By absolute folder: previews come back from the loader named that way.
    QHash<QString, int> _rowByFolder;
    qint64 _totalSize = 0;
    bool _hasScanned = false;

    // Null when no scan runs; isScanning() and rescan() rely on it.
    std::unique_ptr<QFutureWatcher<void>> _scan;
    bool _rescanPending = false;

    QFileSystemWatcher *_watcher = nullptr;
    QTimer _rescanTimer;
    QTimer _burstLimitTimer;
    // What the watcher was last given: an unchanged list skips the diff.
    QStringList _lastWatchList;

    std::unique_ptr<PreviewLoader> _previewLoader;
    // Mutable: data() is const, yet it is what asks for previews and caches
    // them. All three are keyed by absolute folder.
    mutable QCache<QString, QPixmap> _thumbnails;
    // Folders without a readable preview: not read again at every repaint.
    mutable QSet<QString> _noPreview;
    // In flight: one request per folder however often the cell is painted, and
    // answers for folders a rescan dropped meanwhile are recognised and ignored.
    mutable QSet<QString> _previewRequested;

    // By absolute folder, as the previews; dropped with a changed copy.
    QHash<QString, DocumentLoader::Document> _documents;
    QStringList _documentFolders;  // of the load under way
    std::optional<QVersionNumber> _finalCut;
    // Last: destroyed first, it waits for the document being read.
    std::unique_ptr<DocumentLoader> _documentLoader;
};
