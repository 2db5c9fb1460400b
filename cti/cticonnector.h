#pragma once

#include "ctimessage.h"
#include "ctisocket.h"
#include "keylist.h"

#include <QAbstractSocket>
#include <QImage>
#include <QList>
#include <QVector>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVariant>

#include <memory>

class Line;
class User;
class Phone;
class Queue;
class ForwardPreset;
class Addressbook;
class Addresses;
class UCItem;

//! The one party that talks to the CTI server: owns the WebSocket, logs in, keeps the link alive,
//! reconnects silently after a drop, dispatches every incoming message by name and caches records.
//! Records in the maps are owned by the connector; records handed out by signals without being
//! kept belong to their receivers.
class CTIConnector final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY(CTIConnector)

public:
    static CTIConnector *instance();

    static constexpr int port = 28888;
    static constexpr int sendQueueIntervalMs = 20;
    static constexpr int pingIntervalMs = 15000;
    static constexpr int reconnectIntervalMs = 5000;
    //! The silent attempt whose failure is reported as connectionLost().
    static constexpr int silentAttemptLimit = 3;
    //! A connection attempt that has not completed its handshake by then is given up; so is one
    //! whose login has not been answered that long after the handshake.
    static constexpr int connectTimeoutMs = 15000;
    //! Silence (no pong, no message) for two whole ping intervals means the link is dead.
    static constexpr int deadLinkTicks = 2;
    //! A link check's ping unanswered this long means the link is dead.
    static constexpr int linkCheckTimeoutMs = 2000;
    //! The contacts of a page are handed out while the pass's bulk work (see PassBudget) stays
    //! within this, the rest in later passes, so the windows stay responsive while a book of
    //! thousands loads.
    static constexpr int addressSliceMs = 3;
    //! Received texts handled in one pass of the event loop; the rest wait for the next pass.
    static constexpr int dispatchBudgetMs = 5;

    QString getCurrentUsername() const { return m_username; }
    QString getCurrentHost() const { return m_host; }
    QString getPlaintextPw() const { return m_password; }

    //! Main thread only. Dropped when there is no connected socket.
    void sendMessage(CTIMessage &message);
    //! Any thread; sent by the main thread within one send-queue tick.
    void queueMessage(CTIMessage &message);
    void startPing();
    //! The keep-alive interval, pingIntervalMs unless set otherwise (tests shorten it).
    void setPingIntervalMs(int intervalMs);
    //! The handling of received texts per pass of the event loop, dispatchBudgetMs unless set
    //! otherwise (benchmarks that time each text's handling lift it, tests lower it).
    void setDispatchBudgetMs(int budgetMs) { m_dispatchBudgetMs = std::max(0, budgetMs); }

    void handleEvent(CTIMessage &message);
    void handleResponse(CTIMessage &message);

    void onUcItemAdded(UCItem *item);
    void onAddressAdded(Addresses *address);
    void onAddressesLoadingFinished(const QString &bookId);

    //! True once the first login was accepted; never cleared.
    bool isLoggedIn() const { return m_loggedIn; }
    int silentReconnectAttempts() const { return m_silentReconnectAttempts; }
    //! The silent reconnection timer runs.
    bool isReconnecting() const { return m_reconnectTimer->isActive(); }
    //! The stored record of a colleague, valid until jabberBuddyDeleted() hands it out; null if unknown.
    User *buddy(const QString &id) const { return m_buddies.value(id); }
    //! A page of contacts is being parsed or handed out, or messages wait behind one.
    bool hasMessagesInHand() const { return isHandlingPage() || !m_deferredTexts.isEmpty(); }

