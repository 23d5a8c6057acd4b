// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Collections/EffectsTableModel.h"

#include "Collections/TemplateArchiveCollection.h"
#include "Documents/TemplateArchiveDocument.h"
#include "Installer/TemplateInstallerV2.h"
#include "Interface/PreviewLoader.h"

#include <QCoreApplication>
#include <QHash>
#include <QImageReader>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <algorithm>

namespace {

// Counted in items: thumbnails are small, previews at 384 x 216 are not.
constexpr int ThumbnailsKept = 3000;
constexpr int PreviewsKept = 48;

} // namespace

EffectsTableModel::EffectsTableModel(const TemplateArchiveDocument *document, QObject *parent)
    : QAbstractTableModel(parent)
    , _document(document)
    , _thumbnails(ThumbnailsKept)
    , _previews(PreviewsKept)
    , _previewLoader(std::make_unique<PreviewLoader>(PreviewLoader::Sizes{ThumbnailSize, PreviewSize},
                                                     PreviewLoader::Limits{2, 0}))
    , _installedLoader(std::make_unique<DocumentLoader>())
    , _documentLoader(std::make_unique<DocumentLoader>())
{
    // No backlog limit (Limits{2, 0} above): the preview pane waits on its
    // request, which must not be dropped behind a scroll of thumbnails.
    connect(_previewLoader.get(), &PreviewLoader::loaded, this, &EffectsTableModel::previewLoaded);
    connect(_documentLoader.get(), &DocumentLoader::loaded, this, &EffectsTableModel::documentLoaded);
    connect(_documentLoader.get(), &DocumentLoader::finished, this, &EffectsTableModel::documentsRead);
    connect(_documentLoader.get(), &DocumentLoader::finalCutFound, this, &EffectsTableModel::setFinalCutVersion);
    connect(_installedLoader.get(), &DocumentLoader::loaded, this, [this](int index, const DocumentLoader::Document &copy) {
        const int row = index >= 0 && size_t(index) < _installedRows.size() ? _installedRows[size_t(index)] : -1;
        if (row < 0 || size_t(row) >= _installedHidden.size() || !copy || !*copy || !(*copy)->isObsolete())
            return;
        _installedHidden[size_t(row)] = true;
        markChanged(row);
        emit documentReady(row);
    });
    // Before the documents: the loader's one worker takes them in turn.
    _documentLoader->findFinalCut();
    reload();
}

EffectsTableModel::~EffectsTableModel() = default;

const QStringList &EffectsTableModel::columnIdentifiers()
{
    static const QStringList identifiers = {QStringLiteral("index"),    QStringLiteral("installed"),
                                            QStringLiteral("marks"),    QStringLiteral("kind"),
                                            QStringLiteral("category"), QStringLiteral("title"),
                                            QStringLiteral("preview")};
    return identifiers;
}

std::optional<EffectsTableModel::Column> EffectsTableModel::columnForIdentifier(const QString &identifier)
{
    const qsizetype column = columnIdentifiers().indexOf(identifier);
    if (column < 0)
        return std::nullopt;
    return Column(column);
}

QString EffectsTableModel::kindName(quint64 templateType)
{
    switch (templateType) {
    case 1:
        return tr("Effect");
    case 2:
        return tr("Generator");
    case 3:
        return tr("Title");
    case 4:
        return tr("Transition");
    default:
        return QString();
    }
}

QString EffectsTableModel::shownTitle(const EffectTemplateItem &item)
{
    return item.title().isEmpty() ? item.folderName() : item.title();
}

void EffectsTableModel::reload(const std::function<void()> &change)
{
    beginResetModel();
    if (change)
        change();
    _items = _document ? _document->effectsWithSearchOption(EffectSearchAll) : EffectTemplateItemList();
    _destinationRoot = TemplateInstaller::userDestMotionTemplatesFolder();
    // The states belong to the rows they were taken for.
    _installed.assign(_items.size(), false);
    _installedCount = 0;
    // Rows are renumbered: cached images and requests under the old numbers
    // would land on other templates.
    _previewLoader->clearPending();
    _thumbnails.clear();
    _previews.clear();
    _withoutPreview.clear();
    _loading.clear();
    _loadingFolders.clear();
    _documents.assign(_items.size(), nullptr);
    _documentsRead = 0;
    _changedFirst = _changedLast = -1;
    _installedLoader->cancel();
    _installedRows.clear();
    _installedHidden.assign(_items.size(), false);
    findPendingFiles();
    endResetModel();
    // After the reset: a loader answering at once finds the rows in place.
    _documentLoader->load(documentFolders());
}

