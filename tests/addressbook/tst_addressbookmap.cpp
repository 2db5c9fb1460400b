#include "addressbookwindow.h"
#include "addresses.h"
#include "settings.h"
#include "webenginemapview.h"

#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {
// Serves one small page for any request on loopback and notes the request lines.
class PageServer : public QTcpServer
{
public:
    QStringList requests;

    PageServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QByteArray request = socket->readAll();
                    requests << QString::fromLatin1(request.left(request.indexOf("\r\n")));
                    const QByteArray page = "<html><body><h1>Map</h1></body></html>";
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\nContent-Length: "
                                  + QByteArray::number(page.size()) + "\r\n\r\n" + page);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
};
}

// The map page with the real web engine, loading a page from loopback, never the network.
class tst_AddressBookMap : public QObject
{
    Q_OBJECT

private slots:
    void mapPageLoadsAndReturns();
};

void tst_AddressBookMap::mapPageLoadsAndReturns()
{
    PageServer server;
    QVERIFY(server.listen(QHostAddress(QStringLiteral("127.0.0.101"))));
    Settings::instance()->setValueForKey(AddressBookWindow::mapHostSetting,
                                         QStringLiteral("http://127.0.0.101:%1").arg(server.serverPort()));
    Addresses contact;
    contact.buildFromVariantMap({{"adr_two_postalcode", "10115"}, {"adr_two_locality", "Berlin"},
                                 {"adr_two_street", "Main Street 1"}, {"adr_two_countryname", "Deutschland"}});

    AddressBookWindow window;
    window.show();
    auto *pages = window.findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
    auto *loading = window.findChild<QStackedWidget *>(QStringLiteral("webViewStackedWidget"));
    QVERIFY(!window.webView()); // no web engine until a map is asked for

    window.openAddressInMapView(&contact, QStringLiteral("adr_two"));
    QCOMPARE(pages->currentIndex(), 1);
    QCOMPARE(loading->currentIndex(), 0); // "Loading Map..."
    QCOMPARE(window.findChild<MapView *>(QStringLiteral("webView")), window.webView());
    QVERIFY(window.webView());
    QSignalSpy finished(window.webView(), &MapView::loadFinished);
    QVERIFY(finished.wait(60000));
    QVERIFY(finished.first().first().toBool());
    QCOMPARE(loading->currentIndex(), 1);
    QCOMPARE(window.findChild<QProgressBar *>(QStringLiteral("progressBar"))->value(), 100);
    QVERIFY(!server.requests.isEmpty());
    QVERIFY2(server.requests.first().startsWith(QLatin1String("GET /maps?q=10115+Berlin+Main%20Street%201+Deutschland&oe=utf-8")),
             qPrintable(server.requests.first()));

    // A page that cannot load still ends the loading page.
    Settings::instance()->setValueForKey(AddressBookWindow::mapHostSetting, QStringLiteral("http://127.0.0.101:9"));
    window.openAddressInMapView(&contact, QStringLiteral("adr_two"));
    QCOMPARE(loading->currentIndex(), 0);
    QVERIFY(finished.wait(60000));
    QCOMPARE(loading->currentIndex(), 1);

    QTest::mouseClick(window.findChild<QPushButton *>(QStringLiteral("closeMapViewButton")), Qt::LeftButton);
    QCOMPARE(pages->currentIndex(), 0);
    window.openAddressInMapView(nullptr, QStringLiteral("adr_one")); // logged and ignored
    QCOMPARE(pages->currentIndex(), 0);
}

int main(int argc, char *argv[])
{
    // As the program does: the web engine wants this before the application object exists.
    WebEngineMapView::install();
    QApplication app(argc, argv);
    tst_AddressBookMap test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_addressbookmap.moc"
