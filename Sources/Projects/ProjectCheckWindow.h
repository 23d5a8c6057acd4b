// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#pragma once

#include "Metadata/ProjectDocument.h"
#include "Projects/MissingTemplates.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <QVersionNumber>

#include <functional>
#include <memory>
#include <optional>

class BackgroundWork;
struct CheckRun;
struct InstallRun;
class ProjectCheckModel;
class QFileSystemWatcher;
class QLabel;
class QPushButton;
class QTreeView;

// The Check Project window: the templates a Final Cut Pro project uses, each
// with its state (installed and from where, hidden, too new, needing a
// plug-in, missing and in which archive, missing and found nowhere), the
// clips using it, and Install Missing, Reveal and Open Archive. Reading and
// checking run on a worker; the window checks again whenever the roots'
// templates or receipts change, whichever window or program installed them.
class ProjectCheckWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Where to look, handed in so that tests use their own roots.
    struct Environment
    {
        QString userRoot;
        QString allUsersRoot;
        // The archives open in the application now, asked at every check.
        std::function<QStringList()> openArchives;
        QStringList searchFolders;  // searched for *.mtzip
        std::optional<QVersionNumber> finalCut;
        // The user's and all users' roots, Downloads and the settings' folders,
        // the Final Cut Pro version set or installed.
        static Environment standard();
    };

    // Reads and checks `path` (a .fcpxml file or a .fcpxmld bundle) on a
    // worker; the window shows once that is done. A project that cannot be
    // read gets an alert saying why, and the window goes without showing.
    static ProjectCheckWindow *open(const QString &path, const Environment &environment);
    // Whether a path names a project this window reads, by its extension.
    static bool isProjectPath(const QString &path);
    // Asks for a project: .fcpxml files, and .fcpxmld bundles, which the
    // dialog takes as chosen when one is entered. Empty when cancelled.
    static QString chooseProject(QWidget *parent = nullptr);

    ~ProjectCheckWindow() override;

    const QString &projectPath() const { return _path; }
    ProjectCheckModel *model() const { return _model; }
    QTreeView *view() const { return _view; }
    QPushButton *installButton() const { return _installButton; }
    QPushButton *revealButton() const { return _revealButton; }
    QPushButton *openArchiveButton() const { return _openArchiveButton; }
    QPushButton *collectButton() const { return _collectButton; }
    QString summaryText() const;
    bool isBusy() const;
    // The folders watched for changes (tests see what is heard).
    QStringList watchedFolders() const;

public slots:
    void checkAgain();
    // Installs every missing template an archive was found for.
    void installMissing();
    void revealSelected();
    void openSelectedArchive();
    // Asks where, then writes one zip of the project's templates for a colleague.
    void collectTemplates();

signals:
    // Open Archive: the application opens it as File > Open does.
    void openArchivesRequested(const QList<QUrl> &archives);
    // A check ended and its rows are on screen.
    void checked();
    // The project could not be read (the first time): the alert is up.
    void unreadable(const QString &message);
    // An Install Missing ended (its report is up).
    void installFinished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    ProjectCheckWindow(const QString &path, Environment environment);
    void buildInterface();
    void startCheck();
    void showCheck(const std::shared_ptr<CheckRun> &run);
    void updateButtons();
    void fitToContent();
    void updateWatch();
    void continueInstall(const std::shared_ptr<MissingTemplates> &missing, bool unpackFirst,
                         const MissingTemplates::Taken &elevated = {});
    // On the worker: `taken` installed into `root` by mtzip, elevated.
    static void installElevated(MissingTemplates &missing, const MissingTemplates::Taken &taken, const QString &root,
                                InstallRun &run);
    void installEnded(const std::shared_ptr<MissingTemplates> &missing, const std::shared_ptr<InstallRun> &run);
    void askToReplace(const std::shared_ptr<MissingTemplates> &missing, const QStringList &edited,
                      const QStringList &foreign);
    void sheet(const QString &title, const QString &text);
    int selectedRow() const;

    QString _path;
    Environment _environment;
    std::shared_ptr<const ProjectDocument> _project;  // once read
    bool _shown = false;
    bool _checkPending = false;
    bool _closeWhenDone = false;

    ProjectCheckModel *_model = nullptr;
    QTreeView *_view = nullptr;
    QLabel *_titleLabel = nullptr;
    QLabel *_summaryLabel = nullptr;
    QPushButton *_checkButton = nullptr;
    QPushButton *_revealButton = nullptr;
    QPushButton *_openArchiveButton = nullptr;
    QPushButton *_installButton = nullptr;
    QPushButton *_collectButton = nullptr;
    std::unique_ptr<BackgroundWork> _work;
    QFileSystemWatcher *_watcher = nullptr;
    QTimer _recheckTimer;
};
