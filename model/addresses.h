#pragma once

#include "model.h"

class Addresses final : public Model<Addresses>
{
    Q_OBJECT

public:
    Addresses();
};
