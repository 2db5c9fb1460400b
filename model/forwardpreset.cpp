#include "forwardpreset.h"

ForwardPreset::ForwardPreset()
    : Model<ForwardPreset>(QStringLiteral("ForwardPreset"))
{
}

QString ForwardPreset::presetName()
{
    return valueForKey(ForwardPresetKeys::name).toString();
}

QByteArray ForwardPreset::getForwardJSONBase64()
{
    return valueForKey(ForwardPresetKeys::configs).toByteArray();
}
