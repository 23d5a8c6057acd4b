// SPDX-FileCopyrightText: 2026 The Motion Template Installer developers
// SPDX-License-Identifier: MIT
#include "Downloads/DownloadItem.h"
#include "Downloads/DownloadItemTableView.h"
#include "Downloads/DownloadItemView.h"
#include "Downloads/DownloadManager.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A web server on 127.0.0.1 that answers each request by the first part of
// its path with a fixed response:
//   /files/...    200 with the whole body
//   /missing/...  404 Not Found
//   /dropped/...  200 announcing the whole body, then closes half-way
//   /stalled/...  200 announcing the whole body, sends half and waits
class FixedHttpServer : public QObject
{
public:
    FixedHttpServer()
    {
        connect(&_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = _server.nextPendingConnection()) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { _read(socket); });
            }
        });
    }

    bool listen() { return _server.listen(QHostAddress::LocalHost); }

    QUrl url(const QString &path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(_server.serverPort()).arg(path));
    }

    static QByteArray body()
    {
        // Large enough to arrive in several pieces, and not all alike.
        QByteArray data;
        for (int i = 0; data.size() < 300 * 1000; ++i)
            data += QByteArray::number(i) + ' ';
        return data;
    }

private:
    void _read(QTcpSocket *socket)
    {
        QByteArray &request = _requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QByteArray path = request.split(' ').value(1);
        const QByteArray data = body();
        const QByteArray okHeader = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                                    "Content-Length: "
                                    + QByteArray::number(data.size())
                                    + "\r\nConnection: close\r\n\r\n";
        if (path.startsWith("/files/")) {
            socket->write(okHeader + data);
            socket->disconnectFromHost();
        } else if (path.startsWith("/dropped/")) {
            socket->write(okHeader + data.left(data.size() / 2));
            socket->disconnectFromHost();
        } else if (path.startsWith("/stalled/")) {
            socket->write(okHeader + data.left(data.size() / 2));
        } else {
            const QByteArray page = "<html><body>Not here</body></html>";
            socket->write("HTTP/1.1 404 Not Found\r\nContent-Type: text/html\r\nContent-Length: "
                          + QByteArray::number(page.size()) + "\r\nConnection: close\r\n\r\n"
                          + page);
            socket->disconnectFromHost();
        }
    }

    QTcpServer _server;
    QHash<QTcpSocket *, QByteArray> _requests;
};

class tst_Downloads : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void completeDownloadSavesTheFile();
    void failedDownloadKeepsNothing_data();
    void failedDownloadKeepsNothing();
    void unusableDestinationIsReportedAndLeftAlone();
    void cancelStopsAndRemovesThePartialFile();
    void destroyingARunningItemRemovesThePartialFile();
    void existingFilesAreNeverReplaced_data();
    void existingFilesAreNeverReplaced();
    void title_data();
    void title();

    void sharedManagerIsOneObject();
    void fileURLIsRefused();
    void addedDownloadShowsInTheWindowAndRuns();
    void rowsOutsideTheListHaveNoItem_data();
    void rowsOutsideTheListHaveNoItem();
    void managerIsASoundModel();

private:
    QStringList entriesIn(const QString &folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System
                                          | QDir::NoDotAndDotDot,
                                      QDir::Name);
    }

    FixedHttpServer _server;
    std::unique_ptr<QTemporaryDir> _folder;
    // The shared manager lives for the whole run; it saves here, never in
    // the real Downloads folder.
    QTemporaryDir _managerFolder;
};

void tst_Downloads::initTestCase()
{
    QVERIFY(_server.listen());
    QVERIFY(_managerFolder.isValid());
    DownloadManager::sharedDownloadManager()->setDestinationFolder(_managerFolder.path());
}

void tst_Downloads::init()
{
    _folder = std::make_unique<QTemporaryDir>();
    QVERIFY(_folder->isValid());
}

