#include "viewer/PowerDensity.h"

#include <algorithm>
#include <cmath>

double PowerDensity::decibelsAt(int bin) const
{
    return 10 * std::log10(std::max(density[size_t(bin)], LowestDensity));
}

int PowerDensity::peakBin() const
{
    if (density.size() < 2)
        return -1;
    return int(std::max_element(density.begin() + 1, density.end()) - density.begin());
}

int PowerDensity::binNearest(double hertz) const
{
    return qBound(0, int(std::lround(hertz / binWidth())), binCount() - 1);
}

double PowerDensity::integrated() const
{
    double sum = 0;
    for (double value : density)
        sum += value;
    return sum * binWidth();
}
