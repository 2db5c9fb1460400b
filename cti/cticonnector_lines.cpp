// Lines and call control. Routed from the dispatch tables; the bodies arrive with the protocol work.
#include "cticonnector.h"

void CTIConnector::requestLineStatus() {}
void CTIConnector::dialNumber(const QString &) {}
void CTIConnector::pickupExtension(const QString &) {}
void CTIConnector::hangup(const QString &) {}
void CTIConnector::hold(const QString &) {}
void CTIConnector::holdRetrieve(const QString &) {}
void CTIConnector::transfer(const QString &, const QString &) {}
void CTIConnector::record(const QString &) {}

void CTIConnector::handleEvent_updateLineStatus(CTIMessage &) {}
void CTIConnector::handleResponse_requestLineStatus(CTIMessage &) {}
