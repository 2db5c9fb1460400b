#pragma once

#include "model.h"

class User final : public Model<User>
{
    Q_OBJECT

public:
    User();
};
