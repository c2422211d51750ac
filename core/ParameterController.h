#pragma once

#include "core/Parameter.h"

#include <functional>

// Mix-in of every plain widget that edits one parameter: binds the widget to
// its parameter once, writes user input with notification, brackets drags as
// change gestures, and hears the parameter's changes on the message thread.
class ParameterController : public Parameter::Listener
{
public:
    ParameterController() = default;
    ~ParameterController() override;

    void parameterChanged(Parameter* p) override;
    void parameterChangeGestureBegin(Parameter*) override {}
    void parameterChangeGestureEnd(Parameter*) override {}

    // Shows the parameter's current value; message thread only.
    virtual void updateFromParameter(Parameter* p) = 0;

    // Binds once for the controller's whole life; later calls are ignored.
    void setParameter(Parameter* p);
    Parameter* getParameter() const { return parameter; }

    void setParameterValue(float v);
    void setParameterIntValue(int v);
    void setParameterBoolValue(bool b);

    void beginParameterChange();
    void endParameterChange();

    // Told the parameter after each write of user input and when a change
    // gesture begins (a grab, before any move): the editor shows its value and
    // takes it for MIDI learn.
    std::function<void(Parameter*)> onUserTouch;

private:
    void touched();

    Parameter* parameter = nullptr;

    JUCE_DECLARE_NON_COPYABLE(ParameterController)
};
