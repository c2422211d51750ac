// tavinor_gallery: lays out one of every toolkit widget on a window and
// writes what it shows to PNG files.
//   tavinor_gallery [--out DIR]      (default: the current folder)
// writes DIR/toolkit-gallery.png and one DIR/NAME.png per extra sheet. Run it
// under xvfb-run when there is no display. It exits with 1 when a picture of
// the look-and-feel is missing, so a grey box never goes unnoticed.

#include "Gallery.h"

#include "toolkit/DefaultLookAndFeel.h"
#include "toolkit/PanelComponent.h"

#include <cstdio>
#include <memory>

namespace juce
{
// Defined in JUCE's Linux message loop; not declared in its public headers.
bool dispatchNextMessageOnSystemQueue(bool returnIfNoPendingMessages);
}

namespace
{
constexpr int kColumns = 3;
constexpr int kColumnWidth = 400;
constexpr int kGap = 12;

void pumpMessages()
{
    for (int i = 0; i < 1000; ++i)
        if (!juce::dispatchNextMessageOnSystemQueue(true))
            break;
}

// Every picture the look-and-feel loads: a missing one would be drawn as
// nothing at all.
juce::StringArray findMissingImages()
{
    juce::StringArray missing;
    for (int kind = 0; kind < DefaultLookAndFeel::numImageButtonKinds; ++kind)
    {
        const bool defined = !(kind >= 9 && kind <= 12) && kind != 17;
        for (int size : { 1, 2 })
            for (bool pressed : { false, true })
                if (defined && DefaultLookAndFeel::getImageButtonImage(kind, size, pressed).isNull())
                    missing.add("image button " + juce::String(kind) + " size " + juce::String(size));
    }
    for (int size : { 1, 2 })
        for (const auto& image : DefaultLookAndFeel::getTextButtonSkin(size))
            if (image.isNull())
                missing.add("text button skin " + juce::String(size));
    for (int i = 1; i <= 4; ++i)
        if (DefaultLookAndFeel::getSmallIcon(i).isNull())
            missing.add("small icon " + juce::String(i));
    for (int i = 0; i < DefaultLookAndFeel::numIcons; ++i)
        if (getIcon(i) == nullptr)
            missing.add("icon " + juce::String(i));
    return missing;
}

// The main sheet: every item framed and titled, in columns.
class Sheet : public juce::Component
{
public:
    explicit Sheet(std::vector<Gallery::Item>& items)
    {
        int columnBottoms[kColumns] = { kGap, kGap, kGap };
        for (auto& item : items)
        {
            auto* panel = panels.add(new PanelComponent(item.title));
            panel->setContent(item.widget.get(), true);
            panel->setSize(kColumnWidth, panel->getHeight());
            int column = 0;
            for (int c = 1; c < kColumns; ++c)
                if (columnBottoms[c] < columnBottoms[column])
                    column = c;
            panel->setTopLeftPosition(kGap + column * (kColumnWidth + kGap), columnBottoms[column]);
            columnBottoms[column] += panel->getHeight() + kGap;
            addAndMakeVisible(panel);
        }
        int height = 0;
        for (int bottom : columnBottoms)
            height = juce::jmax(height, bottom);
        setSize(kGap + kColumns * (kColumnWidth + kGap), height);
    }

    ~Sheet() override
    {
        for (auto* panel : panels)
            panel->setContent(nullptr, false);
    }

    void paint(juce::Graphics& g) override { g.fillAll(findColour(DefaultLookAndFeel::generalBackgroundColourId)); }

private:
    juce::OwnedArray<PanelComponent> panels;
};

bool writePng(juce::Component& component, const juce::File& file)
{
    const auto image = component.createComponentSnapshot(component.getLocalBounds(), true, 1.0f);
    file.deleteFile();
    juce::FileOutputStream out(file);
    juce::PNGImageFormat png;
    const bool ok = out.openedOk() && png.writeImageToStream(image, out);
    std::printf("%s %s (%d x %d)\n", ok ? "wrote" : "could not write", file.getFullPathName().toRawUTF8(),
                image.getWidth(), image.getHeight());
    return ok;
}

int run(const juce::File& outFolder)
{
    DefaultLookAndFeel laf;
    juce::LookAndFeel::setDefaultLookAndFeel(&laf);
    juce::Typeface::clearTypefaceCache();

    int result = 0;
    {
        Gallery gallery;
        for (const auto* section : GallerySection::getAll())
            section->fill(gallery);

        // Drawn as the window's peer would draw it, without a peer: a bare X
        // server has no window manager, whose properties JUCE's windows read.
        Sheet sheet(gallery.getItems());
        sheet.setVisible(true);
        for (auto& s : gallery.getSheets())
            s.root->setVisible(true);
        gallery.runLaidOutActions();
        pumpMessages();

        outFolder.createDirectory();
        if (!writePng(sheet, outFolder.getChildFile("toolkit-gallery.png")))
            result = 1;
        for (auto& s : gallery.getSheets())
            if (!writePng(*s.root, outFolder.getChildFile(s.name + ".png")))
                result = 1;

        const auto missing = findMissingImages();
        for (const auto& m : missing)
            std::printf("missing picture: %s\n", m.toRawUTF8());
        if (!missing.isEmpty())
            result = 1;
    }
    juce::LookAndFeel::setDefaultLookAndFeel(nullptr);
    return result;
}
} // namespace

int main(int argc, char** argv)
{
    juce::File outFolder = juce::File::getCurrentWorkingDirectory();
    for (int i = 1; i < argc; ++i)
    {
        const juce::String arg(argv[i]);
        if (arg == "--out" && i + 1 < argc)
            outFolder = juce::File::getCurrentWorkingDirectory().getChildFile(argv[++i]);
        else
        {
            std::fprintf(stderr, "usage: tavinor_gallery [--out DIR]\n");
            return 2;
        }
    }
    juce::ScopedJuceInitialiser_GUI juce;
    return run(outFolder);
}
