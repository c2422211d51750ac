#include "core/XmlInput.h"

#include "core/BundleResources.h"
#include "core/XmlHelpers.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
using Kind = XmlInput::Kind;
using Verdict = XmlInput::Verdict;

constexpr size_t kKiB = 1024;
constexpr size_t kMiB = 1024 * kKiB;

bool hasParameterEntries(const juce::XmlElement& root)
{
    return findChildTagged(root, "param") != nullptr;
}

struct Rules
{
    Kind kind;
    const char* rootTag;
    const char* otherRootTag; // an older name of the same root, or null
    size_t maxBytes;          // each far above what the plug-in itself writes
    bool (*isComplete)(const juce::XmlElement&);
};

const Rules kRules[] = {
    { Kind::pluginState, "PluginState", nullptr, 4 * kMiB, nullptr },
    { Kind::preset, "Preset", nullptr, 1 * kMiB, hasParameterEntries },
    { Kind::userSettings, "UserSettings", nullptr, 1 * kMiB, nullptr },
    { Kind::midiControlMap, "MidiControlMap", "MidiCCMap", 1 * kMiB, nullptr },
    { Kind::hostParametersMap, "HostParametersMap", nullptr, 1 * kMiB, nullptr },
    { Kind::parameterSet, "PluginParameters", nullptr, 4 * kMiB, nullptr },
    { Kind::eventsMap, "EventsMap", nullptr, 1 * kMiB, nullptr },
    { Kind::skin, "PluginEditor", nullptr, 4 * kMiB, nullptr },
};

const Rules& rulesFor(Kind kind)
{
    for (const auto& r : kRules)
        if (r.kind == kind)
            return r;
    jassertfalse;
    return kRules[0];
}

bool isWhitespace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isNameChar(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'
        || c == ':' || c == '.';
}

