#pragma once

#include <QRandomGenerator>

// A duration or count the scenario gives as a number or as [min, max]; each use draws anew.
struct SimRange
{
    int min = 0;
    int max = 0;

    int pick(QRandomGenerator &random) const { return min >= max ? min : random.bounded(min, max + 1); }
    bool isZero() const { return max <= 0; }
};