public slots:
    void login(const QString &username, const QString &password, const QString &server);
    void reconnect();
    void silentReconnect();
    void checkSendQueue();
    void sendPing();
    void onPong(quint64 elapsedTime, const QByteArray &payload);
    void onSocketConnected();
    void onSocketError(QAbstractSocket::SocketError error);
    void onDisconnect();
    void onMessage(const QString &text);
    //! For when the link may have died unnoticed (the machine woke, a network came back). Between
    //! silent attempts it starts the next one at once; on a link it pings at once, and a ping
    //! unanswered within linkCheckTimeoutMs or a drop meanwhile ends the link as a drop would, with
    //! the silent reconnection starting at once. An attempt under way, and a check, are left to run.
    void checkLinkNow();

    // Lines and call control (cticonnector_lines.cpp)
    void requestLineStatus();
    void dialNumber(const QString &number);
    void pickupExtension(const QString &extension);
    void hangup(const QString &callId);
    void hold(const QString &callId);
    void holdRetrieve(const QString &callId);
    void transfer(const QString &callId, const QString &target);
    void record(const QString &callId);

    // Buddies and presence (cticonnector_buddies.cpp)
    void requestJabberBuddies();

    // Phones, queues, DND and forwarding (cticonnector_phones.cpp)
    void requestPhoneConfig();
    void setActiveForwardPreset(const QString &presetId);
    void loginPhone(const QString &phoneId);
    void logoutPhone(const QString &phoneId);
    void setDndOn();
    void setDndOff();
    void loginQueue(const QString &queueId);
    void logoutQueue(const QString &queueId);

    // Address books (cticonnector_addresses.cpp)
    void requestAddressBooks();
    void requestAddresses(const QString &bookId);
    void saveAddress(Addresses *address);
    void deleteAddress(const QString &addressId);
    void requestAddressPicture(const QString &addressId);
    void saveAddressPicture(const QString &addressId, const QImage &image);
    void requestContactTypes();

    // Conversation items, queue calls and model requests (cticonnector_ucitems.cpp)
    void requestUCItems();
    void requestModels(const QString &name, const QMap<QString, QVariant> &attributes, const QString &sort, int limit,
                       int offset);

public:
    void requestQueueCalls(const QString &queueId);

