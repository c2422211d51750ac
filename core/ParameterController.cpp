#include "core/ParameterController.h"

ParameterController::~ParameterController()
{
    if (parameter != nullptr)
        parameter->removeController(this);
}

void ParameterController::parameterChanged(Parameter* p)
{
    updateFromParameter(p);
}

void ParameterController::setParameter(Parameter* p)
{
    if (parameter != nullptr || p == nullptr)
        return;
    parameter = p;
    parameter->addController(this);
    parameterChanged(p);
}

void ParameterController::touched()
{
    if (onUserTouch)
        onUserTouch(parameter);
}

void ParameterController::setParameterValue(float v)
{
    if (parameter == nullptr)
        return;
    parameter->setValue(v, true);
    touched();
}

void ParameterController::setParameterIntValue(int v)
{
    if (parameter == nullptr)
        return;
    parameter->setIntValue(v, true);
    touched();
}

void ParameterController::setParameterBoolValue(bool b)
{
    if (parameter == nullptr)
        return;
    parameter->setBoolValue(b, true);
    touched();
}

void ParameterController::beginParameterChange()
{
    if (parameter == nullptr)
        return;
    parameter->beginChangeGesture();
    touched();
}

void ParameterController::endParameterChange()
{
    if (parameter != nullptr)
        parameter->endChangeGesture();
}
