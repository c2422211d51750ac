#include "core/ModulationMatrixModel.h"

#include "core/FloatParameter.h"
#include "core/XmlHelpers.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace
{
constexpr const char* kSourceNames[ModulationMatrixModel::numSources] = {
    "Modulation", "Expression", "Pitch Bend", "Velocity", "Pitch", "Channel Pressure", "Sustain", "Arpe Gate", "Arpe Tie",
};

constexpr const char* kMatrixTag = "ModulationMatrix";
constexpr const char* kRowTag = "Row";

// Attribute texts in a matrix document must be a number and nothing else: the
// lenient readers of XmlElement turn "abc" into 0, which would quietly route a
// broken row to the first source.
bool readWhole(const juce::XmlElement& element, const char* name, int& value)
{
    if (! element.hasAttribute(name))
        return false;
    const std::string text = element.getStringAttribute(name).trim().toStdString();
    const char* const end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    return result.ec == std::errc() && result.ptr == end && ! text.empty();
}

bool readWhole(const juce::XmlElement& element, const char* name, float& value)
{
    if (! element.hasAttribute(name))
        return false;
    const std::string text = element.getStringAttribute(name).trim().toStdString();
    const char* const end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value, std::chars_format::general);
    return result.ec == std::errc() && result.ptr == end && ! text.empty();
}
} // namespace

ModulationMatrixModel::ModulationMatrixModel()
{
    for (auto& value : sourceValues)
        value.store(0.0f);
}

ModulationMatrixModel::~ModulationMatrixModel() = default;

juce::String ModulationMatrixModel::getSourceName(int index)
{
    return juce::isPositiveAndBelow(index, numSources) ? juce::String(kSourceNames[index]) : juce::String();
}

bool ModulationMatrixModel::isValidRow(const Row& row)
{
    return row.source >= -1 && row.source < numSources && row.target >= -1 && std::isfinite(row.amount)
           && row.amount >= -1.0f && row.amount <= 1.0f;
}

void ModulationMatrixModel::addListener(Listener* listener)
{
    if (listener == nullptr)
        return;
    const juce::ScopedLock sl(lock);
    listeners.add(listener);
}

void ModulationMatrixModel::removeListener(Listener* listener)
{
    const juce::ScopedLock sl(lock);
    listeners.remove(listener);
}

int ModulationMatrixModel::getNumRows() const
{
    const juce::ScopedLock sl(lock);
    return rows.size();
}

ModulationMatrixModel::Row ModulationMatrixModel::getRow(int index) const
{
    // A copy, not a reference into the list: another thread may delete the row.
    const juce::ScopedLock sl(lock);
    if (const auto* row = rows[index])
        return *row;
    return {};
}

juce::Array<ModulationMatrixModel::Row> ModulationMatrixModel::getRows() const
{
    const juce::ScopedLock sl(lock);
    juce::Array<Row> copy;
    copy.ensureStorageAllocated(rows.size());
    for (const auto* row : rows)
        copy.add(*row);
    return copy;
}

bool ModulationMatrixModel::addRow(const Row& row, int index, bool notify)
{
    if (! isValidRow(row))
        return false;
    const juce::ScopedLock sl(lock);
    rows.insert(index, new Row(row));
    if (notify)
        listeners.call([this, &row](Listener& l) { l.rowAdded(this, row); });
    return true;
}

void ModulationMatrixModel::removeRow(int index)
{
    const juce::ScopedLock sl(lock);
    if (! juce::isPositiveAndBelow(index, rows.size()))
        return;
    const Row removed = *rows[index];
    rows.remove(index);
    listeners.call([this, &removed](Listener& l) { l.rowRemoved(this, removed); });
}

void ModulationMatrixModel::moveRow(int from, int to)
{
    const juce::ScopedLock sl(lock);
    rows.move(from, to);
}

bool ModulationMatrixModel::setRow(int index, const Row& row)
{
    if (! isValidRow(row))
        return false;
    const juce::ScopedLock sl(lock);
    auto* stored = rows[index];
    if (stored == nullptr || *stored == row)
        return false;
    const Row old = *stored;
    *stored = row;
    listeners.call([this, &old, &row](Listener& l) { l.rowChanged(this, old, row); });
    return true;
}

bool ModulationMatrixModel::setRows(const juce::Array<Row>& newRows)
{
    for (const auto& row : newRows)
        if (! isValidRow(row))
            return false;
    {
        const juce::ScopedLock sl(lock);
        rows.clear();
        for (const auto& row : newRows)
            rows.add(new Row(row));
    }
    rowsReset.sendChangeMessage();
    return true;
}

float ModulationMatrixModel::getSourceValue(int source) const
{
    return juce::isPositiveAndBelow(source, numSources) ? sourceValues[(size_t) source].load() : 0.0f;
}

void ModulationMatrixModel::setSourceValue(int source, float value)
{
    if (! juce::isPositiveAndBelow(source, numSources) || ! std::isfinite(value))
        return;
    sourceValues[(size_t) source].store(value);
    valuesChanged.sendChangeMessage();
}

std::unique_ptr<juce::XmlElement> ModulationMatrixModel::createXml() const
{
    auto element = std::make_unique<juce::XmlElement>(kMatrixTag);
    const juce::ScopedLock sl(lock);
    for (int i = 0; i < rows.size(); ++i)
    {
        auto* child = element->createNewChildElement(kRowTag);
        child->setAttribute("index", i);
        child->setAttribute("source", rows[i]->source);
        child->setAttribute("target", rows[i]->target);
        child->setAttribute("amount", FloatParameter::formatValue(rows[i]->amount));
    }
    return element;
}

bool ModulationMatrixModel::loadFromXml(const juce::XmlElement& element)
{
    if (! tagNameIs(element, kMatrixTag))
        return false;

    std::vector<const juce::XmlElement*> rowElements;
    for (const auto* child : element.getChildIterator())
        if (tagNameIs(*child, kRowTag))
            rowElements.push_back(child);

    // Every index 0..n-1 exactly once: the rows may stand in any order in the
    // file, but a gap or a repeat means the document is damaged.
    std::vector<Row> ordered(rowElements.size());
    std::vector<bool> seen(rowElements.size(), false);
    for (const auto* child : rowElements)
    {
        int index = -1;
        Row row;
        if (! readWhole(*child, "index", index) || ! readWhole(*child, "source", row.source)
            || ! readWhole(*child, "target", row.target) || ! readWhole(*child, "amount", row.amount))
            return false;
        if (! juce::isPositiveAndBelow(index, (int) ordered.size()) || seen[(size_t) index] || ! isValidRow(row))
            return false;
        seen[(size_t) index] = true;
        ordered[(size_t) index] = row;
    }

    juce::Array<Row> newRows;
    for (const auto& row : ordered)
        newRows.add(row);
    return setRows(newRows);
}
