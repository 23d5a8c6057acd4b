// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "App/TemplateArchiveDropzoneView.h"
#include "App/TemplateArchiveDropzoneViewDelegate.h"
#include "TestSupport.h"

#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QtTest>

using TestSupport::urlOf;

namespace {

class RecordingDelegate : public TemplateArchiveDropzoneViewDelegate
{
public:
    void openTemplateArchiveAtURLs(const QList<QUrl> &urls) override { requests.append(urls); }
    void checkProjectsAtURLs(const QList<QUrl> &urls) override { projects.append(urls); }
    QList<QList<QUrl>> requests;
    QList<QList<QUrl>> projects;
};

QMimeData *fileDrag(const QList<QUrl> &urls)
{
    auto *mime = new QMimeData;
    mime->setUrls(urls);
    return mime;
}

} // namespace

class tst_Dropzone : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void acceptance_data();
    void acceptance();
    void projectsGoToTheChecker_data();
    void projectsGoToTheChecker();
    void plainTextIsRefused();
    void outlineFollowsTheDrag();
    void withoutDelegateADropDoesNothing();
    void outlineIsDashedWhite();
    void overlayDarkensTheView();
    void clickOpensShopPage_data();
    void clickOpensShopPage();

private:
    Qt::DropAction enter(QMimeData *mime);
    Qt::DropAction move(QMimeData *mime);
    void leave();
    bool drop(QMimeData *mime);
    void mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons);
    // Lets the hand-over that the drop schedules run.
    static void settle();

    std::unique_ptr<TemplateArchiveDropzoneView> _view;
    RecordingDelegate _delegate;
    TestSupport::UrlRecorder _browser;
};

void tst_Dropzone::init()
{
    _view = std::make_unique<TemplateArchiveDropzoneView>();
    _view->resize(240, 160);
    _view->setDelegate(&_delegate);
    _view->show();
    QVERIFY(QTest::qWaitForWindowExposed(_view.get()));
    _delegate.requests.clear();
    _delegate.projects.clear();
    _browser.urls.clear();
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &_browser, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &_browser, "open");
}

void tst_Dropzone::cleanup()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    _view.reset();
}

void tst_Dropzone::settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

Qt::DropAction tst_Dropzone::enter(QMimeData *mime)
{
    QDragEnterEvent event(QPoint(100, 80), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, mime, Qt::LeftButton,
                          Qt::NoModifier);
    QApplication::sendEvent(_view.get(), &event);
    return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction;
}

Qt::DropAction tst_Dropzone::move(QMimeData *mime)
{
    QDragMoveEvent event(QPoint(110, 90), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, mime, Qt::LeftButton,
                         Qt::NoModifier);
    QApplication::sendEvent(_view.get(), &event);
    return event.isAccepted() ? event.dropAction() : Qt::IgnoreAction;
}

void tst_Dropzone::leave()
{
    QDragLeaveEvent event;
    QApplication::sendEvent(_view.get(), &event);
}

