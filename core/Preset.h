#pragma once

#include <juce_core/juce_core.h>
#include <memory>

#include "core/KeyValueListMap.h"

class Parameter;
class ParameterManager;

// One preset entry: a parameter id and its value as the parameter's text.
struct IdTextPair
{
    IdTextPair() = default;
    IdTextPair(int entryId, const juce::String& entryText) : id(entryId), text(entryText) {}

    int id = 0;
    juce::String text;
};

// A set of parameter values kept as text, with a header and optional extra XML.
// Files store parameters by name, so a preset stays readable when ids change and
// parameters that no longer exist are dropped on reading.
class Preset
{
public:
    // Bits of rewriteHeaderInFile's fields argument.
    enum HeaderField
    {
        authorField = 2,
        idField = 4
    };

    // Orders entries by ascending id.
    class Comparator
    {
    public:
        virtual ~Comparator() = default;
        virtual int compareElements(const IdTextPair* a, const IdTextPair* b);
    };

    Preset();
    Preset(const juce::String& name, const juce::String& id);
    virtual ~Preset();

    // Reads a preset file; a missing, unreadable or foreign file changes nothing and
    // gives false. With headerOnly only the root element's attributes are read.
    virtual bool loadFromFile(const juce::File& file, ParameterManager* manager, bool headerOnly);
    // Writes the preset through a temporary file; the old file is replaced only
    // when the new one is complete.
    virtual bool saveToFile(const juce::File& file, ParameterManager* manager);

    // Entries.
    void clear();
    void addParameter(Parameter* p);
    void addParameter(int id, const juce::String& text);
    void addEntry(IdTextPair* entry);
    void addEntryCopy(const IdTextPair& entry);
    void addMissingEntries(const Preset& other);
    void sortEntries();
    int getNumEntries() const { return entries.size(); }
    IdTextPair* getEntry(int index) const { return entries[index]; }
    const juce::SparseSet<int>& getIds() const { return ids; }
    bool containsId(int entryId) const { return ids.contains(entryId); }

    // Header.
    const juce::String& getName() const { return name; }
    void setName(const juce::String& newName) { name = newName; }
    const juce::String& getAuthor() const { return author; }
    void setAuthor(const juce::String& newAuthor) { author = newAuthor; }
    const juce::String& getId() const { return id; }
    void setId(const juce::String& newId) { id = newId; }
    const juce::String& getApplication() const { return application; }
    void setApplication(const juce::String& newApplication) { application = newApplication; }
    const juce::String& getCategory() const { return category; }
    void setCategory(const juce::String& newCategory) { category = newCategory; }
    const juce::String& getVersion() const { return version; }
    void setVersion(const juce::String& newVersion) { version = newVersion; }

    int getRating() const { return rating; }
    bool isRatingSet() const { return ratingSet; }
    // Values outside 1..5 are ignored.
    void setRating(int newRating);

    const KeyValueListMap& getTags() const { return tags; }
    KeyValueListMap& getTags() { return tags; }
    void setTags(const KeyValueListMap& newTags) { tags = newTags; }

    const juce::XmlElement* getExtraData() const { return extraData.get(); }
    void setExtraData(std::unique_ptr<juce::XmlElement> newExtraData) { extraData = std::move(newExtraData); }

    // XML form: root "Preset". A null element or another root clears the entries only.
    void loadFromXml(const juce::XmlElement* e, ParameterManager* manager, bool headerOnly);
    std::unique_ptr<juce::XmlElement> createXml(ParameterManager* manager) const;

    // Changes the author (authorField) and owner id (idField) of a preset file in
    // place, leaving everything else in it as it was. False when the file is not a
    // readable preset (it is then left untouched) or cannot be written.
    bool rewriteHeaderInFile(const juce::File& file, int fields) const;

    static constexpr int kDefaultRating = 3;

protected:
    juce::String name;

private:
    juce::OwnedArray<IdTextPair> entries;
    juce::SparseSet<int> ids;
    juce::String author, id, application, category, version;
    int rating = kDefaultRating;
    bool ratingSet = false;
    KeyValueListMap tags;
    std::unique_ptr<juce::XmlElement> extraData;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR(Preset)
};
