#include "PageTestSupport.h"

#include "toolkit/PopupMenuEx.h"

#include <juce_cryptography/juce_cryptography.h>

namespace PageTest
{
namespace
{
juce::MemoryBlock pngOf(int width, int height, juce::Colour colour)
{
    juce::Image image(juce::Image::ARGB, width, height, true);
    juce::Graphics g(image);
    g.fillAll(colour);
    g.setColour(colour.contrasting());
    g.drawRect(image.getBounds(), 2);
    juce::MemoryOutputStream out;
    juce::PNGImageFormat().writeImageToStream(image, out);
    return out.getMemoryBlock();
}

juce::MemoryBlock zipOf(const std::vector<std::pair<juce::String, juce::MemoryBlock>>& entries)
{
    juce::ZipFile::Builder builder;
    // A zip date starts in 1980: the zero time (1970) cannot be written.
    const juce::Time written(2015, 0, 8, 12, 0);
    for (const auto& [name, data] : entries)
        builder.addEntry(new juce::MemoryInputStream(data, true), 0, name, written);
    juce::MemoryOutputStream out;
    builder.writeToStream(out, nullptr);
    return out.getMemoryBlock();
}

} // namespace

juce::File writeSkinPackage(const juce::File& folder, const juce::String& name, int backgroundWidth,
                            int backgroundHeight, juce::Colour thumbnailColour)
{
    const juce::String skinXml = "<PluginEditor application=\"Tavinor\"><Panel name=\"MainPanel\">"
                                 "<size width=\"" + juce::String(backgroundWidth) + "\" height=\"" + juce::String(backgroundHeight)
                                 + "\"/></Panel></PluginEditor>";
    std::vector<std::pair<juce::String, juce::MemoryBlock>> inner {
        { "skin.xml", juce::MemoryBlock(skinXml.toRawUTF8(), skinXml.getNumBytesAsUTF8()) },
        { "Background.png", pngOf(backgroundWidth, backgroundHeight, juce::Colours::darkgrey) },
    };
    if (!thumbnailColour.isTransparent())
        inner.push_back({ "Thumbnail.png", pngOf(backgroundWidth / 10, backgroundHeight / 10, thumbnailColour) });
    const auto innerZip = zipOf(inner);
    const auto digest = juce::MD5(innerZip).toHexString();

    folder.createDirectory();
    const auto file = folder.getChildFile(name + ".orvskin");
    file.replaceWithData(nullptr, 0);
    const auto outer = zipOf({ { name + ".md5", juce::MemoryBlock(digest.toRawUTF8(), digest.getNumBytesAsUTF8()) },
                               { name + ".skin", innerZip } });
    file.replaceWithData(outer.getData(), outer.getSize());
    return file;
}

void clickMenuRow(juce::Component& editor, int row, int level)
{
    auto* menu = findShown<PopupMenuEx::PopupMenuComponent>(editor);
    ASSERT_NE(menu, nullptr) << "no menu is open";
    auto* window = menu->getWindow(level);
    ASSERT_NE(window, nullptr);
    click(*window, window->getRowBounds(row).getCentre());
    TestHelpers::pumpMessages();
}

PopupMenuEx makeParameterMenu(ParameterManager& parameters)
{
    PopupMenuEx menu("parameters");
    menu.addItem(-1, "- none -", false, true);
    // The globals, then the four lines' own parameters (not the proxies).
    juce::Array<int> ids;
    for (int id = Tavinor::kNumTemplateParameters; id < 200; ++id)
        ids.add(id);
    for (int line = 0; line < Tavinor::kNumLines; ++line)
        for (int k = 0; k < Tavinor::kNumTemplateParameters; ++k)
            ids.add(Tavinor::getLineParameterBase(line) + k);
    for (const int id : ids)
        if (auto* p = parameters.getParameter(id); p != nullptr && p->isAutomatable())
            menu.addItem(id, p->getName(), false, true);
    return menu;
}

bool drawAndCheck(juce::Component& c, const juce::String& name)
{
    writeScreenshot(c, name);
    const auto image = c.createComponentSnapshot(c.getLocalBounds(), true, 1.0f);
    const auto first = image.getPixelAt(0, 0);
    for (int y = 0; y < image.getHeight(); y += 3)
        for (int x = 0; x < image.getWidth(); x += 3)
            if (image.getPixelAt(x, y) != first)
                return true;
    return false;
}

namespace
{
void collectOverlaps(juce::Component& parent, int depth, juce::StringArray& found)
{
    juce::Array<juce::Component*> shown;
    for (auto* child : parent.getChildren())
    {
        // Frames and other drawings over the controls let every click through.
        bool clicksOnIt = true, clicksOnChildren = true;
        child->getInterceptsMouseClicks(clicksOnIt, clicksOnChildren);
        if (child->isVisible() && !child->getBounds().isEmpty() && (clicksOnIt || clicksOnChildren))
            shown.add(child);
    }
    const auto describe = [](juce::Component* c) {
        return juce::String(typeid(*c).name()) + " '" + c->getName() + "' " + c->getBounds().toString();
    };
    for (int i = 0; i < shown.size(); ++i)
    {
        if (!parent.getLocalBounds().contains(shown[i]->getBounds()))
            found.add(describe(shown[i]) + " sticks out of " + describe(&parent));
        for (int j = i + 1; j < shown.size(); ++j)
            if (shown[i]->getBounds().intersects(shown[j]->getBounds()))
                found.add(describe(shown[i]) + " overlaps " + describe(shown[j]));
        if (depth > 1)
            collectOverlaps(*shown[i], depth - 1, found);
    }
}
} // namespace

juce::StringArray findOverlaps(juce::Component& parent, int depth)
{
    juce::StringArray found;
    collectOverlaps(parent, depth, found);
    return found;
}
} // namespace PageTest
