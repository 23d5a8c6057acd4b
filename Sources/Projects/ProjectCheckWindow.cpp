// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Projects/ProjectCheckWindow.h"

#include "Appearance/DarkAppearance.h"
#include "Common/FileNames.h"
#include "Common/UserSettings.h"
#include "Installer/Receipt.h"
#include "Installer/TemplateFolders.h"
#include "Interface/Alert.h"
#include "Interface/BackgroundWork.h"
#include "Interface/Elevation.h"
#include "Interface/FileManager.h"
#include "Interface/OpenDialog.h"
#include "Metadata/ArchiveSearch.h"
#include "Metadata/FinalCutVersions.h"
#include "Metadata/ProjectCheck.h"
#include "Projects/MissingTemplates.h"
#include "Projects/ProjectArchives.h"
#include "Projects/ProjectCheckModel.h"
#include "Projects/TemplateCollector.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QSet>
#include <QTreeView>
#include <QVBoxLayout>

// What one check needs and finds: filled on the GUI thread, worked on by
// the worker, read back once it has finished.
struct CheckRun
{
    QString path;
    ProjectArchives::Places places;
    ProjectCheck::Request request;
    std::shared_ptr<const ProjectDocument> project;
    std::optional<Error> readError;
    ProjectCheck::Result result;
};

struct InstallRun
{
    bool cancelled = false;
    // The administrator's permission for the folder of all users was not given.
    bool declined = false;
    MissingTemplates::Outcome outcome;
};