void EffectsTableModel::findPendingFiles()
{
    QSet<const EffectTemplateItem *> pending;
    if (_document) {
        for (const auto &installer : _document->templateInstallers()) {
            if (installer->isListed()) {
                for (const EffectTemplateItem *item : installer->effects())
                    pending.insert(item);
            }
        }
    }
    _filesPending.assign(_items.size(), false);
    if (pending.isEmpty())
        return;
    for (size_t row = 0; row < _items.size(); ++row)
        _filesPending[row] = pending.contains(_items[row]);
}

QStringList EffectsTableModel::documentFolders() const
{
    QStringList folders;
    folders.reserve(qsizetype(_items.size()));
    for (size_t row = 0; row < _items.size(); ++row)
        folders.append(_filesPending[row] ? QString() : _items[row]->sourceFolderPath());
    return folders;
}

void EffectsTableModel::filesArrived()
{
    // Rows that found no preview looked before the files were there.
    _previewLoader->clearPending();
    _thumbnails.clear();
    _previews.clear();
    _withoutPreview.clear();
    _loading.clear();
    _loadingFolders.clear();
    findPendingFiles();
    _documentLoader->load(documentFolders());
    // Only what the files tell is drawn again: the search and the order
    // stay as they are.
    if (!_items.empty()) {
        emit dataChanged(index(0, PreviewColumn), index(rowCount() - 1, PreviewColumn), {Qt::DecorationRole});
        emit dataChanged(index(0, MarksColumn), index(rowCount() - 1, MarksColumn));
    }
}

void EffectsTableModel::documentLoaded(int row, const DocumentLoader::Document &document)
{
    if (row < 0 || size_t(row) >= _documents.size() || !document)
        return;
    if (!_documents[size_t(row)])
        ++_documentsRead;
    _documents[size_t(row)] = document;
    markChanged(row);
    emit documentReady(row);
}

void EffectsTableModel::markChanged(int row)
{
    const bool scheduled = _changedFirst >= 0;
    _changedFirst = scheduled ? std::min(_changedFirst, row) : row;
    _changedLast = scheduled ? std::max(_changedLast, row) : row;
    if (scheduled)
        return;
    QTimer::singleShot(0, this, [this] {
        const int first = std::exchange(_changedFirst, -1);
        const int last = std::exchange(_changedLast, -1);
        // A reset in between renumbered the rows and redrew them all.
        if (first < 0 || last >= int(_items.size()))
            return;
        emit dataChanged(index(first, MarksColumn), index(last, MarksColumn));
    });
}

DocumentLoader::Document EffectsTableModel::document(int row) const
{
    return row >= 0 && size_t(row) < _documents.size() ? _documents[size_t(row)] : nullptr;
}

TemplateMarks::Judgement EffectsTableModel::judgement(int row) const
{
    const DocumentLoader::Document read = document(row);
    TemplateMarks::Judgement judged = read ? TemplateMarks::judge(*read, _finalCut) : TemplateMarks::Judgement();
    if (installedCopyHidden(row) && !judged.has(TemplateMarks::Mark::Hidden)) {
        // In its place among the marks, which come in Mark order.
        const auto at = std::find_if(judged.marks.begin(), judged.marks.end(),
                                     [](TemplateMarks::Mark mark) { return mark > TemplateMarks::Mark::Hidden; });
        const qsizetype position = at - judged.marks.begin();
        judged.marks.insert(at, TemplateMarks::Mark::Hidden);
        judged.explanations.insert(position, tr("The installed copy is hidden from Final Cut Pro's browser"));
    }
    return judged;
}

void EffectsTableModel::setFinalCutVersion(std::optional<QVersionNumber> version)
{
    _finalCut = std::move(version);
    if (!_items.empty())
        emit dataChanged(index(0, MarksColumn), index(int(_items.size()) - 1, MarksColumn));
}

void EffectsTableModel::setInstalledStates(std::vector<bool> states)
{
    // States taken before a reload are for other rows: ignored, not misapplied.
    if (states.size() != _items.size())
        return;
    _installed = std::move(states);
    _installedCount = int(std::count(_installed.begin(), _installed.end(), true));
    refreshInstalledMarks();
    readInstalledCopies();
}

