// Mutated chunks, presets, settings files and map files, from fixed seeds,
// against the whole processor: each is loaded, a block is processed, and
//  - nothing crashes, hangs or reads out of bounds (run it under the
//    address and undefined-behaviour sanitizers to see the last two),
//  - the output stays finite,
//  - what the processor writes after any load it reads back,
//  - a file it refused is left as it was, byte for byte (a refused settings
//    file is kept beside the new one).

#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "core/XmlInput.h"
#include "processor/Tavinor.h"

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr double kSampleRate = 44100.0;
constexpr int kBlockSize = 256;

using Mutation = std::function<void(juce::Random&, std::string&)>;

std::unique_ptr<Tavinor> makeProcessor()
{
    std::unique_ptr<juce::AudioProcessor> p(createPluginFilter());
    std::unique_ptr<Tavinor> t(dynamic_cast<Tavinor*>(p.get()));
    if (t != nullptr)
        p.release();
    if (t != nullptr)
        t->prepareToPlay(kSampleRate, kBlockSize);
    return t;
}

// One block of noise through the processor; false when anything came out
// that is not a finite number.
bool processesFiniteBlock(Tavinor& t, juce::Random& random)
{
    juce::AudioBuffer<float> buffer(2, kBlockSize);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < kBlockSize; ++i)
            buffer.setSample(ch, i, random.nextFloat() * 0.5f - 0.25f);
    juce::MidiBuffer midi;
    midi.addEvent(juce::MidiMessage::noteOn(1, 60, (juce::uint8) 100), 10);
    midi.addEvent(juce::MidiMessage::controllerEvent(1, 7, 90), 20);
    t.processBlock(buffer, midi);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < kBlockSize; ++i)
            if (! std::isfinite(buffer.getSample(ch, i)))
                return false;
    return true;
}

std::string toText(const juce::XmlElement& e, bool singleLine)
{
    auto format = juce::XmlElement::TextFormat();
    format.customEncoding = "UTF-8";
    format.lineWrapLength = 60;
    if (singleLine)
        format = format.singleLine();
    return e.toString(format).toStdString();
}

juce::MemoryBlock bytesOf(const juce::File& f)
{
    juce::MemoryBlock m;
    f.loadFileAsData(m);
    return m;
}

bool write(const juce::File& f, const std::string& text)
{
    return f.replaceWithData(text.data(), text.size());
}

//==============================================================================
// Mutations of the document's tree, made before it is written out.

juce::XmlElement* randomElement(juce::Random& r, juce::XmlElement& root)
{
    std::vector<juce::XmlElement*> all { &root };
    for (size_t i = 0; i < all.size(); ++i)
        for (auto* c : all[i]->getChildIterator())
            all.push_back(c);
    return all[(size_t) r.nextInt((int) all.size())];
}

const char* const kOddValues[] = {
    "nan", "NaN", "-nan", "inf", "-inf", "1e39", "-1e39", "1e-45", "3.4028235e38", "-0", "2147483648",
    "-2147483648", "4294967297", "99999999999999999999", "0x10", "", " ", "Bogus", "Saw Up", "LFO1", "C-5",
    "Z#9", "---", "\xc3\xa9t\xc3\xa9", "\xf0\x9f\x8e\xb5", "1;2|3:4", "&<>\"'", "yes", "TRUE", "off", "127", "128",
    "-1", "0", "1", "0.5",
};

juce::String oddValue(juce::Random& r)
{
    return juce::String::fromUTF8(kOddValues[r.nextInt((int) juce::numElementsInArray(kOddValues))]);
}

void mutateTree(juce::Random& r, juce::XmlElement& root)
{
    const int steps = 1 + r.nextInt(4);
    for (int s = 0; s < steps; ++s)
    {
        auto* e = randomElement(r, root);
        switch (r.nextInt(6))
        {
            case 0: // a value that is no number, too big, or of no enum
            {
                const int n = e->getNumAttributes();
                if (n > 0)
                    e->setAttribute(e->getAttributeName(r.nextInt(n)), oddValue(r));
                break;
            }
            case 1: // a duplicate element
                if (e != &root)
                    if (auto* parent = root.findParentElementOf(e))
                        parent->insertChildElement(new juce::XmlElement(*e), r.nextInt(parent->getNumChildElements() + 1));
                break;
            case 2: // a missing element
                if (e != &root)
                    if (auto* parent = root.findParentElementOf(e))
                        parent->removeChildElement(e, true);
                break;
            case 3: // an attribute of another name, or an unknown one
                e->setAttribute(r.nextBool() ? "name" : "bogus", oddValue(r));
                break;
            case 4: // an unknown element
                e->createNewChildElement(r.nextBool() ? "param" : "Unknown")->setAttribute("name", oddValue(r));
                break;
            default: // elements renamed
                if (e != &root || r.nextInt(4) == 0)
                    e->setTagName(r.nextBool() ? "assign" : "Preset");
                break;
        }
    }
}

