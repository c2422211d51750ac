#pragma once

#include <juce_events/juce_events.h>
#include <array>
#include <atomic>
#include <memory>

// The data behind a skinned modulation matrix: an ordered list of routing rows,
// each taking one MIDI modulation source to one destination with a signed
// amount, and the current value of each of the nine sources.
//
// Row edits are told to listeners synchronously, inside the model's lock, on the
// calling thread. Source values are single atomics, so whatever measures the
// sources may write them without the lock; their change and a replacement of the
// whole row list are announced through the two broadcasters, which deliver on the
// message thread.
//
// Rows and indices are checked on the way in: a row whose source is not -1..8,
// whose target is below -1 or whose amount is not a number in -1..1 is refused,
// and an index outside the list changes nothing, so a broken file or a careless
// caller can never make the model index out of bounds.
class ModulationMatrixModel
{
public:
    static constexpr int numSources = 9;

    struct Row
    {
        int source = -1;
        int target = -1;
        float amount = 0.0f;

        bool operator==(const Row& other) const noexcept
        {
            return source == other.source && target == other.target && amount == other.amount;
        }
        bool operator!=(const Row& other) const noexcept { return ! operator==(other); }
    };

    class Listener
    {
    public:
        virtual ~Listener() = default;
        virtual void rowAdded(ModulationMatrixModel*, const Row& row) {}
        virtual void rowRemoved(ModulationMatrixModel*, const Row& removedRow) {}
        virtual void rowChanged(ModulationMatrixModel*, const Row& oldRow, const Row& newRow) {}
    };

    ModulationMatrixModel();
    ~ModulationMatrixModel();

    // "Modulation", "Expression", ... "Arpe Tie"; empty outside 0..8.
    static juce::String getSourceName(int index);
    // A source of -1..8, a target of -1 or more, a finite amount in -1..1.
    static bool isValidRow(const Row& row);

    void addListener(Listener* listener);
    void removeListener(Listener* listener);

    int getNumRows() const;
    // The row at index, or the empty row {-1, -1, 0} outside the list.
    Row getRow(int index) const;
    juce::Array<Row> getRows() const;

    // Inserts a copy at index (-1, or any index outside the list, appends). An
    // invalid row is refused (false).
    bool addRow(const Row& row, int index, bool notify);
    void removeRow(int index);
    // Moves a row within the list; a target beyond the end means the last place.
    // Nobody is told.
    void moveRow(int from, int to);
    // Stores new values for an existing row and tells rowChanged. Equal values, an
    // index outside the list and an invalid row change nothing.
    bool setRow(int index, const Row& row);

    // Replaces the whole list and sends rowsReset. Refused (false, nothing changes)
    // when any of the rows is invalid.
    bool setRows(const juce::Array<Row>& newRows);

    // 0 for a source outside 0..8.
    float getSourceValue(int source) const;
    // Stores a source value and sends valuesChanged; a source outside 0..8 or a
    // value that is not a finite number is ignored.
    void setSourceValue(int source, float value);

    // The rows as a "ModulationMatrix" element with one "Row" child per row.
    std::unique_ptr<juce::XmlElement> createXml() const;
    // Replaces the rows with those of a "ModulationMatrix" element (through
    // setRows). A document with a wrong tag, a missing or unreadable attribute,
    // an invalid row, or "index" attributes that are not 0..n-1 each exactly once
    // is refused as a whole: false, and the rows stay as they were.
    bool loadFromXml(const juce::XmlElement& element);

    juce::ChangeBroadcaster valuesChanged;
    juce::ChangeBroadcaster rowsReset;

private:
    juce::CriticalSection lock;
    juce::ListenerList<Listener> listeners;
    juce::OwnedArray<Row> rows;
    std::array<std::atomic<float>, numSources> sourceValues;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(ModulationMatrixModel)
};
