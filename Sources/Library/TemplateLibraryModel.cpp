// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Library/TemplateLibraryModel.h"

#include "Common/ByteSize.h"
#include "Installer/Receipt.h"
#include "Installer/TemplateType.h"
#include "Interface/PreviewLoader.h"
#include "Metadata/TemplateHiding.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFont>
#include <QGuiApplication>
#include <QLocale>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>

namespace {

// 16:9 as the templates' previews are, and short enough for the window's
// 42-pixel rows.
constexpr QSize ThumbnailSize(64, 36);
constexpr int DefaultRescanDelayMs = 300;
// Thumbnails kept, in kilobytes: some thousands of rows' worth.
constexpr int ThumbnailCacheKB = 48 * 1024;

// Effect, Generator, Title, Transition as TemplateType numbers them; each
// has its own kind folder below the root.
constexpr quint64 TemplateTypes[] = {1, 2, 3, 4};

// Every field a column or a role shows: a change in any of them must reach
// the view, and a thumbnail cached for the old copy must go.
bool sameItem(const TemplateLibrary::InstalledTemplate &a, const TemplateLibrary::InstalledTemplate &b)
{
    return a.destination == b.destination && a.templateType == b.templateType && a.categoryFolder == b.categoryFolder
        && a.category == b.category && a.title == b.title && a.templateFile == b.templateFile && a.size == b.size
        && a.installedAt == b.installedAt && a.originArchiveTitle == b.originArchiveTitle
        && a.originArchivePath == b.originArchivePath;
}

qreal thumbnailPixelRatio()
{
    // No QGuiApplication under a QCoreApplication test: plain 1x then.
    return qGuiApp ? std::max<qreal>(1.0, qGuiApp->devicePixelRatio()) : 1.0;
}

QString joinPath(const QString &root, const QString &relative)
{
    // No trailing slash for an empty relative path: these strings are cache and
    // index keys, and must compare equal to folderPath()'s.
    return relative.isEmpty() ? root : root + QLatin1Char('/') + relative;
}

// The folders whose changes can change the scan: the root (or, while it is
// missing, the folder it will be made in), its kind folders, their category
// folders and the receipts folder.
QStringList foldersToWatch(const QString &root)
{
    QStringList folders;
    const QFileInfo rootInfo(root);
    // A missing root is watched through its parent, so that the first install,
    // which makes it, is heard.
    if (!rootInfo.isDir()) {
        const QString parent = rootInfo.absolutePath();
        if (QFileInfo(parent).isDir())
            folders.append(parent);
        return folders;
    }
    folders.append(root);
    const QString receipts = joinPath(root, Receipt::folderName());
    if (QFileInfo(receipts).isDir())
        folders.append(receipts);
    // The watcher is not recursive, hence every level that can gain or lose a
    // template. The template folders themselves are left out: ten thousand of
    // them would run into the system's limit on watches, and edits inside one
    // do not change the rows.
    for (quint64 type : TemplateTypes) {
        const QString kind = joinPath(root, TemplateType::kindFolder(type));
        if (!QFileInfo(kind).isDir())
            continue;
        folders.append(kind);
        const QStringList categories = QDir(kind).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QString &category : categories)
            folders.append(joinPath(kind, category));
    }
    return folders;
}

} // namespace

// Written only by the worker, read only after its future has finished: the
// finish is the hand-over, so no lock.
struct TemplateLibraryModel::ScanResult
{
    QStringList roots;
    std::vector<Row> rows;
    QStringList watchList;
};

TemplateLibraryModel::TemplateLibraryModel(QObject *parent)
    : QAbstractTableModel(parent)
    , _thumbnails(ThumbnailCacheKB)
    , _documentLoader(std::make_unique<DocumentLoader>())
{
    connect(_documentLoader.get(), &DocumentLoader::loaded, this, &TemplateLibraryModel::documentLoaded);
    connect(_documentLoader.get(), &DocumentLoader::finalCutFound, this, &TemplateLibraryModel::setFinalCutVersion);
    _documentLoader->findFinalCut();
    _rescanTimer.setSingleShot(true);
    _rescanTimer.setInterval(DefaultRescanDelayMs);
    _burstLimitTimer.setSingleShot(true);
    _burstLimitTimer.setInterval(DefaultRescanDelayMs * 4);
    // Either timer ends the burst; each stops the other, so a burst brings one
    // scan, not two.
    for (QTimer *timer : {&_rescanTimer, &_burstLimitTimer}) {
        connect(timer, &QTimer::timeout, this, [this] {
            _rescanTimer.stop();
            _burstLimitTimer.stop();
            rescan();
        });
    }
}