namespace {

// Changes come in bursts (an install writes many folders): one check after.
constexpr int RecheckDelayMs = 300;

// The collection window's words for the same questions: one translation.
QString collectionText(const char *text)
{
    return QCoreApplication::translate("TemplateArchiveCollection", text);
}

QString someOf(const QStringList &titles)
{
    constexpr qsizetype Shown = 5;
    QString text = titles.mid(0, Shown).join(QLatin1Char('\n'));
    if (titles.size() > Shown)
        text += QLatin1Char('\n') + collectionText("and %1 more").arg(titles.size() - Shown);
    return text;
}

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

ProjectCheckWindow::Environment ProjectCheckWindow::Environment::standard()
{
    Environment environment;
    environment.userRoot = TemplateFolders::forThisUser();
    environment.allUsersRoot = TemplateFolders::forAllUsers();
    environment.searchFolders = ArchiveSearch::defaultFolders();
    environment.finalCut = FinalCutVersions::effectiveVersion(UserSettings::finalCutVersionOverride());
    return environment;
}

bool ProjectCheckWindow::isProjectPath(const QString &path)
{
    const QString suffix = QFileInfo(withoutTrailingSlash(path)).suffix();
    return suffix.compare(QLatin1String("fcpxml"), Qt::CaseInsensitive) == 0
        || suffix.compare(QLatin1String("fcpxmld"), Qt::CaseInsensitive) == 0;
}

QString ProjectCheckWindow::chooseProject(QWidget *parent)
{
    QFileDialog dialog(parent, tr("Check Project"), OpenDialog::startFolder(),
                       tr("Final Cut Pro projects (*.fcpxml *.fcpxmld)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog::prepare(&dialog);
    // Where a bundle is a folder to the dialog, entering it chooses it.
    QString bundle;
    connect(&dialog, &QFileDialog::directoryEntered, &dialog, [&dialog, &bundle](const QString &folder) {
        if (QFileInfo(folder).suffix().compare(QLatin1String("fcpxmld"), Qt::CaseInsensitive) == 0) {
            bundle = withoutTrailingSlash(folder);
            static_cast<QDialog &>(dialog).done(QDialog::Accepted);
        }
    });
    if (dialog.exec() != QDialog::Accepted)
        return {};
    if (!bundle.isEmpty())
        return bundle;
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

ProjectCheckWindow *ProjectCheckWindow::open(const QString &path, const Environment &environment)
{
    auto *window = new ProjectCheckWindow(withoutTrailingSlash(QFileInfo(path).absoluteFilePath()), environment);
    window->startCheck();
    return window;
}

ProjectCheckWindow::ProjectCheckWindow(const QString &path, Environment environment)
    : _path(path)
    , _environment(std::move(environment))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("projectCheckWindow"));
    buildInterface();
    DarkAppearance::apply(this);
    _recheckTimer.setSingleShot(true);
    _recheckTimer.setInterval(RecheckDelayMs);
    connect(&_recheckTimer, &QTimer::timeout, this, [this] {
        if (isBusy())
            _checkPending = true;
        else
            startCheck();
    });
    _watcher = new QFileSystemWatcher(this);
    connect(_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { _recheckTimer.start(); });
}

ProjectCheckWindow::~ProjectCheckWindow() = default;

void ProjectCheckWindow::buildInterface()
{
    setWindowTitle(tr("Check Project: %1").arg(QFileInfo(_path).fileName()));
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);

    _titleLabel = new QLabel(QFileInfo(_path).fileName(), central);
    QFont font = _titleLabel->font();
    font.setPointSizeF(font.pointSizeF() * 1.3);
    font.setBold(true);
    _titleLabel->setFont(font);
    _titleLabel->setTextFormat(Qt::PlainText);
    _summaryLabel = new QLabel(tr("Reading the project…"), central);
    _summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    _summaryLabel->setTextFormat(Qt::PlainText);
    _summaryLabel->setWordWrap(true);
    layout->addWidget(_titleLabel);
    layout->addWidget(_summaryLabel);

    _model = new ProjectCheckModel(this);
    _view = new QTreeView(central);
    _view->setObjectName(QStringLiteral("templatesView"));
    _view->setModel(_model);
    _view->setRootIsDecorated(false);
    _view->setUniformRowHeights(true);
    _view->setAlternatingRowColors(true);
    _view->setSelectionMode(QAbstractItemView::SingleSelection);
    _view->setSelectionBehavior(QAbstractItemView::SelectRows);
    _view->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    _view->header()->setStretchLastSection(true);
    _view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    _view->header()->setSectionResizeMode(ProjectCheckModel::ClipsColumn, QHeaderView::Stretch);
    connect(_view, &QTreeView::doubleClicked, this, &ProjectCheckWindow::revealSelected);
    layout->addWidget(_view, 1);

    auto *buttons = new QHBoxLayout;
    _checkButton = new QPushButton(tr("Check Again"), central);
    _collectButton = new QPushButton(tr("Collect Templates…"), central);
    _revealButton = new QPushButton(tr("Reveal"), central);
    _openArchiveButton = new QPushButton(tr("Open Archive"), central);
    _installButton = new QPushButton(tr("Install Missing"), central);
    _installButton->setDefault(true);
    buttons->addWidget(_checkButton);
    buttons->addWidget(_collectButton);
    buttons->addStretch(1);
    buttons->addWidget(_revealButton);
    buttons->addWidget(_openArchiveButton);
    buttons->addWidget(_installButton);
    layout->addLayout(buttons);
    setCentralWidget(central);

    connect(_checkButton, &QPushButton::clicked, this, &ProjectCheckWindow::checkAgain);
    connect(_collectButton, &QPushButton::clicked, this, &ProjectCheckWindow::collectTemplates);
    connect(_revealButton, &QPushButton::clicked, this, &ProjectCheckWindow::revealSelected);
    connect(_openArchiveButton, &QPushButton::clicked, this, &ProjectCheckWindow::openSelectedArchive);
    connect(_installButton, &QPushButton::clicked, this, &ProjectCheckWindow::installMissing);
    connect(_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &ProjectCheckWindow::updateButtons);
    updateButtons();
}

bool ProjectCheckWindow::isBusy() const
{
    return _work && _work->isRunning();
}

void ProjectCheckWindow::checkAgain()
{
    if (isBusy())
        _checkPending = true;
    else
        startCheck();
}

void ProjectCheckWindow::startCheck()
{
    _checkPending = false;
    auto run = std::make_shared<CheckRun>();
    run->path = _path;
    if (_environment.openArchives)
        run->places.openArchives = _environment.openArchives();
    for (const QString &root : {_environment.userRoot, _environment.allUsersRoot})
        if (!root.isEmpty())
            run->places.roots.append(root);
    run->places.folders = _environment.searchFolders;
    run->request.userRoot = _environment.userRoot;
    run->request.allUsersRoot = _environment.allUsersRoot;
    run->request.finalCut = _environment.finalCut;

    // The last work's object may be the one whose finished() runs now.
    if (_work)
        _work.release()->deleteLater();
    _work = std::make_unique<BackgroundWork>(_shown ? this : nullptr, tr("Checking “%1”…").arg(QFileInfo(_path).fileName()));
    connect(_work.get(), &BackgroundWork::finished, this, [this, run] { showCheck(run); });
    _work->start([run](ProgressListener &) {
        // Read afresh each time: the project may have been exported again.
        Expected<ProjectDocument> read = ProjectDocument::read(run->path);
        if (!read) {
            run->readError = read.error();
            return;
        }
        run->project = std::make_shared<const ProjectDocument>(std::move(*read));
        run->result = ProjectCheck::check(*run->project, run->request);
        if (!run->result.anythingMissing())
            return;
        // Archives are looked for only now, and receipts' archives checksummed
        // only when they installed a template that is missing.
        QSet<QString> wanted;
        for (const ProjectCheck::Finding &finding : run->result.templates)
            if (finding.state == ProjectCheck::State::Missing)
                wanted.insert(FileNames::comparable(finding.project.location.folder()));
        const QStringList archives = ProjectArchives::gather(run->places, wanted);
        // Listing writes nothing: any existing folder serves as the root.
        const QHash<QString, QStringList> provided = ProjectCheck::templateFoldersOf(archives, QDir::tempPath());
        for (ProjectCheck::Finding &finding : run->result.templates)
            if (finding.state == ProjectCheck::State::Missing)
                finding.providers = provided.value(FileNames::comparable(finding.project.location.folder()));
    });
    updateButtons();
}

void ProjectCheckWindow::showCheck(const std::shared_ptr<CheckRun> &run)
{
    if (run->readError) {
        const QString reason = run->readError->localizedDescription();
        if (!_shown) {
            // Nothing else: no window for a project that cannot be read.
            Alert::beginSheet(nullptr, tr("“%1” cannot be checked.").arg(QFileInfo(_path).fileName()), reason,
                              {tr("OK"), QString(), QString()});
            emit unreadable(reason);
            deleteLater();
            return;
        }
        _summaryLabel->setText(tr("The project could not be read again: %1").arg(reason));
    } else {
        _project = run->project;
        _model->setResult(std::move(run->result));
        _summaryLabel->setText(summaryText());
        updateWatch();
    }
    if (!_shown) {
        _shown = true;
        fitToContent();
        show();
        raise();
        activateWindow();
    }
    updateButtons();
    emit checked();
    if (_closeWhenDone) {
        close();
        return;
    }
    if (_checkPending)
        startCheck();
}

void ProjectCheckWindow::fitToContent()
{
    // As wide as the columns' contents want, as tall as the rows, within
    // the screen: no fixed sizes, so longer German texts get their room.
    int width = _view->frameWidth() * 2 + _view->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int column = 0; column < ProjectCheckModel::ColumnCount; ++column)
        width += std::max(static_cast<const QAbstractItemView *>(_view)->sizeHintForColumn(column), _view->header()->sectionSizeHint(column));
    const QMargins margins = centralWidget()->layout()->contentsMargins();
    width = std::max(width + margins.left() + margins.right(), centralWidget()->minimumSizeHint().width());
    int height = sizeHint().height() + std::max(0, _model->rowCount() - 8) * _view->sizeHintForRow(0);
    if (const QScreen *where = screen()) {
        const QSize room = where->availableGeometry().size() * 9 / 10;
        width = std::min(width, room.width());
        height = std::min(height, room.height());
    }
    resize(width, height);
}

