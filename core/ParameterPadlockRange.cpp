#include "core/ParameterPadlockRange.h"
#include "core/Parameter.h"
#include <algorithm>

bool ParameterPadlockRange::covers(const Parameter* p) const
{
    return p != nullptr && covers(p->getId());
}

bool ParameterPadlockRange::covers(int id) const
{
    return first <= id && id <= last;
}

void ParameterPadlockRange::setRange(int a, int b)
{
    first = std::max(std::min(a, b), 0);
    last = std::max(std::max(a, b), 0);
}

void ParameterPadlockRange::setIndex(int i)
{
    first = last = std::max(i, 0);
}
