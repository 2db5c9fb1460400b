#include "pbxsimulator.h"
#include "simaddressbooks.h"
#include "simcalls.h"
#include "simpresence.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QProcess>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString Program = QStringLiteral("talvero-pbx-sim");
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    if (::write(signalPipe[0], &byte, 1) < 0) {
        // Nothing safe to do inside a signal handler.
    }
}

// Qt may only be touched from the event loop, so the handler just wakes it.
bool quitOnTerminationSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return false;
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char byte;
        if (::read(signalPipe[1], &byte, 1) >= 0)
            app.quit();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

// Commands on standard input, one per line, for scripts and tests that drive the PBX side:
//   ring NUMBER [FIRSTNAME [LASTNAME [COMPANY]]]   a call from outside rings at every logged-in user
//   answer CALLID | end CALLID                      the user's phone takes it / the other end hangs up
//   contact ID KEY VALUE | uncontact ID             a colleague changes / removes a contact
//   mute [COMMAND...]                               commands of these names go unanswered (none: all answered)
// Arguments with blanks go in double quotes. Each command answers one line on standard output.
void controlFromStdin(QCoreApplication &app, PbxSimulator &simulator, QTextStream &out)
{
    auto *notifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
    auto buffer = std::make_shared<QByteArray>();
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [notifier, buffer, &simulator, &out] {
        char chunk[4096];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            notifier->setEnabled(false);   // end of input: keep serving
            return;
        }
        buffer->append(chunk, int(n));
        int end;
        while ((end = buffer->indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(buffer->left(end)).trimmed();
            buffer->remove(0, end + 1);
            const QStringList args = QProcess::splitCommand(line);
            if (args.isEmpty())
                continue;
            const QString command = args.first();
            if (command == QLatin1String("ring") && args.size() >= 2) {
                const QStringList ids = simulator.calls().startIncomingCall(
                    args.value(1), args.value(2), args.value(3), args.value(4));
                out << "ringing " << (ids.isEmpty() ? QStringLiteral("-") : ids.join(QLatin1Char(' '))) << Qt::endl;
            } else if (command == QLatin1String("answer") && args.size() == 2) {
                out << (simulator.calls().answerCall(args.at(1)) ? "answered " : "no call ") << args.at(1) << Qt::endl;
            } else if (command == QLatin1String("end") && args.size() == 2) {
                out << (simulator.calls().endCall(args.at(1)) ? "ended " : "no call ") << args.at(1) << Qt::endl;
            } else if (command == QLatin1String("contact") && args.size() == 4) {
                const bool changed = simulator.addressBooks().changeContact(args.at(1), {{args.at(2), args.at(3)}});
                out << (changed ? "changed " : "no contact ") << args.at(1) << Qt::endl;
            } else if (command == QLatin1String("uncontact") && args.size() == 2) {
                const bool removed = simulator.addressBooks().deleteContact(args.at(1));
                out << (removed ? "removed " : "no contact ") << args.at(1) << Qt::endl;
            } else if (command == QLatin1String("leave") && args.size() == 2) {
                out << (simulator.presence().removeColleague(args.at(1)) ? "left " : "no colleague ") << args.at(1)
                    << Qt::endl;
            } else if (command == QLatin1String("mute")) {
                simulator.setUnansweredCommands(args.mid(1));
                out << "muted " << args.mid(1).join(QLatin1Char(' ')) << Qt::endl;
            } else if (command == QLatin1String("unplug") && args.size() == 1) {
                // The cable pulled: every link drops and nobody gets through until it is back.
                simulator.setRefuseConnections(true);
                simulator.dropAllConnections();
                out << "unplugged" << Qt::endl;
            } else if (command == QLatin1String("plug") && args.size() == 1) {
                simulator.setRefuseConnections(false);
                simulator.setFrozen(false);
                out << "plugged" << Qt::endl;
            } else if (command == QLatin1String("freeze") && args.size() == 1) {
                // A link that hangs without closing: nothing is read or answered, not even pings.
                simulator.setFrozen(true);
                out << "frozen" << Qt::endl;
            } else {
                out << "unknown command: " << line << Qt::endl;
            }
        }
    });
}

