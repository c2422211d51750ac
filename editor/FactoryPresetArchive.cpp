#include "editor/FactoryPresetArchive.h"
#include "core/XmlHelpers.h"

#include <unistd.h>
#include <zlib.h>

namespace
{
// The zip format's record signatures and fixed header sizes.
constexpr juce::uint32 kEndOfDirectorySignature = 0x06054b50;
constexpr juce::uint32 kDirectoryEntrySignature = 0x02014b50;
constexpr int kEndOfDirectorySize = 22;
constexpr int kMaxArchiveCommentSize = 65535;
constexpr int kDirectoryEntrySize = 46;

// A preset is a few kilobytes; an entry that claims more is not one of ours,
// and reading it whole would only fill the memory.
constexpr juce::int64 kMaxEntrySize = 16 * 1024 * 1024;

juce::uint32 readLE32(const juce::uint8* p)
{
    return (juce::uint32) p[0] | ((juce::uint32) p[1] << 8) | ((juce::uint32) p[2] << 16) | ((juce::uint32) p[3] << 24);
}

int readLE16(const juce::uint8* p)
{
    return (int) p[0] | ((int) p[1] << 8);
}

juce::String normalisedName(const juce::String& name)
{
    return name.replaceCharacter('\\', '/');
}
} // namespace

FactoryPresetArchive::FactoryPresetArchive(const juce::File& zipFile)
{
    if (!zipFile.existsAsFile())
        return;
    zip = std::make_unique<juce::ZipFile>(zipFile);
    readDirectory(zipFile);
}

FactoryPresetArchive::~FactoryPresetArchive() = default;

// The checksums that JUCE's ZipFile does not hand out, from the archive's
// central directory (the same records, in the same order, as its entries).
void FactoryPresetArchive::readDirectory(const juce::File& zipFile)
{
    juce::FileInputStream in(zipFile);
    if (!in.openedOk())
        return;
    const juce::int64 length = in.getTotalLength();
    const juce::int64 tailStart = juce::jmax((juce::int64) 0, length - kEndOfDirectorySize - kMaxArchiveCommentSize);
    juce::MemoryBlock tail;
    in.setPosition(tailStart);
    in.readIntoMemoryBlock(tail, (ssize_t) (length - tailStart));

    const auto* bytes = static_cast<const juce::uint8*>(tail.getData());
    const int tailSize = (int) tail.getSize();
    for (int pos = tailSize - kEndOfDirectorySize; pos >= 0; --pos)
    {
        if (readLE32(bytes + pos) != kEndOfDirectorySignature)
            continue;
        const int numEntries = readLE16(bytes + pos + 10);
        const juce::int64 directoryStart = readLE32(bytes + pos + 16);
        const juce::int64 directoryEnd = tailStart + pos;
        if (directoryStart > directoryEnd)
            return;

        juce::MemoryBlock records;
        in.setPosition(directoryStart);
        if (in.readIntoMemoryBlock(records, (ssize_t) (directoryEnd - directoryStart)) != records.getSize())
            return;
        const auto* r = static_cast<const juce::uint8*>(records.getData());
        const size_t size = records.getSize();
        size_t at = 0;
        for (int i = 0; i < numEntries; ++i)
        {
            if (at + kDirectoryEntrySize > size || readLE32(r + at) != kDirectoryEntrySignature)
                break;
            const int nameLength = readLE16(r + at + 28);
            if (at + kDirectoryEntrySize + (size_t) nameLength > size)
                break;
            DirectoryEntry entry;
            entry.crc = readLE32(r + at + 16);
            entry.name = juce::String::fromUTF8(reinterpret_cast<const char*>(r + at + kDirectoryEntrySize), nameLength);
            directory.add(entry);
            at += (size_t) (kDirectoryEntrySize + nameLength + readLE16(r + at + 30) + readLE16(r + at + 32));
        }
        return;
    }
}

bool FactoryPresetArchive::isReadable() const
{
    return zip != nullptr && zip->getNumEntries() > 0;
}

int FactoryPresetArchive::getNumEntries() const
{
    return zip != nullptr ? zip->getNumEntries() : 0;
}

juce::String FactoryPresetArchive::getEntryName(int index) const
{
    if (zip == nullptr)
        return {};
    if (const auto* entry = zip->getEntry(index))
        return entry->filename;
    return {};
}

bool FactoryPresetArchive::isSafeName(const juce::String& name)
{
    if (name.startsWithChar('/'))
        return false;
    for (const auto& part : juce::StringArray::fromTokens(name, "/", ""))
        if (part == "..")
            return false;
    return true;
}

bool FactoryPresetArchive::isInPlace(EntryResult result)
{
    return result == EntryResult::installed || result == EntryResult::alreadyPresent || result == EntryResult::folder;
}

FactoryPresetArchive::EntryResult FactoryPresetArchive::extractEntry(int index, const juce::File& targetFolder,
                                                                     const juce::File& allowedFolder)
{
    const auto* entry = zip != nullptr ? zip->getEntry(index) : nullptr;
    if (entry == nullptr)
        return EntryResult::damaged;

    const juce::String name = normalisedName(entry->filename);
    if (name.isEmpty())
        return EntryResult::folder;
    if (!isSafeName(name) || entry->isSymbolicLink)
        return EntryResult::refusedName;

    const juce::File target = targetFolder.getChildFile(name);
    if (!(target == allowedFolder || target.isAChildOf(allowedFolder)))
        return EntryResult::refusedName;

    if (name.endsWithChar('/'))
        return target.createDirectory().wasOk() ? EntryResult::folder : EntryResult::writeFailed;
    if (target.exists() || target.isSymbolicLink())
        return EntryResult::alreadyPresent;

    // The directory record must be this entry's, or its checksum means nothing.
    if (index >= directory.size() || normalisedName(directory.getReference(index).name) != name)
        return EntryResult::damaged;
    if (entry->uncompressedSize < 0 || entry->uncompressedSize > kMaxEntrySize)
        return EntryResult::damaged;

    std::unique_ptr<juce::InputStream> in(zip->createStreamForEntry(index));
    if (in == nullptr)
        return EntryResult::damaged;
    juce::MemoryBlock data;
    in->readIntoMemoryBlock(data, (ssize_t) entry->uncompressedSize + 1);
    if ((juce::int64) data.getSize() != entry->uncompressedSize)
        return EntryResult::damaged;
    const auto crc = (juce::uint32) ::crc32(::crc32(0L, Z_NULL, 0), static_cast<const Bytef*>(data.getData()),
                                            (uInt) data.getSize());
    if (crc != directory.getReference(index).crc)
        return EntryResult::damaged;

    if (!target.getParentDirectory().createDirectory().wasOk())
        return EntryResult::writeFailed;
    juce::TemporaryFile temp(target, getTemporaryFileFor(target));
    if (!temp.getFile().replaceWithData(data.getData(), data.getSize()))
        return EntryResult::writeFailed;
    temp.getFile().setLastModificationTime(entry->fileTime);
    // A hard link puts the complete file in place and, unlike a rename, fails
    // rather than replace a file that appeared in the meantime.
    if (::link(temp.getFile().getFullPathName().toRawUTF8(), target.getFullPathName().toRawUTF8()) == 0)
        return EntryResult::installed;
    if (target.exists())
        return EntryResult::alreadyPresent;
    // A file system without hard links: the rename is the next best.
    return temp.overwriteTargetFileWithTemporary() ? EntryResult::installed : EntryResult::writeFailed;
}
