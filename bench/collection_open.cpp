// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Opens one pack in a collection window offscreen and prints two lines: the
// time from the open request until the window is shown with every template
// in its table, and the longest gap of a 10 ms timer (the longest the event
// loop could not run) from then until the background unpack has ended.
//
//     collection_open PACK.mtzip
#include "CollectionTestTools.h"

#include "Collections/EffectsTableModel.h"
#include "Collections/TemplateArchiveCollection.h"
#include "Collections/TemplateArchiveCollectionController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// An event loop of its own, as the application's: a loop polling
// processEvents() would take a core from the unpack it measures.
bool runUntil(const std::function<bool()> &done, int timeoutMs = 600000)
{
    QEventLoop loop;
    QTimer check;
    check.setTimerType(Qt::PreciseTimer);
    check.setInterval(1);
    QElapsedTimer elapsed;
    elapsed.start();
    bool reached = done();
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        reached = done();
        if (reached || elapsed.elapsed() > timeoutMs)
            loop.quit();
    });
    if (!reached) {
        check.start();
        loop.exec();
    }
    return reached;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    CollectionTestTools::isolateHome(home);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: collection_open PACK.mtzip\n");
        return 2;
    }
    QString reason;
    if (!CollectionTestTools::checkIsolation(home, &reason) || !CollectionTestTools::resetDestination()) {
        std::fprintf(stderr, "%s\n", qPrintable(reason));
        return 1;
    }
    const QUrl pack = QUrl::fromLocalFile(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());

    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });

    clock.start();
    const QList<TemplateArchiveCollection *> opened = TemplateArchiveCollection::templateArchivesFromURLs({pack}, true);
    if (opened.size() != 1) {
        std::fprintf(stderr, "the pack did not open\n");
        return 1;
    }
    QPointer<TemplateArchiveCollection> collection = opened.first();
    collection->showWhenOpened();
    if (!runUntil([&] { return !collection || (!collection->isOpening() && collection->window()->isVisible()); })
        || !collection) {
        std::fprintf(stderr, "the window did not open\n");
        return 1;
    }
    const qint64 shown = clock.nsecsElapsed();
    const int rows = collection->tableModel()->rowCount();
    std::printf("shown %8.1f ms   rows %d\n", double(shown) / 1e6, rows);

    last = clock.nsecsElapsed();
    ticker.start();
    if (!runUntil([&] { return !collection || !collection->isUnpacking(); }) || !collection) {
        std::fprintf(stderr, "the unpack did not end\n");
        return 1;
    }
    longest = std::max(longest, clock.nsecsElapsed() - last);
    std::printf("unpack   longest stall %7.1f ms   phase %8.1f ms\n", double(longest) / 1e6,
                double(clock.nsecsElapsed() - shown) / 1e6);
    std::fflush(stdout);
    ticker.stop();
    TemplateArchiveCollectionController::sharedController().closeAllCollections();
    runUntil([] { return TemplateArchiveCollectionController::sharedController().collections().isEmpty(); });
    return rows > 0 ? 0 : 1;
}
