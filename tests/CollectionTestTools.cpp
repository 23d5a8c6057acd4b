// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "CollectionTestTools.h"

#include "Collections/TemplateArchiveCollection.h"
#include "Interface/Elevation.h"
#include "Installer/TemplateInstaller.h"
#include "ZipArchive/ZipArchive.h"

#include <QAbstractButton>
#include <QDir>
#include <QImage>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>

#include <algorithm>

namespace CollectionTestTools {

using TestSupport::writeFile;

namespace {

bool isInside(const QString &path, const QString &folder)
{
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    const QString cleanPath = QDir::cleanPath(path);
    return !canonicalFolder.isEmpty()
        && (cleanPath.startsWith(canonicalFolder + QLatin1Char('/'))
            || cleanPath.startsWith(QDir::cleanPath(folder) + QLatin1Char('/')));
}

} // namespace

void isolateHome(const QTemporaryDir &home)
{
    qputenv("HOME", QFile::encodeName(home.path()));
    // A user-dirs.dirs of the real user would name the real Videos folder.
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("XDG_VIDEOS_DIR");
    QStandardPaths::setTestModeEnabled(true);
}

bool checkIsolation(const QTemporaryDir &home, QString *reason)
{
    const QString movies = moviesFolder();
    if (movies.isEmpty() || !isInside(movies, home.path())) {
        *reason = QStringLiteral("The Movies folder \"%1\" is not inside the test home \"%2\"; not running.")
                      .arg(movies, home.path());
        return false;
    }
    if (!QDir().mkpath(movies)) {
        *reason = QStringLiteral("Cannot create the test Movies folder \"%1\".").arg(movies);
        return false;
    }
    const QString root = destinationRoot();
    if (QFileInfo(root).fileName() != QLatin1String("Motion Templates.localized")) {
        *reason = QStringLiteral("Unexpected destination root \"%1\"; not running.").arg(root);
        return false;
    }
    return true;
}

QString moviesFolder()
{
    // In test mode the installers keep the Movies folder below the test data
    // folder, since Qt leaves the real one where it is.
    return QFileInfo(destinationRoot()).path();
}

QString destinationRoot()
{
    return TemplateInstaller::userDestMotionTemplatesFolder();
}

bool resetDestination()
{
    QDir root(destinationRoot());
    if (root.exists() && !root.removeRecursively())
        return false;
    // A plain file left where the root goes.
    if (QFileInfo::exists(destinationRoot()) && !QFile::remove(destinationRoot()))
        return false;
    return QDir().mkpath(moviesFolder());
}

QString makeArchive(const QString &folder, const QString &archiveName, const QStringList &templateFolders,
                    const QString &extension, const QStringList &withPreview)
{
    QTemporaryDir staging;
    if (!staging.isValid())
        return {};
    const QString archive = folder + QLatin1Char('/') + archiveName;
    ZipArchive zip;
    if (!zip.CreateZipFile2(archive))
        return {};
    for (const QString &name : templateFolders) {
        const QString templateFile = name + QLatin1Char('/') + name + QLatin1Char('.') + extension;
        const QString notes = name + QStringLiteral("/Media/notes.txt");
        if (!writeFile(staging.filePath(templateFile), "template " + name.toUtf8())
            || !writeFile(staging.filePath(notes), "media of " + name.toUtf8())
            || !zip.addFileToZip(staging.filePath(templateFile), templateFile)
            || !zip.addFileToZip(staging.filePath(notes), notes)) {
            zip.discardZipFile();
            return {};
        }
        if (withPreview.contains(name)) {
            const QString preview = name + QStringLiteral("/preview.png");
            QImage image(160, 90, QImage::Format_RGB32);
            image.fill(Qt::red);
            if (!image.save(staging.filePath(preview)) || !zip.addFileToZip(staging.filePath(preview), preview)) {
                zip.discardZipFile();
                return {};
            }
        }
    }
    if (!zip.CloseZipFile2())
        return {};
    return archive;
}

QString makeArchiveWithDocuments(const QString &folder, const QString &archiveName,
                                 const QList<QPair<QString, QByteArray>> &documents)
{
    QTemporaryDir staging;
    if (!staging.isValid())
        return {};
    const QString archive = folder + QLatin1Char('/') + archiveName;
    ZipArchive zip;
    if (!zip.CreateZipFile2(archive))
        return {};
    for (const auto &[name, bytes] : documents) {
        const QString templateFile = name + QLatin1Char('/') + name + QStringLiteral(".moti");
        if (!writeFile(staging.filePath(templateFile), bytes) || !zip.addFileToZip(staging.filePath(templateFile), templateFile)) {
            zip.discardZipFile();
            return {};
        }
    }
    return zip.CloseZipFile2() ? archive : QString();
}

QByteArray motionDocument(const QByteArray &motionVersion, const QByteArray &scene)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE ozxmlscene>\n<ozml version=\"5.11\">\n"
           "<displayversion>" + motionVersion + "</displayversion>\n"
           "<description>Slides in.</description>\n"
           "<template><theme>Corporate</theme><flags>0</flags></template>\n"
           "<scene><sceneSettings><width>1920</width><height>1080</height><duration>250</duration>"
           "<frameRate>25</frameRate></sceneSettings>\n"
           "<publishSettings><target object=\"1\" name=\"Name\"/><target object=\"2\" name=\"Role\"/></publishSettings>\n"
           + scene + "</scene>\n</ozml>\n";
}

