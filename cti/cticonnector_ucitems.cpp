// Conversation items, queue calls and model requests. Routed from the dispatch tables; the bodies arrive with the protocol work.
#include "cticonnector.h"

void CTIConnector::requestUCItems() {}
void CTIConnector::requestQueueCalls(const QString &) {}
void CTIConnector::requestModels(const QString &, const QMap<QString, QVariant> &, const QString &, int, int) {}

void CTIConnector::handleEvent_newQueueCall(CTIMessage &) {}
void CTIConnector::handleResponse_requestUCItems(CTIMessage &) {}
void CTIConnector::handleResponse_requestQueueCalls(CTIMessage &) {}
