// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "App/TemplateArchiveDropzoneViewDelegate.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <memory>

class QAction;
class QDialog;
class QFileDialog;
class QLabel;
class QMainWindow;
class QMenu;
class QMenuBar;
class QPushButton;
class TemplateArchiveCollection;
class TemplateArchiveDropzoneView;
class TemplateLibraryWindow;
namespace Ui {
class AboutWindow;
class StartWindow;
}

// The application delegate: launch, opening archives, the menus, the support
// menu, the about window and quitting. Exactly one exists; main() creates
// it, which loads the start and about windows (both hidden) and the menu
// bar, then drives the launch: applicationWillFinishLaunching(), the
// open-files request that started the application if any,
// applicationDidFinishLaunching().
class AppDelegate : public QObject, public TemplateArchiveDropzoneViewDelegate
{
    Q_OBJECT

public:
    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    // The application's icon ("AppIcon_128" among the resources), loaded on
    // first success and kept; a null icon while it cannot be loaded.
    static QIcon appIcon();

    // The maker's pages opened by the support menu, by tag (1 to 6); an
    // empty URL for any other tag.
    static QUrl supportPageURL(int tag);
    // The shop page of template packs that browseNewTemplates() opens.
    static QUrl templatePacksShopURL();
    // "Version: 1.0 (4)": the version and build number set in CMake
    // (Common/Version.h), not read from the bundle at run time.
    static QString versionText();

    // Builds the support menu, gives the start and about windows the dark
    // look and sets the version text. Shows nothing.
    void applicationWillFinishLaunching();
    // Shows the start window unless the launch was made to open files and
    // opened some: a launch whose files all failed shows it too, so the
    // process never runs on without a window.
    void applicationDidFinishLaunching();
    // The platform's request to open files: an empty list changes nothing;
    // otherwise the paths become file URLs for openTemplateArchiveAtURLs().
    void applicationOpenFiles(const QStringList &paths);
    // A single-file request: marks the launch as made to open files and
    // opens nothing; always false.
    bool applicationOpenFile(const QString &path);
    // The archives named on the command line: absolute paths, file URLs made
    // local; the process-serial argument that old macOS versions add is not
    // a file.
    static QStringList launchArgumentPaths(const QStringList &arguments);
    // Queues the command line's paths like the platform's open requests
    // (macOS), so a path that also arrives as a file-open event opens once.
    void openLaunchArguments(const QStringList &paths);
    // Opens what the platform's open requests queued so far, at once.
    void openPendingFiles();
    // Closes every collection, which removes their unpack folders.
    void applicationWillTerminate();
    static bool applicationShouldTerminateAfterLastWindowClosed() { return true; }

    // Opens the local files among urls (merged into one collection) and
    // brings the new collection windows to the front, after the windows of
    // those archives that are open already. Files that are not template
    // archives are named in an alert; so is an error.
    void openTemplateArchiveAtURLs(const QList<QUrl> &urls) override;

    // Gives window the application's menus, with their shortcuts: on macOS
    // the application's one menu bar serves every window already, elsewhere
    // the window gets a menu bar of its own, built like the start window's.
    // Doing it twice changes nothing.
    void decorateWindow(QMainWindow *window);

    // Where the open dialog starts: the folder it was last accepted in, else
    // the Downloads folder, else the home folder.
    static QString openDialogFolder();
    // Gives an open dialog its starting folder and the dark look, and
    // remembers its folder when accepted.
    static void prepareOpenDialog(QFileDialog *dialog);

    bool launchedWithOpenFile() const { return _launchedWithOpenFile; }
    QMainWindow *startWindow() const { return _startWindow; }
    QDialog *aboutWindow() const { return _aboutWindow; }
    QLabel *aboutVersionField() const { return _aboutVersionField; }
    QPushButton *supportButton() const { return _supportButton; }
    TemplateArchiveDropzoneView *dropzoneView() const;
    QMenuBar *menuBar() const { return _menuBar; }
    QAction *openAction() const { return _openAction; }
    QAction *aboutAction() const { return _aboutAction; }
    QAction *quitAction() const { return _quitAction; }
    QAction *libraryAction() const { return _libraryAction; }
    // The library window while it is open; one per process.
    TemplateLibraryWindow *templateLibraryWindow() const;

    // Brings the front-most window of the application forward; a later
    // launch without files asks for this.
    void activateFrontWindow();

public slots:
    void openTemplates();
    void browseNewTemplates();
    // Opens the page of the entry's tag; entries without one open nothing.
    void supportButtonAction(QAction *sender);
    void orderFrontStandardAboutPanel();
    // Opens the library window, or brings the open one to the front.
    void showTemplateLibrary();
    void aboutPanelOk();
    // Quit: closes every collection window; a busy one finishes or undoes
    // its work first. The application quits once none is left.
    void terminate();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createActions();
    QMenuBar *createMenuBar(QWidget *parent);
    void fillWindowMenu(QMenu *menu);
    void buildSupportMenu();
    void queueOpenFile(const QString &path);
    void watchCollections();
    void quitIfNothingLeft();
    static void makeKeyAndOrderFront(QWidget *window);
    void bringToFront(const QList<TemplateArchiveCollection *> &collections);
    void tellNotArchives(const QList<QUrl> &urls);

    // Connected when the interface is loaded; owned through the unique
    // pointers below, never reassigned.
    QDialog *_aboutWindow = nullptr;
    QLabel *_aboutVersionField = nullptr;
    QMainWindow *_startWindow = nullptr;
    QPushButton *_supportButton = nullptr;
    bool _launchedWithOpenFile = false;

    std::unique_ptr<QMainWindow> _startWindowOwner;
    std::unique_ptr<QDialog> _aboutWindowOwner;
    std::unique_ptr<Ui::StartWindow> _startUi;
    std::unique_ptr<Ui::AboutWindow> _aboutUi;
    QMenuBar *_menuBar = nullptr;
    bool _ownsMenuBar = false;
    QAction *_openAction = nullptr;
    QAction *_browseAction = nullptr;
    QAction *_closeWindowAction = nullptr;
    QAction *_quitAction = nullptr;
    QAction *_minimizeAction = nullptr;
    QAction *_zoomAction = nullptr;
    QAction *_aboutAction = nullptr;
    QAction *_libraryAction = nullptr;
    QPointer<TemplateLibraryWindow> _libraryWindow;
    // The support pages, shared by the support button and the menu bars.
    QList<QAction *> _supportActions;
    QStringList _pendingOpenFiles;
    QStringList _launchArguments;
    bool _terminating = false;
    bool _quitScheduled = false;
};
