#pragma once

#include <juce_core/juce_core.h>

// The desktop's trash as Linux desktops keep it (the freedesktop.org layout
// under $XDG_DATA_HOME/Trash, ~/.local/share/Trash by default): a deleted item
// goes to "files/" and a record in "info/" keeps its original path and the
// deletion date, so that the desktop's file manager can put it back.
// (JUCE's File::moveToTrash writes no such record on Linux.)
class DesktopTrash
{
public:
    // Moves a file or folder into the trash with its record. False, with the
    // item left where it was and no record written, when it does not exist or
    // cannot be moved (the trash lies on another file system, say).
    static bool moveToTrash(const juce::File& item);

    // The trash folder holding "files/" and "info/".
    static juce::File getTrashFolder();

    // An absolute path as the record stores it: escaped as in a URI, with the
    // slashes kept.
    static juce::String encodePath(const juce::String& absolutePath);
};
