#include "cticlient.h"
#include "webenginemapview.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    WebEngineMapView::install();
    QApplication app(argc, argv);
    CTIClient client;
    client.exec();
    return app.exec();
}