//==============================================================================
// Mutations of the bytes.

void flipBits(juce::Random& r, std::string& s)
{
    if (s.empty())
        return;
    const int n = 1 + r.nextInt(8);
    for (int i = 0; i < n; ++i)
        s[(size_t) r.nextInt((int) s.size())] ^= (char) (1 << r.nextInt(8));
}

void truncate(juce::Random& r, std::string& s)
{
    s.resize((size_t) r.nextInt((int) s.size() + 1));
}

void insertBadUtf8(juce::Random& r, std::string& s)
{
    const char* const bad[] = { "\xc0", "\x80", "\xe2\x82", "\xf0\x9f\x8e", "\xed\xa0\x80", "\xf4\x90\x80\x80",
                                "\xc1\xbf", "\xff", "\xfe\xff" };
    const std::string piece = bad[r.nextInt((int) juce::numElementsInArray(bad))];
    if (r.nextBool())
        s += piece; // cut off at the very end
    else
        s.insert((size_t) r.nextInt((int) s.size() + 1), piece);
}

void nestDeeply(juce::Random& r, std::string& s)
{
    const auto at = s.find('>');
    if (at == std::string::npos)
        return;
    const int depth = r.nextBool() ? 60 + r.nextInt(10) : 100 + r.nextInt(20000);
    std::string open, close;
    for (int i = 0; i < depth; ++i)
    {
        open += "<d>";
        close += "</d>";
    }
    s.insert(at + 1, r.nextInt(4) == 0 ? open : open + close);
}

void makeHuge(juce::Random& r, std::string& s)
{
    const auto at = s.find('>');
    if (at == std::string::npos)
        return;
    const size_t size = r.nextBool() ? (size_t) (1 << 20) + (size_t) r.nextInt(1 << 20) : (size_t) r.nextInt(1 << 16);
    if (r.nextBool())
    {
        std::string wide;
        while (wide.size() < size)
            wide += "<param name=\"Dry/Wet\" value=\"0.5\"/>";
        s.insert(at + 1, wide);
    }
    else
    {
        s.insert(at + 1, "<X a=\"" + std::string(size, 'x') + "\"/>");
    }
}

void insertNul(juce::Random& r, std::string& s)
{
    s.insert((size_t) r.nextInt((int) s.size() + 1), 1, '\0');
}

void insertMarkup(juce::Random& r, std::string& s)
{
    const char* const pieces[] = { "<", ">", "&", "&#0;", "&#xD800;", "&#x110000;", "&bogus;", "<!DOCTYPE x>",
                                   "<![CDATA[", "]]>", "<!--", "-->", "<?", "\"", "'", "</Preset>", "<Preset>",
                                   "&#12345678901234;", "/>", "=" };
    const int n = 1 + r.nextInt(3);
    for (int i = 0; i < n; ++i)
        s.insert((size_t) r.nextInt((int) s.size() + 1), pieces[r.nextInt((int) juce::numElementsInArray(pieces))]);
}

void applyByteMutations(juce::Random& r, std::string& s)
{
    const std::vector<Mutation> mutations = { flipBits, truncate, insertBadUtf8, nestDeeply, makeHuge, insertNul,
                                              insertMarkup };
    const int steps = r.nextInt(3); // sometimes none: the tree mutation alone
    for (int i = 0; i < steps; ++i)
        mutations[(size_t) r.nextInt((int) mutations.size())](r, s);
}

std::string mutatedDocument(juce::Random& r, const juce::XmlElement& seed, bool singleLine)
{
    juce::XmlElement root(seed);
    if (r.nextInt(5) != 0)
        mutateTree(r, root);
    auto text = toText(root, singleLine);
    applyByteMutations(r, text);
    return text;
}

