// Phones, queues, do-not-disturb and call forwarding. Commands change nothing locally: the new
// state comes back as events.
#include "cticonnector.h"
#include "numbercanonizer.h"

#include "forwardpreset.h"
#include "phone.h"
#include "queue.h"
#include "settings.h"

#include <optional>

namespace {
const QString keyId = QStringLiteral("id");
const QString keyValue = QStringLiteral("value");
const QString keyCallForwardPresets = QStringLiteral("callForwardPresets");
const QString keyActiveForwardPreset = QStringLiteral("activeForwardPreset");
const QString keyDialPrefix = QStringLiteral("dialprefix");
const QString keyDndActive = QStringLiteral("dndActive");
const QString keyDnd = QStringLiteral("dnd");
const QString keyPhones = QStringLiteral("phones");
const QString keyQueues = QStringLiteral("queues");
const QString keyPhone = QStringLiteral("phone");
const QString keyAgent = QStringLiteral("agent");


CTIMessage commandWithId(const QString &name, const QString &id)
{
    CTIMessage message = CTIMessage::generateCommand(name);
    message.setValueForKey(keyId, id);
    return message;
}

// Do-not-disturb as a member gives it; a member that is absent, null, an object or a list says
// nothing, and must not switch do-not-disturb off at the PBX (the configure tab sends back what
// it is told).
std::optional<bool> dndMember(const CTIMessage &message, const QString &key)
{
    const QVariant value = message.valueForKey(key);
    const int type = value.userType();
    if (!value.isValid() || type == QMetaType::QVariantMap || type == QMetaType::QVariantList)
        return std::nullopt;
    return value.toBool();
}

enum class Update { Replace, Merge };

// A record known under the id is updated in place rather than swapped for a new object: the
// configure tab's rows point to it and must see the new state.
template<typename T>
T *storeRecord(QMap<QString, T *> &records, const QVariantMap &entry, Update update, QObject *owner)
{
    const QString id = entry.value(keyId).toString();
    T *record = records.value(id);
    if (!record) {
        record = new T;
        record->setParent(owner);
        record->buildFromVariantMap(entry);
        records.insert(id, record);
    } else if (update == Update::Replace) {
        record->replaceFromVariantMap(entry);
    } else {
        record->buildFromVariantMap(entry);
    }
    return record;
}
}

void CTIConnector::requestPhoneConfig()
{
    CTIMessage message = CTIMessage::generateCommand(QStringLiteral("requestPhoneConfig"));
    sendMessage(message);
}

void CTIConnector::setActiveForwardPreset(const QString &presetId)
{
    CTIMessage message = commandWithId(QStringLiteral("setActiveForwardPreset"), presetId);
    sendMessage(message);
}

void CTIConnector::loginPhone(const QString &phoneId)
{
    CTIMessage message = commandWithId(QStringLiteral("loginPhone"), phoneId);
    sendMessage(message);
}

void CTIConnector::logoutPhone(const QString &phoneId)
{
    CTIMessage message = commandWithId(QStringLiteral("logoutPhone"), phoneId);
    sendMessage(message);
}

void CTIConnector::setDndOn()
{
    CTIMessage message = CTIMessage::generateCommand(QStringLiteral("setDnd"));
    message.setValueForKey(keyValue, "1");   // text, not a number or boolean
    sendMessage(message);
}

void CTIConnector::setDndOff()
{
    CTIMessage message = CTIMessage::generateCommand(QStringLiteral("setDnd"));
    message.setValueForKey(keyValue, "0");
    sendMessage(message);
}

void CTIConnector::loginQueue(const QString &queueId)
{
    CTIMessage message = commandWithId(QStringLiteral("loginQueue"), queueId);
    sendMessage(message);
}

void CTIConnector::logoutQueue(const QString &queueId)
{
    CTIMessage message = commandWithId(QStringLiteral("logoutQueue"), queueId);
    sendMessage(message);
}

void CTIConnector::handleResponse_requestPhoneConfig(CTIMessage &message)
{
    // Each list is the server's whole picture: what it no longer lists has gone. A list of another
    // shape says nothing.
    const QVariant presets = message.valueForKey(keyCallForwardPresets);
    if (presets.userType() == QMetaType::QVariantMap) {
        // Receivers were told not to keep the presets; deferred, so a queued delivery still finds them.
        QStringList gone;
        for (ForwardPreset *preset : qAsConst(m_forwardPresets)) {
            gone << preset->id();
            preset->deleteLater();
        }
        m_forwardPresets.clear();
        for (const QVariantMap &entry : objectMembers(presets)) {
            auto *preset = new ForwardPreset;
            preset->setParent(this);
            preset->buildFromVariantMap(entry);
            m_forwardPresets.append(preset);
            gone.removeAll(preset->id());
            emit forwardPresetAdded(preset);
        }
        for (const QString &id : qAsConst(gone))
            emit forwardPresetRemoved(id);
    }

    emit activeForwardPresetChanged(message.valueForKey(keyActiveForwardPreset).toString());

    // Stored before the announcement, so a receiver reading the store sees the new prefix.
    // An empty prefix overwrites the old one: the server's word counts.
    const QString dialPrefix = message.valueForKey(keyDialPrefix).toString();
    Settings::instance()->setValueForKey(NumberCanonizer::dialPrefixSetting, dialPrefix);
    emit dialPrefixChanged(dialPrefix);

    if (const std::optional<bool> dnd = dndMember(message, keyDndActive))
        emit dndStatusChanged(*dnd);

    const auto storeList = [this](auto &records, const QVariant &list, auto added, auto removed) {
        QSet<QString> listed;
        for (const QVariantMap &entry : objectMembers(list)) {
            auto *record = storeRecord(records, entry, Update::Replace, this);
            listed.insert(record->id());
            emit(this->*added)(record);
        }
        if (list.userType() == QMetaType::QVariantMap)
            dropUnlisted(records, listed, removed);
    };
    storeList(m_phones, message.valueForKey(keyPhones), &CTIConnector::phoneAdded, &CTIConnector::phoneRemoved);
    storeList(m_queues, message.valueForKey(keyQueues), &CTIConnector::queueAdded, &CTIConnector::queueRemoved);
}

void CTIConnector::handleEvent_phoneConfigChanged(CTIMessage &message)
{
    emit activeForwardPresetChanged(message.valueForKey(keyActiveForwardPreset).toString());
    if (const std::optional<bool> dnd = dndMember(message, keyDnd))
        emit dndStatusChanged(*dnd);
}

void CTIConnector::handleEvent_phoneChanged(CTIMessage &message)
{
    // Without a phone object there is nothing to file; an object without id goes under "".
    const QVariant phone = message.valueForKey(keyPhone);
    if (phone.userType() != QMetaType::QVariantMap)
        return;
    emit phoneChanged(storeRecord(m_phones, phone.toMap(), Update::Merge, this));
}

// Queue membership changes arrive as "agentChanged".
void CTIConnector::handleEvent_queueChanged(CTIMessage &) {}

void CTIConnector::handleEvent_agentChanged(CTIMessage &message)
{
    const QVariant agent = message.valueForKey(keyAgent);
    if (agent.userType() != QMetaType::QVariantMap)
        return;
    emit queueChanged(storeRecord(m_queues, agent.toMap(), Update::Merge, this));
}
