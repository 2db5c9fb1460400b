#include "addresses.h"

Addresses::Addresses()
    : Model<Addresses>(QStringLiteral("Addresses"))
{
}