QString ProjectCheckWindow::summaryText() const
{
    using S = ProjectCheckModel::RowState;
    const int templates = int(_model->result().templates.size());
    if (templates == 0)
        return tr("The project uses no Motion templates besides Final Cut Pro's own.");
    const int missing = _model->count(S::Missing);
    const int nowhere = _model->count(S::NotFound);
    QStringList parts;
    parts.append(templates == 1 ? tr("The project uses 1 template.") : tr("The project uses %1 templates.").arg(templates));
    if (missing + nowhere == 0)
        parts.append(tr("All are installed."));
    if (missing > 0)
        parts.append(missing == 1 ? tr("1 is missing and can be installed from an archive found.")
                                  : tr("%1 are missing and can be installed from archives found.").arg(missing));
    if (nowhere > 0)
        parts.append(nowhere == 1 ? tr("1 is missing and in no archive searched.")
                                  : tr("%1 are missing and in no archive searched.").arg(nowhere));
    const int attention = _model->count(S::TooNew) + _model->count(S::NeedsPlugIn);
    if (attention > 0)
        parts.append(attention == 1 ? tr("1 needs a newer Final Cut Pro or a plug-in.")
                                    : tr("%1 need a newer Final Cut Pro or a plug-in.").arg(attention));
    return parts.join(QLatin1Char(' '));
}

