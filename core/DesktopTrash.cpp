#include "core/DesktopTrash.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// The trash's folders hold other people's deleted files: private to the user.
constexpr mode_t kTrashFolderMode = 0700;
constexpr const char* kInfoExtension = ".trashinfo";

bool makePrivateFolder(const juce::File& folder)
{
    if (folder.isDirectory())
        return true;
    if (!folder.getParentDirectory().createDirectory().wasOk())
        return false;
    return ::mkdir(folder.getFullPathName().toRawUTF8(), kTrashFolderMode) == 0 || folder.isDirectory();
}

// The name the item takes in the trash: its own, or, when that is taken, its
// own with a number before the extension ("Pad.2.tnprst"). A folder's dot is
// part of its name.
juce::String candidateName(const juce::File& item, int attempt)
{
    const juce::String name = item.getFileName();
    if (attempt == 0)
        return name;
    const juce::String number = juce::String(attempt + 1);
    if (item.isDirectory() || !name.containsChar('.') || name.startsWithChar('.'))
        return name + "." + number;
    return item.getFileNameWithoutExtension() + "." + number + item.getFileExtension();
}

enum class RecordResult
{
    written,
    nameTaken,
    failed
};

// Creates the record file only when no record of that name exists, which is
// how the name is reserved against another program trashing at the same time.
RecordResult writeRecordExclusively(const juce::File& record, const juce::String& text)
{
    const int fd = ::open(record.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd < 0)
        return errno == EEXIST ? RecordResult::nameTaken : RecordResult::failed;
    const auto* bytes = text.toRawUTF8();
    const auto size = (ssize_t) text.getNumBytesAsUTF8();
    const bool written = ::write(fd, bytes, (size_t) size) == size;
    const bool closed = ::close(fd) == 0;
    if (written && closed)
        return RecordResult::written;
    record.deleteFile();
    return RecordResult::failed;
}
} // namespace

juce::File DesktopTrash::getTrashFolder()
{
    const juce::String dataHome = juce::SystemStats::getEnvironmentVariable("XDG_DATA_HOME", {});
    // The base directory must be absolute; anything else is ignored, as desktops do.
    if (juce::File::isAbsolutePath(dataHome))
        return juce::File(dataHome).getChildFile("Trash");
    return juce::File("~/.local/share/Trash");
}

juce::String DesktopTrash::encodePath(const juce::String& absolutePath)
{
    static const char* const hexDigits = "0123456789ABCDEF";
    juce::String encoded;
    const char* utf8 = absolutePath.toRawUTF8();
    for (auto* p = reinterpret_cast<const unsigned char*>(utf8); *p != 0; ++p)
    {
        const unsigned char c = *p;
        const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')
                                || std::strchr("/-_.!~*'()", c) != nullptr;
        if (unreserved)
            encoded << (char) c;
        else
            encoded << '%' << hexDigits[c >> 4] << hexDigits[c & 15];
    }
    return encoded;
}

bool DesktopTrash::moveToTrash(const juce::File& item)
{
    if (!item.exists() && !item.isSymbolicLink())
        return false;

    const juce::File trash = getTrashFolder();
    const juce::File filesFolder = trash.getChildFile("files");
    const juce::File infoFolder = trash.getChildFile("info");
    if (!makePrivateFolder(trash) || !makePrivateFolder(filesFolder) || !makePrivateFolder(infoFolder))
        return false;

    const juce::String record = "[Trash Info]\nPath=" + encodePath(item.getFullPathName()) + "\nDeletionDate="
                                + juce::Time::getCurrentTime().formatted("%Y-%m-%dT%H:%M:%S") + "\n";

    // Enough attempts for any real trash; a trash this full of one name is broken.
    constexpr int kMaxAttempts = 10000;
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt)
    {
        const juce::String name = candidateName(item, attempt);
        const juce::File target = filesFolder.getChildFile(name);
        const juce::File info = infoFolder.getChildFile(name + kInfoExtension);
        if (target.exists() || target.isSymbolicLink())
            continue;
        const auto result = writeRecordExclusively(info, record);
        if (result == RecordResult::nameTaken)
            continue;
        if (result == RecordResult::failed)
            return false;
        // A rename, never a copy: the item keeps its inode, and a failure (another
        // file system, no permission) leaves it where it was.
        if (::rename(item.getFullPathName().toRawUTF8(), target.getFullPathName().toRawUTF8()) == 0)
            return true;
        info.deleteFile();
        return false;
    }
    return false;
}