void tst_Downloads::completeDownloadSavesTheFile()
{
    auto item = DownloadItem::create(_server.url(QStringLiteral("/files/pack.mtzip")),
                                     _folder->path());
    QVERIFY(item);
    QCOMPARE(item->state(), DownloadItem::State::Suspended);
    QCOMPARE(item->progress(), 0.0);

    QList<double> seen;
    connect(item.get(), &DownloadItem::changed, this, [&] { seen << item->progress(); });
    item->startDownloading();
    QCOMPARE(item->state(), DownloadItem::State::Running);

    QTRY_COMPARE(item->state(), DownloadItem::State::Completed);
    QVERIFY2(!item->error(), qPrintable(item->error() ? item->error()->localizedDescription()
                                                      : QString()));
    QCOMPARE(item->progress(), 1.0);
    QCOMPARE(item->bytesReceived(), FixedHttpServer::body().size());
    QVERIFY(std::is_sorted(seen.cbegin(), seen.cend()));

    QCOMPARE(entriesIn(_folder->path()), QStringList{QStringLiteral("pack.mtzip")});
    const QString saved = _folder->filePath(QStringLiteral("pack.mtzip"));
    QCOMPARE(item->downloadedFilePath(), saved);
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), FixedHttpServer::body());

    auto *bar = item->view()->findChild<QProgressBar *>(QStringLiteral("progressBar"));
    QVERIFY(bar);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(!item->view()->findChild<QPushButton *>(QStringLiteral("cancelButton"))->isEnabled());
    QVERIFY(item->view()->findChild<QLabel *>(QStringLiteral("statusLabel"))
                ->toolTip().contains(QLatin1String("pack.mtzip")));

    // An item downloads once.
    item->startDownloading();
    QCOMPARE(item->state(), DownloadItem::State::Completed);
}

void tst_Downloads::failedDownloadKeepsNothing_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("reason");

    QTest::newRow("server answers 404 Not Found")
        << "/missing/pack.mtzip" << int(QNetworkReply::ContentNotFoundError)
        << "The server answered 404 Not Found.";
    QTest::newRow("connection dropped half-way")
        << "/dropped/pack.mtzip" << int(QNetworkReply::RemoteHostClosedError) << "";
    QTest::newRow("nobody listens")
        << "unreachable" << int(QNetworkReply::ConnectionRefusedError) << "";
}

void tst_Downloads::failedDownloadKeepsNothing()
{
    QFETCH(QString, path);
    QFETCH(int, code);
    QFETCH(QString, reason);

    QUrl url = _server.url(path);
    if (path == QLatin1String("unreachable")) {
        // A port that was just free and is closed again.
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        url = QUrl(QStringLiteral("http://127.0.0.1:%1/pack.mtzip").arg(closed.serverPort()));
    }

    auto item = DownloadItem::create(url, _folder->path());
    QVERIFY(item);
    item->startDownloading();
    QTRY_COMPARE(item->state(), DownloadItem::State::Completed);

    QVERIFY(item->error());
    QCOMPARE(item->error()->domain(), DownloadItem::NetworkDomain);
    QCOMPARE(item->error()->code(), code);
    if (!reason.isEmpty())
        QCOMPARE(item->error()->localizedDescription(), reason);
    QVERIFY(!item->error()->localizedDescription().isEmpty());
    QVERIFY(item->progress() < 1.0);
    QVERIFY(item->downloadedFilePath().isEmpty());
    QCOMPARE(entriesIn(_folder->path()), QStringList());

    // The row says why (in full in the tooltip; the label may elide it).
    QCOMPARE(item->view()->findChild<QLabel *>(QStringLiteral("statusLabel"))->toolTip(),
             item->error()->localizedDescription());
}

void tst_Downloads::unusableDestinationIsReportedAndLeftAlone()
{
    // A file stands where the destination folder should be.
    const QString notAFolder = _folder->filePath(QStringLiteral("Downloads"));
    QFile file(notAFolder);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("keep me");
    file.close();

    auto item = DownloadItem::create(_server.url(QStringLiteral("/files/pack.mtzip")), notAFolder);
    QVERIFY(item);
    item->startDownloading();
    QCOMPARE(item->state(), DownloadItem::State::Completed);
    QVERIFY(item->error());
    QCOMPARE(item->error()->domain(), Error::PosixDomain);
    QVERIFY(item->error()->localizedDescription().contains(notAFolder));
    QCOMPARE(entriesIn(_folder->path()), QStringList{QStringLiteral("Downloads")});
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("keep me"));
}

void tst_Downloads::cancelStopsAndRemovesThePartialFile()
{
    auto item = DownloadItem::create(_server.url(QStringLiteral("/stalled/pack.mtzip")),
                                     _folder->path());
    QVERIFY(item);
    item->cancel(); // nothing to cancel yet
    QCOMPARE(item->state(), DownloadItem::State::Suspended);

    item->startDownloading();
    QTRY_VERIFY(item->bytesReceived() > 0);
    QTRY_VERIFY(item->progress() > 0.0);
    QVERIFY(item->progress() < 1.0);
    QCOMPARE(item->state(), DownloadItem::State::Running);
    // The partial data is on disk under a name of its own, not the final one.
    const QStringList during = entriesIn(_folder->path());
    QCOMPARE(during.size(), 1);
    QVERIFY(during.first().startsWith(QLatin1String("pack.mtzip.")));
    QVERIFY(during.first().endsWith(QLatin1String(".part")));

    auto *cancelButton = item->view()->findChild<QPushButton *>(QStringLiteral("cancelButton"));
    QVERIFY(cancelButton && cancelButton->isEnabled());
    cancelButton->click();

    QTRY_COMPARE(item->state(), DownloadItem::State::Completed);
    QVERIFY(item->error());
    QCOMPARE(item->error()->code(), int(QNetworkReply::OperationCanceledError));
    QCOMPARE(entriesIn(_folder->path()), QStringList());
    QVERIFY(!cancelButton->isEnabled());
    QCOMPARE(item->view()->findChild<QLabel *>(QStringLiteral("statusLabel"))->text(),
             QStringLiteral("Cancelled"));
}

