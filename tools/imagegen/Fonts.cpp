#include "Fonts.h"

namespace
{
struct Faces
{
    juce::Typeface::Ptr sans, sansBold, mono, monoBold;
    juce::StringArray errors;
};

Faces& faces()
{
    static Faces f;
    return f;
}

juce::Typeface::Ptr loadFace(const juce::File& file)
{
    juce::MemoryBlock data;
    if (! file.loadFileAsData(data) || data.getSize() == 0)
        return nullptr;
    return juce::Typeface::createSystemTypefaceFor(data.getData(), data.getSize());
}

juce::Font fontOf(const juce::Typeface::Ptr& face, float height)
{
    jassert(face != nullptr); // Fonts::load must have succeeded
    if (height < Fonts::smallest)
        faces().errors.addIfNotAlreadyThere("text of " + juce::String(height) + " px is below the smallest size, "
                                            + juce::String(Fonts::smallest) + " px");
    return juce::Font(face).withHeight(height);
}
}

bool Fonts::load(const juce::File& folder, juce::String& error)
{
    auto& f = faces();
    const std::pair<juce::Typeface::Ptr*, const char*> files[] = {
        { &f.sans, "DejaVuSans.ttf" },
        { &f.sansBold, "DejaVuSans-Bold.ttf" },
        { &f.mono, "DejaVuSansMono.ttf" },
        { &f.monoBold, "DejaVuSansMono-Bold.ttf" },
    };
    for (const auto& [slot, name] : files)
    {
        *slot = loadFace(folder.getChildFile(name));
        if (*slot == nullptr)
        {
            error = "cannot read the font " + folder.getChildFile(name).getFullPathName();
            return false;
        }
    }
    return true;
}

void Fonts::release()
{
    faces() = {};
}

juce::StringArray Fonts::getErrors()
{
    return faces().errors;
}

juce::Font Fonts::sans(float height) { return fontOf(faces().sans, height); }
juce::Font Fonts::sansBold(float height) { return fontOf(faces().sansBold, height); }
juce::Font Fonts::mono(float height) { return fontOf(faces().mono, height); }
juce::Font Fonts::monoBold(float height) { return fontOf(faces().monoBold, height); }

juce::File Fonts::getDefaultFolder()
{
    return juce::File(TAVINOR_FONT_DIR);
}