int ProjectCheckWindow::selectedRow() const
{
    const QModelIndexList rows = _view->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void ProjectCheckWindow::updateButtons()
{
    const bool busy = isBusy();
    const int row = selectedRow();
    const QModelIndex index = row >= 0 ? _model->index(row, 0) : QModelIndex();
    const bool hasFolder = index.isValid() && !index.data(ProjectCheckModel::FolderRole).toString().isEmpty();
    const bool hasArchive = index.isValid() && !index.data(ProjectCheckModel::ProvidersRole).toStringList().isEmpty();
    _checkButton->setEnabled(!busy);
    _collectButton->setEnabled(!busy && _project != nullptr);
    _revealButton->setEnabled(hasFolder || hasArchive);
    _openArchiveButton->setEnabled(!busy && (row >= 0 ? hasArchive : _model->count(ProjectCheckModel::RowState::Missing) > 0));
    _installButton->setEnabled(!busy && _model->count(ProjectCheckModel::RowState::Missing) > 0);
}

QStringList ProjectCheckWindow::watchedFolders() const
{
    return _watcher->directories();
}

void ProjectCheckWindow::updateWatch()
{
    // The watcher is not recursive: every level an install or a removal of
    // the project's templates changes, and the receipts, which every
    // install through this application or mtzip rewrites.
    QSet<QString> folders;
    const auto addDir = [&folders](const QString &path) {
        if (QFileInfo(path).isDir())
            folders.insert(QDir::cleanPath(path));
    };
    for (const QString &root : {_environment.userRoot, _environment.allUsersRoot}) {
        if (root.isEmpty())
            continue;
        if (!QFileInfo(root).isDir()) {
            addDir(QFileInfo(root).absolutePath());
            continue;
        }
        addDir(root);
        addDir(QDir(root).filePath(Receipt::folderName()));
    }
    for (const ProjectCheck::Finding &finding : _model->result().templates) {
        const bool allUsers = finding.project.location.root == ProjectDocument::Root::AllUsers;
        const QString &root = allUsers ? _environment.allUsersRoot : _environment.userRoot;
        if (root.isEmpty() || !QFileInfo(root).isDir())
            continue;
        const QStringList parts = finding.project.location.folder().split(QLatin1Char('/'));
        QString path = root;
        // The kind folder and the category folder; the template folder's own
        // appearance shows in the category folder.
        for (qsizetype i = 0; i < parts.size() - 1 && i < 2; ++i) {
            path += QLatin1Char('/') + parts.at(i);
            addDir(path);
        }
    }
    const QStringList watched = _watcher->directories();
    QStringList gone;
    for (const QString &folder : watched)
        if (!folders.contains(folder))
            gone.append(folder);
    if (!gone.isEmpty())
        _watcher->removePaths(gone);
    QStringList added;
    for (const QString &folder : std::as_const(folders))
        if (!watched.contains(folder))
            added.append(folder);
    if (!added.isEmpty())
        _watcher->addPaths(added);
}

void ProjectCheckWindow::revealSelected()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const QModelIndex index = _model->index(row, 0);
    const QString folder = index.data(ProjectCheckModel::FolderRole).toString();
    const QStringList archives = index.data(ProjectCheckModel::ProvidersRole).toStringList();
    if (!folder.isEmpty())
        FileManager::reveal(folder);
    else if (!archives.isEmpty())
        FileManager::reveal(archives.first());
}

