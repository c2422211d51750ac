#pragma once

#include "core/Parameter.h"
#include <juce_audio_basics/juce_audio_basics.h>
#include <array>
#include <atomic>
#include <memory>

class ParameterManager;

// Maps MIDI continuous controllers (CC 0..127) onto parameters. Controller
// messages from the audio thread set the mapped parameter's normalised value; a
// learn mode pairs a controller with a parameter when the user touches a control
// and moves a controller, in either order. The map travels in the host state and
// in ".tnccmap" files.
//
// One re-entrant lock guards the table and the learn selection; the audio thread
// holds it while a parameter's setter and listeners run. Listeners hear about
// changes on the message thread (of those made on the audio thread, at the
// plug-in's next poll), except learn mode switching, which they hear at once. Controller numbers outside 0..127 change nothing.
class MidiControl : public AudioSafeUpdater
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void midiControlMapChanged(MidiControl*) = 0;
        virtual void midiLearnStateChanged(MidiControl*) = 0;
        virtual void midiValueChanged(MidiControl*) = 0;
    };

    struct Assignment
    {
        Parameter* parameter = nullptr;
        int controller = -1;
    };

    // Walks the assigned controllers in ascending order.
    class Iterator
    {
    public:
        explicit Iterator(const MidiControl& owner) : midiControl(owner) {}
        // Moves to the next assigned controller; false after CC 127.
        bool next(Assignment& assignment);

    private:
        const MidiControl& midiControl;
        int controller = -1;
    };

    static constexpr int numControllers = 128;

    explicit MidiControl(ParameterManager* parameters);
    ~MidiControl() override;

    void addListener(Listener* listener);
    void removeListener(Listener* listener);

    // Audio thread: every MIDI event of a block; only controller messages count.
    void processMidiMessage(const juce::MidiMessage& message);

    bool isLearning() const;
    void setLearning(bool shouldLearn);
    void toggleLearning();
    void parameterTouched(Parameter* parameter);
    void learnController(int controller);
    void selectController(int controller);
    Parameter* getSelectedParameter() const;
    int getSelectedController() const;

    // Puts the parameter on the controller (moving it off any other controller);
    // null frees the controller.
    void assign(int controller, Parameter* parameter, bool notify);
    void unassign(int controller);
    void clear(bool notify);
    Parameter* getParameterForController(int controller) const;
    // The controller holding the parameter, -1 when none.
    int getControllerForParameter(const Parameter* parameter) const;
    Parameter* getLastParameterChangedByMidi() const;

    // The name written into map files and expected in those read (the product name).
    void setMapName(const juce::String& name);
    juce::String getMapName() const;

    // The user's default map, loaded at start-up when enabled.
    void setDefaultMapEnabled(bool enabled);
    bool isDefaultMapEnabled() const;
    void setDefaultMapFile(const juce::String& path);
    juce::String getDefaultMapFile() const;

    bool isValidXml(const juce::XmlElement* element) const;
    // Replaces the whole table; an element that is not a map of this product
    // changes nothing (false).
    bool loadFromXml(const juce::XmlElement& element);
    std::unique_ptr<juce::XmlElement> createXml() const;
    // False when the file is missing, not XML or not a map of this product; the
    // table is then left as it was.
    bool loadFromFile(const juce::File& file);
    // Written through a temporary file; false when it could not be written.
    bool saveToFile(const juce::File& file) const;
    bool loadDefaultMap();

    // Message thread: tells the listeners about what changed since the last call.
    void handleAsyncUpdate() override;

private:
    void commitSelection();
    void freeAllSlots();
    static bool isValidController(int controller) noexcept { return controller >= 0 && controller < numControllers; }

    ParameterManager* const parameters;
    juce::ListenerList<Listener> listeners;
    std::array<Parameter*, numControllers> slots {};
    bool learning = false;
    Parameter* selectedParameter = nullptr;
    int selectedController = -1;
    juce::String mapName;
    bool defaultMapEnabled = false;
    juce::String defaultMapFile;
    std::atomic<bool> mapChanged { false };
    std::atomic<bool> learnStateChanged { false };
    std::atomic<bool> valueChangedByMidi { false };
    std::atomic<Parameter*> lastParameterChangedByMidi { nullptr };
    juce::CriticalSection lock;

    JUCE_DECLARE_NON_COPYABLE(MidiControl)
};
