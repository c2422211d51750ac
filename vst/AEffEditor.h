#pragma once

#include "vst/VstDefinitions.h"

// The optional editor object of an effect. AudioEffect forwards the editor
// opcodes to it when one is set; the wrapper handles those opcodes itself and
// leaves it unset.
class AEffEditor
{
public:
    virtual ~AEffEditor() = default;

    virtual bool getRect(ERect** rect)
    {
        if (rect != nullptr)
            *rect = nullptr;
        return false;
    }
    virtual bool open(void* parentWindow) { return false; }
    virtual void close() {}
    virtual void idle() {}
    virtual bool onKeyDown(VstKeyCode& keyCode) { return false; }
    virtual bool onKeyUp(VstKeyCode& keyCode) { return false; }
    virtual bool setKnobMode(VstInt32 mode) { return false; }
};
