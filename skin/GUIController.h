#pragma once

#include "core/Parameter.h"
#include "toolkit/BlinkingComponent.h"
#include <juce_gui_basics/juce_gui_basics.h>

class SkinPackageLoader;

// Base of every control a skin can create. Each control shows at most one
// parameter and writes it when the user moves it, raises named events for its
// gestures ("actions"), and tells its listeners (the editor) about drags, writes
// and events. It is no component itself: every control pairs it with one.
class GUIController : public Parameter::Listener,
                      public BlinkingComponent
{
public:
    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void controllerDragStarted(GUIController*) {}
        virtual void controllerDragEnded(GUIController*) {}
        virtual void controllerValueChanged(GUIController*) {}
        virtual void controllerEventTriggered(GUIController*, int eventUid) {}
    };

    GUIController() = default;
    ~GUIController() override;

    // Parameter::Listener: refreshes from the parameter, on the message thread.
    void parameterChanged(Parameter* p) override;

    // Records one skin action; a type the control does not know is ignored.
    virtual void bindAction(const juce::String& type, int eventUid, const juce::String& eventText) {}
    // Shows the parameter's current value.
    virtual void parameterValueChanged(Parameter* p) {}
    // Null and listeners already present are ignored.
    virtual void addListener(Listener* listener);
    // Reads the control's own skin element: links, then actions.
    virtual void loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader);

    // Null disconnects. Does not refresh the control.
    void connectToParameter(Parameter* p);
    void refreshFromParameter();
    Parameter* getParameter() const noexcept { return parameter; }

protected:
    // A user gesture on a linked control: opens or closes the parameter's change
    // gesture and tells the listeners. Nothing happens without a parameter.
    void beginUserGesture();
    void endUserGesture();
    // Tells the listeners that the control has just written its parameter.
    void sendValueChanged();
    // Raises a bound event; -1 (not bound) raises nothing.
    void sendEvent(int eventUid);

    // True while the control blinks and its blink phase hides it.
    bool isBlinkHidden() const;

private:
    juce::ListenerList<Listener> listeners;
    Parameter* parameter = nullptr;

    JUCE_DECLARE_NON_COPYABLE(GUIController)
};
