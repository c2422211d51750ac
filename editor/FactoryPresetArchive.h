#pragma once

#include <juce_core/juce_core.h>

#include <memory>

// One of the factory-preset zip archives, unpacked entry by entry into the
// user's folder by the installer. JUCE's own ZipFile::uncompressEntry writes an
// entry straight into its target and never checks it, so a damaged archive
// would leave truncated presets behind; here each entry is read whole, checked
// against its size and its CRC-32 from the archive's directory, written to a
// temporary file and only then put in place, never over an existing file.
class FactoryPresetArchive
{
public:
    enum class EntryResult
    {
        installed,      // written
        alreadyPresent, // a file of that name exists and is kept
        folder,         // a folder entry (or an empty name): nothing to write
        refusedName,    // absolute, with "..", a link, or outside the allowed folder
        damaged,        // the data does not match its size or checksum
        writeFailed     // the file or its folder could not be written
    };

    explicit FactoryPresetArchive(const juce::File& zipFile);
    ~FactoryPresetArchive();

    // False for a missing file, one that is not a zip archive, and an archive
    // without entries.
    bool isReadable() const;
    int getNumEntries() const;
    // The entry's path inside the archive ("Presets/Echoes/Slapback.tnprst").
    juce::String getEntryName(int index) const;

    // Unpacks the entry below targetFolder; it must land inside allowedFolder
    // (targetFolder itself or a folder below it).
    EntryResult extractEntry(int index, const juce::File& targetFolder, const juce::File& allowedFolder);

    // True for the results that leave the entry's file in place.
    static bool isInPlace(EntryResult result);

private:
    struct DirectoryEntry
    {
        juce::String name;
        juce::uint32 crc = 0;
    };
    void readDirectory(const juce::File& zipFile);
    static bool isSafeName(const juce::String& name);

    std::unique_ptr<juce::ZipFile> zip;
    juce::Array<DirectoryEntry> directory;

    JUCE_DECLARE_NON_COPYABLE(FactoryPresetArchive)
};
