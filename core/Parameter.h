#pragma once

#include "core/AudioSafeUpdater.h"

#include <juce_core/juce_core.h>
#include <juce_events/juce_events.h>
#include <atomic>
#include <cstdint>
#include <memory>

// A value that a host, a MIDI controller, a control of the editor or a preset can
// change: an id, a name, a typed value with its own range, a normalised form 0..1
// and a text form. The text form is what preset files and state chunks carry.
//
// Every setter follows one store rule: a write that leaves the stored value as it
// was notifies nobody. Otherwise the value is written and, with notify, the
// listeners hear at once on the writing thread and the controllers (widgets) later
// on the message thread, through one asynchronous hop (on the host's audio paths,
// at the owner's next poll: see AudioSafeUpdater).
//
// Values that are not finite (NaN, infinity), from a host, a preset or a text,
// never reach a parameter: such a write is ignored.
//
// Two cases the value model leaves open, decided here:
// - A range of zero width (min equal to max, e.g. an enumeration of one item) has
//   normalised value 0.0: the value sits at the bottom of its range.
// - StringParameter::getBoolValue is true when the text reads "true" (ignoring
//   case) or its leading number is non-zero, so it agrees with setBoolValue and with
//   numbers written through setValue.
class Parameter : public AudioSafeUpdater
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void parameterChanged(Parameter* parameter) = 0;
        virtual void parameterChangeGestureBegin(Parameter*) {}
        virtual void parameterChangeGestureEnd(Parameter*) {}
    };

    Parameter(int id, const juce::String& name);
    ~Parameter() override;

    // Tells the controllers, on the message thread.
    void handleAsyncUpdate() override;

    // A new object of the same class with the same range, items, value and
    // automatable flag, under the new id and name, with no listeners or controllers.
    virtual std::unique_ptr<Parameter> clone(int newId, const juce::String& newName) const = 0;

    virtual float getValue() const = 0;
    virtual float getNormalisedValue() const = 0;
    virtual int getIntValue() const = 0;
    virtual bool getBoolValue() const = 0;
    virtual juce::String getText() const = 0;

    virtual void setValue(float value, bool notify) = 0;
    virtual void setNormalisedValue(float value, bool notify) = 0;
    virtual void setIntValue(int value, bool notify) = 0;
    virtual void setBoolValue(bool value, bool notify) = 0;
    virtual void setText(const juce::String& text, bool notify) = 0;
    virtual void setFromParameter(const Parameter& source, bool notify) = 0;

    int getId() const noexcept { return id; }
    const juce::String& getName() const noexcept { return name; }
    bool isAutomatable() const noexcept { return automatable; }
    void setAutomatable(bool shouldBeAutomatable) noexcept { automatable = shouldBeAutomatable; }

    // Listeners stay for the life of the parameter; null and duplicates are ignored.
    void addListener(Listener* listener);
    void addController(Listener* controller);
    void removeController(Listener* controller);

    // Tell the listeners (not the controllers) that a user gesture begins or ends.
    void beginChangeGesture();
    void endChangeGesture();

    // Every listener hears the current value now and the controllers later,
    // whether or not the value changed (the start-up broadcast).
    void sendValueChanged();

    // The leading number of a text, read the same way under every locale:
    // optional blanks, optional sign, digits, fraction, exponent. A text without a
    // number gives 0; "inf", "nan" and numbers beyond float range give a non-finite
    // result, which the setters then ignore.
    static float parseFloatText(const juce::String& text);

    // The leading integer of a text (0 when there is none), saturated to int range.
    static int parseIntText(const juce::String& text);

    // A finite value truncated toward zero, saturated to int range.
    static int truncateToInt(double value);

protected:
    // The copy used by clone: the automatable flag from the source, the new id and
    // name, empty lists.
    Parameter(const Parameter& source, int newId, const juce::String& newName);

    // Called by a setter after it has stored a different value.
    void valueChanged(bool notify);

private:
    template <typename Callback>
    void callListeners(Callback&& callback);

    const int id;
    const juce::String name;
    bool automatable = false;
    juce::ListenerList<Listener> listeners;
    juce::ListenerList<Listener> controllers;

    JUCE_DECLARE_NON_COPYABLE(Parameter)
};

namespace ParameterValues
{
// Stores a 32-bit word with a compare-and-swap loop, unless the stored value is
// already equal. Returns whether the value changed.
bool storeIfDifferent(std::atomic<int>& target, int value);
bool storeIfDifferent(std::atomic<std::uint32_t>& floatBits, float value);

float floatFromBits(std::uint32_t bits);
std::uint32_t bitsFromFloat(float value);
} // namespace ParameterValues
