// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "App/AppDelegate.h"
#include "App/OpenFilesChannel.h"
#include "App/QuitSignals.h"
#include "Documents/DeferredCleanup.h"
#include "Collections/TemplateArchiveCollectionWindow.h"
#include "Common/LogCategories.h"
#include "Common/Version.h"
#include "Installer/TemplateInstaller.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <cstdlib>

namespace {

// The application's own texts from the embedded translations, and Qt's (the
// standard buttons, the open dialog) from Qt's installed ones. The first of
// the user's languages that there is a translation for wins; English, the
// source language, needs none, so a user who puts it before German sees it.
void installTranslators(QCoreApplication *app)
{
    for (QString language : QLocale().uiLanguages()) {
        if (language == QLatin1String("C") || language.startsWith(QLatin1String("en")))
            return;
        language.replace(QLatin1Char('-'), QLatin1Char('_'));
        auto *own = new QTranslator(app);
        // Tries "de_DE", then "de".
        if (!own->load(QStringLiteral("motion-template-installer_") + language, QStringLiteral(":/i18n"))) {
            delete own;
            continue;
        }
        QCoreApplication::installTranslator(own);
        auto *qt = new QTranslator(app);
        if (qt->load(QStringLiteral("qtbase_") + language, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QCoreApplication::installTranslator(qt);
        return;
    }
}

// Names the application (settings, the desktop file) and loads its texts.
void describeApplication(QApplication *app)
{
    installTranslators(app);
    QApplication::setOrganizationName(QStringLiteral("Quillfen"));
    QApplication::setApplicationName(QStringLiteral("Motion Template Installer"));
    QApplication::setApplicationVersion(QStringLiteral(MTI_VERSION_STRING));
    // Wayland matches windows to the desktop file, and so to its icon, by this.
    QGuiApplication::setDesktopFileName(QStringLiteral(MTI_APPLICATION_ID));
    QApplication::setQuitOnLastWindowClosed(AppDelegate::applicationShouldTerminateAfterLastWindowClosed());
}

// Quitting waited for the clean-up as long as it should. What is still
// being removed is left as it is, named after this process, for the next
// start's sweep; the threads removing it end with the process.
int leave(int status)
{
    if (!DeferredCleanup::waitForAll(0)) {
        qCInfo(lcGui) << "Leaving" << DeferredCleanup::pendingCount() << "clean-ups to the next start";
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
#ifndef Q_OS_MACOS
    // Qt's own open dialog takes the dark palette; the platform's would not.
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
#endif
    QApplication app(argc, argv);
    describeApplication(&app);

    // Paths from a file manager, or typed in a terminal on any platform.
    const QStringList paths = AppDelegate::launchArgumentPaths(QApplication::arguments());
#ifndef Q_OS_MACOS
    // Here the file manager starts a new process for every request; the
    // running instance, if there is one, takes it over.
    OpenFilesChannel channel;
    if (channel.claim(paths) == OpenFilesChannel::Claim::HandedOver)
        return 0;
#endif

    AppDelegate delegate;
    // Every collection window gets the application's menus and shortcuts.
    TemplateArchiveCollectionWindow::setDecorator([&delegate](QMainWindow *window) { delegate.decorateWindow(window); });
    QApplication::setWindowIcon(AppDelegate::appIcon());
#ifndef Q_OS_MACOS
    // First of all when quitting: a launch while the clean-up runs becomes
    // the instance rather than waiting for this one to answer.
    QObject::connect(&delegate, &AppDelegate::quitting, &channel, &OpenFilesChannel::close);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &channel, &OpenFilesChannel::close);
#endif
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate, &AppDelegate::applicationWillTerminate);
    QuitSignals::install(&delegate);

    // Leftovers of a run that was killed: unpack folders (off the GUI
    // thread: a big one takes seconds), and an install or uninstall to
    // finish or undo.
    DeferredCleanup::run([] { TemplateInstaller::removeAbandonedUnpackFolders(); });
    TemplateInstaller::recoverInterruptedRun(TemplateInstaller::userDestMotionTemplatesFolder());

    delegate.applicationWillFinishLaunching();
#ifdef Q_OS_MACOS
    // The Finder's open requests arrive as QFileOpenEvents once the event
    // loop runs; let them in before deciding about the start window. Paths
    // typed after the program's name in a terminal come in argv instead.
    delegate.openLaunchArguments(paths);
    QTimer::singleShot(0, &delegate, [&delegate] {
        QCoreApplication::processEvents();
        delegate.openPendingFiles();
        delegate.applicationDidFinishLaunching();
    });
#else
    QObject::connect(&channel, &OpenFilesChannel::openFilesRequested, &delegate, [&delegate](const QStringList &later) {
        if (later.isEmpty())
            delegate.activateFrontWindow();
        else
            delegate.applicationOpenFiles(later);
    });
    delegate.applicationOpenFiles(paths);
    if (QuitSignals::received()) {
        delegate.applicationWillTerminate();
        return leave(0);
    }
    delegate.applicationDidFinishLaunching();
#endif
    return leave(QApplication::exec());
}