void tst_Downloads::destroyingARunningItemRemovesThePartialFile()
{
    auto item = DownloadItem::create(_server.url(QStringLiteral("/stalled/pack.mtzip")),
                                     _folder->path());
    QVERIFY(item);
    item->startDownloading();
    QTRY_VERIFY(item->bytesReceived() > 0);
    QCOMPARE(entriesIn(_folder->path()).size(), 1);

    item.reset();
    QCOMPARE(entriesIn(_folder->path()), QStringList());
}

void tst_Downloads::existingFilesAreNeverReplaced_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("savedAs");

    QTest::newRow("free name is the URL's file name")
        << "/files/pack.mtzip" << QStringList() << "pack.mtzip";
    QTest::newRow("taken name gets a number before the extension")
        << "/files/pack.mtzip" << QStringList{QStringLiteral("pack.mtzip")} << "pack (1).mtzip";
    QTest::newRow("taken numbers are skipped")
        << "/files/pack.mtzip" << QStringList{QStringLiteral("pack.mtzip"), QStringLiteral("pack (1).mtzip")} << "pack (2).mtzip";
    QTest::newRow("name without extension gets the number at the end")
        << "/files/README" << QStringList{QStringLiteral("README")} << "README (1)";
    QTest::newRow("only the last extension moves")
        << "/files/pack.tar.gz" << QStringList{QStringLiteral("pack.tar.gz")} << "pack.tar (1).gz";
    QTest::newRow("encoded name is saved decoded")
        << "/files/My%20Pack.mtzip" << QStringList{QStringLiteral("My Pack.mtzip")} << "My Pack (1).mtzip";
    QTest::newRow("encoded slash cannot reach another folder")
        << "/files/..%2F..%2Fescape.mtzip" << QStringList() << "escape.mtzip";
    QTest::newRow("URL without a file name")
        << "/files/" << QStringList() << "download";
}

void tst_Downloads::existingFilesAreNeverReplaced()
{
    QFETCH(QString, path);
    QFETCH(QStringList, existing);
    QFETCH(QString, savedAs);

    for (const QString &name : existing) {
        QFile file(_folder->filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("older file");
    }

    auto item = DownloadItem::create(_server.url(path), _folder->path());
    QVERIFY(item);
    item->startDownloading();
    QTRY_COMPARE(item->state(), DownloadItem::State::Completed);
    QVERIFY(!item->error());
    QCOMPARE(item->downloadedFilePath(), _folder->filePath(savedAs));

    QStringList expected = existing;
    expected << savedAs;
    expected.sort();
    QCOMPARE(entriesIn(_folder->path()), expected);
    for (const QString &name : existing) {
        QFile file(_folder->filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("older file"));
    }
    QFile saved(item->downloadedFilePath());
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.size(), FixedHttpServer::body().size());
}

void tst_Downloads::title_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<QString>("title");

    QTest::newRow("file name without its extension")
        << QUrl(QStringLiteral("https://example.com/packs/pack.mtzip")) << "pack";
    QTest::newRow("only the last extension goes")
        << QUrl(QStringLiteral("https://example.com/pack.tar.gz")) << "pack.tar";
    QTest::newRow("query is not part of the path")
        << QUrl(QStringLiteral("https://example.com/pack.mtzip?token=abc")) << "pack";
    QTest::newRow("encoded characters are decoded")
        << QUrl(QStringLiteral("https://example.com/My%20Pack.mtzip")) << "My Pack";
    QTest::newRow("a leading dot is not an extension")
        << QUrl(QStringLiteral("https://example.com/.hidden")) << ".hidden";
    QTest::newRow("trailing slash names the folder")
        << QUrl(QStringLiteral("https://example.com/packs/")) << "packs";
}

void tst_Downloads::title()
{
    QFETCH(QUrl, url);
    QFETCH(QString, title);

    auto item = DownloadItem::create(url, _folder->path());
    QVERIFY(item);
    QCOMPARE(item->title(), title);
}

