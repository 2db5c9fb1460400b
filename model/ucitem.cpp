#include "ucitem.h"

UCItem::UCItem()
    : Model<UCItem>(QStringLiteral("UCItem"))
{
}
