#include "cticlient.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    CTIClient client;
    client.exec();
    return app.exec();
}