TemplateLibraryModel::~TemplateLibraryModel()
{
    if (_scan) {
        // Disconnected first: the finished handler must not run on a model being
        // destroyed. The worker touches only its own result, so waiting is enough.
        _scan->disconnect(this);
        _scan->waitForFinished();
    }
}

QSize TemplateLibraryModel::thumbnailSize()
{
    return ThumbnailSize;
}

QString TemplateLibraryModel::kindText(quint64 templateType)
{
    switch (templateType) {
    case 1: return tr("Effect");
    case 2: return tr("Generator");
    case 3: return tr("Title");
    case 4: return tr("Transition");
    default: return {};
    }
}

QString TemplateLibraryModel::originUnknownText()
{
    return tr("origin unknown");
}

QString TemplateLibraryModel::key(int rootIndex, const QString &destination)
{
    return QString::number(rootIndex) + QLatin1Char(':') + destination;
}

QString TemplateLibraryModel::folderPath(int row) const
{
    const Row &entry = _rows.at(size_t(row));
    return joinPath(_roots.value(entry.rootIndex), entry.item.destination);
}

void TemplateLibraryModel::setRoots(const QStringList &roots)
{
    // Reset now, not when the scan is in: rows of the old roots must never be
    // shown under the new roots' indexes.
    beginResetModel();
    _roots = roots;
    _rows.clear();
    _totalSize = 0;
    _hasScanned = false;
    rebuildIndexes();
    endResetModel();
    if (_watcher)
        updateWatchedFolders(rootFolders());
    rescan();
}

void TemplateLibraryModel::rescan()
{
    if (_scan) {
        _rescanPending = true;
        return;
    }
    startScan();
}

// On a worker: it touches nothing but its own result.
void TemplateLibraryModel::scanRoots(ScanResult &result)
{
    const QCollator collation = collator();
    for (int index = 0; index < result.roots.size(); ++index) {
        const QString &root = result.roots.at(index);
        // An empty root keeps its place in the list, so root indexes still match
        // the caller's locations.
        if (root.isEmpty())
            continue;
        // A hide or show killed half-way is settled before its templates are
        // listed; with no journal left this is one look at the root.
        TemplateHiding::recover(root);
        for (TemplateLibrary::InstalledTemplate &item : TemplateLibrary::scan(root)) {
            Row row{std::move(item), index, {}, {}, {}, {}, {}};
            row.title = row.item.title.isEmpty() ? row.item.destination.section(QLatin1Char('/'), -1)
                                                 : row.item.title;
            row.category = row.item.category;
            if (row.category.isEmpty()) {
                row.category = row.item.categoryFolder;
                // Installs make "ZT <category>" folders; the prefix is the installer's,
                // not part of the name the user knows.
                if (row.category.startsWith(QLatin1String("ZT ")))
                    row.category = row.category.mid(3);
            }
            // Keys here, on the worker: making them for ten thousand rows at the first
            // sort would stall the window.
            row.titleKey = collation.sortKey(row.title);
            row.categoryKey = collation.sortKey(row.category);
            row.originKey = collation.sortKey(row.item.originArchiveTitle);
            result.rows.push_back(std::move(row));
        }
        result.watchList += foldersToWatch(root);
    }
    // A relative path below two roots: both copies are there, and which one
    // Final Cut Pro takes is not known.
    QHash<QString, int> roots;
    for (const Row &row : result.rows)
        ++roots[row.item.destination];
    for (Row &row : result.rows)
        row.duplicate = roots.value(row.item.destination) > 1;
}

void TemplateLibraryModel::startScan()
{
    _rescanPending = false;
    // Shared by the worker's lambda and the finished handler: whichever lets go
    // last frees it, even when the model is gone by then.
    auto result = std::make_shared<ScanResult>();
    result->roots = _roots;
    _scan = std::make_unique<QFutureWatcher<void>>();
    connect(_scan.get(), &QFutureWatcherBase::finished, this, [this, result] {
        // Not deleted from inside its own signal.
        _scan.release()->deleteLater();
        // Roots changed while it ran: its rows index the old list. setRoots()
        // left a pending rescan for the new one.
        if (result->roots == _roots)
            takeResult(*result);
        if (_rescanPending)
            startScan();
    });
    emit scanStarted();
    _scan->setFuture(QtConcurrent::run([result] { scanRoots(*result); }));
}

