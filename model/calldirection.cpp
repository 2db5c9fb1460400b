// CallDirection is header-only apart from the meta-object moc generates for its enumeration.
#include "calldirection.h"