// JUCE's state envelope around the text, with a length field that may lie.
juce::MemoryBlock envelope(juce::Random& r, const std::string& text)
{
    juce::uint32 length = (juce::uint32) text.size();
    switch (r.nextInt(6))
    {
        case 0: length = (juce::uint32) r.nextInt(); break;
        case 1: length = 0xFFFFFFFFu; break;
        case 2: length = (juce::uint32) r.nextInt((int) text.size() + 1); break;
        case 3: length += (juce::uint32) r.nextInt(16); break;
        default: break;
    }
    juce::MemoryOutputStream out;
    out.writeInt(r.nextInt(20) == 0 ? r.nextInt() : 0x21324356);
    out.writeInt((int) length);
    out.write(text.data(), text.size());
    out.writeByte(0);
    auto block = out.getMemoryBlock();
    if (r.nextInt(10) == 0)
        block.setSize((size_t) r.nextInt((int) block.getSize() + 1));
    return block;
}

// A sound that uses much of the processor, so that its state has much to break.
void setBusySound(Tavinor& t)
{
    auto& pm = t.getParameterManager();
    pm.setText(Tavinor::kRouting, "Tapped Serial");
    pm.setNormalisedValue(Tavinor::kDryWet, 0.6f);
    pm.setText(Tavinor::getLineParameterBase(0) + Tavinor::kFilterType, "Low Pass");
    pm.setBoolValue(Tavinor::getLineParameterBase(0) + Tavinor::kOverdrive, true);
    pm.setText(Tavinor::getLineParameterBase(1) + Tavinor::kModSource, "MOD 2");
    pm.setText(Tavinor::kMod2Waveform, "Square");
    pm.setBoolValue(Tavinor::kLimiter, true);
    pm.setText(Tavinor::kMod1RetriggerNote, "D#4");
    t.getMidiControl().assign(7, pm.getParameter(Tavinor::kDryWet), true);
    t.getMidiControl().assign(8, pm.getParameter(Tavinor::getLineParameterBase(0) + Tavinor::kLevel), true);
    t.assignHostParameter(5, pm.getParameter(Tavinor::getLineParameterBase(0) + Tavinor::kFeedback), true);
}

class UntrustedInputFuzz : public ::testing::Test
{
protected:
    void SetUp() override
    {
        processor = makeProcessor();
        ASSERT_NE(processor, nullptr);
        setBusySound(*processor);
    }

    void TearDown() override
    {
        processor.reset();
        TestHelpers::pumpMessages();
    }

    // What the processor writes now, it must accept again.
    void expectOwnStateReadable()
    {
        juce::MemoryBlock state;
        processor->getStateInformation(state);
        EXPECT_NE(XmlInput::readChunk(state.getData(), (int) state.getSize(), XmlInput::Kind::pluginState), nullptr);
    }

    std::unique_ptr<Tavinor> processor;
    juce::Random random { 0 };
};
} // namespace

TEST_F(UntrustedInputFuzz, Chunks)
{
    juce::MemoryBlock good;
    processor->getStateInformation(good);
    const auto seed = XmlInput::readChunk(good.getData(), (int) good.getSize(), XmlInput::Kind::pluginState);
    ASSERT_NE(seed, nullptr);

    constexpr int kCases = 1000;
    for (int n = 0; n < kCases; ++n)
    {
        random.setSeed(1000 + n);
        SCOPED_TRACE("chunk case " + std::to_string(n));
        const auto text = mutatedDocument(random, *seed, true);
        const auto chunk = envelope(random, text);
        processor->setStateInformation(chunk.getData(), (int) chunk.getSize());
        ASSERT_TRUE(processesFiniteBlock(*processor, random));
        if (n % 10 == 0)
            expectOwnStateReadable();
    }
    // Still the same processor: a good chunk restores the sound exactly.
    processor->setStateInformation(good.getData(), (int) good.getSize());
    juce::MemoryBlock again;
    processor->getStateInformation(again);
    EXPECT_EQ(again, good);
}