void TemplateLibraryModel::takeResult(ScanResult &result)
{
    std::vector<Row> &rows = result.rows;
    // The same templates in the same places (a rescan after a change elsewhere,
    // or none at all): the view keeps its selection, scroll and sort. Row by
    // row is enough, as scan() lists in the same order on every run.
    const bool sameRows = rows.size() == _rows.size()
        && std::equal(rows.cbegin(), rows.cend(), _rows.cbegin(), [](const Row &a, const Row &b) {
               return a.rootIndex == b.rootIndex && a.item.destination == b.item.destination;
           });
    // A copy replaced by a re-install may bring another preview.
    auto dropThumbnail = [this](const QString &folder) {
        _documents.remove(folder);
        _thumbnails.remove(folder);
        _noPreview.remove(folder);
        _previewRequested.remove(folder);
    };
    if (sameRows) {
        int first = -1;
        int last = -1;
        for (size_t i = 0; i < rows.size(); ++i) {
            if (sameItem(rows[i].item, _rows[i].item))
                continue;
            dropThumbnail(folderPath(int(i)));
            _rows[i] = std::move(rows[i]);
            first = first < 0 ? int(i) : first;
            last = int(i);
        }
        if (first >= 0) {
            // rebuildIndexes() is not run on this path (rows and keys stand), so the
            // total is summed here.
            _totalSize = 0;
            for (const Row &row : _rows)
                _totalSize += row.item.size;
            emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
        }
    } else {
        // Otherwise a reset: inserts and removes worked out against a sorted proxy
        // over ten thousand rows cost more than the window's own restore of its
        // selection and scroll (rememberView, restoreView). The thumbnails of
        // templates that stayed as they were survive it.
        QHash<QString, const TemplateLibrary::InstalledTemplate *> incoming;
        incoming.reserve(qsizetype(rows.size()));
        for (const Row &row : rows)
            incoming.insert(joinPath(_roots.value(row.rootIndex), row.item.destination), &row.item);
        for (const Row &row : _rows) {
            const QString folder = joinPath(_roots.value(row.rootIndex), row.item.destination);
            const auto *now = incoming.value(folder);
            if (!now || !sameItem(*now, row.item))
                dropThumbnail(folder);
        }
        beginResetModel();
        _rows = std::move(rows);
        rebuildIndexes();
        endResetModel();
        // Documents of templates no longer there are of no use.
        for (auto it = _documents.begin(); it != _documents.end();)
            it = _rowByFolder.contains(it.key()) ? std::next(it) : _documents.erase(it);
    }
    _hasScanned = true;
    readMissingDocuments();
    // The scan's list, not rootFolders(): only the scan knows the category
    // folders below the roots.
    if (_watcher)
        updateWatchedFolders(result.watchList);
    emit scanFinished();
}

void TemplateLibraryModel::rebuildIndexes()
{
    _rowByKey.clear();
    _rowByFolder.clear();
    _rowByKey.reserve(qsizetype(_rows.size()));
    _rowByFolder.reserve(qsizetype(_rows.size()));
    _totalSize = 0;
    for (size_t i = 0; i < _rows.size(); ++i) {
        const Row &row = _rows[i];
        _rowByKey.insert(key(row.rootIndex, row.item.destination), int(i));
        _rowByFolder.insert(folderPath(int(i)), int(i));
        _totalSize += row.item.size;
    }
}

void TemplateLibraryModel::readMissingDocuments()
{
    QStringList folders;
    for (int row = 0; row < int(_rows.size()); ++row) {
        const QString folder = folderPath(row);
        if (!_documents.contains(folder))
            folders.append(folder);
    }
    // A load under way is dropped: its folders not read yet are in this list.
    _documentFolders = folders;
    _documentLoader->load(folders);
}

void TemplateLibraryModel::documentLoaded(int index, const DocumentLoader::Document &document)
{
    const QString folder = _documentFolders.value(index);
    const int row = _rowByFolder.value(folder, -1);
    if (row < 0 || !document)
        return;
    _documents.insert(folder, document);
    // The marks only: the other columns come from the scan.
    emit dataChanged(this->index(row, MarksColumn), this->index(row, MarksColumn));
    emit documentReady(row);
}