signals:
    //! The first accepted login of the process.
    void loginSuccess();
    //! Every later accepted login (after a silent or user-triggered reconnection).
    void reconnectSuccess();
    //! A reconnect() attempt failed before its login was accepted (no connection, a drop, or no
    //! login answer within connectTimeoutMs); emitted once per failed attempt. A refused login is
    //! loginFailed() instead.
    void reconnectFailed();
    //! The server refused the credentials (status 403).
    void loginFailed();
    //! No connection could be made, or its login went unanswered, before any login was accepted.
    void connectFailed();
    //! The third silent reconnection attempt failed, or the server refused the login of a silent
    //! attempt (after loginFailed()); only reconnect() tries again from here.
    void connectionLost();
    //! A call id reported for the first time; the connector owns the line while it is open (in the
    //! lines map).
    void lineOpenend(Line *line);
    //! The open line's record, updated in place: by an event, or by a "requestLineStatus" that
    //! reports the call again (as after a reconnection).
    void lineChanged(Line *line);
    //! Emitted after the line left the map (state 3 or more). Ownership passes to the receivers
    //! only if one adopts the line by giving it a parent (QObject::setParent) in its slot. Otherwise
    //! the connector deletes it (deleteLater) once every receiver is done: those called directly and
    //! those queued on the main thread by this emission. Do not keep the pointer beyond the slot
    //! without adopting it: copy what is needed instead.
    void lineClosed(Line *line);
    //! A colleague seen for the first time; the connector keeps it until a buddy list no longer
    //! lists it (jabberBuddyDeleted()).
    void jabberBuddyAdded(User *buddy);
    //! After a presence event, the stored record. For a colleague listed again in a buddy list, a
    //! fresh record with the values just read: the connector owns it and frees it once the next
    //! buddy list arrives, so receivers must not keep it.
    void jabberBuddyChanged(User *buddy);
    //! A buddy list no longer lists the colleague: emitted after the record left the map, once the
    //! whole list has been announced. Ownership as lineClosed().
    void jabberBuddyDeleted(User *buddy);
    //! The connector keeps the phone until a configuration no longer lists it (phoneRemoved()); a
    //! later configuration with the same id updates this same record and announces it again.
    void phoneAdded(Phone *phone);
    void phoneChanged(Phone *phone);
    //! A configuration no longer lists the phone: emitted after the record left the map, once the
    //! configuration's phones have been announced. Ownership as lineClosed().
    void phoneRemoved(Phone *phone);
    //! As phoneAdded().
    void queueAdded(Queue *queue);
    void queueChanged(Queue *queue);
    //! As phoneRemoved().
    void queueRemoved(Queue *queue);
    //! Emitted on the main thread. A receiver that keeps the item adopts it by giving it a parent
    //! (QObject::setParent) in its slot; an item that no receiver adopted is deleted (deleteLater)
    //! once every receiver, direct or queued on the main thread, is done with it.
    void queueCallAdded(UCItem *item);
    //! After the queueCallAdded() of every call a "requestQueueCalls" answer lists, also of one
    //! that lists none: the queue holds no other call. Not for an answer without a list.
    void queueCallsListed();
    //! A conversation item, living on the main thread. Emitted on the main thread for a call that
    //! ended, and on a worker thread for the items of a "requestUCItems" response (main-thread
    //! receivers get those queued, in member-name order, in batches). Ownership as queueCallAdded():
    //! adopt the item with setParent() in the slot to keep it; an item nobody adopted is deleted
    //! (deleteLater) once every main-thread receiver has had it.
    void ucItemAdded(UCItem *item);
    //! The connector owns the preset and frees it once the next phone configuration arrives, so
    //! receivers must not keep it.
    void forwardPresetAdded(ForwardPreset *preset);
    //! A configuration no longer lists the preset; after its presets have been announced.
    void forwardPresetRemoved(const QString &presetId);
    void activeForwardPresetChanged(const QString &presetId);
    void dialPrefixChanged(const QString &prefix);
    //! A new record for every book, contact, changed contact and saved contact. Ownership as
    //! queueCallAdded(): a receiver that keeps the record adopts it with setParent() in its slot;
    //! one nobody adopted is deleted once every receiver is done. With no receiver connected no
    //! record is made. A changed contact comes as addressAdded(); receivers replace that id.
    void addressBookAdded(Addressbook *book);
    void addressAdded(Addresses *address);
    void addressSaved(Addresses *address);
    void addressDeleted(const QString &addressId);
    void addressPictureSet(const QString &addressId);
    //! After the addressAdded() of the book's last page; also for a page that is empty, has a
    //! limit below 1, or would ask again for a page already asked for.
    void addressesLoadingFinished(const QString &bookId);
    void contactTypesAvailable(const QStringList &types);
    void addressPictureAvailable(const QPixmap &pixmap, const QString &addressId);
    //! Only for a phone configuration or change that carries the state: one without it says nothing.
    void dndStatusChanged(const bool &dndIsEnabled);