QString brief(QJsonObject data)
{
    if (data.contains(QStringLiteral("pass")))
        data.insert(QStringLiteral("pass"), QStringLiteral("***"));
    // A page of contacts is megabytes: count its members rather than write them out.
    for (auto it = data.begin(); it != data.end(); ++it) {
        if (it->isObject() && it->toObject().size() > 5)
            *it = QStringLiteral("{%1 members}").arg(it->toObject().size());
    }
    QString text = QString::fromUtf8(QJsonDocument(data).toJson(QJsonDocument::Compact));
    if (text.size() > 200)
        text = text.left(200) % QStringLiteral("...");
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(Program);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulates a PBX's CTI server for the Talvero CTI Client."));
    parser.addHelpOption();
    const QCommandLineOption addressOption(QStringLiteral("address"),
                                           QStringLiteral("Listen on <ip> (default 127.0.0.1)."),
                                           QStringLiteral("ip"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption scenarioOption(QStringLiteral("scenario"),
                                            QStringLiteral("Serve the scenario in <file> (default: the bundled demo)."),
                                            QStringLiteral("file"), QStringLiteral(":/sim/demo.json"));
    const QCommandLineOption controlOption(
        QStringLiteral("control"),
        QStringLiteral("Read commands on standard input: ring NUMBER [FIRST [LAST [COMPANY]]], answer ID, "
                       "end ID, contact ID KEY VALUE, uncontact ID, mute [COMMAND...], unplug, freeze, plug."));
    parser.addOption(addressOption);
    parser.addOption(scenarioOption);
    parser.addOption(controlOption);
    parser.process(app);

    QTextStream out(stdout);
    QTextStream err(stderr);

    QHostAddress address;
    if (!address.setAddress(parser.value(addressOption))) {
        err << Program << ": not an IP address: " << parser.value(addressOption) << Qt::endl;
        return 2;
    }

    PbxSimulator simulator(address);
    QString error;
    if (!simulator.loadScenarioFile(parser.value(scenarioOption), &error)) {
        err << Program << ": " << error << Qt::endl;
        return 2;
    }
    if (!simulator.listen()) {
        err << Program << ": cannot listen on " << simulator.url().toString() << ": "
            << simulator.errorString() << Qt::endl;
        return 1;
    }
    if (!quitOnTerminationSignals(app))
        err << Program << ": cannot catch SIGTERM/SIGINT, they will end it abruptly" << Qt::endl;

    QObject::connect(&simulator, &PbxSimulator::clientConnected, &app, [&] {
        err << Program << ": client connected (" << simulator.connectionCount() << " open)" << Qt::endl;
    });
    QObject::connect(&simulator, &PbxSimulator::clientDisconnected, &app, [&] {
        err << Program << ": client disconnected (" << simulator.connectionCount() << " open)" << Qt::endl;
    });
    QObject::connect(&simulator, &PbxSimulator::commandReceived, &app, [&](const QJsonObject &message) {
        err << Program << ": <- " << message.value(QStringLiteral("name")).toString() << ' '
            << brief(message.value(QStringLiteral("data")).toObject()) << Qt::endl;
    });
    QObject::connect(&simulator, &PbxSimulator::messageSent, &app, [&](const QJsonObject &message) {
        err << Program << ": -> " << message.value(QStringLiteral("type")).toString() << ' '
            << message.value(QStringLiteral("name")).toString() << ' '
            << brief(message.value(QStringLiteral("data")).toObject()) << Qt::endl;
    });
    QObject::connect(&simulator, &PbxSimulator::malformedReceived, &app,
                     [&](const QString &, const QString &problem) {
                         err << Program << ": ignored a frame: " << problem << Qt::endl;
                     });

    if (parser.isSet(controlOption))
        controlFromStdin(app, simulator, out);
    out << Program << ": listening on " << simulator.url().toString() << Qt::endl;
    return app.exec();
}
