// Buddies and presence. Routed from the dispatch tables; the bodies arrive with the protocol work.
#include "cticonnector.h"

void CTIConnector::requestJabberBuddies() {}

void CTIConnector::handleEvent_updateUserPresence(CTIMessage &) {}
void CTIConnector::handleResponse_requestJabberBuddies(CTIMessage &) {}
