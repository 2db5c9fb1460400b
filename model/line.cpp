#include "line.h"

Line::Line()
    : Model<Line>(QStringLiteral("Line"))
{
}
