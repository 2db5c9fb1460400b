#pragma once

#include "model.h"

class Line final : public Model<Line>
{
    Q_OBJECT

public:
    Line();
};
