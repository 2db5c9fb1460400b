#include "buildinfo.h"
#include "cticlient.h"
#include "singleinstance.h"
#include "tellink.h"
#include "webenginemapview.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstring>

namespace {
const QString desktopFileName = QStringLiteral("eu.talvero.CTIClient");

void describe(QCommandLineParser *parser)
{
    parser->setApplicationDescription(QCoreApplication::translate(
        "main", "Telephony client for Talvero phone systems. Given a telephone link (tel:, callto:, sip:), "
                "it offers the number to dial; a client already running takes the link over."));
    parser->addHelpOption();
    parser->addVersionOption();
    parser->addPositionalArgument(QStringLiteral("link"), QCoreApplication::translate("main", "A telephone link to dial."),
                                  QStringLiteral("[link]"));
    parser->addOption(QCommandLineOption(
        QStringLiteral("dial-selection"),
        QCoreApplication::translate("main", "Offer the number marked in any program to dial, as the hot key does "
                                            "(for a keyboard shortcut of the desktop's).")));
}

// Help and version need no display: answered before the window system is opened.
bool asksForHelpOrVersion(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"-h", "--help", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}
} // namespace

int main(int argc, char *argv[])
{
    if (asksForHelpOrVersion(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationVersion(BuildInfo::version());
        QCommandLineParser parser;
        describe(&parser);
        parser.process(app); // prints and exits
        return 0;
    }

    // The desktop's startup notification, for the window a running client shows on our behalf;
    // Qt takes it out of the environment as it starts.
    const QByteArray startupId = qgetenv("DESKTOP_STARTUP_ID");
    WebEngineMapView::install();
    // Icons then come from their @2x/@3x renderings on a dense screen instead of being magnified.
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(BuildInfo::version());
    QGuiApplication::setDesktopFileName(desktopFileName);
    QCommandLineParser parser;
    describe(&parser);
    parser.process(app);
    const QStringList links = parser.positionalArguments();
    const bool dialSelection = parser.isSet(QStringLiteral("dial-selection"));
    if (dialSelection && !links.isEmpty()) {
        std::fprintf(stderr, "%s\n",
                     qPrintable(QCoreApplication::translate("main", "Either a telephone link or --dial-selection.")));
        return 2;
    }
    for (const QString &link : links) {
        if (!TelLink::isLink(link)) {
            std::fprintf(stderr, "%s\n",
                         qPrintable(QCoreApplication::translate("main", "Not a telephone link: %1").arg(link)));
            return 2;
        }
    }
    // A running client would drop it, and this start would wait in vain for an answer.
    if (!SingleInstance::fits(links)) {
        std::fprintf(stderr, "%s\n", qPrintable(QCoreApplication::translate("main", "The telephone link is too long.")));
        return 2;
    }

    SingleInstance instance(SingleInstance::defaultName());
    switch (instance.start(dialSelection ? CTIClient::dialSelectionRequest(startupId) : links)) {
    case SingleInstance::Role::HandedOver:
        return 0;
    case SingleInstance::Role::Failed:
        std::fprintf(stderr, "%s\n",
                     qPrintable(QCoreApplication::translate("main", "The Talvero CTI Client already runs, "
                                                                    "but neither answers nor ends.")));
        return 1;
    case SingleInstance::Role::Running:
        break;
    }

    CTIClient client;
    QObject::connect(&instance, &SingleInstance::requestReceived, &client, &CTIClient::handleRequest);
    // A restart started now waits for this process to end instead of handing over to it.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &instance, &SingleInstance::stopListening);
    for (const QString &link : links)
        client.offerLink(link);
    if (dialSelection)
        client.dialSelection();
    client.exec();
    return app.exec();
}