void ProjectCheckWindow::openSelectedArchive()
{
    QStringList archives;
    const int row = selectedRow();
    if (row >= 0) {
        archives = _model->index(row, 0).data(ProjectCheckModel::ProvidersRole).toStringList().mid(0, 1);
    } else {
        for (const ProjectCheck::Finding &finding : _model->result().templates)
            if (finding.state == ProjectCheck::State::Missing && !finding.providers.isEmpty()
                && !archives.contains(finding.providers.first()))
                archives.append(finding.providers.first());
    }
    if (archives.isEmpty())
        return;
    QList<QUrl> urls;
    for (const QString &archive : std::as_const(archives))
        urls.append(QUrl::fromLocalFile(archive));
    emit openArchivesRequested(urls);
}

void ProjectCheckWindow::collectTemplates()
{
    if (isBusy())
        return;
    const QString zip = TemplateCollector::chooseZip(_path, this);
    if (!zip.isEmpty())
        TemplateCollector::start(_path, zip, {_environment.userRoot, _environment.allUsersRoot}, this);
}

void ProjectCheckWindow::installMissing()
{
    if (isBusy())
        return;
    auto missing = std::make_shared<MissingTemplates>(_model->result(),
                                                      MissingTemplates::Roots{_environment.userRoot, _environment.allUsersRoot});
    if (missing->isEmpty())
        return;
    // The folder of all users, where this process may not write: mtzip
    // installs its part, with the administrator's permission.
    MissingTemplates::Taken elevated;
    if (!_environment.allUsersRoot.isEmpty() && Elevation::isNeeded(_environment.allUsersRoot))
        elevated = missing->take(_environment.allUsersRoot);
    continueInstall(missing, true, elevated);
}

void ProjectCheckWindow::installElevated(MissingTemplates &missing, const MissingTemplates::Taken &taken,
                                         const QString &root, InstallRun &run)
{
    QStringList arguments{QStringLiteral("install"), QStringLiteral("--dest"), root, QStringLiteral("--trash"),
                          QStringLiteral("--json")};
    for (const QString &folder : taken.folders)
        arguments << QStringLiteral("--only") << folder;
    arguments << QStringLiteral("--");
    arguments += taken.archives;
    const Elevation::Result result = Elevation::run(arguments);
    if (result.outcome == Elevation::Result::Outcome::Declined) {
        run.declined = true;
        return;
    }
    const QJsonArray archives = result.document.value(QStringLiteral("archives")).toArray();
    for (const QJsonValue &value : archives) {
        const QJsonObject archive = value.toObject();
        missing.addInstalledElsewhere(archive.value(QStringLiteral("newlyInstalled")).toInt());
        const QString error = archive.value(QStringLiteral("error")).toString();
        if (!error.isEmpty()) {
            missing.addProblem(tr("“%1” was not installed for all users: %2")
                                   .arg(QFileInfo(archive.value(QStringLiteral("archive")).toString()).fileName(), error));
        }
    }
    if (result.outcome == Elevation::Result::Outcome::Failed && archives.isEmpty())
        missing.addProblem(tr("The templates for all users were not installed: %1").arg(result.message));
}

void ProjectCheckWindow::continueInstall(const std::shared_ptr<MissingTemplates> &missing, bool unpackFirst,
                                         const MissingTemplates::Taken &elevated)
{
    auto run = std::make_shared<InstallRun>();
    if (_work)
        _work.release()->deleteLater();
    _work = std::make_unique<BackgroundWork>(this, tr("Installing the missing templates…"));
    BackgroundWork *work = _work.get();
    connect(work, &BackgroundWork::finished, this, [this, missing, run] { installEnded(missing, run); });
    // The work object outlives the run: its destructor waits for the worker.
    work->start([missing, run, unpackFirst, work, elevated, allUsers = _environment.allUsersRoot](ProgressListener &listener) {
        const MissingTemplates::Progress progress{listener, [work](const QString &label) { work->setLabel(label); },
                                                  [work] { return work->isCancelled(); }};
        if (!elevated.archives.isEmpty())
            installElevated(*missing, elevated, allUsers, *run);
        if (unpackFirst && !missing->prepare(progress)) {
            run->cancelled = true;
            return;
        }
        run->outcome = missing->install(progress);
    });
    updateButtons();
}

