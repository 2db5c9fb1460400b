#pragma once

#include "model.h"

class Queue final : public Model<Queue>
{
    Q_OBJECT

public:
    Queue();
};
