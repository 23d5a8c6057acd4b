// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Drives one collection window offscreen through opening, installing, a
// cancelled install (roll-back), uninstalling and closing, while a 5 ms timer
// records the gaps between its ticks: the longest gap of a phase is the
// longest time the event loop could not run. Prints one line per phase.
//
//     collection_stall PACK.mtzip
#include "CollectionTestTools.h"

#include "Collections/TemplateArchiveCollection.h"
#include "Installer/TemplateInstallerV2.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

class StallMeter
{
public:
    StallMeter()
    {
        _timer.setTimerType(Qt::PreciseTimer);
        _timer.setInterval(5);
        QObject::connect(&_timer, &QTimer::timeout, [this] {
            const qint64 now = _clock.nsecsElapsed();
            _longest = std::max(_longest, now - _last);
            _last = now;
        });
        _clock.start();
        _timer.start();
    }
    void startPhase()
    {
        _last = _clock.nsecsElapsed();
        _longest = 0;
        _phase.start();
    }
    // Also counts the time since the last tick: a phase may end inside a stall.
    void endPhase(const char *name)
    {
        _longest = std::max(_longest, _clock.nsecsElapsed() - _last);
        std::printf("%-10s longest stall %7.1f ms   phase %8.1f ms\n", name, double(_longest) / 1e6,
                    double(_phase.nsecsElapsed()) / 1e6);
        std::fflush(stdout);
    }

private:
    QTimer _timer;
    QElapsedTimer _clock;
    QElapsedTimer _phase;
    qint64 _last = 0;
    qint64 _longest = 0;
};

// Runs the event loop until `done` holds, pressing alert buttons as asked.
bool runUntil(const std::function<bool()> &done, const QList<QPair<QString, QString>> &answers, int timeoutMs = 600000)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        for (const auto &[title, button] : answers) {
            // A title ending in "*" matches by its beginning.
            for (QMessageBox *box : CollectionTestTools::visibleAlerts()) {
                const bool match = title.endsWith(QLatin1Char('*')) ? box->text().startsWith(title.chopped(1))
                                                                    : box->text() == title;
                if (match)
                    CollectionTestTools::press(box, button);
            }
        }
    }
    return true;
}

QPushButton *button(TemplateArchiveCollection *collection, const char *name)
{
    return collection->window()->findChild<QPushButton *>(QLatin1String(name));
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    CollectionTestTools::isolateHome(home);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: collection_stall PACK.mtzip\n");
        return 2;
    }
    QString reason;
    if (!CollectionTestTools::checkIsolation(home, &reason) || !CollectionTestTools::resetDestination()) {
        std::fprintf(stderr, "%s\n", qPrintable(reason));
        return 1;
    }
    const QUrl pack = QUrl::fromLocalFile(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());
    StallMeter meter;

    meter.startPhase();
    const QList<TemplateArchiveCollection *> opened = TemplateArchiveCollection::templateArchivesFromURLs({pack}, true);
    if (opened.size() != 1) {
        std::fprintf(stderr, "the pack did not open\n");
        return 1;
    }
    QPointer<TemplateArchiveCollection> collection = opened.first();
    // The archive is listed on a worker and the window shows on that list;
    // the open phase runs on until the unpack behind it has ended too.
    collection->showWhenOpened();
    if (!runUntil([&] { return !collection || (!collection->isOpening() && !collection->isUnpacking()); }, {})
        || !collection)
        return 1;
    QCoreApplication::processEvents();
    meter.endPhase("open");
    const qsizetype count = qsizetype(collection->effectsWithSearchOption(EffectSearchAll).size());
    std::printf("%lld templates\n", static_cast<long long>(count));

    meter.startPhase();
    QTimer::singleShot(0, button(collection, "installButton"), &QPushButton::click);
    if (!runUntil([] { return CollectionTestTools::visibleAlert(QStringLiteral("Installation Completed")) != nullptr; },
                  {{QStringLiteral("Delete Template Archive?"), QStringLiteral("Keep")}}))
        return 1;
    meter.endPhase("install");
    CollectionTestTools::press(CollectionTestTools::visibleAlert(QStringLiteral("Installation Completed")),
                               QStringLiteral("Cancel"));

    // Uninstall, then install again and cancel half way: the roll-back.
    const QList<QPair<QString, QString>> uninstallAnswers = {
        {QStringLiteral("Uninstall *"), QStringLiteral("Uninstall")}};
    meter.startPhase();
    QTimer::singleShot(0, button(collection, "deleteButton"), &QPushButton::click);
    if (!runUntil([] { return CollectionTestTools::visibleAlert(QStringLiteral("Uninstall Completed")) != nullptr; },
                  uninstallAnswers))
        return 1;
    meter.endPhase("uninstall");
    CollectionTestTools::press(CollectionTestTools::visibleAlert(QStringLiteral("Uninstall Completed")),
                               QStringLiteral("Ok"));

    meter.startPhase();
    QTimer::singleShot(0, button(collection, "installButton"), &QPushButton::click);
    QElapsedTimer sinceStart;
    sinceStart.start();
    bool cancelled = false;
    // A timer presses the progress dialog's Cancel once the install has run a while.
    QTimer canceller;
    QObject::connect(&canceller, &QTimer::timeout, [&] {
        if (cancelled || sinceStart.elapsed() < 1500 || !collection)
            return;
        for (QProgressDialog *dialog : collection->window()->findChildren<QProgressDialog *>()) {
            if (dialog->isVisible() && !dialog->wasCanceled()) {
                dialog->cancel();
                cancelled = true;
            }
        }
    });
    canceller.start(20);
    if (!runUntil(
            [&] {
                return CollectionTestTools::visibleAlert(QStringLiteral("Installation Cancelled")) != nullptr
                    || CollectionTestTools::visibleAlert(QStringLiteral("Installation Completed")) != nullptr;
            },
            {{QStringLiteral("Delete Template Archive?"), QStringLiteral("Keep")}}))
        return 1;
    canceller.stop();
    meter.endPhase(cancelled ? "roll-back" : "reinstall");
    for (const QString &title : {QStringLiteral("Installation Cancelled"), QStringLiteral("Installation Completed")}) {
        if (QMessageBox *box = CollectionTestTools::visibleAlert(title))
            CollectionTestTools::press(box, box == CollectionTestTools::visibleAlert(QStringLiteral("Installation Completed"))
                                                ? QStringLiteral("Cancel")
                                                : QStringLiteral("Ok"));
    }

    // Closing ends when the unpack folder is gone from the disk.
    const QString unpackFolder = collection->templateInstallers().front()->effectsSourceFolder();
    meter.startPhase();
    collection->window()->close();
    if (!runUntil([&] { return !QFileInfo::exists(unpackFolder); }, {}))
        return 1;
    meter.endPhase("close");
    return 0;
}
