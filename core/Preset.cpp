#include "core/Preset.h"

#include "core/Parameter.h"
#include "core/ParameterManager.h"
#include "core/XmlHelpers.h"
#include "core/XmlInput.h"

namespace
{
constexpr const char* kPresetTag = "Preset";
constexpr const char* kParamTag = "param";
constexpr const char* kExtraDataTag = "ExtraData";
constexpr int kMinRating = 1;
constexpr int kMaxRating = 5;
} // namespace

int Preset::Comparator::compareElements(const IdTextPair* a, const IdTextPair* b)
{
    // Compared rather than subtracted, so extreme ids cannot overflow.
    return a->id < b->id ? -1 : (b->id < a->id ? 1 : 0);
}

Preset::Preset() = default;

Preset::Preset(const juce::String& presetName, const juce::String& ownerId)
    : name(presetName), id(ownerId)
{
}

Preset::~Preset() = default;

void Preset::clear()
{
    entries.clear();
    ids.clear();
}

void Preset::addParameter(Parameter* p)
{
    if (p != nullptr)
        addParameter(p->getId(), p->getText());
}

void Preset::addParameter(int entryId, const juce::String& text)
{
    addEntry(new IdTextPair(entryId, text));
}

void Preset::addEntry(IdTextPair* entry)
{
    if (entry == nullptr)
        return;
    entries.add(entry);
    ids.addRange({ entry->id, entry->id + 1 });
}

void Preset::addEntryCopy(const IdTextPair& entry)
{
    addEntry(new IdTextPair(entry));
}

void Preset::addMissingEntries(const Preset& other)
{
    // Judged against the ids held before the call, so that an id the other preset
    // lists more than once keeps all its entries (the last one wins when applied).
    const juce::SparseSet<int> existing = ids;
    for (auto* e : other.entries)
        if (!existing.contains(e->id))
            addEntryCopy(*e);
}

void Preset::sortEntries()
{
    Comparator comparator;
    // Stable, so repeated entries of one id keep their order.
    entries.sort(comparator, true);
}

void Preset::setRating(int newRating)
{
    if (newRating < kMinRating || newRating > kMaxRating)
        return;
    rating = newRating;
    ratingSet = true;
}

void Preset::loadFromXml(const juce::XmlElement* e, ParameterManager* manager, bool headerOnly)
{
    clear();
    if (e == nullptr || !tagNameIs(*e, kPresetTag))
        return;

    name = e->getStringAttribute("name");
    application = e->getStringAttribute("application");
    category = e->getStringAttribute("category");
    version = e->getStringAttribute("version");
    author = e->getStringAttribute("author");
    id = e->getStringAttribute("id");
    tags.setFromText(e->getStringAttribute("tags"));

    // A record reused for another preset must not keep the old one's rating or
    // extra data when the new one has none.
    rating = kDefaultRating;
    ratingSet = false;
    extraData.reset();

    if (e->hasAttribute("rating"))
        setRating(Parameter::parseIntText(e->getStringAttribute("rating")));

    if (headerOnly)
        return;

    if (manager != nullptr)
    {
        for (auto* child : e->getChildIterator())
        {
            if (!tagNameIs(*child, kParamTag))
                continue;
            const int paramId = manager->getParameterIndex(child->getStringAttribute("name"));
            if (paramId >= 0)
                addParameter(paramId, child->getStringAttribute("value"));
        }
    }

    for (auto* child : e->getChildIterator())
    {
        if (!tagNameIs(*child, kExtraDataTag))
            continue;
        if (auto* data = child->getFirstChildElement())
            extraData = std::make_unique<juce::XmlElement>(*data);
        break;
    }
}

std::unique_ptr<juce::XmlElement> Preset::createXml(ParameterManager* manager) const
{
    auto e = std::make_unique<juce::XmlElement>(kPresetTag);

    const std::pair<const char*, const juce::String*> headerAttributes[] = {
        { "name", &name },       { "application", &application }, { "category", &category },
        { "version", &version }, { "author", &author },           { "id", &id },
    };
    for (const auto& [attribute, value] : headerAttributes)
        if (value->isNotEmpty())
            e->setAttribute(attribute, *value);

    if (ratingSet)
        e->setAttribute("rating", rating);
    if (tags.getNumKeys() > 0)
        e->setAttribute("tags", tags.toText());

    if (manager != nullptr)
    {
        for (auto* entry : entries)
        {
            // Entries of parameters that no longer exist are dropped.
            auto* p = manager->getParameter(entry->id);
            if (p == nullptr)
                continue;
            auto* param = e->createNewChildElement(kParamTag);
            param->setAttribute("name", p->getName());
            param->setAttribute("value", entry->text);
        }
    }

    if (extraData != nullptr)
        e->createNewChildElement(kExtraDataTag)->addChildElement(new juce::XmlElement(*extraData));

    return e;
}

bool Preset::loadFromFile(const juce::File& file, ParameterManager* manager, bool headerOnly)
{
    // The whole file is checked even for its header: a damaged or cut-off file
    // can parse as a root without entries, and nothing of it may be trusted.
    auto e = XmlInput::readFile(file, XmlInput::Kind::preset);
    // A file that is not a preset leaves the record as it was.
    if (e == nullptr)
        return false;
    loadFromXml(e.get(), manager, headerOnly);
    return true;
}

bool Preset::saveToFile(const juce::File& file, ParameterManager* manager)
{
    auto e = createXml(manager);
    return writeXmlFile(*e, file);
}

bool Preset::rewriteHeaderInFile(const juce::File& file, int fields) const
{
    auto e = XmlInput::readFile(file, XmlInput::Kind::preset);
    if (e == nullptr)
        return false;

    const auto rewrite = [&e](const char* attribute, const juce::String& value) {
        if (value.isEmpty())
            e->removeAttribute(attribute);
        else
            e->setAttribute(attribute, value);
    };
    if ((fields & authorField) != 0)
        rewrite("author", author);
    if ((fields & idField) != 0)
        rewrite("id", id);

    return writeXmlFile(*e, file);
}