QString makeDamagedArchive(const QString &folder, const QString &archiveName)
{
    const QString archive = folder + QLatin1Char('/') + archiveName;
    // A local file header signature followed by nothing that fits.
    QByteArray bytes("PK\x03\x04");
    for (int i = 0; i < 200; ++i)
        bytes.append(char((i * 37) & 0xff));
    return writeFile(archive, bytes) ? archive : QString();
}

QStringList templateNames(const QString &prefix, const QString &word, int count)
{
    QStringList names;
    for (int n = 1; n <= count; ++n)
        names.append(QStringLiteral("%1_%2_%3").arg(prefix, word).arg(n));
    return names;
}

QString installedPath(const QString &kindFolder, const QString &categoryTitle, const QString &templateFolder)
{
    return destinationRoot() + QLatin1Char('/') + kindFolder + QStringLiteral("/ZT ") + categoryTitle
        + QLatin1Char('/') + templateFolder;
}

bool installByHand(const QString &kindFolder, const QString &categoryTitle, const QString &templateFolder)
{
    const QString folder = installedPath(kindFolder, categoryTitle, templateFolder);
    return writeFile(folder + QLatin1Char('/') + templateFolder + QStringLiteral(".moti"), "copied by hand");
}

QList<TemplateArchiveCollection *> openArchives(const QList<QUrl> &urls, bool merge)
{
    const QList<TemplateArchiveCollection *> made = TemplateArchiveCollection::templateArchivesFromURLs(urls, merge);
    QList<QPointer<TemplateArchiveCollection>> watched(made.cbegin(), made.cend());
    // Those still unpacking after a minute are left out, as failures to open.
    [[maybe_unused]] const bool allOpened = QTest::qWaitFor([&watched] {
        return std::none_of(watched.cbegin(), watched.cend(), [](const QPointer<TemplateArchiveCollection> &c) {
            return c && (c->isOpening() || c->isUnpacking());
        });
    }, 60000);
    QList<TemplateArchiveCollection *> opened;
    for (const QPointer<TemplateArchiveCollection> &collection : std::as_const(watched)) {
        if (collection && !collection->isOpening())
            opened.append(collection.data());
    }
    return opened;
}

bool waitUntilIdle(const TemplateArchiveCollection *collection, int timeoutMs)
{
    QPointer<const TemplateArchiveCollection> watched(collection);
    return QTest::qWaitFor([&watched] { return !watched || !watched->isBusy(); }, timeoutMs);
}

void settle()
{
    // A few turns: an answer may post a close, whose window posts its deletion.
    for (int turn = 0; turn < 3; ++turn) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

QMessageBox *awaitAlert(const QString &title, int timeoutMs)
{
    return QTest::qWaitFor([&title] { return visibleAlert(title) != nullptr; }, timeoutMs) ? visibleAlert(title)
                                                                                           : nullptr;
}

QList<QMessageBox *> visibleAlerts()
{
    QList<QMessageBox *> boxes;
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *box = qobject_cast<QMessageBox *>(window); box && box->isVisible())
            boxes.append(box);
    }
    return boxes;
}

QMessageBox *visibleAlert(const QString &title)
{
    QMessageBox *found = nullptr;
    const QList<QMessageBox *> boxes = visibleAlerts();
    for (QMessageBox *box : boxes) {
        if (box->text() == title) {
            if (found)
                return nullptr; // two of a kind: the test must not guess
            found = box;
        }
    }
    return found;
}

QStringList buttonTexts(const QMessageBox *box)
{
    QStringList texts;
    const QList<QAbstractButton *> buttons = box->buttons();
    for (const QAbstractButton *button : buttons)
        texts.append(button->text());
    texts.sort();
    return texts;
}

bool press(QMessageBox *box, const QString &buttonText)
{
    if (!box)
        return false;
    const QList<QAbstractButton *> buttons = box->buttons();
    for (QAbstractButton *button : buttons) {
        if (button->text() == buttonText) {
            button->click();
            return true;
        }
    }
    return false;
}

AlertWatcher::AlertWatcher()
{
    _timer.setInterval(10);
    connect(&_timer, &QTimer::timeout, this, &AlertWatcher::poll);
    _timer.start();
}

