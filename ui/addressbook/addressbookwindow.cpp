#include "addressbookwindow.h"
#include "ui_addressbookwindow.h"

#include "addressbook.h"
#include "addressbooktabwidget.h"
#include "addresses.h"
#include "cticonnector.h"
#include "iconcache.h"
#include "log.h"
#include "mapview.h"
#include "passbudget.h"
#include "settings.h"
#include "windowgeometry.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QKeyEvent>
#include <QNetworkProxyFactory>

namespace {
const QString logTag = QStringLiteral("AddressBookWindow");
const QString defaultMapHost = QStringLiteral("https://maps.google.com");
const QString defaultMapRelease = QStringLiteral("talvero:en-US:official");
const QString defaultMapClient = QStringLiteral("talvero-cti-client");

QByteArray encodedSetting(const QString &key, const QString &fallback)
{
    return QUrl::toPercentEncoding(Settings::instance()->getValueForKey(key, fallback).toString());
}
}

AddressBookWindow::AddressBookWindow(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::AddressBookWindow)
{
    ui->setupUi(this);
    setWindowTitle(tr("Talvero CTI Client - Addressbook"));
    ui->closeMapViewButton->setIcon(IconCache::glyph(QStringLiteral(":/images/addressbook.png")));

    // Each connection asks the system's proxy configuration for its own destination, so the
    // map goes through the user's web proxy while the link to the PBX keeps the exceptions
    // the system sets for it.
    QNetworkProxyFactory::setUseSystemConfiguration(true);

    connect(ui->closeMapViewButton, &QPushButton::clicked, this, &AddressBookWindow::closeMapsView);
    CTIConnector *connector = CTIConnector::instance();
    connect(connector, &CTIConnector::addressBookAdded, this, &AddressBookWindow::addressBookAdded);
    m_nextTab.setSingleShot(true);
    m_nextTab.setInterval(0);
    connect(&m_nextTab, &QTimer::timeout, this, &AddressBookWindow::addWaitingTabs);
    connect(connector, &CTIConnector::contactTypesAvailable, this, &AddressBookWindow::onContactTypesAvailable);
}

AddressBookWindow::~AddressBookWindow()
{
    delete ui;
}

void AddressBookWindow::init()
{
    CTIConnector *connector = CTIConnector::instance();
    connector->requestContactTypes();
    connector->requestAddressBooks();
    restoreWindowGeometry();
}

void AddressBookWindow::restoreWindowGeometry()
{
    WindowGeometry::restore(this, getAppPartName());
}

void AddressBookWindow::closeEvent(QCloseEvent *event)
{
    WindowGeometry::save(this, getAppPartName());
    hide();
    event->ignore();
}

void AddressBookWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Escape) {
        QWidget::keyPressEvent(event);
        return;
    }
    // Escape steps back: out of the map, out of editing (asking about unsaved changes), out of the window.
    auto *tab = qobject_cast<AddressBookTabWidget *>(ui->tabWidget->currentWidget());
    if (ui->stackedWidget->currentIndex() != 0) {
        closeMapsView();
    } else if (tab && tab->isEditing()) {
        tab->cancelEditMode();
    } else {
        close();
        emit dismissed();
    }
}

void AddressBookWindow::openForSearch()
{
    show();
    raise();
    activateWindow();
    if (auto *tab = qobject_cast<AddressBookTabWidget *>(ui->tabWidget->currentWidget()))
        tab->focusSearch();
}

QList<AddressBookTabWidget *> AddressBookWindow::tabs() const
{
    QList<AddressBookTabWidget *> tabs;
    for (int i = 0; i < ui->tabWidget->count(); ++i) {
        if (auto *tab = qobject_cast<AddressBookTabWidget *>(ui->tabWidget->widget(i)))
            tabs.append(tab);
    }
    return tabs;
}

void AddressBookWindow::addressBookAdded(Addressbook *book)
{
    // A book listed again (the list asked for once more) keeps its tab.
    for (AddressBookTabWidget *tab : tabs()) {
        if (tab->book() && tab->book()->id() == book->id())
            return;
    }
    for (const Addressbook *waiting : qAsConst(m_waitingBooks)) {
        if (waiting->id() == book->id())
            return;
    }
    // A tab is a large form: the books of one list would cost a frame or two together.
    book->setParent(this);
    m_waitingBooks.append(book);
    if (m_waitingBooks.size() == 1 && !PassBudget::spent(tabPassBudgetMs))
        addTab(m_waitingBooks.takeFirst());
    else if (!m_nextTab.isActive())
        m_nextTab.start();
}

