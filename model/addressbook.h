#pragma once

#include "model.h"

class Addressbook final : public Model<Addressbook>
{
    Q_OBJECT

public:
    Addressbook();
};
