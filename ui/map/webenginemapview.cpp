#include "webenginemapview.h"

#include "log.h"

#include <QCoreApplication>
#include <QVBoxLayout>
#include <QWebEngineView>

#include <unistd.h>

void WebEngineMapView::install()
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The engine's sandbox refuses to start as root; the map would stay blank.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        Log::w(QStringLiteral("running as root: the map's web engine runs without its sandbox"),
               QStringLiteral("WebEngineMapView"));
    }
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && !qEnvironmentVariableIsSet("QT_QUICK_BACKEND"))
        qputenv("QT_QUICK_BACKEND", "software");
    MapView::setFactory([](QWidget *parent) -> MapView * { return new WebEngineMapView(parent); });
}

WebEngineMapView::WebEngineMapView(QWidget *parent)
    : MapView(parent)
    , m_view(new QWebEngineView(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    connect(m_view, &QWebEngineView::loadStarted, this, &MapView::loadStarted);
    connect(m_view, &QWebEngineView::loadProgress, this, &MapView::loadProgress);
    connect(m_view, &QWebEngineView::loadFinished, this, &MapView::loadFinished);
}

void WebEngineMapView::load(const QUrl &url)
{
    m_view->load(url);
}

QUrl WebEngineMapView::url() const
{
    return m_view->url();
}
