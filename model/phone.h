#pragma once

#include "model.h"

class Phone final : public Model<Phone>
{
    Q_OBJECT

public:
    Phone();
};