void EffectsTableModel::readInstalledCopies()
{
    // Hidden in the library, or by mtzip hide: the copy Final Cut Pro sees is
    // what the mark must say. Read again after each install or uninstall.
    QStringList folders;
    _installedRows.clear();
    for (size_t row = 0; row < _items.size(); ++row) {
        if (_installed[row]) {
            _installedRows.push_back(int(row));
            folders.append(_items[row]->destinationPath(_destinationRoot));
        }
    }
    const std::vector<bool> wasHidden = std::exchange(_installedHidden, std::vector<bool>(_items.size(), false));
    for (size_t row = 0; row < wasHidden.size(); ++row) {
        if (wasHidden[row]) {
            const QModelIndex cell = index(int(row), MarksColumn);
            emit dataChanged(cell, cell);
        }
    }
    _installedLoader->load(folders);
}

bool EffectsTableModel::installedCopyHidden(int row) const
{
    return row >= 0 && size_t(row) < _installedHidden.size() && _installedHidden[size_t(row)];
}

bool EffectsTableModel::installedState(int row) const
{
    return row >= 0 && size_t(row) < _installed.size() && _installed[size_t(row)];
}

void EffectsTableModel::refreshInstalledMarks()
{
    if (_items.empty())
        return;
    emit dataChanged(index(0, InstalledColumn), index(int(_items.size()) - 1, InstalledColumn));
}

void EffectsTableModel::setInstalledToolTip(std::function<QString(const EffectTemplateItem &, bool)> toolTip)
{
    _installedToolTip = std::move(toolTip);
}

void EffectsTableModel::setProvenances(std::vector<TemplateLibrary::Provenance> provenances)
{
    if (provenances.size() != _items.size())
        provenances.clear();
    _provenances = std::move(provenances);
    refreshInstalledMarks();
}

TemplateLibrary::Provenance EffectsTableModel::provenance(int row) const
{
    return row >= 0 && size_t(row) < _provenances.size() ? _provenances[size_t(row)] : TemplateLibrary::Provenance();
}

QString EffectsTableModel::installedNote(int row, bool installed) const
{
    if (!installed)
        return tr("Not installed");
    const TemplateLibrary::Provenance origin = provenance(row);
    switch (origin.kind) {
    case TemplateLibrary::Provenance::OtherArchive:
        return tr("Installed from “%1”").arg(origin.archiveTitle);
    case TemplateLibrary::Provenance::OtherCopy:
        return tr("Installed from another copy of “%1”, with other files").arg(origin.archiveTitle);
    case TemplateLibrary::Provenance::Unknown:
        return tr("Installed; origin unknown");
    case TemplateLibrary::Provenance::NotInstalled:
    case TemplateLibrary::Provenance::ThisArchive:
        break;
    }
    return tr("Installed");
}

bool EffectsTableModel::isInstalled(const EffectTemplateItem *item) const
{
    return item->isInstalledInDestRootFolder(_destinationRoot);
}

const EffectTemplateItem *EffectsTableModel::item(int row) const
{
    return row >= 0 && row < int(_items.size()) ? _items[size_t(row)] : nullptr;
}

QVariant EffectsTableModel::objectValue(Column column, int row) const
{
    const EffectTemplateItem *entry = item(row);
    if (!entry)
        return {};
    switch (column) {
    case IndexColumn:
        return QStringLiteral("%1.").arg(row + 1);
    case InstalledColumn: {
        if (!isInstalled(entry))
            return TemplateArchiveCollection::effectNotInstalledImage();
        const TemplateLibrary::Provenance::Kind origin = provenance(row).kind;
        return origin == TemplateLibrary::Provenance::OtherArchive || origin == TemplateLibrary::Provenance::OtherCopy
            ? TemplateArchiveCollection::effectInstalledElsewhereImage()
            : TemplateArchiveCollection::effectInstalledImage();
    }
    case MarksColumn:
        return judgement(row).marksString();
    case KindColumn:
        return kindName(entry->templateType());
    case CategoryColumn:
        return entry->category();
    case TitleColumn:
        return entry->title();
    case PreviewColumn:
    case ColumnCount:
        break;
    }
    return {};
}

QVariant EffectsTableModel::objectValue(const QString &identifier, int row) const
{
    const std::optional<Column> column = columnForIdentifier(identifier);
    return column ? objectValue(*column, row) : QVariant();
}