void TemplateLibraryModel::rereadDocuments(const QList<int> &rows)
{
    for (int row : rows) {
        if (row >= 0 && size_t(row) < _rows.size())
            _documents.remove(folderPath(row));
    }
    readMissingDocuments();
}

bool TemplateLibraryModel::hasReadDocuments() const
{
    if (_documentLoader->isLoading())
        return false;
    for (int row = 0; row < int(_rows.size()); ++row) {
        if (!_documents.contains(folderPath(row)))
            return false;
    }
    return true;
}

DocumentLoader::Document TemplateLibraryModel::document(int row) const
{
    return row >= 0 && size_t(row) < _rows.size() ? _documents.value(folderPath(row)) : nullptr;
}

TemplateMarks::Judgement TemplateLibraryModel::judgement(int row) const
{
    const DocumentLoader::Document read = document(row);
    return read ? TemplateMarks::judge(*read, _finalCut) : TemplateMarks::Judgement();
}

void TemplateLibraryModel::setFinalCutVersion(const std::optional<QVersionNumber> &version)
{
    _finalCut = version;
    if (!_rows.empty())
        emit dataChanged(index(0, MarksColumn), index(int(_rows.size()) - 1, MarksColumn));
}

QString TemplateLibraryModel::duplicateText()
{
    return tr("Installed in both folders; which one Final Cut Pro uses is not known");
}

QString TemplateLibraryModel::marksText(int row) const
{
    QString text = judgement(row).marksString();
    if (isDuplicate(row))
        text += duplicateLetter();
    return text;
}

QStringList TemplateLibraryModel::categories() const
{
    // From the rows, not the shipped list: a category folder made by hand
    // shows up in the filter too.
    QSet<QString> seen;
    for (const Row &row : _rows)
        seen.insert(row.category);
    QStringList list(seen.cbegin(), seen.cend());
    std::sort(list.begin(), list.end(), collator());
    return list;
}

QCollator TemplateLibraryModel::collator()
{
    // The C locale's collation compares code points and knows no numbers.
    QCollator collation(QLocale().language() == QLocale::C ? QLocale(QLocale::English) : QLocale());
    collation.setCaseSensitivity(Qt::CaseInsensitive);
    collation.setNumericMode(true);
    return collation;
}

int TemplateLibraryModel::compare(int a, int b, int column) const
{
    const Row &left = _rows[size_t(a)];
    const Row &right = _rows[size_t(b)];
    auto keys = [](const std::optional<QCollatorSortKey> &x, const std::optional<QCollatorSortKey> &y) {
        return x && y ? x->compare(*y) : 0;
    };
    auto numbers = [](auto x, auto y) { return x < y ? -1 : y < x ? 1 : 0; };
    int order = 0;
    switch (column) {
    case KindColumn: order = numbers(left.item.templateType, right.item.templateType); break;
    case CategoryColumn: order = keys(left.categoryKey, right.categoryKey); break;
    case SizeColumn: order = numbers(left.item.size, right.item.size); break;
    case OriginColumn:
        if (left.item.originArchiveTitle.isNull() != right.item.originArchiveTitle.isNull())
            order = left.item.originArchiveTitle.isNull() ? 1 : -1;
        else
            order = keys(left.originKey, right.originKey);
        break;
    case InstalledColumn: order = numbers(left.item.installedAt, right.item.installedAt); break;
    case MarksColumn: order = numbers(marksText(a), marksText(b)); break;
    default: break;
    }
    // Ties by title, then down to the place: with a total order, rows of
    // equal value do not swap about at every rescan.
    if (order == 0)
        order = keys(left.titleKey, right.titleKey);
    if (order == 0)
        order = numbers(left.rootIndex, right.rootIndex);
    if (order == 0)
        order = numbers(left.item.destination, right.item.destination);
    return order;
}

