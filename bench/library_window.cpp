// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
// Opens the library window offscreen over a root of installed templates and
// measures the time from asking for the window to the end of the table's
// first paint that shows all of them, while a 5 ms timer records the gaps
// between its ticks (the longest gap is the longest the window could not
// repaint). Then scrolls through the whole table a page at a time, previews
// loading behind it, and reports the longest gap while scrolling.
//
//     library_window ROOT EXPECTED_TEMPLATES
#include "CollectionTestTools.h"

#include "Library/TemplateLibraryModel.h"
#include "Library/TemplateLibraryWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>

namespace {

class StallMeter
{
public:
    StallMeter()
    {
        _timer.setTimerType(Qt::PreciseTimer);
        _timer.setInterval(5);
        QObject::connect(&_timer, &QTimer::timeout, [this] { tick(); });
        _clock.start();
        _timer.start();
    }
    void restart()
    {
        _last = _clock.nsecsElapsed();
        _longest = 0;
    }
    double longestMs()
    {
        tick();
        return double(_longest) / 1e6;
    }

private:
    void tick()
    {
        const qint64 now = _clock.nsecsElapsed();
        _longest = std::max(_longest, now - _last);
        _last = now;
    }
    QTimer _timer;
    QElapsedTimer _clock;
    qint64 _last = 0;
    qint64 _longest = 0;
};

// Notes the end of the first paint of the viewport once `ready` holds.
class FirstFullPaint : public QObject
{
public:
    FirstFullPaint(std::function<bool()> ready, QElapsedTimer &clock)
        : _ready(std::move(ready))
        , _clock(clock)
    {
    }
    qint64 paintedAtNs = -1;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && paintedAtNs < 0 && !_pending && _ready()) {
            _pending = true;
            // Runs once this paint has been handled.
            QTimer::singleShot(0, this, [this] { paintedAtNs = _clock.nsecsElapsed(); });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> _ready;
    QElapsedTimer &_clock;
    bool _pending = false;
};

bool runUntil(const std::function<bool()> &done, int timeoutMs = 120000)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QTemporaryDir home;
    CollectionTestTools::isolateHome(home);
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: library_window ROOT EXPECTED_TEMPLATES\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]);
    const int expected = QString::fromLocal8Bit(argv[2]).toInt();
    StallMeter meter;
    QElapsedTimer clock;

    meter.restart();
    clock.start();
    auto window = std::make_unique<TemplateLibraryWindow>(
        QList<TemplateLibraryWindow::Location>{{root, QStringLiteral("My Templates")}});
    window->resize(1100, 700);
    TemplateLibraryModel *model = window->model();
    auto *table = window->findChild<QTableView *>(QStringLiteral("templatesTable"));
    qint64 scannedAtNs = -1;
    QObject::connect(model, &TemplateLibraryModel::scanFinished, model, [&] {
        if (scannedAtNs < 0 && model->rowCount() == expected)
            scannedAtNs = clock.nsecsElapsed();
    });
    FirstFullPaint paint([model, expected] { return model->hasScanned() && model->rowCount() == expected; }, clock);
    table->viewport()->installEventFilter(&paint);
    window->show();
    if (!runUntil([&] { return paint.paintedAtNs >= 0; })) {
        std::fprintf(stderr, "no paint with %d rows (the model has %d)\n", expected, model->rowCount());
        return 1;
    }
    const double shownMs = double(paint.paintedAtNs) / 1e6;
    // CPU of every thread since the process began, start-up included: on a
    // loaded machine the steadier figure.
    const double cpuMs = double(std::clock()) * 1000.0 / CLOCKS_PER_SEC;
    const double openStall = meter.longestMs();
    std::printf("%d templates\n", model->rowCount());
    std::printf("open       first full paint %8.1f ms   longest stall %7.1f ms   (scan in at %.1f ms, cpu %.0f ms)\n",
                shownMs, openStall, double(scannedAtNs) / 1e6, cpuMs);
    std::fflush(stdout);

    // A page at a time, as fast as the event loop goes, to the end.
    QScrollBar *bar = table->verticalScrollBar();
    meter.restart();
    QElapsedTimer scrolling;
    scrolling.start();
    int pages = 0;
    while (bar->value() < bar->maximum()) {
        bar->setValue(bar->value() + bar->pageStep());
        ++pages;
        QCoreApplication::processEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const double scrollStall = meter.longestMs();
    std::printf("scroll     %5d pages in %8.1f ms   longest stall %7.1f ms\n", pages,
                double(scrolling.nsecsElapsed()) / 1e6, scrollStall);

    // Typing into the search field: every keystroke filters all rows.
    meter.restart();
    QElapsedTimer typing;
    typing.start();
    auto *search = window->findChild<QLineEdit *>(QStringLiteral("searchField"));
    for (const QChar c : QStringLiteral("glow")) {
        search->setText(search->text() + c);
        QCoreApplication::processEvents();
    }
    std::printf("search     4 keystrokes  %8.1f ms   longest stall %7.1f ms\n", double(typing.nsecsElapsed()) / 1e6,
                meter.longestMs());
    return 0;
}
