#include "forwardpreset.h"

ForwardPreset::ForwardPreset()
    : Model<ForwardPreset>(QStringLiteral("ForwardPreset"))
{
}
