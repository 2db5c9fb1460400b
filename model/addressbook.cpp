#include "addressbook.h"

Addressbook::Addressbook()
    : Model<Addressbook>(QStringLiteral("Addressbook"))
{
}