void EffectsTableModel::requestPreview(int row) const
{
    // Asked again once the files are there (filesArrived()).
    if (_loading.contains(row) || _filesPending[size_t(row)])
        return;
    const QString folder = _items[size_t(row)]->sourceFolderPath();
    _loading.insert(row);
    _loadingFolders.insert(folder, row);
    _previewLoader->request(folder);
}

void EffectsTableModel::previewLoaded(const QString &folder, const QImage &thumbnail, const QImage &preview)
{
    // A folder no longer asked for belongs to the rows before a reload.
    const auto it = _loadingFolders.constFind(folder);
    if (it == _loadingFolders.constEnd())
        return;
    const int row = it.value();
    _loadingFolders.erase(it);
    _loading.remove(row);
    if (preview.isNull()) {
        _withoutPreview.insert(row);
    } else {
        _previews.insert(row, new QImage(preview));
        _thumbnails.insert(row, new QPixmap(QPixmap::fromImage(thumbnail)));
    }
    const QModelIndex cell = index(row, PreviewColumn);
    emit dataChanged(cell, cell, {Qt::DecorationRole});
    emit previewReady(row);
}

QImage EffectsTableModel::preview(int row)
{
    if (!item(row) || _withoutPreview.contains(row))
        return {};
    if (const QImage *cached = _previews.object(row))
        return *cached;
    requestPreview(row);
    return {};
}

EffectsTableModel::PreviewState EffectsTableModel::previewState(int row) const
{
    if (!item(row) || _withoutPreview.contains(row))
        return PreviewState::None;
    return _previews.contains(row) ? PreviewState::Ready : PreviewState::Loading;
}

int EffectsTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(_items.size());
}

int EffectsTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(ColumnCount);
}

QVariant EffectsTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(_items.size()) || index.column() >= ColumnCount)
        return {};
    const auto column = Column(index.column());
    const int row = index.row();
    const EffectTemplateItem *entry = _items[size_t(row)];

    if (role == SortRole) {
        switch (column) {
        // Rows never move here, so the row number is the archives' order.
        case IndexColumn:
        case PreviewColumn:
            return row;
        case InstalledColumn:
            return installedState(row) ? 1 : 0;
        case TitleColumn:
            return shownTitle(*entry);
        default:
            return objectValue(column, row);
        }
    }

    switch (column) {
    case InstalledColumn:
        if (role == Qt::DecorationRole)
            return objectValue(column, row);
        if (role == Qt::ToolTipRole || role == Qt::AccessibleTextRole)
            return _installedToolTip ? _installedToolTip(*entry, isInstalled(entry))
                                     : installedNote(row, isInstalled(entry));
        return {};
    case MarksColumn:
        if (role == Qt::DisplayRole)
            return objectValue(column, row);
        if (role == Qt::ToolTipRole || role == Qt::AccessibleTextRole) {
            const QString tip = judgement(row).tooltip();
            return tip.isEmpty() ? QVariant() : QVariant(tip);
        }
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignCenter);
        return {};
    case PreviewColumn:
        // objectValue() gives the column nothing; the
        // window shows a thumbnail, read when the row is first drawn.
        if (role == Qt::DecorationRole) {
            if (const QPixmap *cached = _thumbnails.object(row))
                return *cached;
            if (!_withoutPreview.contains(row))
                requestPreview(row);
        }
        return {};
    default:
        break;
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        if (column == TitleColumn)
            return shownTitle(*entry);
        return objectValue(column, row);
    case Qt::TextAlignmentRole:
        if (column == IndexColumn)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant EffectsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    const auto column = Column(section);
    if (role == ColumnIdentifierRole)
        return columnIdentifiers().at(section);
    if (role == Qt::DisplayRole) {
        switch (column) {
        case IndexColumn:
            return tr("#");
        case InstalledColumn:
            // A mark, not a word: the column is as narrow as its images.
            return QStringLiteral("\u2713");
        case MarksColumn:
            return QStringLiteral("!");
        case KindColumn:
            return tr("Kind");
        case CategoryColumn:
            return tr("Category");
        case TitleColumn:
            return tr("Title");
        case PreviewColumn:
        case ColumnCount:
            return tr("Preview");
        }
    }
    if (role == Qt::ToolTipRole) {
        switch (column) {
        case IndexColumn:
            return tr("Order in the archives");
        case InstalledColumn:
            return tr("Installed");
        case MarksColumn:
            return tr("What the template needs or lacks; each row's tool tip says which");
        default:
            break;
        }
    }
    return QAbstractTableModel::headerData(section, orientation, role);
}
