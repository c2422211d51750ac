#pragma once

#include "PluginInstance.h"

#include <string>
#include <vector>

// A top-level X11 window that a plug-in's editor is embedded into, as a
// Linux host does: the window id goes to effEditOpen as the parent.
class EditorWindow
{
public:
    EditorWindow() = default;

    // Threaded Xlib and, unless told to keep Xlib's own (which ends the
    // process), an error handler that reports and goes on; the host calls
    // this first, before any X connection exists.
    static void prepareXlib(bool reportErrors);
    ~EditorWindow();

    // Opens the display; false when there is none (run under Xvfb).
    bool connect(std::string& error);

    // Asks the editor's size, creates and maps a window of that size and
    // opens the editor inside it. Returns false with the reason.
    bool open(PluginInstance& plugin, std::string& error);

    // Handles window events and the plug-in's size requests and sends
    // effEditIdle for the given time.
    void run(PluginInstance& plugin, int milliseconds);

    // Goes on running until what the window shows has stopped changing (an
    // editor paints some time after it opens, later on a busy machine), at
    // most for the given time. Returns whether it settled.
    bool runUntilSettled(PluginInstance& plugin, int milliseconds);

    // Saves what the window shows, as PNG when the path ends in ".png",
    // otherwise as a binary PPM image.
    bool saveScreenshot(const std::string& path, std::string& error);

    void close(PluginInstance& plugin);

    int getWidth() const { return width; }
    int getHeight() const { return height; }
    // Number of child windows the editor placed in ours.
    int countChildWindows() const;

private:
    // The window's pixels, three bytes (red, green, blue) each, row by row;
    // empty when they cannot be read.
    std::vector<unsigned char> grabPixels();

    void* display = nullptr;
    unsigned long window = 0;
    int width = 0;
    int height = 0;
    bool editorOpen = false;
};
