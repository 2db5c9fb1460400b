// Address books, contacts, contact types and pictures. Routed from the dispatch tables; the bodies arrive with the protocol work.
#include "cticonnector.h"

void CTIConnector::requestAddressBooks() {}
void CTIConnector::requestAddresses(const QString &) {}
void CTIConnector::saveAddress(Addresses *) {}
void CTIConnector::deleteAddress(const QString &) {}
void CTIConnector::requestAddressPicture(const QString &) {}
void CTIConnector::saveAddressPicture(const QString &, const QImage &) {}
void CTIConnector::requestContactTypes() {}

void CTIConnector::handleEvent_addressAdded(CTIMessage &) {}
void CTIConnector::handleEvent_addressDeleted(CTIMessage &) {}
void CTIConnector::handleEvent_contactTypesChanged(CTIMessage &) {}
void CTIConnector::handleResponse_getAddressbooks(CTIMessage &) {}
void CTIConnector::handleResponse_getAddresses(CTIMessage &) {}
void CTIConnector::handleResponse_saveAddress(CTIMessage &) {}
void CTIConnector::handleResponse_deleteAddress(CTIMessage &) {}
void CTIConnector::handleResponse_setAddressPicture(CTIMessage &) {}
void CTIConnector::handleResponse_getAddressPicture(CTIMessage &) {}
void CTIConnector::handleResponse_getContactTypes(CTIMessage &) {}

void CTIConnector::handleEvent_addressChanged(CTIMessage &message)
{
    handleEvent_addressAdded(message);
}
