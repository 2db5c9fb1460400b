#pragma once

#include "portalshortcut.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QTimer>
#include <QtTest>

// A shortcut as the stand-in marshals it: written apart from the client's, so a fault shared by
// both sides does not cancel out.
struct Shortcut
{
    QString id;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(Shortcut)

inline QDBusArgument &operator<<(QDBusArgument &argument, const Shortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

inline const QDBusArgument &operator>>(const QDBusArgument &argument, Shortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

namespace StandIn {
inline const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
inline const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");
inline const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");
//! The trigger the stand-in's desktop gives, whatever was wished for.
inline const QString given = QStringLiteral("Ctrl+Alt+P");

inline QVariant shortcutList(const QString &shortcutId, const QString &trigger)
{
    return QVariant::fromValue(QList<Shortcut>{{shortcutId, {{QStringLiteral("trigger_description"), trigger}}}});
}
} // namespace StandIn

// The desktop's portal as far as the client uses it. `fault` names how it strays from a
// well-behaved one (the row names of tst_PortalShortcut::bind); it records what it was asked.
class StandInPortal final : public QDBusVirtualObject
{
public:
    //! How long the "slow user" takes with the desktop's dialog.
    int slowUserMs = 2000;

    StandInPortal(const QDBusConnection &bus, const QString &fault)
        : m_bus(bus)
        , m_fault(fault)
    {
        qDBusRegisterMetaType<Shortcut>();
        qDBusRegisterMetaType<QList<Shortcut>>();
        QVERIFY(m_bus.registerVirtualObject(PortalShortcut::objectPath, this, QDBusConnection::SubPath));
        if (fault != QLatin1String("no portal on the bus"))
            QVERIFY(m_bus.registerService(PortalShortcut::service));
        m_repeater.setInterval(20);
    }

    ~StandInPortal() override
    {
        m_bus.unregisterService(PortalShortcut::service);
        m_bus.unregisterObject(PortalShortcut::objectPath, QDBusConnection::UnregisterTree);
    }

    QString introspect(const QString &) const override { return QString(); }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override
    {
        const QString member = message.member();
        calls << member;
        m_repeater.stop();
        if (member == QLatin1String("CreateSession") || member == QLatin1String("BindShortcuts"))
            requests << requestPath(message);
        if (m_fault == QLatin1String("hangs on ") + member)
            return true;
        if (member == QLatin1String("Register")) {
            registered << message.arguments().value(0).toString();
            m_bus.send(m_fault == QLatin1String("no registry")
                           ? message.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("No such method"))
                           : message.createReply());
        } else if (member == QLatin1String("Get")) {
            if (m_fault == QLatin1String("no global shortcuts")
                || message.arguments() != QVariantList{StandIn::shortcutsInterface, QStringLiteral("version")})
                m_bus.send(message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("No such interface")));
            else
                m_bus.send(message.createReply(QVariant::fromValue(QDBusVariant(
                    m_fault == QLatin1String("version of wrong type") ? QVariant(QStringLiteral("1")) : QVariant(1u)))));
        } else if (member == QLatin1String("CreateSession")) {
            createSession(message);
        } else if (member == QLatin1String("BindShortcuts")) {
            bindShortcuts(message);
        } else {
            if (member == QLatin1String("Close"))
                closed << message.path();
            m_bus.send(message.createReply());
        }
        return true;
    }

    void emitSignal(const QString &path, const QString &interface, const QString &member, const QVariantList &arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(path, interface, member);
        signal.setArguments(arguments);
        QVERIFY(m_bus.send(signal));
    }

    void press(const QString &inSession, const QString &shortcutId)
    {
        emitSignal(PortalShortcut::objectPath, StandIn::shortcutsInterface, QStringLiteral("Activated"),
                   {QVariant::fromValue(QDBusObjectPath(inSession)), shortcutId, quint64(1234), QVariantMap()});
    }

    QStringList calls;
    QStringList registered;
    //! What the last BindShortcuts asked for: id, description, preferred trigger, parent window.
    QStringList bound;
    QString session;
    //! The requests handed out, and the sessions and requests the client closed.
    QStringList requests;
    QStringList closed;

private:
    void createSession(const QDBusMessage &message)
    {
        if (m_fault == QLatin1String("CreateSession error")) {
            m_bus.send(message.createErrorReply(QStringLiteral("org.freedesktop.portal.Error.Failed"),
                                                QStringLiteral("no backend")));
            return;
        }
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().value(0));
        session = PortalShortcut::objectPath + QStringLiteral("/session/") + sender(message) + QLatin1Char('/')
            + options.value(QStringLiteral("session_handle_token")).toString();
        QVariantMap results{{QStringLiteral("session_handle"), QVariant::fromValue(QDBusObjectPath(session))}};
        if (m_fault == QLatin1String("session handle as string"))
            results[QStringLiteral("session_handle")] = session;
        else if (m_fault == QLatin1String("session handle not a path"))
            results[QStringLiteral("session_handle")] = QStringLiteral("session 1");
        else if (m_fault == QLatin1String("no session handle"))
            results.clear();
        answer(message, options, m_fault == QLatin1String("session refused") ? 2 : 0, results);
    }

