// Phones, queues, do-not-disturb and call forwarding. Routed from the dispatch tables; the bodies arrive with the protocol work.
#include "cticonnector.h"

void CTIConnector::requestPhoneConfig() {}
void CTIConnector::setActiveForwardPreset(const QString &) {}
void CTIConnector::loginPhone(const QString &) {}
void CTIConnector::logoutPhone(const QString &) {}
void CTIConnector::setDndOn() {}
void CTIConnector::setDndOff() {}
void CTIConnector::loginQueue(const QString &) {}
void CTIConnector::logoutQueue(const QString &) {}

void CTIConnector::handleEvent_phoneConfigChanged(CTIMessage &) {}
void CTIConnector::handleEvent_phoneChanged(CTIMessage &) {}
void CTIConnector::handleEvent_queueChanged(CTIMessage &) {}
void CTIConnector::handleEvent_agentChanged(CTIMessage &) {}
void CTIConnector::handleResponse_requestPhoneConfig(CTIMessage &) {}
