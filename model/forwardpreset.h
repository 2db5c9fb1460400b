#pragma once

#include "model.h"

class ForwardPreset final : public Model<ForwardPreset>
{
    Q_OBJECT

public:
    ForwardPreset();
};