void ProjectCheckWindow::installEnded(const std::shared_ptr<MissingTemplates> &missing, const std::shared_ptr<InstallRun> &run)
{
    const MissingTemplates::Outcome &outcome = run->outcome;
    const TemplateArchiveDocument::InstallOutcome &last = outcome.last;
    QString problems = missing->problems().join(QLatin1Char('\n'));
    if (!problems.isEmpty())
        problems.prepend(QStringLiteral("\n\n"));
    if (_closeWhenDone) {
        close();
        return;
    }
    const int newlyInstalled = outcome.newlyInstalled + missing->installedElsewhere();
    // Nobody gave the administrator's permission and nothing else was to
    // be done: nothing was changed, as the list still shows.
    if (run->declined && newlyInstalled == 0 && problems.isEmpty() && missing->parts().empty()) {
        startCheck();
        return;
    }
    if (outcome.stoppedAt && (!last.editedCopies.isEmpty() || !last.foreignCopies.isEmpty())) {
        askToReplace(missing, last.editedCopies, last.foreignCopies);
        updateButtons();
        return;
    }
    if (run->cancelled || (last.error && last.error->isCancellation())) {
        sheet(collectionText("Installation Cancelled"),
              collectionText("The templates of the cancelled archive were not installed; the templates folder is "
                             "as it was before."));
    } else if (last.error) {
        sheet(collectionText("Installation Failed"), last.error->localizedDescription() + problems);
    } else {
        const QString installed = newlyInstalled == 1 ? tr("1 template was installed.")
                                                      : tr("%1 templates were installed.").arg(newlyInstalled);
        sheet(tr("Missing Templates Installed"), installed + problems);
    }
    startCheck();
    emit installFinished();
}

void ProjectCheckWindow::askToReplace(const std::shared_ptr<MissingTemplates> &missing, const QStringList &edited,
                                      const QStringList &foreign)
{
    QStringList parts;
    if (!edited.isEmpty()) {
        parts.append((edited.size() == 1 ? collectionText("1 template you changed will be replaced:")
                                         : collectionText("%1 templates you changed will be replaced:").arg(edited.size()))
                     + QLatin1Char('\n') + someOf(edited));
    }
    if (!foreign.isEmpty()) {
        parts.append((foreign.size() == 1
                          ? collectionText("1 template installed by another archive or copied in by hand will be replaced:")
                          : collectionText("%1 templates installed by another archive or copied in by hand will be replaced:")
                                .arg(foreign.size()))
                     + QLatin1Char('\n') + someOf(foreign));
    }
    parts.append(collectionText(
        "Replaced copies go to the Trash. Keep My Versions installs the rest and leaves these as they are."));
    QPointer<ProjectCheckWindow> alive(this);
    Alert::beginSheet(this, collectionText("Replace Templates?"), parts.join(QStringLiteral("\n\n")),
                      {collectionText("Keep My Versions"), collectionText("Replace"), collectionText("Cancel")},
                      [alive, missing](int answer) {
                          if (!alive)
                              return;
                          if (answer < 0) {
                              alive->startCheck();
                              return;
                          }
                          const bool replace = answer == 0;
                          for (MissingTemplates::Part &part : missing->parts())
                              if (!part.installed)
                                  part.document->setOwnershipPolicy({replace, replace, false});
                          alive->continueInstall(missing, false);
                      });
}

void ProjectCheckWindow::sheet(const QString &title, const QString &text)
{
    Alert::beginSheet(this, title, text, {collectionText("OK"), QString(), QString()});
}

void ProjectCheckWindow::closeEvent(QCloseEvent *event)
{
    if (isBusy()) {
        // An install is undone, not left half way: the window goes once it has.
        _closeWhenDone = true;
        _work->cancel();
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
