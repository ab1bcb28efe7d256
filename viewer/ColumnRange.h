#pragma once

#include <QtGlobal>

// The lowest and highest sample under one pixel column; empty where no sample falls.
struct ColumnRange
{
    quint8 min = 255;
    quint8 max = 0;
    bool isEmpty() const { return min > max; }
};
