// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "App/TemplateArchiveDropzoneViewDelegate.h"

#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <memory>

class AppMenus;
class PreferencesWindow;
class OpenRequestQueue;
class ProjectCheckWindow;
class QAction;
class QDialog;
class QMainWindow;
class QMenuBar;
class TemplateArchiveCollection;
class TemplateLibraryWindow;
namespace Ui {
class AboutWindow;
class StartWindow;
}

// The application delegate: launch, opening archives, the start and about
// windows and quitting; the menus are AppMenus', the platform's open
// requests OpenRequestQueue's. Exactly one exists; main() creates
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
    // projects (.fcpxml, .fcpxmld) are checked, the other paths become file
    // URLs for openTemplateArchiveAtURLs().
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
    // Opens a Check Project window for each local project among urls.
    void checkProjectsAtURLs(const QList<QUrl> &urls) override;
    // A Check Project window for the project at path, with the application's
    // menus; it shows once the project is read, or an alert says why not.
    ProjectCheckWindow *checkProject(const QString &path);
    // The Check Project windows open now (some may still be reading).
    QList<ProjectCheckWindow *> projectWindows() const;

    // Gives window the application's menus, with their shortcuts: on macOS
    // the application's one menu bar serves every window already, elsewhere
    // the window gets a menu bar of its own, built like the start window's.
    // Doing it twice changes nothing.
    void decorateWindow(QMainWindow *window);
    // Shows (restoring it if minimized), raises and activates the window.
    static void makeKeyAndOrderFront(QWidget *window);

    bool launchedWithOpenFile() const;
    QMainWindow *startWindow() const { return _startWindow.get(); }
    PreferencesWindow *preferencesWindow() const;

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
    // File > Check Project...: asks for a project, then checks it.
    void chooseProjectToCheck();
    // File > Collect Templates...: asks for a project, then for the zip to write.
    void collectTemplates();
    void aboutPanelOk();
    // Opens the Preferences window, or brings the open one to the front.
    void showPreferences();
    // The start window, from the Window menu once the application runs
    // without it (opened with an archive).
    void showStartWindow();
    // Quit: closes every collection window; a busy one finishes or undoes
    // its work first. The application quits once none is left.
    void terminate();

signals:
    // The application is about to quit: nothing is on screen any more.
    void quitting();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void loadWindows();
    void watchCollections();
    void quitIfNothingLeft();
    bool nothingLeft() const;
    void bringToFront(const QList<TemplateArchiveCollection *> &collections);
    void tellNotArchives(const QList<QUrl> &urls);
    QList<QWidget *> windows() const;

    std::unique_ptr<QMainWindow> _startWindow;
    std::unique_ptr<QDialog> _aboutWindow;
    std::unique_ptr<Ui::StartWindow> _startUi;
    std::unique_ptr<Ui::AboutWindow> _aboutUi;
    AppMenus *_menus = nullptr;
    OpenRequestQueue *_openRequests = nullptr;
    QMenuBar *_menuBar = nullptr;
    bool _ownsMenuBar = false;
    QPointer<TemplateLibraryWindow> _libraryWindow;
    QList<QPointer<ProjectCheckWindow>> _projectWindows;
    QPointer<PreferencesWindow> _preferencesWindow;
    bool _terminating = false;
    bool _quitScheduled = false;
};
