#include "skin/ImageMidiKeyboard.h"

#include "core/XmlHelpers.h"
#include "skin/ImageStrip.h"
#include "skin/SkinPackageLoader.h"
#include "skin/SkinXml.h"
#include "toolkit/OnScreenTimer.h"

ImageMidiKeyboard::ImageMidiKeyboard(juce::MidiKeyboardState& state,
                                     juce::MidiKeyboardComponent::Orientation orientation, const juce::String& name)
    : juce::MidiKeyboardComponent(state, orientation), keyboardState(state)
{
    setName(name);
    // No typing keys play notes: the editor's keyboard shortcuts stay its own.
    clearKeyMappings();
    for (int note = 0; note < 128; ++note)
        keys[(size_t) note].note = note;
    keyboardState.addListener(&stateWatcher);
    OnScreenTimer::follow(*this);
}

void ImageMidiKeyboard::parentHierarchyChanged()
{
    juce::MidiKeyboardComponent::parentHierarchyChanged();
    OnScreenTimer::follow(*this);
}

ImageMidiKeyboard::~ImageMidiKeyboard()
{
    keyboardState.removeListener(&stateWatcher);
}

bool ImageMidiKeyboard::isPressed(int note) const
{
    return juce::isPositiveAndBelow(note, 128) && keys[(size_t) note].pressed;
}

void ImageMidiKeyboard::setKeyPressed(int note, bool pressed)
{
    if (! juce::isPositiveAndBelow(note, 128) || keys[(size_t) note].pressed == pressed)
        return;
    keys[(size_t) note].pressed = pressed;
    refreshFrames(note);
}

void ImageMidiKeyboard::refreshFrames(int changedNote)
{
    for (auto& key : keys)
    {
        if (key.frames == 0 || changedNote < key.note - key.left || changedNote > key.note + key.right)
            continue;

        // The farthest right neighbour ends in the highest bit, the farthest left in bit 0.
        int mask = 0;
        for (int j = key.right; j >= 1; --j)
            mask = mask * 2 + (isPressed(key.note + j) ? 1 : 0);
        for (int i = 1; i <= key.left; ++i)
            mask = mask * 2 + (isPressed(key.note - i) ? 1 : 0);

        const int frame = key.pressed ? mask + key.halfFrames : mask;
        if (frame == key.currentFrame)
            continue;
        key.currentFrame = frame;
        // The picture may reach beyond the framework's key, into a neighbour's place.
        repaint(juce::Rectangle<int>(key.x, key.y, key.width, key.height)
                    .getUnion(getRectangleForKey(key.note).getSmallestIntegerContainer()));
    }
}

void ImageMidiKeyboard::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    GUIController::loadFromSkin(element, loader);

    if (! tagNameIs(element, "MidiKeyboard"))
    {
        setSize(0, 0);
        return;
    }

    if (auto* size = findChildTagged(element, "size"))
        setSize(SkinXml::readLength(*size, "width"), SkinXml::readLength(*size, "height"));
    else
        setSize(0, 0);
    if (auto* pos = findChildTagged(element, "pos"))
        setTopLeftPosition(SkinXml::readCoordinate(*pos, "left"), SkinXml::readCoordinate(*pos, "top"));

    // A range the framework cannot hold (outside 0..127, or upside down) keeps
    // its default, as a missing one does.
    if (element.hasAttribute("firstKey") && element.hasAttribute("lastKey"))
    {
        const int first = SkinXml::readInt(element, "firstKey");
        const int last = SkinXml::readInt(element, "lastKey");
        if (0 <= first && first <= last && last <= 127)
            setAvailableRange(first, last);
    }

    if (auto* keysElement = findChildTagged(element, "Keys"))
        readKeys(*keysElement, loader);
    repaint();
}