int hexDigitValue(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A flat, non-recursive pass over the text that JUCE's parser would take: it
// measures the nesting and makes sure there is one complete root element, with
// nothing in it that the parser would turn into a half-read tree or into text
// that we could not write back and read again.
class StructureScan
{
public:
    StructureScan(const unsigned char* text, size_t length) : s(text), n(length) {}

    Verdict run()
    {
        while (i < n)
        {
            if (s[i] != '<')
            {
                if (depth == 0 && ! isWhitespace(s[i]))
                    return Verdict::malformed; // text outside the root
                if (s[i] != '&')
                    ++i;
                else if (! skipReference())
                    return Verdict::malformed;
                continue;
            }

            if (startsWith("<!--"))
            {
                if (! skipPast("-->", 4))
                    return Verdict::malformed;
            }
            else if (startsWith("<?"))
            {
                if (! skipPast("?>", 2))
                    return Verdict::malformed;
            }
            else if (startsWith("<![CDATA["))
            {
                if (depth == 0 || ! skipPast("]]>", 9))
                    return Verdict::malformed;
            }
            else if (startsWith("<!"))
            {
                // A DOCTYPE would bring entity definitions, which JUCE expands
                // recursively; none of our documents has one.
                return Verdict::malformed;
            }
            else if (startsWith("</"))
            {
                if (depth == 0 || ! skipPast(">", 2))
                    return Verdict::malformed;
                if (--depth == 0)
                    return Verdict::accepted; // the root is complete; the parser reads no further
            }
            else
            {
                const auto verdict = readStartTag();
                if (verdict != Verdict::accepted)
                    return verdict;
                if (depth == 0)
                    return Verdict::accepted; // an empty root element
            }
        }
        // Nothing at all, or cut off inside the root.
        return Verdict::malformed;
    }

private:
    bool startsWith(const char* token) const
    {
        const size_t len = std::strlen(token);
        return n - i >= len && std::memcmp(s + i, token, len) == 0;
    }

    // Moves past the next occurrence of token, searching from offset bytes on.
    bool skipPast(const char* token, size_t offset)
    {
        const size_t len = std::strlen(token);
        for (size_t j = i + offset; j + len <= n; ++j)
        {
            if (std::memcmp(s + j, token, len) == 0)
            {
                i = j + len;
                return true;
            }
        }
        return false;
    }

    Verdict readStartTag()
    {
        if (++elements > XmlInput::kMaxElements)
            return Verdict::tooManyElements;

        unsigned char quote = 0;
        size_t j = i + 1;
        for (; j < n; ++j)
        {
            const unsigned char c = s[j];
            if (quote != 0)
            {
                if (c == quote)
                    quote = 0;
                else if (c == '&')
                {
                    i = j;
                    if (! skipReference())
                        return Verdict::malformed;
                    j = i - 1;
                }
            }
            else if (c == '"' || c == '\'')
                quote = c;
            else if (c == '<')
                return Verdict::malformed;
            else if (c == '>')
                break;
        }
        if (j >= n)
            return Verdict::malformed; // cut off inside the tag

        const bool empty = s[j - 1] == '/' && j - 1 > i;
        // An empty element still costs the parser one more level.
        if (depth + 1 > XmlInput::kMaxDepth)
            return Verdict::tooDeep;
        if (! empty)
            ++depth;
        i = j + 1;
        return Verdict::accepted;
    }

    // At an '&': a character reference to a character that can stand in a
    // document, or a named entity. Moves past it.
    bool skipReference()
    {
        size_t j = i + 1;
        if (j < n && s[j] == '#')
        {
            ++j;
            const bool hex = j < n && (s[j] == 'x' || s[j] == 'X');
            if (hex)
                ++j;
            const size_t maxDigits = hex ? 8 : 12; // what JUCE itself reads
            std::int64_t value = 0;
            size_t digits = 0;
            for (; j < n && s[j] != ';'; ++j, ++digits)
            {
                const int d = hex ? hexDigitValue(s[j]) : (s[j] >= '0' && s[j] <= '9' ? s[j] - '0' : -1);
                if (d < 0 || digits >= maxDigits)
                    return false;
                value = value * (hex ? 16 : 10) + d;
            }
            if (j >= n || digits == 0)
                return false;
            if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
                return false;
            i = j + 1;
            return true;
        }

        constexpr size_t kMaxEntityName = 32;
        size_t length = 0;
        for (; j < n && isNameChar(s[j]) && length <= kMaxEntityName; ++j)
            ++length;
        if (j >= n || s[j] != ';' || length == 0 || length > kMaxEntityName)
            return false;
        i = j + 1;
        return true;
    }

    const unsigned char* s;
    size_t n;
    size_t i = 0;
    int depth = 0;
    int elements = 0;
};

// Reads at most limit + 1 bytes of a regular file; a pipe or device is refused
// from its status, before any read could block or never end.
Verdict readRegularFile(const juce::File& file, size_t limit, juce::MemoryBlock& data)
{
    const auto path = file.getFullPathName();
    if (path.isEmpty())
        return Verdict::unreadable;

    const int fd = ::open(path.toRawUTF8(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return Verdict::unreadable;

    Verdict verdict = Verdict::accepted;
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        verdict = Verdict::unreadable;
    else if (! S_ISREG(info.st_mode))
        verdict = Verdict::notRegularFile;
    else if (info.st_size < 0 || (std::uint64_t) info.st_size > (std::uint64_t) limit)
        verdict = Verdict::tooLarge;
    else
    {
        // The file may grow while we read (or report no size at all); never
        // take more than the limit.
        size_t capacity = (size_t) info.st_size + 1;
        data.setSize(capacity, false);
        size_t total = 0;
        for (;;)
        {
            if (total == capacity)
            {
                if (capacity > limit)
                    break;
                capacity = juce::jmin(limit + 1, capacity * 2);
                data.setSize(capacity, false);
            }
            const auto got = ::read(fd, static_cast<char*>(data.getData()) + total, capacity - total);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
            {
                verdict = Verdict::unreadable;
                break;
            }
            if (got == 0)
                break;
            total += (size_t) got;
        }
        if (verdict == Verdict::accepted && total > limit)
            verdict = Verdict::tooLarge;
        data.setSize(total, false);
    }
    ::close(fd);
    return verdict;
}

constexpr juce::uint32 kChunkMagic = 0x21324356; // as juce::AudioProcessor writes it
constexpr int kChunkHeaderBytes = 8;

// Valid UTF-8: no overlong forms, surrogates or code points above U+10FFFF, no
// sequence cut off at the end.
bool isValidUtf8(const void* data, size_t numBytes)
{
    const auto* s = static_cast<const unsigned char*>(data);
    size_t i = 0;
    while (i < numBytes)
    {
        const unsigned char c = s[i];
        if (c < 0x80)
        {
            ++i;
            continue;
        }

        size_t extra = 0;
        std::uint32_t codePoint = 0;
        std::uint32_t smallest = 0;
        if (c >= 0xC2 && c <= 0xDF)
        {
            extra = 1;
            codePoint = c & 0x1Fu;
            smallest = 0x80;
        }
        else if (c >= 0xE0 && c <= 0xEF)
        {
            extra = 2;
            codePoint = c & 0x0Fu;
            smallest = 0x800;
        }
        else if (c >= 0xF0 && c <= 0xF4)
        {
            extra = 3;
            codePoint = c & 0x07u;
            smallest = 0x10000;
        }
        else
        {
            return false; // a continuation byte out of place, or a lead byte no valid text has
        }

        if (numBytes - i <= extra)
            return false; // cut off at the end
        for (size_t k = 1; k <= extra; ++k)
        {
            const unsigned char next = s[i + k];
            if ((next & 0xC0u) != 0x80u)
                return false;
            codePoint = (codePoint << 6) | (next & 0x3Fu);
        }
        if (codePoint < smallest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

// The document's text: without the NULs that may end it (the chunk envelope
// ends in one) and without a UTF-8 byte-order mark.
std::pair<const unsigned char*, size_t> documentText(const void* data, size_t numBytes)
{
    const auto* s = static_cast<const unsigned char*>(data);
    while (numBytes > 0 && s[numBytes - 1] == 0)
        --numBytes;
    if (numBytes >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF)
    {
        s += 3;
        numBytes -= 3;
    }
    return { s, numBytes };
}

void report(Verdict* verdict, Verdict value)
{
    if (verdict != nullptr)
        *verdict = value;
}
} // namespace

size_t XmlInput::getMaxBytes(Kind kind)
{
    return rulesFor(kind).maxBytes;
}

XmlInput::Verdict XmlInput::checkBeforeParsing(const void* data, size_t numBytes, Kind kind)
{
    const auto& rules = rulesFor(kind);
    if (numBytes > rules.maxBytes)
        return Verdict::tooLarge;
    if (data == nullptr || numBytes == 0)
        return Verdict::malformed;

    const auto [text, length] = documentText(data, numBytes);
    if (std::memchr(text, 0, length) != nullptr)
        return Verdict::containsNul;
    if (! isValidUtf8(text, length))
        return Verdict::notUtf8;
    return StructureScan(text, length).run();
}

std::unique_ptr<juce::XmlElement> XmlInput::parse(const void* data, size_t numBytes, Kind kind, Verdict* verdict)
{
    const auto before = checkBeforeParsing(data, numBytes, kind);
    report(verdict, before);
    if (before != Verdict::accepted)
        return nullptr;

    // Valid UTF-8 of a known length: JUCE's decoder stays inside it.
    const auto [text, length] = documentText(data, numBytes);
    auto root = juce::XmlDocument(juce::String::fromUTF8(reinterpret_cast<const char*>(text), (int) length))
                    .getDocumentElement();
    if (root == nullptr)
    {
        report(verdict, Verdict::malformed);
        return nullptr;
    }

    const auto& rules = rulesFor(kind);
    const bool rootMatches = tagNameIs(*root, rules.rootTag)
        || (rules.otherRootTag != nullptr && tagNameIs(*root, rules.otherRootTag));
    if (! rootMatches || (rules.isComplete != nullptr && ! rules.isComplete(*root)))
    {
        report(verdict, Verdict::wrongRoot);
        return nullptr;
    }
    return root;
}

std::unique_ptr<juce::XmlElement> XmlInput::readFile(const juce::File& file, Kind kind, Verdict* verdict)
{
    juce::MemoryBlock data;
    const auto read = readRegularFile(file, getMaxBytes(kind), data);
    if (read != Verdict::accepted)
    {
        report(verdict, read);
        return nullptr;
    }
    return parse(data.getData(), data.getSize(), kind, verdict);
}

std::unique_ptr<juce::XmlElement> XmlInput::readChunk(const void* data, int numBytes, Kind kind, Verdict* verdict)
{
    if (data == nullptr || numBytes <= kChunkHeaderBytes
        || juce::ByteOrder::littleEndianInt(data) != kChunkMagic)
    {
        report(verdict, Verdict::malformed);
        return nullptr;
    }
    const auto* bytes = static_cast<const char*>(data);
    const auto statedLength = (size_t) juce::ByteOrder::littleEndianInt(bytes + 4);
    const auto available = (size_t) numBytes - kChunkHeaderBytes;
    return parse(bytes + kChunkHeaderBytes, juce::jmin(statedLength, available), kind, verdict);
}

std::unique_ptr<juce::XmlElement> XmlInput::readBundleResource(const juce::String& name, Kind kind)
{
    const auto block = loadBundleResource(name);
    if (block == nullptr)
        return nullptr;
    return parse(block->getData(), block->getSize(), kind);
}