void AlertWatcher::answer(const QString &title, const QString &buttonText)
{
    _answers.append({title, buttonText});
}

QStringList AlertWatcher::titlesSeen() const
{
    QStringList titles;
    for (const SeenAlert &alert : seen)
        titles.append(alert.title);
    return titles;
}

void AlertWatcher::poll()
{
    const QList<QMessageBox *> boxes = visibleAlerts();
    for (QMessageBox *box : boxes) {
        if (_known.contains(box))
            continue;
        _known.append(box);
        seen.append({box->text(), box->informativeText(), buttonTexts(box), box->windowModality(),
                     box->parentWidget(), box->palette().color(QPalette::Window).lightness() < 128});
        for (const auto &[title, buttonText] : std::as_const(_answers)) {
            if (title == box->text() && press(box, buttonText)) {
                _answered.append(title);
                break;
            }
        }
    }
}

FileDialogAnswerer::FileDialogAnswerer(QStringList files)
    : _files(std::move(files))
{
    _timer.setInterval(10);
    connect(&_timer, &QTimer::timeout, this, &FileDialogAnswerer::poll);
    _timer.start();
}

void FileDialogAnswerer::poll()
{
    auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible() || done)
        return;
    _timer.stop();
    done = true;
    fileMode = int(dialog->fileMode());
    nameFilters = dialog->nameFilters();
    acceptLabel = dialog->labelText(QFileDialog::Accept);
    directory = dialog->directory().absolutePath();
    dark = dialog->palette().color(QPalette::Window).lightness() < 128;
    if (_files.isEmpty()) {
        dialog->reject();
        return;
    }
    dialog->setDirectory(QFileInfo(_files.first()).path());
    QStringList quoted;
    for (const QString &file : std::as_const(_files))
        quoted.append(QLatin1Char('"') + QFileInfo(file).fileName() + QLatin1Char('"'));
    if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
        edit->setText(quoted.join(QLatin1Char(' ')));
    static_cast<QDialog *>(dialog)->accept(); // QFileDialog checks the typed names
}

namespace {

QString sUnwritable;

bool writableUnlessChosen(const QString &folder)
{
    return folder != sUnwritable;
}

const char *const FakePkexecVariables[] = {"MTI_ELEVATE_HELPER", "MTI_ELEVATE_MTZIP", "FAKE_PKEXEC_LOG", "FAKE_PKEXEC_MODE"};

} // namespace

AllUsersFolder::AllUsersFolder(const QString &dataDir)
    : root(dataDir + QStringLiteral("/Final Cut Pro/Templates"))
    , _savedDataDirs(qgetenv("XDG_DATA_DIRS"))
{
    qputenv("XDG_DATA_DIRS", QFile::encodeName(dataDir));
    Elevation::setWritableCheckForTesting(writableUnlessChosen);
}

AllUsersFolder::~AllUsersFolder()
{
    qputenv("XDG_DATA_DIRS", _savedDataDirs);
    Elevation::setWritableCheckForTesting(nullptr);
    sUnwritable.clear();
}

void AllUsersFolder::setUnwritable(const QString &folder)
{
    sUnwritable = folder;
}

FakePkexec::FakePkexec(const QString &folder, const QString &mode, const QString &mtzip)
    : _log(folder + QStringLiteral("/pkexec.log"))
{
    const QString fake = folder + QStringLiteral("/pkexec");
    _valid = TestSupport::writeFile(
                 fake, "#!/bin/sh\n"
                       "printf '%s\\0' \"$@\" > \"$FAKE_PKEXEC_LOG\"\n"
                       "case \"$FAKE_PKEXEC_MODE\" in\n"
                       "126) exit 126 ;;\n"
                       "127) echo 'Error executing command as another user: Not authorized' >&2; exit 127 ;;\n"
                       "noagent) echo 'Error executing command as another user: No authentication agent found.' >&2;"
                       " exit 127 ;;\n"
                       "fail) echo 'mtzip: removal failed: the disk is on fire' >&2; exit 1 ;;\n"
                       "esac\n"
                       "exec \"$@\"\n")
        && QFile::setPermissions(fake, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("MTI_ELEVATE_HELPER", QFile::encodeName(fake));
    qputenv("MTI_ELEVATE_MTZIP", QFile::encodeName(mtzip));
    qputenv("FAKE_PKEXEC_LOG", QFile::encodeName(_log));
    qputenv("FAKE_PKEXEC_MODE", mode.toUtf8());
}

FakePkexec::~FakePkexec()
{
    for (const char *variable : FakePkexecVariables)
        qunsetenv(variable);
}

QStringList FakePkexec::recorded() const
{
    QFile log(_log);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QChar(0));
}

} // namespace CollectionTestTools