void ImageMidiKeyboard::readKeys(const juce::XmlElement& keysElement, SkinPackageLoader& loader)
{
    int note = getRangeStart();
    for (auto* keyElement : keysElement.getChildIterator())
    {
        if (! tagNameIs(*keyElement, "Key"))
            continue;
        if (note > 127)
            break;
        auto& key = keys[(size_t) note++];
        key.left = juce::jlimit(0, maxNeighbours, SkinXml::readInt(*keyElement, "left"));
        key.right = juce::jlimit(0, maxNeighbours, SkinXml::readInt(*keyElement, "right"));

        auto* gfx = findChildTagged(*keyElement, "gfx");
        if (gfx == nullptr)
            continue;
        const auto image = loader.getImage(gfx->getStringAttribute("resource"));
        if (image.isValid())
        {
            key.image = image;
            // A strip cannot have fewer than one frame, nor frames less than a row high.
            key.frames = juce::jlimit(1, image.getHeight(), SkinXml::readInt(*gfx, "framesNum"));
            key.halfFrames = key.frames / 2;
        }
        if (auto* size = findChildTagged(*keyElement, "size"))
        {
            key.width = SkinXml::readLength(*size, "width");
            key.height = SkinXml::readLength(*size, "height");
        }
        if (auto* pos = findChildTagged(*keyElement, "pos"))
        {
            key.x = SkinXml::readCoordinate(*pos, "left") - getX();
            key.y = SkinXml::readCoordinate(*pos, "top") - getY();
        }
    }
}

juce::Range<float> ImageMidiKeyboard::getKeyPosition(int midiNoteNumber, float keyWidth) const
{
    if (juce::isPositiveAndBelow(midiNoteNumber, 128))
    {
        const auto& key = keys[(size_t) midiNoteNumber];
        if (key.image.isValid())
            return juce::Range<float>::withStartAndLength((float) key.x, (float) key.width);
    }
    return juce::MidiKeyboardComponent::getKeyPosition(midiNoteNumber, keyWidth);
}

bool ImageMidiKeyboard::drawKeyImage(int note, juce::Graphics& g)
{
    if (! juce::isPositiveAndBelow(note, 128))
        return false;
    const auto& key = keys[(size_t) note];
    if (! key.image.isValid())
        return false;
    const int frameHeight = ImageStrip::getFrameHeight(key.image, key.frames);
    const int frame = juce::jlimit(0, key.frames - 1, key.currentFrame);
    // Images take the context's opacity, which the framework's drawing leaves behind.
    g.setOpacity(1.0f);
    g.drawImage(key.image, key.x, key.y, key.width, key.height, 0, frame * frameHeight, key.image.getWidth(),
                frameHeight);
    return true;
}

void ImageMidiKeyboard::drawWhiteNote(int midiNoteNumber, juce::Graphics& g, juce::Rectangle<float> area,
                                      bool isDown, bool isOver, juce::Colour lineColour, juce::Colour textColour)
{
    if (! drawKeyImage(midiNoteNumber, g))
        juce::MidiKeyboardComponent::drawWhiteNote(midiNoteNumber, g, area, isDown, isOver, lineColour, textColour);
}

void ImageMidiKeyboard::drawBlackNote(int midiNoteNumber, juce::Graphics& g, juce::Rectangle<float> area,
                                      bool isDown, bool isOver, juce::Colour noteFillColour)
{
    if (! drawKeyImage(midiNoteNumber, g))
        juce::MidiKeyboardComponent::drawBlackNote(midiNoteNumber, g, area, isDown, isOver, noteFillColour);
}

bool ImageMidiKeyboard::mouseDownOnKey(int midiNoteNumber, const juce::MouseEvent&)
{
    setKeyPressed(midiNoteNumber, true);
    return true;
}

bool ImageMidiKeyboard::mouseDraggedToKey(int midiNoteNumber, const juce::MouseEvent&)
{
    setKeyPressed(midiNoteNumber, true);
    return true;
}

void ImageMidiKeyboard::timerCallback()
{
    if (stateWatcher.changed.exchange(false))
    {
        const int channels = getMidiChannelsToDisplay();
        for (int note = getRangeStart(); note <= getRangeEnd(); ++note)
            setKeyPressed(note, keyboardState.isNoteOnForChannels(channels, note));
    }
    juce::MidiKeyboardComponent::timerCallback();
}