TEST_F(UntrustedInputFuzz, Presets)
{
    auto* collection = processor->getPresetCollection(0);
    ASSERT_NE(collection, nullptr);
    const auto folder = collection->getRootFolder();
    const auto good = folder.getChildFile("A Good One.tnprst");
    processor->savePresetToFile(collection, good);
    const auto seed = XmlInput::readFile(good, XmlInput::Kind::preset);
    ASSERT_NE(seed, nullptr);

    struct Heard : public BasePlugin::Listener
    {
        void presetChanged(PresetCollection*) override { ++count; }
        int count = 0;
    } heard;
    processor->addListener(&heard);

    constexpr int kCases = 500;
    for (int n = 0; n < kCases; ++n)
    {
        random.setSeed(2000 + n);
        SCOPED_TRACE("preset case " + std::to_string(n));
        const auto file = folder.getChildFile("Fuzz " + juce::String(n) + ".tnprst");
        const auto text = mutatedDocument(random, *seed, false);
        ASSERT_TRUE(write(file, text));
        collection->rescan();

        const int before = heard.count;
        processor->loadPresetFile(collection, file);
        const bool refused = heard.count == before;
        ASSERT_TRUE(processesFiniteBlock(*processor, random));
        processor->updatePresetAuthor(file);
        processor->selectNextPreset(collection);
        processor->selectPreviousPreset(collection);
        ASSERT_TRUE(processesFiniteBlock(*processor, random));
        if (refused)
            EXPECT_EQ(bytesOf(file), juce::MemoryBlock(text.data(), text.size()));
        if (n % 10 == 0)
            expectOwnStateReadable();
        file.deleteFile();
    }
    processor->removeListener(&heard);
    good.deleteFile();
}

TEST_F(UntrustedInputFuzz, MapFiles)
{
    TestHelpers::TempFolder temp;
    const auto midiSeed = processor->getMidiControl().createXml();
    const auto hostSeed = processor->createHostParametersMapXml();

    constexpr int kCases = 350;
    for (int n = 0; n < kCases; ++n)
    {
        random.setSeed(3000 + n);
        SCOPED_TRACE("map case " + std::to_string(n));
        const bool midi = n % 2 == 0;
        const auto file = temp.getChild(midi ? "fuzz.tnccmap" : "fuzz.tnhpmap");
        const auto text = mutatedDocument(random, midi ? *midiSeed : *hostSeed, false);
        ASSERT_TRUE(write(file, text));
        if (midi)
            processor->getMidiControl().loadFromFile(file);
        else
            processor->loadHostParametersMapFile(file);
        for (int index = 0; index < 128; index += 9)
            processor->setParameter(index, random.nextFloat());
        ASSERT_TRUE(processesFiniteBlock(*processor, random));
        // Loading a map never writes it.
        EXPECT_EQ(bytesOf(file), juce::MemoryBlock(text.data(), text.size()));
        if (n % 10 == 0)
            expectOwnStateReadable();
    }
}

TEST_F(UntrustedInputFuzz, SettingsFiles)
{
    TestHelpers::TempFolder temp;
    const auto settingsFile = processor->getUserSettingsFile();
    processor->getMidiControl().saveToFile(temp.getChild("cc.tnccmap"));
    processor->saveHostParametersMapFile(temp.getChild("host.tnhpmap"));
    processor->getMidiControl().setDefaultMapEnabled(true);
    processor->getMidiControl().setDefaultMapFile(temp.getChild("cc.tnccmap").getFullPathName());
    processor->setDefaultHostParametersMapEnabled(true);
    processor->setDefaultHostParametersMapFile(temp.getChild("host.tnhpmap").getFullPathName());
    processor->saveUserSettings();
    const auto seed = XmlInput::readFile(settingsFile, XmlInput::Kind::userSettings);
    ASSERT_NE(seed, nullptr);
    processor.reset();

    const auto aside = settingsFile.getSiblingFile(settingsFile.getFileName() + ".unreadable");
    // Fewer: each case starts, runs and closes a whole processor, whose signal
    // path takes its time to prepare.
    constexpr int kCases = 150;
    for (int n = 0; n < kCases; ++n)
    {
        random.setSeed(4000 + n);
        SCOPED_TRACE("settings case " + std::to_string(n));
        const auto text = mutatedDocument(random, *seed, false);
        ASSERT_TRUE(write(settingsFile, text));
        const bool readable =
            XmlInput::parse(text.data(), text.size(), XmlInput::Kind::userSettings) != nullptr;
        {
            auto t = makeProcessor();
            ASSERT_NE(t, nullptr);
            ASSERT_TRUE(processesFiniteBlock(*t, random));
        } // closing writes the settings
        TestHelpers::pumpMessages();

        ASSERT_NE(XmlInput::readFile(settingsFile, XmlInput::Kind::userSettings), nullptr);
        if (aside.exists())
            EXPECT_EQ(bytesOf(aside), juce::MemoryBlock(text.data(), text.size()));
        else
            EXPECT_TRUE(readable);
        aside.deleteFile();
    }
}

