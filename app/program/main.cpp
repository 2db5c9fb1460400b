#include "addressbookwindow.h"
#include "cticlient.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    AddressBookWindow::prepareApplication();
    QApplication app(argc, argv);
    CTIClient client;
    client.exec();
    return app.exec();
}
