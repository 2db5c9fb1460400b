// talvero-tour DIR: every window of the client against the simulator's demo scenario, each saved
// as DIR/NN-name.png with its window frame, on the X server in DISPLAY, in the language of LANG.
// scripts/run-demo.sh --tour runs it headless under a window manager.
#include "cticlient.h"
#include "cticonnector.h"
#include "pbxsimulator.h"
#include "windowtour.h"

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QTranslator>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: talvero-tour DIR\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "talvero-tour: cannot create %s\n", argv[1]);
        return 1;
    }
    QTranslator translator;
    if (translator.load(CTIClient::translationNameFor(QLocale::system().language()), QStringLiteral(":/tr/"),
                        QString(), QStringLiteral(".qm")))
        QCoreApplication::installTranslator(&translator);

    PbxSimulator sim(QHostAddress::LocalHost);
    QString error;
    if (!sim.loadScenarioFile(QStringLiteral(TALVERO_DEMO_SCENARIO), &error) || !sim.listen()) {
        std::fprintf(stderr, "talvero-tour: no simulator: %s\n", qPrintable(error + sim.errorString()));
        return 1;
    }
    bool loggedIn = false;
    QEventLoop login;
    QObject::connect(CTIConnector::instance(), &CTIConnector::loginSuccess, &login, [&] {
        loggedIn = true;
        login.quit();
    });
    QObject::connect(CTIConnector::instance(), &CTIConnector::loginFailed, &login, &QEventLoop::quit);
    QTimer::singleShot(20000, &login, &QEventLoop::quit);
    CTIConnector::instance()->login(QStringLiteral("demo"), QStringLiteral("demo"), sim.address().toString());
    login.exec();
    if (!loggedIn) {
        std::fprintf(stderr, "talvero-tour: not logged in to the simulator\n");
        return 1;
    }

    int shots = 0;
    WindowTour tour(sim, [&](QWidget *window, const QString &name) {
        // The extension monitor stays on top: out of the others' pictures.
        QList<QWidget *> hidden;
        for (QWidget *other : QApplication::topLevelWidgets()) {
            if (other != window->window() && other->isVisible() && qobject_cast<StickyBuddyList *>(other)) {
                other->hide();
                hidden << other;
            }
        }
        const QPointer<QWidget> guard(window);
        QTest::qWait(400); // the window manager's frame and any slide-in settle
        if (!guard)
            return; // a pop-up gone by itself
        const QRect frame = window->window()->frameGeometry();
        const QPixmap shot = window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
        for (QWidget *other : qAsConst(hidden))
            other->show();
        if (!guard)
            return;
        QString file = QString(name).replace(QRegularExpression(QStringLiteral("[^\\w]+")), QStringLiteral("-"));
        file = QStringLiteral("%1-%2.png").arg(++shots, 2, 10, QLatin1Char('0')).arg(file.toLower());
        if (!shot.save(dir.filePath(file)))
            std::fprintf(stderr, "talvero-tour: cannot write %s\n", qPrintable(dir.filePath(file)));
        std::printf("%s\n", qPrintable(dir.filePath(file)));
        std::fflush(stdout);
    });
    const QString missing = tour.run({QStringLiteral("0711 5550123"), QStringLiteral("Anna"), QStringLiteral("Meyer"),
                                      QStringLiteral("Meyer & Söhne GmbH")},
                                     QStringLiteral("1-c1"), 10, 2);
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "talvero-tour: waited in vain for %s\n", qPrintable(missing));
        return 1;
    }
    return 0;
}
