#pragma once

#include "skin/GFXDisplay.h"

// A bitmap-font display of its parameter's float value.
class GFXDisplayFloat : public GFXDisplay
{
public:
    explicit GFXDisplayFloat(const juce::String& name);

    // When the last visible character would be the decimal point, the text moves
    // right by one space so that it does not end on a bare point.
    void parameterValueChanged(Parameter* p) override;

    JUCE_DECLARE_NON_COPYABLE(GFXDisplayFloat)
};