private:
    CTIConnector();
    ~CTIConnector() override;

    void onConnectTimeout();
    //! Parses and dispatches one received text (see onMessage()).
    void dispatchText(const QString &text);
    void dispatchObject(const QJsonObject &root);
    //! A long page answer is parsed on the thread pool; false when the text is none.
    bool startPageParse(const QString &text);
    void onPageParsed(const QJsonObject &root);
    //! Texts that came while a page was parsed or handed out, or after the pass's budget was
    //! spent, in the order they came; as many as the pass's budget allows.
    void dispatchDeferredTexts();
    //! True, with the next pass asked for, once this pass of the event loop has spent the budget.
    bool dispatchPassSpent();
    bool isHandlingPage() const { return m_addressPage || m_parsingPage; }

    //! Once every receiver, direct or queued, is done with a handed-out record, deletes it unless a
    //! receiver adopted it (gave it a parent). What is still pending at exit is freed then.
    void releaseUnlessAdopted(QObject *record);
    void abandonSocket();
    void dropLinkIfStillSilent();
    void dropDeadLink();
    void onLinkCheckTimeout();
    //! The next silent attempt on the next pass of the event loop, if the attempts run.
    void reconnectAtOnce();
    //! Once the silent attempts are used up: stop them and report the loss; true if it did.
    bool giveUpSilentReconnection();
    //! Reports a pending reconnect() as failed; true if one was pending.
    bool failUserReconnect();

    // Events
    void handleEvent_updateUserPresence(CTIMessage &message);
    void handleEvent_updateLineStatus(CTIMessage &message);
    void handleEvent_addressAdded(CTIMessage &message);
    void handleEvent_addressChanged(CTIMessage &message);
    void handleEvent_addressDeleted(CTIMessage &message);
    void handleEvent_contactTypesChanged(CTIMessage &message);
    void handleEvent_phoneConfigChanged(CTIMessage &message);
    void handleEvent_phoneChanged(CTIMessage &message);
    void handleEvent_queueChanged(CTIMessage &message);
    void handleEvent_newQueueCall(CTIMessage &message);
    void handleEvent_agentChanged(CTIMessage &message);

    // Responses
    void handleResponse_login(CTIMessage &message);
    void handleResponse_requestLineStatus(CTIMessage &message);
    void handleResponse_requestUCItems(CTIMessage &message);
    void handleResponse_getAddressbooks(CTIMessage &message);
    void handleResponse_getAddresses(CTIMessage &message);
    void handleResponse_saveAddress(CTIMessage &message);
    void handleResponse_deleteAddress(CTIMessage &message);
    void handleResponse_setAddressPicture(CTIMessage &message);
    void handleResponse_getAddressPicture(CTIMessage &message);
    void handleResponse_getContactTypes(CTIMessage &message);
    void handleResponse_requestJabberBuddies(CTIMessage &message);
    void handleResponse_requestPhoneConfig(CTIMessage &message);
    void handleResponse_requestQueueCalls(CTIMessage &message);

    struct Route
    {
        QLatin1String name;
        void (CTIConnector::*handler)(CTIMessage &);
    };
    static const Route eventRoutes[];
    static const Route responseRoutes[];
    static const Route *findRoute(const Route *routes, const QString &name);

    CTISocket m_socket;
    QMutex m_sendQueueLock;
    QList<CTIMessage> m_sendQueue;
    QTimer m_sendQueueTimer;
    QMap<QString, Line *> m_lines;
    QMap<QString, User *> m_buddies;
    QMap<QString, Phone *> m_phones;
    QMap<QString, Queue *> m_queues;
    QString m_host;
    QString m_username;
    QString m_password;
    QTimer *m_pingTimer = nullptr;
    QTimer *m_reconnectTimer = nullptr;
    bool m_loggedIn = false;
    bool m_resyncingLines = false; // a line status asked for after a reconnection is awaited
    int m_silentReconnectAttempts = 0;

    QTimer m_connectTimeout;
    //! Ping ticks in a row with nothing heard from the server (no pong, no message).
    int m_silentPingTicks = 0;
    int m_pingIntervalMs = pingIntervalMs;
    bool m_heardSinceLastTick = false;
    QTimer m_linkCheck;
    bool m_linkCheckAnswered = false;
    //! A reconnect() attempt is under way until its login is answered; its failure is reported
    //! as reconnectFailed().
    bool m_userReconnectPending = false;
    //! A silent reconnection's login is awaiting the server's answer.
    bool m_silentLoginPending = false;
    //! Handed-out records not yet looked at by a release pass, and those a first pass has seen,
    //! which the second pass (queued behind their receivers' queued calls) deletes.
    QVector<QPointer<QObject>> m_pendingReleases;
    QVector<QPointer<QObject>> m_releasing;
    bool m_releasePassQueued = false;
    //! Counts the sockets login() made: which link a request went out on.
    int m_linkSerial = 0;
    //! The current link's serial while its socket is connected; 0 when a request would be lost.
    int sendingLink() const;

    // Address books and contacts (cticonnector_addresses.cpp)
