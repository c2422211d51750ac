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

void ParameterController::setParameterValue(float v)
{
    if (parameter != nullptr)
        parameter->setValue(v, true);
}

void ParameterController::setParameterIntValue(int v)
{
    if (parameter != nullptr)
        parameter->setIntValue(v, true);
}

void ParameterController::setParameterBoolValue(bool b)
{
    if (parameter != nullptr)
        parameter->setBoolValue(b, true);
}

void ParameterController::beginParameterChange()
{
    if (parameter != nullptr)
        parameter->beginChangeGesture();
}

void ParameterController::endParameterChange()
{
    if (parameter != nullptr)
        parameter->endChangeGesture();
}