// Settings filled by another writer to just under the reader's limits,
// with what grows when written again (indentation, characters written as
// references), anywhere in the tree: two instances in turn read and rewrite
// them, and each time the file is one the next instance reads.
TEST_F(UntrustedInputFuzz, SettingsFilesNearTheLimit)
{
    const auto settingsFile = processor->getUserSettingsFile();
    processor->setAuthorName("Alice");
    processor->saveUserSettings();
    const auto seed = XmlInput::readFile(settingsFile, XmlInput::Kind::userSettings);
    ASSERT_NE(seed, nullptr);
    processor.reset();

    const auto aside = settingsFile.getSiblingFile(settingsFile.getFileName() + ".unreadable");
    const char* const pieces[] = { "a", "\xc3\xa9", "\t", " ", "&", "\"", "\xf0\x9f\x8e\xb5", "<", "z" };
    const auto accepted = [](const std::string& text) {
        return XmlInput::checkBeforeParsing(text.data(), text.size(), XmlInput::Kind::userSettings)
               == XmlInput::Verdict::accepted;
    };
    constexpr int kCases = 8;
    for (int n = 0; n < kCases; ++n)
    {
        random.setSeed(7000 + n);
        SCOPED_TRACE("settings case " + std::to_string(n));
        // Grown in steps, each up to half of the room left, compactly
        // written, until steps are refused.
        const auto limit = (int) XmlInput::getMaxBytes(XmlInput::Kind::userSettings);
        auto tree = std::make_unique<juce::XmlElement>(*seed);
        int room = limit - (int) toText(*tree, true).size();
        for (int refused = 0; refused < 3;)
        {
            auto grown = std::make_unique<juce::XmlElement>(*tree);
            auto* target = randomElement(random, *grown);
            if (random.nextBool())
            {
                constexpr int kChildBytes = 13;
                // In front: adding at the end walks every child there is.
                for (int i = 1 + random.nextInt(juce::jmax(1, room / 2 / kChildBytes)); i > 0; --i)
                {
                    auto* child = new juce::XmlElement("i");
                    child->setAttribute("n", random.nextInt(1000));
                    target->prependChildElement(child);
                }
            }
            else
            {
                // Short: JUCE's parser takes time in the square of an
                // attribute's references.
                constexpr int kMaxPieces = 4000;
                std::string value;
                for (int i = 1 + random.nextInt(juce::jlimit(1, kMaxPieces, room / 4)); i > 0; --i)
                    value += pieces[random.nextInt((int) juce::numElementsInArray(pieces))];
                target->setAttribute("x" + juce::String(random.nextInt(100000)), juce::String::fromUTF8(value.c_str()));
            }
            const auto grownText = toText(*grown, true);
            if (! accepted(grownText))
            {
                ++refused;
                continue;
            }
            tree = std::move(grown);
            room = limit - (int) grownText.size();
        }
        const auto text = toText(*tree, true);
        ASSERT_TRUE(write(settingsFile, text));

        const auto name = "Alice " + juce::String(n);
        for (int instance = 0; instance < 2; ++instance)
        {
            {
                auto t = makeProcessor();
                ASSERT_NE(t, nullptr);
                if (instance == 1)
                    t->setAuthorName(name);
            } // closing writes the settings
            TestHelpers::pumpMessages();
            const auto root = XmlInput::readFile(settingsFile, XmlInput::Kind::userSettings);
            EXPECT_NE(root, nullptr) << "instance " << instance << ", " << text.size() << " bytes read, "
                                     << settingsFile.getSize() << " written";
            EXPECT_FALSE(aside.exists());
        }
        // The change goes in, unless nothing of the settings could be written
        // readably (what grows lies in what the plug-in knows): then the file
        // is as it was.
        auto t = makeProcessor();
        if (t->getAuthorName() != name)
            EXPECT_EQ(bytesOf(settingsFile), juce::MemoryBlock(text.data(), text.size()));
        t.reset();
        TestHelpers::pumpMessages();
    }
}