public:
    //! A contact of a page with its values made, ready to become a record: made on the thread that
    //! parsed the page, turned into an Addresses on the main thread.
    struct PreparedContact
    {
        QString id;
        KeyList keys;
        QVector<QVariant> values;
        //! Keys that cannot form a key list (see KeyList::assign()) go as a map.
        QMap<QString, QVariant> map;
        bool asMap = false;
    };

private:
    //! A page whose contacts are being handed out, slice by slice.
    struct AddressPage
    {
        CTIMessage message;     // its bookid, limit and offset
        int contactCount = 0;
        // Prepared here, from the parsed page, as the slices go.
        QJsonObject contacts;
        int next = 0;
        KeyList keys;               // of the contact before, shared while the keys repeat
        QVector<QVariant> previous; // its values, whose equal strings are shared
        // Prepared by the worker that parsed the page, arriving in batches.
        bool offThread = false;
        bool complete = true;
        QVector<PreparedContact> prepared;
        int preparedNext = 0;
        bool handingOut = false;
    };
    void continueAddressPage();
    void scheduleAddressSlice();
    //! Asks for the book's next page, or reports the book complete.
    void finishAddressPage(CTIMessage &message, int contactCount);
    //! On the worker: parses the text; a page's contacts are prepared there and sent over in batches.
    void preparePage(QString text);
    void onPageStarted(const CTIMessage &message, int contactCount);
    void onContactsPrepared(const QVector<PreparedContact> &contacts, bool last);
    std::unique_ptr<AddressPage> m_addressPage;
    QList<CTIMessage> m_waitingPages;
    bool m_parsingPage = false;
    QTimer m_nextAddressSlice;
    QStringList m_deferredTexts;
    bool m_dispatchingDeferred = false;
    int m_dispatchBudgetMs = dispatchBudgetMs;
    QTimer m_nextDispatchPass;

    struct AddressPageRequest
    {
        int limit = 0;
        int offset = 0;
        int link = 0; // see sendingLink()
    };
    //! Sends one "getAddresses" page request and remembers it as the book's latest.
    void requestAddressPage(const QString &bookId, int limit, int offset);
    //! After a reconnection: asks again for the book list and the contact types if they are still
    //! unanswered, and for the page each unfinished book was waiting for, unless the current link
    //! already took the request.
    void resumeAddressLoading();
    //! The page last asked for of each book still loading: it stands in for a limit or offset the
    //! server does not echo, and stops paging that would ask for a page again.
    QMap<QString, AddressPageRequest> m_addressPageRequests;
    //! A start-up answer asked for and not heard yet, and the link its request went out on.
    struct AwaitedAnswer
    {
        bool awaited = false;
        int link = 0;
    };
    AwaitedAnswer m_bookList;
    AwaitedAnswer m_contactTypes;

    // Buddies, phones and forwarding (cticonnector_buddies.cpp, cticonnector_phones.cpp)
    //! The object members of a JSON object in member-name order; other members carry nothing.
    static QList<QVariantMap> objectMembers(const QVariant &value);
    //! A full list was answered: records it no longer has leave the map and go out by the removal
    //! signal, released as lineClosed() says.
    template<typename T>
    void dropUnlisted(QMap<QString, T *> &records, const QSet<QString> &listed, void (CTIConnector::*removed)(T *))
    {
        QList<T *> gone;
        for (auto it = records.begin(); it != records.end();) {
            if (listed.contains(it.key())) {
                ++it;
                continue;
            }
            gone.append(it.value());
            it = records.erase(it);
        }
        for (T *record : qAsConst(gone)) {
            record->setParent(nullptr);
            const QPointer<QObject> guard(record);
            emit(this->*removed)(record);
            releaseUnlessAdopted(guard);
        }
    }
    //! Records handed out by signals without a map entry, freed when the next list replaces them.
    QList<User *> m_repeatedBuddies;
    QList<ForwardPreset *> m_forwardPresets;
};
