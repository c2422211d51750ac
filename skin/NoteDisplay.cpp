#include "skin/NoteDisplay.h"
#include "core/MidiNoteNames.h"
#include "core/XmlHelpers.h"
#include "skin/FallbackLook.h"
#include "skin/ImageStrip.h"
#include "skin/SkinPackageLoader.h"
#include "skin/SkinXml.h"

namespace
{
constexpr int kHighestNote = 127;
constexpr std::array<int, 3> kCellFrames { 9, 3, 13 };
constexpr std::array<const char*, 3> kCellResources { "notes", "tones", "octaves" };
constexpr int kDefaultCellWidth = 10;
constexpr int kDefaultCellHeight = 16;
} // namespace

NoteDisplay::NoteDisplay(const juce::String& name)
    : juce::Component(name)
{
    cells.fill({ 0, 0, kDefaultCellWidth, kDefaultCellHeight });
}

void NoteDisplay::setNote(int newNote, bool notify)
{
    newNote = juce::jlimit(0, kHighestNote, newNote);
    if (newNote == note)
        return;
    note = newNote;
    if (auto* p = getParameter(); p != nullptr && notify)
    {
        p->setIntValue(note, true);
        sendValueChanged();
    }
    repaint();
}

void NoteDisplay::parameterValueChanged(Parameter* p)
{
    setNote(p->getIntValue(), false);
}

void NoteDisplay::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    GUIController::loadFromSkin(element, loader);
    if (! tagNameIs(element, "NoteDisplay"))
        return;

    if (auto* size = findChildTagged(element, "size"))
        cells.fill({ 0, 0, SkinXml::readLength(*size, "width") / 3, SkinXml::readLength(*size, "height") });

    if (auto* gfx = findChildTagged(element, "gfx"))
    {
        for (size_t i = 0; i < cells.size(); ++i)
        {
            if (auto* strip = findChildTagged(*gfx, kCellResources[i]))
            {
                const auto resource = strip->getStringAttribute("resource");
                images[i] = resource.isEmpty() ? juce::Image() : loader.getImage(resource);
                if (images[i].isValid())
                    cells[i].setSize(images[i].getWidth(), ImageStrip::getFrameHeight(images[i], kCellFrames[i]));
            }
        }
    }

    cells[tonesCell].setX(cells[notesCell].getWidth());
    cells[octavesCell].setX(cells[notesCell].getWidth() + cells[tonesCell].getWidth());
    if (auto* pos = findChildTagged(element, "pos"))
        setTopLeftPosition(SkinXml::readCoordinate(*pos, "left"), SkinXml::readCoordinate(*pos, "top"));
    setSize(cells[octavesCell].getRight(),
            juce::jmax(cells[0].getHeight(), cells[1].getHeight(), cells[2].getHeight()));
}

bool NoteDisplay::isLive() const
{
    return isEnabled() && ! isBlinkHidden();
}

std::array<int, 3> NoteDisplay::getCurrentFrames() const
{
    if (! isLive())
        return { 0, 0, 0 };
    return { getMidiNoteLetterIndex(note) + 1, isMidiNoteNatural(note) ? 2 : 1, getMidiNoteOctave(note) + 1 };
}

juce::String NoteDisplay::getCellText(Cell cell) const
{
    switch (cell)
    {
        case notesCell:
            return getMidiNoteLetter(note);
        case tonesCell:
            return isMidiNoteNatural(note) ? "-" : "#";
        default:
            return juce::String(getMidiNoteOctave(note));
    }
}

void NoteDisplay::paint(juce::Graphics& g)
{
    const auto frames = getCurrentFrames();
    for (size_t i = 0; i < cells.size(); ++i)
    {
        const auto& cell = cells[i];
        if (images[i].isValid())
        {
            ImageStrip::drawFrame(g, images[i], kCellFrames[i], frames[i], cell.getX(), cell.getY());
            continue;
        }
        g.setColour(juce::Colours::white);
        g.fillRect(cell);
        if (isLive())
        {
            g.setColour(juce::Colours::black);
            g.setFont((float) cell.getHeight());
            FallbackLook::drawCellText(g, getCellText((Cell) i), cell);
        }
    }
}

void NoteDisplay::blinkStateChanged()
{
    repaint();
}

void NoteDisplay::enablementChanged()
{
    repaint();
}

void NoteDisplay::mouseDown(const juce::MouseEvent&)
{
    dragStartNote = note;
    dragging = true;
    beginUserGesture();
}

void NoteDisplay::mouseDrag(const juce::MouseEvent& e)
{
    if (! dragging)
        return;
    const int steps = -e.getDistanceFromDragStartY() / pixelsPerStep;
    setNote((int) (steps * dragStep + dragStartNote), true);
}

void NoteDisplay::mouseUp(const juce::MouseEvent&)
{
    if (! dragging)
        return;
    dragging = false;
    endUserGesture();
}