void AddressBookWindow::addWaitingTabs()
{
    for (bool first = true; !m_waitingBooks.isEmpty() && (first || !PassBudget::spent(tabPassBudgetMs)); first = false)
        addTab(m_waitingBooks.takeFirst());
    if (!m_waitingBooks.isEmpty())
        m_nextTab.start();
}

void AddressBookWindow::addTab(Addressbook *book)
{
    auto *tab = new AddressBookTabWidget(this);
    tab->init(book);
    tab->setContactTypes(m_contactTypes);
    connect(this, &AddressBookWindow::contactTypesChanged, tab, &AddressBookTabWidget::setContactTypes);
    connect(tab, &AddressBookTabWidget::openAddressInMapView, this, &AddressBookWindow::openAddressInMapView);
    // As typed: an "&" in the server's title is no keyboard shortcut.
    ui->tabWidget->addTab(tab, QString(book->getTitle()).replace(QLatin1Char('&'), QLatin1String("&&")));
    emit tabAdded(tab);
}

void AddressBookWindow::onContactTypesAvailable(const QStringList &types)
{
    m_contactTypes = types;
    emit contactTypesChanged(types);
}

QUrl AddressBookWindow::mapUrl(Addresses *address, const QString &keyPrefix)
{
    const auto part = [&](const char *suffix) {
        return QUrl::toPercentEncoding(address->value(keyPrefix + QLatin1String(suffix)).toString());
    };
    QByteArray url = Settings::instance()->getValueForKey(mapHostSetting, defaultMapHost).toString().toUtf8();
    while (url.endsWith('/'))
        url.chop(1);
    url += "/maps?q=" + part("_postalcode") + '+' + part("_locality") + '+' + part("_street") + '+'
        + part("_countryname");
    url += "&oe=utf-8&rls=" + encodedSetting(mapReleaseSetting, defaultMapRelease)
        + "&client=" + encodedSetting(mapClientSetting, defaultMapClient)
        + "&um=1&ie=UTF-8&hl=en&sa=N&tab=wl";
    return QUrl::fromEncoded(url);
}

void AddressBookWindow::openAddressInMapView(Addresses *address, const QString &keyPrefix)
{
    if (!address) {
        Log::w(QStringLiteral("Address NULL given!"), logTag);
        return;
    }
    if (!ensureWebView()) {
        Log::w(QStringLiteral("no web engine for the map"), logTag);
        return;
    }
    ui->progressBar->setValue(0);
    ui->webViewStackedWidget->setCurrentIndex(0);
    ui->stackedWidget->setCurrentIndex(1);
    m_webView->load(mapUrl(address, keyPrefix));
}

bool AddressBookWindow::ensureWebView()
{
    if (m_webView)
        return true;
    m_webView = MapView::create(ui->mapViewPage);
    if (!m_webView)
        return false;
    m_webView->setObjectName(QStringLiteral("webView"));
    ui->mapViewPageLayout->addWidget(m_webView);
    connect(m_webView, &MapView::loadProgress, ui->progressBar, &QProgressBar::setValue);
    connect(m_webView, &MapView::loadStarted, this, &AddressBookWindow::mapLoadingStarts);
    connect(m_webView, &MapView::loadFinished, this, &AddressBookWindow::mapLoadingFinished);
    return true;
}

void AddressBookWindow::closeMapsView()
{
    ui->stackedWidget->setCurrentIndex(0);
}

void AddressBookWindow::mapLoadingStarts()
{
    ui->webViewStackedWidget->setCurrentIndex(0);
}

void AddressBookWindow::mapLoadingFinished()
{
    ui->webViewStackedWidget->setCurrentIndex(1);
}

void AddressBookWindow::onSetStyleSheet(const QString &style)
{
    QFile base(QStringLiteral(":/styles/client.style"));
    QString sheet;
    if (base.open(QIODevice::ReadOnly))
        sheet = QString::fromUtf8(base.readAll());
    setStyleSheet(sheet + style);
}