bool tst_Dropzone::drop(QMimeData *mime)
{
    QDropEvent event(QPointF(110, 90), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, mime, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(_view.get(), &event);
    return event.isAccepted();
}

void tst_Dropzone::mouse(QEvent::Type type, QPoint pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(pos), QPointF(_view->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(_view.get(), &event);
}

void tst_Dropzone::acceptance_data()
{
    QTest::addColumn<QList<QUrl>>("dragged");
    QTest::addColumn<QList<QUrl>>("delivered");

    const QUrl pack = urlOf(QStringLiteral("/tmp/drops/pack.mtzip"));
    const QUrl other = urlOf(QStringLiteral("/tmp/drops/LT_Other.mtzip"));
    const QUrl notes = urlOf(QStringLiteral("/tmp/drops/notes.txt"));
    QTest::newRow("an archive with a text file is copied, and only the archive reaches the delegate")
        << QList<QUrl>{pack, notes} << QList<QUrl>{pack};
    QTest::newRow("archives reach the delegate in the order they were dragged")
        << QList<QUrl>{other, notes, pack} << QList<QUrl>{other, pack};
    QTest::newRow("an upper-case extension alone is refused")
        << QList<QUrl>{urlOf(QStringLiteral("/tmp/drops/PACK.MTZIP"))} << QList<QUrl>{};
    QTest::newRow("a mixed-case extension is refused")
        << QList<QUrl>{urlOf(QStringLiteral("/tmp/drops/pack.Mtzip"))} << QList<QUrl>{};
    QTest::newRow("a text file alone is refused") << QList<QUrl>{notes} << QList<QUrl>{};
    QTest::newRow("a name that only ends in mtzip is refused")
        << QList<QUrl>{urlOf(QStringLiteral("/tmp/drops/packmtzip"))} << QList<QUrl>{};
    const QUrl folder(QStringLiteral("file:///tmp/drops/Folder.mtzip/"));
    QTest::newRow("a folder named like an archive is accepted") << QList<QUrl>{folder} << QList<QUrl>{folder};
    QTest::newRow("a web address of an archive is not a file and is refused")
        << QList<QUrl>{QUrl(QStringLiteral("https://www.example.com/pack.mtzip"))} << QList<QUrl>{};
}

void tst_Dropzone::acceptance()
{
    QFETCH(QList<QUrl>, dragged);
    QFETCH(QList<QUrl>, delivered);
    const bool accepted = !delivered.isEmpty();
    const Qt::DropAction expected = accepted ? Qt::CopyAction : Qt::IgnoreAction;

    QMimeData *mime = fileDrag(dragged);
    std::unique_ptr<QMimeData> owner(mime);
    QCOMPARE(TemplateArchiveDropzoneView::archiveURLs(mime), delivered);
    QCOMPARE(enter(mime), expected);
    QVERIFY2(!_view->acceptingDrag(), "the outline waits for the first update");
    QCOMPARE(move(mime), expected);
    QCOMPARE(_view->acceptingDrag(), accepted);
    QCOMPARE(drop(mime), accepted);
    settle();
    if (accepted)
        QCOMPARE(_delegate.requests, QList<QList<QUrl>>{delivered});
    else
        QVERIFY2(_delegate.requests.isEmpty(), "a drop without an archive calls nothing");
}

void tst_Dropzone::projectsGoToTheChecker_data()
{
    QTest::addColumn<QList<QUrl>>("dragged");
    QTest::addColumn<QList<QUrl>>("archives");
    QTest::addColumn<QList<QUrl>>("projects");

    const QUrl pack = urlOf(QStringLiteral("/tmp/drops/pack.mtzip"));
    const QUrl project = urlOf(QStringLiteral("/tmp/drops/Show.fcpxml"));
    const QUrl bundle(QStringLiteral("file:///tmp/drops/Show.fcpxmld/"));
    const QUrl upper = urlOf(QStringLiteral("/tmp/drops/OLD.FCPXML"));
    const QUrl notes = urlOf(QStringLiteral("/tmp/drops/notes.txt"));
    QTest::newRow("a project alone is checked, not opened as an archive")
        << QList<QUrl>{project} << QList<QUrl>{} << QList<QUrl>{project};
    QTest::newRow("a bundle, a folder, is checked") << QList<QUrl>{bundle} << QList<QUrl>{} << QList<QUrl>{bundle};
    QTest::newRow("any case of the project extension") << QList<QUrl>{upper} << QList<QUrl>{} << QList<QUrl>{upper};
    QTest::newRow("archives and projects each go their way")
        << QList<QUrl>{project, notes, pack, bundle} << QList<QUrl>{pack} << QList<QUrl>{project, bundle};
    QTest::newRow("a web address of a project is refused")
        << QList<QUrl>{QUrl(QStringLiteral("https://www.example.com/Show.fcpxml"))} << QList<QUrl>{} << QList<QUrl>{};
}

void tst_Dropzone::projectsGoToTheChecker()
{
    QFETCH(QList<QUrl>, dragged);
    QFETCH(QList<QUrl>, archives);
    QFETCH(QList<QUrl>, projects);
    const bool accepted = !archives.isEmpty() || !projects.isEmpty();

    std::unique_ptr<QMimeData> mime(fileDrag(dragged));
    QCOMPARE(TemplateArchiveDropzoneView::projectURLs(mime.get()), projects);
    QCOMPARE(TemplateArchiveDropzoneView::archiveURLs(mime.get()), archives);
    QCOMPARE(enter(mime.get()), accepted ? Qt::CopyAction : Qt::IgnoreAction);
    QCOMPARE(drop(mime.get()), accepted);
    settle();
    QCOMPARE(_delegate.requests, archives.isEmpty() ? QList<QList<QUrl>>{} : QList<QList<QUrl>>{archives});
    QCOMPARE(_delegate.projects, projects.isEmpty() ? QList<QList<QUrl>>{} : QList<QList<QUrl>>{projects});
}

void tst_Dropzone::plainTextIsRefused()
{
    QMimeData mime;
    mime.setText(QStringLiteral("/tmp/drops/pack.mtzip"));
    QCOMPARE(enter(&mime), Qt::IgnoreAction);
    QCOMPARE(move(&mime), Qt::IgnoreAction);
    QVERIFY(!_view->acceptingDrag());
    QVERIFY(!drop(&mime));
    settle();
    QVERIFY(_delegate.requests.isEmpty());
}

void tst_Dropzone::outlineFollowsTheDrag()
{
    std::unique_ptr<QMimeData> archive(fileDrag({urlOf(QStringLiteral("/tmp/drops/pack.mtzip"))}));
    std::unique_ptr<QMimeData> text(fileDrag({urlOf(QStringLiteral("/tmp/drops/notes.txt"))}));

    enter(archive.get());
    QVERIFY(!_view->acceptingDrag());
    move(archive.get());
    QVERIFY(_view->acceptingDrag());
    leave();
    QVERIFY2(!_view->acceptingDrag(), "leaving without a drop removes the outline");

    enter(archive.get());
    move(archive.get());
    QVERIFY(drop(archive.get()));
    settle();
    QVERIFY2(!_view->acceptingDrag(), "a drop removes the outline: Qt sends no leave after it");
    QCOMPARE(_delegate.requests.size(), 1);

    // The next drag starts with an enter; the outline waits for its first move.
    enter(archive.get());
    QVERIFY2(!_view->acceptingDrag(), "an accepted enter leaves the outline as it was");
    move(archive.get());
    QVERIFY(_view->acceptingDrag());
    move(text.get());
    QVERIFY2(!_view->acceptingDrag(), "an update that refuses the drag removes it");

    enter(archive.get());
    move(archive.get());
    drop(archive.get());
    QCOMPARE(enter(text.get()), Qt::IgnoreAction);
    QVERIFY2(!_view->acceptingDrag(), "a refused drag that enters after a drop removes it");
}

void tst_Dropzone::withoutDelegateADropDoesNothing()
{
    _view->setDelegate(nullptr);
    std::unique_ptr<QMimeData> archive(fileDrag({urlOf(QStringLiteral("/tmp/drops/pack.mtzip"))}));
    enter(archive.get());
    move(archive.get());
    QVERIFY(drop(archive.get()));
    settle();
    QVERIFY(_delegate.requests.isEmpty());
}

// Draws on a black view and reads the top edge of the outline: white dashes
// of 8 pixels with gaps of 8 (Qt counts dashes in pen widths and adds square
// caps to them unless told otherwise, two easy slips).
void tst_Dropzone::outlineIsDashedWhite()
{
    QPalette black;
    black.setColor(QPalette::Window, Qt::black);
    _view->setPalette(black);
    _view->setAutoFillBackground(true);
    QCOMPARE(_view->grab().toImage().pixelColor(60, 2), QColor(Qt::black));

    std::unique_ptr<QMimeData> archive(fileDrag({urlOf(QStringLiteral("/tmp/drops/pack.mtzip"))}));
    enter(archive.get());
    move(archive.get());
    const QImage image = _view->grab().toImage();
    QCOMPARE(image.devicePixelRatio(), 1.0);

    // Row 2 lies inside the 2-pixel line drawn at inset 2; the corners are
    // left out, and so are the first and last pieces, which the scan cuts.
    struct Piece { bool bright; int start; int length; };
    QList<Piece> pieces;
    for (int x = 16; x < image.width() - 16; ++x) {
        const bool bright = image.pixelColor(x, 2).red() > 120;
        if (pieces.isEmpty() || pieces.last().bright != bright)
            pieces.append({bright, x, 0});
        ++pieces.last().length;
    }
    QVERIFY2(pieces.size() >= 12, qPrintable(QStringLiteral("%1 pieces").arg(pieces.size())));
    for (int i = 1; i < pieces.size() - 1; ++i) {
        const Piece &piece = pieces.at(i);
        QVERIFY2(piece.length >= 7 && piece.length <= 9,
                 qPrintable(QStringLiteral("%1 of %2 px at x %3").arg(piece.bright ? QStringLiteral("dash")
                                                                                   : QStringLiteral("gap"))
                                .arg(piece.length).arg(piece.start)));
    }
    const Piece &dash = pieces.at(1).bright ? pieces.at(1) : pieces.at(2);
    const QColor colour = image.pixelColor(dash.start + dash.length / 2, 2);
    QVERIFY2(qAbs(colour.red() - 204) <= 12 && colour.red() == colour.green() && colour.green() == colour.blue(),
             qPrintable(colour.name()));
    QCOMPARE(image.pixelColor(image.width() / 2, image.height() / 2), QColor(Qt::black));
    QCOMPARE(image.pixelColor(0, image.height() / 2), QColor(Qt::black));
}

void tst_Dropzone::overlayDarkensTheView()
{
    QPalette white;
    white.setColor(QPalette::Window, Qt::white);
    _view->setPalette(white);
    _view->setAutoFillBackground(true);

    mouse(QEvent::MouseButtonPress, QPoint(50, 50), Qt::LeftButton, Qt::LeftButton);
    QVERIFY(_view->highlight());
    const QImage image = _view->grab().toImage();
    // Black at a quarter's opacity over white, corners included.
    for (const QPoint &p : {QPoint(0, 0), QPoint(120, 80), QPoint(239, 159)})
        QVERIFY2(qAbs(image.pixelColor(p).red() - 191) <= 2, qPrintable(image.pixelColor(p).name()));
    mouse(QEvent::MouseButtonRelease, QPoint(300, 300), Qt::LeftButton, Qt::NoButton);
    QCOMPARE(_view->grab().toImage().pixelColor(120, 80), QColor(Qt::white));
}

void tst_Dropzone::clickOpensShopPage_data()
{
    QTest::addColumn<QList<QPoint>>("path"); // press, moves..., release
    QTest::addColumn<int>("opened");

    const QPoint inside(40, 40);
    const QPoint elsewhereInside(200, 120);
    const QPoint outside(400, 40);
    QTest::newRow("pressing and releasing inside opens the shop page once")
        << QList<QPoint>{inside, elsewhereInside} << 1;
    QTest::newRow("dragging out and releasing outside opens nothing")
        << QList<QPoint>{inside, outside, outside} << 0;
    QTest::newRow("dragging out and back in, then releasing inside, opens the page")
        << QList<QPoint>{inside, outside, elsewhereInside, elsewhereInside} << 1;
    QTest::newRow("the edge just outside the bounds counts as outside")
        << QList<QPoint>{inside, QPoint(240, 60)} << 0;
}

void tst_Dropzone::clickOpensShopPage()
{
    QFETCH(QList<QPoint>, path);
    QFETCH(int, opened);

    mouse(QEvent::MouseButtonPress, path.first(), Qt::LeftButton, Qt::LeftButton);
    QVERIFY(_view->highlight());
    for (int i = 1; i < path.size() - 1; ++i) {
        mouse(QEvent::MouseMove, path.at(i), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(_view->highlight(), _view->rect().contains(path.at(i)));
    }
    mouse(QEvent::MouseButtonRelease, path.last(), Qt::LeftButton, Qt::NoButton);
    QVERIFY2(!_view->highlight(), "the overlay goes at the release");
    QCOMPARE(_browser.urls.size(), opened);
    if (opened) {
        QCOMPARE(_browser.urls.first(), TemplateArchiveDropzoneView::shopURL());
        QCOMPARE(_browser.urls.first().scheme(), QStringLiteral("https"));
    }
}

QTEST_MAIN(tst_Dropzone)
#include "tst_Dropzone.moc"
