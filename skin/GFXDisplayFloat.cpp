#include "skin/GFXDisplayFloat.h"

GFXDisplayFloat::GFXDisplayFloat(const juce::String& name)
    : GFXDisplay(name)
{
}

void GFXDisplayFloat::parameterValueChanged(Parameter* p)
{
    auto text = juce::String(p->getValue());
    const int n = getNumVisibleCharacters();
    if (n >= 1 && text.length() >= n && text[n - 1] == '.')
        text = " " + text;
    setText(text);
}
