#pragma once

#include "core/ParameterPadlock.h"

// A padlock over a contiguous range of ids (one delay line, or one id).
class ParameterPadlockRange : public ParameterPadlock
{
public:
    ParameterPadlockRange() = default;

    bool covers(const Parameter* p) const override;
    bool covers(int id) const override;

    // Either order; negative ids become 0.
    void setRange(int a, int b);
    void setIndex(int i);

    int getFirst() const { return first; }
    int getLast() const { return last; }

private:
    // Covers nothing until the owner sets a range.
    int first = 0;
    int last = -1;
};