void tst_Downloads::sharedManagerIsOneObject()
{
    DownloadManager *first = DownloadManager::sharedDownloadManager();
    QVERIFY(first);
    QCOMPARE(DownloadManager::sharedDownloadManager(), first);
}

void tst_Downloads::fileURLIsRefused()
{
    const QUrl fileURL = QUrl::fromLocalFile(_folder->filePath(QStringLiteral("pack.mtzip")));
    const QRegularExpression logLine(QStringLiteral("^'This is a file url' in .+ line \\d+$"));

    QTest::ignoreMessage(QtWarningMsg, logLine);
    QVERIFY(!DownloadItem::create(fileURL, _folder->path()));

    DownloadManager *manager = DownloadManager::sharedDownloadManager();
    manager->hide();
    const int rows = manager->numberOfRowsInTableView();
    QTest::ignoreMessage(QtWarningMsg, logLine);
    QVERIFY(!manager->downloadItemWithURL(fileURL));
    QCOMPARE(manager->numberOfRowsInTableView(), rows);
    QVERIFY(!manager->window()->isVisible());
    QCOMPARE(entriesIn(_folder->path()), QStringList());
}

void tst_Downloads::addedDownloadShowsInTheWindowAndRuns()
{
    DownloadManager *manager = DownloadManager::sharedDownloadManager();
    manager->hide();
    const int rows = manager->numberOfRowsInTableView();

    DownloadItem *item = manager->downloadItemWithURL(
        _server.url(QStringLiteral("/files/added.mtzip")));
    QVERIFY(item);
    QCOMPARE(manager->numberOfRowsInTableView(), rows + 1);
    QCOMPARE(manager->objectValueForTableColumn(0, rows), item);
    QVERIFY(manager->window()->isVisible());
    QVERIFY(item->state() != DownloadItem::State::Suspended);

    QCOMPARE(manager->rowViewForItem(item), item->view());
    QCOMPARE(manager->viewForTableColumn(DownloadManager::ItemViewColumnIdentifier, item),
             item->view());
    QVERIFY(!manager->viewForTableColumn(QStringLiteral("title"), item));

    // The row shows the item's own view, over the whole cell.
    DownloadItemTableView *table = manager->downloadItemsTable();
    const QModelIndex index = manager->index(rows, 0);
    QCOMPARE(item->view()->parentWidget(), table->viewport());
    QTRY_VERIFY(item->view()->isVisible());
    QTRY_COMPARE(item->view()->geometry(), table->visualRect(index));
    QVERIFY(table->rowHeight(rows) >= item->view()->minimumSizeHint().height());

    QTRY_COMPARE(item->state(), DownloadItem::State::Completed);
    QVERIFY(!item->error());
    QCOMPARE(item->downloadedFilePath(), QDir(_managerFolder.path()).filePath(
                                             QStringLiteral("added.mtzip")));
}

void tst_Downloads::rowsOutsideTheListHaveNoItem_data()
{
    QTest::addColumn<int>("rowFromEnd");
    QTest::addColumn<bool>("hasItem");

    // Rows are counted from the end of the list: 0 is just past the last item.
    QTest::newRow("last row has its item") << -1 << true;
    QTest::newRow("row just past the end has none") << 0 << false;
    QTest::newRow("row far past the end has none") << 100 << false;
}

void tst_Downloads::rowsOutsideTheListHaveNoItem()
{
    QFETCH(int, rowFromEnd);
    QFETCH(bool, hasItem);

    DownloadManager *manager = DownloadManager::sharedDownloadManager();
    if (manager->numberOfRowsInTableView() == 0)
        QVERIFY(manager->downloadItemWithURL(_server.url(QStringLiteral("/files/row.mtzip"))));
    const int count = manager->numberOfRowsInTableView();

    QCOMPARE(manager->objectValueForTableColumn(0, count + rowFromEnd) != nullptr, hasItem);
    QVERIFY(!manager->objectValueForTableColumn(0, -1));
    QVERIFY(!manager->objectValueForTableColumn(0, -count - 1));
    QVERIFY(manager->objectValueForTableColumn(0, 0));
}

void tst_Downloads::managerIsASoundModel()
{
    DownloadManager *manager = DownloadManager::sharedDownloadManager();
    QAbstractItemModelTester tester(manager,
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    DownloadItem *item =
        manager->downloadItemWithURL(_server.url(QStringLiteral("/files/model.mtzip")));
    QVERIFY(item);
    QTRY_COMPARE(item->state(), DownloadItem::State::Completed);
}

QTEST_MAIN(tst_Downloads)
#include "tst_Downloads.moc"