    void bindShortcuts(const QDBusMessage &message)
    {
        const QVariantList arguments = message.arguments();
        if (message.signature() != QLatin1String("oa(sa{sv})sa{sv}")
            || arguments.at(0).value<QDBusObjectPath>().path() != session) {
            m_bus.send(message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("bad arguments")));
            return;
        }
        const Shortcut wanted = qdbus_cast<QList<Shortcut>>(arguments.at(1)).value(0);
        bound = QStringList{wanted.id, wanted.properties.value(QStringLiteral("description")).toString(),
                            wanted.properties.value(QStringLiteral("preferred_trigger")).toString(),
                            arguments.at(2).toString()};
        QVariantMap results{{QStringLiteral("shortcuts"), StandIn::shortcutList(wanted.id, StandIn::given)}};
        if (m_fault == QLatin1String("shortcut missing"))
            results[QStringLiteral("shortcuts")] = StandIn::shortcutList(QStringLiteral("other"), StandIn::given);
        else if (m_fault == QLatin1String("shortcuts of wrong type"))
            results[QStringLiteral("shortcuts")] = QVariantMap{{wanted.id, StandIn::given}};
        const uint response = m_fault == QLatin1String("user cancels") ? 1 : m_fault == QLatin1String("binding fails") ? 2 : 0;
        answer(message, qdbus_cast<QVariantMap>(arguments.at(3)), response, results);
    }

    // Replies with the request's handle and sends the Response on it, in the order (and at the
    // time) the fault says.
    void answer(const QDBusMessage &message, const QVariantMap &options, uint response, const QVariantMap &results)
    {
        const QString token = options.value(QStringLiteral("handle_token")).toString();
        if (token.isEmpty() || m_tokens.contains(token)) {
            m_bus.send(message.createErrorReply(QDBusError::InvalidArgs, QStringLiteral("handle_token used before")));
            return;
        }
        m_tokens << token;
        const QString path = requests.constLast();
        const QVariantList arguments = m_fault == QLatin1String("Response of wrong types")
            ? QVariantList{QStringLiteral("done")}
            : QVariantList{response, results};
        const auto respond = [this, path, arguments] {
            emitSignal(path, StandIn::requestInterface, QStringLiteral("Response"), arguments);
        };
        const QDBusMessage reply = message.createReply(m_fault == QLatin1String("request handle of wrong type")
                                                           ? QVariant(path)
                                                           : QVariant::fromValue(QDBusObjectPath(path)));
        if (m_fault == QLatin1String("answers before replying")) {
            respond();
            m_bus.send(reply);
        } else if (m_fault == QLatin1String("own request paths")) {
            // No telling when the client listens on a path it learnt only now: repeat until it asks on.
            m_bus.send(reply);
            QObject::disconnect(&m_repeater, nullptr, nullptr, nullptr);
            QObject::connect(&m_repeater, &QTimer::timeout, this, respond);
            m_repeater.start();
        } else {
            m_bus.send(reply);
            const bool slowUser = m_fault == QLatin1String("slow user") && message.member() == QLatin1String("BindShortcuts");
            QTimer::singleShot(slowUser ? slowUserMs : 0, this, respond);
        }
    }

    QString requestPath(const QDBusMessage &message) const
    {
        if (m_fault == QLatin1String("own request paths"))
            return PortalShortcut::objectPath + QStringLiteral("/request/own/r%1").arg(requests.size());
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().value(message.arguments().size() - 1));
        return PortalShortcut::objectPath + QStringLiteral("/request/") + sender(message) + QLatin1Char('/')
            + options.value(QStringLiteral("handle_token")).toString();
    }

    static QString sender(const QDBusMessage &message)
    {
        return message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    }

    QDBusConnection m_bus;
    const QString m_fault;
    QStringList m_tokens;
    QTimer m_repeater;
};
