// Handlers of the telephony domains (lines, buddies, phones and queues, address books,
// conversation items). They are routed already; their bodies arrive with the protocol work.
#include "cticonnector.h"

void CTIConnector::handleEvent_updateUserPresence(CTIMessage &) {}
void CTIConnector::handleEvent_updateLineStatus(CTIMessage &) {}
void CTIConnector::handleEvent_addressAdded(CTIMessage &) {}
void CTIConnector::handleEvent_addressChanged(CTIMessage &message)
{
    handleEvent_addressAdded(message);
}
void CTIConnector::handleEvent_addressDeleted(CTIMessage &) {}
void CTIConnector::handleEvent_contactTypesChanged(CTIMessage &) {}
void CTIConnector::handleEvent_phoneConfigChanged(CTIMessage &) {}
void CTIConnector::handleEvent_phoneChanged(CTIMessage &) {}
void CTIConnector::handleEvent_queueChanged(CTIMessage &) {}
void CTIConnector::handleEvent_newQueueCall(CTIMessage &) {}
void CTIConnector::handleEvent_agentChanged(CTIMessage &) {}

void CTIConnector::handleResponse_requestLineStatus(CTIMessage &) {}
void CTIConnector::handleResponse_requestUCItems(CTIMessage &) {}
void CTIConnector::handleResponse_getAddressbooks(CTIMessage &) {}
void CTIConnector::handleResponse_getAddresses(CTIMessage &) {}
void CTIConnector::handleResponse_saveAddress(CTIMessage &) {}
void CTIConnector::handleResponse_deleteAddress(CTIMessage &) {}
void CTIConnector::handleResponse_setAddressPicture(CTIMessage &) {}
void CTIConnector::handleResponse_getAddressPicture(CTIMessage &) {}
void CTIConnector::handleResponse_getContactTypes(CTIMessage &) {}
void CTIConnector::handleResponse_requestJabberBuddies(CTIMessage &) {}
void CTIConnector::handleResponse_requestPhoneConfig(CTIMessage &) {}
void CTIConnector::handleResponse_requestQueueCalls(CTIMessage &) {}
