#include "skin/GUIController.h"
#include "core/XmlHelpers.h"
#include "skin/SkinPackageLoader.h"

GUIController::~GUIController()
{
    connectToParameter(nullptr);
}

void GUIController::parameterChanged(Parameter* p)
{
    parameterValueChanged(p);
}

void GUIController::addListener(Listener* listener)
{
    if (listener != nullptr && ! listeners.contains(listener))
        listeners.add(listener);
}

void GUIController::loadFromSkin(const juce::XmlElement& element, SkinPackageLoader& loader)
{
    auto& host = loader.getHost();

    if (auto* links = findChildTagged(element, "links"))
    {
        for (auto* link : links->getChildIterator())
        {
            if (! tagNameIs(*link, "link") || link->getStringAttribute("as") != "connectedTo")
                continue;
            if (auto* p = host.getParameterManager().getParameterByName(link->getStringAttribute("param")))
                connectToParameter(p);
        }
    }

    if (auto* actions = findChildTagged(element, "actions"))
    {
        auto& events = host.getEventsMap();
        for (auto* action : actions->getChildIterator())
        {
            if (! tagNameIs(*action, "action"))
                continue;
            const auto type = action->getStringAttribute("type");
            const int uid = events.getUid(action->getStringAttribute("event"));
            if (type.isNotEmpty() && uid != -1)
                bindAction(type, uid, events.getDisplayText(uid));
        }
    }
}

void GUIController::connectToParameter(Parameter* p)
{
    if (parameter != nullptr)
        parameter->removeController(this);
    parameter = p;
    if (parameter != nullptr)
        parameter->addController(this);
}

void GUIController::refreshFromParameter()
{
    if (parameter != nullptr)
        parameterValueChanged(parameter);
}

void GUIController::beginUserGesture()
{
    if (parameter == nullptr)
        return;
    parameter->beginChangeGesture();
    listeners.call([this](Listener& l) { l.controllerDragStarted(this); });
}

void GUIController::endUserGesture()
{
    if (parameter == nullptr)
        return;
    parameter->endChangeGesture();
    listeners.call([this](Listener& l) { l.controllerDragEnded(this); });
}

void GUIController::sendValueChanged()
{
    listeners.call([this](Listener& l) { l.controllerValueChanged(this); });
}

void GUIController::sendEvent(int eventUid)
{
    if (eventUid != -1)
        listeners.call([this, eventUid](Listener& l) { l.controllerEventTriggered(this, eventUid); });
}

bool GUIController::isBlinkHidden() const
{
    return isBlinking() && getBlinkPhase();
}
