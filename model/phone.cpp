#include "phone.h"

Phone::Phone()
    : Model<Phone>(QStringLiteral("Phones"))
{
}