void TemplateLibraryModel::setWatching(bool watching)
{
    if (watching == isWatching())
        return;
    if (!watching) {
        delete std::exchange(_watcher, nullptr);
        _lastWatchList.clear();
        _rescanTimer.stop();
        _burstLimitTimer.stop();
        return;
    }
    _watcher = new QFileSystemWatcher(this);
    connect(_watcher, &QFileSystemWatcher::directoryChanged, this, &TemplateLibraryModel::scheduleRescan);
    updateWatchedFolders(rootFolders());
    // What changed since the last scan is found by one more; a scan under
    // way is followed by one when its folders join the watch.
    if (_hasScanned)
        rescan();
}

QStringList TemplateLibraryModel::rootFolders() const
{
    // Until a scan names the folders below them: the roots, or where they go.
    QStringList folders;
    for (const QString &root : std::as_const(_roots)) {
        if (!root.isEmpty())
            folders += QFileInfo(root).isDir() ? QStringList{root} : QStringList{QFileInfo(root).absolutePath()};
    }
    return folders;
}

void TemplateLibraryModel::setRescanDelay(int milliseconds)
{
    _rescanTimer.setInterval(milliseconds);
    // The ratio stays: tests shorten the delay and still rely on the limit.
    _burstLimitTimer.setInterval(milliseconds * 4);
}

QStringList TemplateLibraryModel::watchedFolders() const
{
    return _watcher ? _watcher->directories() : QStringList();
}

void TemplateLibraryModel::scheduleRescan()
{
    // Every change of a burst moves the rescan on; a burst that never
    // pauses (a long install) still gets one now and then.
    _rescanTimer.start();
    if (!_burstLimitTimer.isActive())
        _burstLimitTimer.start();
}

void TemplateLibraryModel::updateWatchedFolders(const QStringList &folders)
{
    if (!_watcher || folders == _lastWatchList)
        return;
    // Only the difference is applied: removing and adding every path again
    // would lose the changes that land in between.
    const QSet<QString> wanted(folders.cbegin(), folders.cend());
    const QStringList current = _watcher->directories();
    const QSet<QString> watched(current.cbegin(), current.cend());
    QStringList gone;
    for (const QString &folder : current) {
        if (!wanted.contains(folder))
            gone.append(folder);
    }
    QStringList added;
    for (const QString &folder : folders) {
        if (!watched.contains(folder))
            added.append(folder);
    }
    if (!gone.isEmpty())
        _watcher->removePaths(gone);
    if (!added.isEmpty())
        _watcher->addPaths(added);
    _lastWatchList = folders;
    // What changed in a new folder between the scan that found it and now
    // went unheard: one more scan catches it.
    if (!added.isEmpty() && _hasScanned)
        scheduleRescan();
}

void TemplateLibraryModel::previewLoaded(const QString &folder, const QImage &thumbnail)
{
    if (!_previewRequested.contains(folder))
        return; // asked for before a rescan replaced the template
    _previewRequested.remove(folder);
    if (thumbnail.isNull()) {
        _noPreview.insert(folder);
    } else {
        auto *pixmap = new QPixmap(QPixmap::fromImage(thumbnail));
        // Read at device pixels; the ratio has the view draw it at the logical
        // icon size, sharp on high-density screens.
        pixmap->setDevicePixelRatio(thumbnailPixelRatio());
        // Never a cost of 0: the cache's limit must count every pixmap.
        const qint64 kilobytes = qint64(thumbnail.sizeInBytes() / 1024) + 1;
        _thumbnails.insert(folder, pixmap, kilobytes);
    }
    const int row = _rowByFolder.value(folder, -1);
    if (row >= 0) {
        const QModelIndex cell = index(row, PreviewColumn);
        emit dataChanged(cell, cell, {Qt::DecorationRole});
    }
}

QVariant TemplateLibraryModel::preview(int row) const
{
    const QString folder = folderPath(row);
    if (const QPixmap *pixmap = _thumbnails.object(folder))
        return *pixmap;
    if (_noPreview.contains(folder) || _previewRequested.contains(folder))
        return {};
    if (!_previewLoader) {
        const qreal ratio = thumbnailPixelRatio();
        const QSize pixels(int(std::ceil(ThumbnailSize.width() * ratio)), int(std::ceil(ThumbnailSize.height() * ratio)));
        // Made on first need, from const data(): a window whose previews are never
        // painted starts no reader.
        auto *self = const_cast<TemplateLibraryModel *>(this);
        // One reader; a backlog of several screens of rows, older requests are out of view.
        self->_previewLoader = std::make_unique<PreviewLoader>(PreviewLoader::Sizes{pixels, QSize()},
                                                               PreviewLoader::Limits{1, 256});
        connect(_previewLoader.get(), &PreviewLoader::loaded, self, &TemplateLibraryModel::previewLoaded,
                Qt::QueuedConnection);
    }
    _previewRequested.insert(folder);
    _previewLoader->request(folder);
    return {};
}

int TemplateLibraryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(_rows.size());
}

int TemplateLibraryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TemplateLibraryModel::displayValue(const Row &row, int column) const
{
    const TemplateLibrary::InstalledTemplate &item = row.item;
    switch (column) {
    case TitleColumn: return row.title;
    case KindColumn: return kindText(item.templateType);
    case CategoryColumn: return row.category;
    case SizeColumn: return ByteSize::forDisplay(item.size);
    case OriginColumn: return item.originArchiveTitle.isNull() ? originUnknownText() : item.originArchiveTitle;
    case InstalledColumn:
        return item.installedAt.isValid() ? QLocale().toString(item.installedAt.toLocalTime(), QLocale::ShortFormat)
                                          : QString();
    default: return {};
    }
}

// For a proxy other than ours, sorting by SortRole; TemplateLibraryFilterModel
// uses compare() and its collation keys instead.
QVariant TemplateLibraryModel::sortValue(const Row &row, int column) const
{
    const TemplateLibrary::InstalledTemplate &item = row.item;
    switch (column) {
    case PreviewColumn:
    case TitleColumn: return row.title;
    case KindColumn: return kindText(item.templateType);
    case CategoryColumn: return row.category;
    case SizeColumn: return item.size;
    // Templates of unknown origin sort together, after the named archives.
    case OriginColumn: return item.originArchiveTitle.isNull() ? QString() : item.originArchiveTitle;
    case InstalledColumn: return item.installedAt;
    default: return {};
    }
}

QVariant TemplateLibraryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(_rows.size()) || index.column() >= ColumnCount)
        return {};
    const Row &row = _rows[size_t(index.row())];
    const TemplateLibrary::InstalledTemplate &item = row.item;
    const int column = index.column();
    if (column == MarksColumn) {
        // Judged when drawn: a new Final Cut Pro version needs no new pass.
        switch (role) {
        case Qt::DisplayRole:
        case SortRole:
            return marksText(index.row());
        case Qt::ToolTipRole:
        case Qt::AccessibleTextRole: {
            QStringList lines = judgement(index.row()).explanations;
            if (row.duplicate)
                lines.append(duplicateText());
            return lines.isEmpty() ? QVariant() : QVariant(lines.join(QLatin1Char('\n')));
        }
        case Qt::TextAlignmentRole:
            return int(Qt::AlignCenter);
        default:
            break;
        }
    }
    switch (role) {
    case Qt::DisplayRole:
        return displayValue(row, column);
    case Qt::DecorationRole:
        return column == PreviewColumn ? preview(index.row()) : QVariant();
    case Qt::ToolTipRole:
        if (column == OriginColumn && !item.originArchivePath.isEmpty())
            return item.originArchivePath;
        // Native separators: the path as the user would type it in the file manager.
        if (column == PreviewColumn || column == TitleColumn)
            return QDir::toNativeSeparators(folderPath(index.row()));
        return displayValue(row, column);
    case Qt::TextAlignmentRole:
        if (column == SizeColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::FontRole:
        if (column == OriginColumn && item.originArchiveTitle.isNull()) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        return {};
    case SortRole: return sortValue(row, column);
    case RootIndexRole: return row.rootIndex;
    case DestinationRole: return item.destination;
    case KeyRole: return key(row.rootIndex, item.destination);
    case TemplateTypeRole: return item.templateType;
    case CategoryRole: return row.category;
    case OriginArchiveTitleRole: return item.originArchiveTitle;
    case OriginArchivePathRole: return item.originArchivePath;
    case FolderPathRole: return folderPath(index.row());
    default: return {};
    }
}

QVariant TemplateLibraryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case PreviewColumn: return tr("Preview");
    case TitleColumn: return tr("Title");
    case KindColumn: return tr("Kind");
    case CategoryColumn: return tr("Category");
    case SizeColumn: return tr("Size");
    case OriginColumn: return tr("Archive");
    case InstalledColumn: return tr("Installed");
    case MarksColumn: return QStringLiteral("!");
    default: return {};
    }
}
