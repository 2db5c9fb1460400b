#pragma once

#include "model.h"

class UCItem final : public Model<UCItem>
{
    Q_OBJECT

public:
    UCItem();
};
