#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QDBusMessage;

//! One system-wide shortcut held through the desktop's GlobalShortcuts portal
//! (org.freedesktop.portal.GlobalShortcuts on the session bus), for desktops where a program
//! cannot grab keys itself (Wayland). The desktop asks the user to confirm or change the trigger
//! and reports the one it uses; presses come as activated().
//! Everything the portal sends is checked before use: a malformed answer counts as a refusal
//! (or, while probing for the portal, as no portal), never as a crash.
class PortalShortcut final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(PortalShortcut)

public:
    enum class State {
        Idle,    //!< nothing asked yet, or closed
        Binding, //!< waiting for the portal (and the user's answer to the desktop's dialog)
        Bound,   //!< the desktop holds the shortcut; trigger() says which key, if it said
        Refused, //!< the portal is there but did not bind it (the user cancelled, a refused trigger,
                 //!< the desktop ended the session)
        Absent,  //!< no portal, one without global shortcuts, or one that did not answer in time
    };
    Q_ENUM(State)

    //! The portal's service and object, and the id this program registers under.
    static const QString service;
    static const QString objectPath;
    //! How long a call to the portal may take before it counts as absent (the user's answer to the
    //! desktop's dialog has no limit).
    static constexpr int callTimeoutMs = 5000;

    explicit PortalShortcut(const QDBusConnection &bus, QObject *parent = nullptr);
    //! Closes the session, without signals.
    ~PortalShortcut() override;

    //! Asks the desktop for the shortcut: registers appId where the portal wants that (ignored
    //! where it does not; skipped when empty), opens a session and binds one shortcut (id,
    //! description, the trigger wished for in the portal's notation, e.g. "CTRL+ALT+p"). Returns
    //! at once; stateChanged() follows. A bind while one is in progress or bound closes the old
    //! session first.
    void bind(const QString &appId, const QString &id, const QString &description, const QString &preferredTrigger);
    //! Closes the session (without waiting for the portal): the desktop lets the key go. Answers
    //! still on their way are ignored.
    void close();

    //! Replaces callTimeoutMs for the calls that follow.
    void setCallTimeoutMs(int ms) { m_callTimeoutMs = ms; }

    State state() const { return m_state; }
    //! The desktop's description of the trigger ("Ctrl+Alt+P"); empty when it gave none.
    QString trigger() const { return m_trigger; }
    //! Why the state is Refused or Absent, for the log and the options (plain text, English).
    QString problem() const { return m_problem; }

signals:
    //! After every change of state() or trigger().
    void stateChanged();
    //! The user pressed the bound trigger.
    void activated();

private slots:
    //! Every signal from the portal arrives here (QDBusConnection::connect takes only SLOT()).
    void route(const QDBusMessage &signal);

private:
    using ReplyHandler = void (PortalShortcut::*)(const QDBusMessage &reply);
    using ResponseHandler = void (PortalShortcut::*)(uint response, const QVariantMap &results);

    void probe();
    void createSession();
    void bindShortcuts();
    void registered(const QDBusMessage &reply);
    void probed(const QDBusMessage &reply);
    void requestStarted(const QDBusMessage &reply);
    void sessionCreated(uint response, const QVariantMap &results);
    void shortcutsBound(uint response, const QVariantMap &results);

    void onResponse(const QDBusMessage &signal);
    void onActivated(const QDBusMessage &signal);
    void onShortcutsChanged(const QDBusMessage &signal);
    void onSessionClosed(const QDBusMessage &signal);

    //! Calls the portal with the call time-out; the reply reaches onReply unless the request was
    //! answered, something newer asked or the session closed meanwhile. A time-out or a missing
    //! portal ends the binding as Absent without reaching onReply.
    void call(const QDBusMessage &message, ReplyHandler onReply);
    //! Calls a method of the portal that answers through a Request object: listens at the
    //! request's predicted path before calling, so a quick answer is not missed.
    void callWithRequest(QDBusMessage message, QVariantMap options, ResponseHandler onResponse);
    void stopListeningToRequest();
    bool listen(const QString &path, const QString &interface, const QString &member, bool on = true);
    //! Closes the session and any open request on the portal's side (one the desktop closed
    //! already answers with an error, unread) and forgets both; no signals.
    void release();
    //! Releases, then Absent or Refused.
    void fail(State state, const QString &problem);
    void setState(State state, const QString &problem = QString());
    QString nextToken();

    QDBusConnection m_bus;
    int m_callTimeoutMs = callTimeoutMs;
    State m_state = State::Idle;
    QString m_trigger;
    QString m_problem;

    QString m_id;
    QString m_description;
    QString m_preferredTrigger;
    QString m_session;
    QStringList m_requestPaths;
    ResponseHandler m_onResponse = nullptr;
    //! Raised whenever earlier calls' replies no longer matter.
    quint64 m_serial = 0;
};
