#include "EditorWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

namespace
{
void appendBigEndian(std::string& out, unsigned long value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(char((value >> shift) & 0xFF));
}

void appendChunk(std::string& out, const char* type, const std::string& data)
{
    appendBigEndian(out, data.size());
    const std::string typed = std::string(type, 4) + data;
    out += typed;
    appendBigEndian(out, crc32(0, reinterpret_cast<const Bytef*>(typed.data()), uInt(typed.size())));
}

// An 8-bit RGB PNG of the pixels (rows top to bottom, no filtering), or an
// empty string when they cannot be compressed.
std::string encodePng(const std::vector<unsigned char>& rgb, int width, int height)
{
    std::string rows;
    rows.reserve(size_t(height) * (size_t(width) * 3 + 1));
    for (int y = 0; y < height; ++y)
    {
        rows.push_back(0);
        rows.append(reinterpret_cast<const char*>(rgb.data()) + size_t(y) * size_t(width) * 3, size_t(width) * 3);
    }
    uLongf size = compressBound(uLong(rows.size()));
    std::string compressed(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&compressed[0]), &size, reinterpret_cast<const Bytef*>(rows.data()),
                  uLong(rows.size()), Z_BEST_SPEED) != Z_OK)
        return {};
    compressed.resize(size);

    std::string header;
    appendBigEndian(header, unsigned(width));
    appendBigEndian(header, unsigned(height));
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8 bits, RGB, deflate, no filter, no interlace
    std::string png = "\x89PNG\r\n\x1a\n";
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", compressed);
    appendChunk(png, "IEND", {});
    return png;
}

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}
} // namespace

namespace
{
Display* asDisplay(void* d)
{
    return static_cast<Display*>(d);
}

constexpr int kDefaultWidth = 400;
constexpr int kDefaultHeight = 300;
constexpr int kIdleIntervalMs = 20;

// Xlib's default handler ends the process on any error, also on those of a
// plug-in's own connection (Xlib has one handler per process). Hosts install
// a handler that reports and goes on; so does this one.
// The first few are shown.
int reportXError(Display* d, XErrorEvent* event)
{
    constexpr int kShown = 3;
    static std::atomic<int> count { 0 };
    const int n = ++count;
    if (n <= kShown)
    {
        char text[256] = {};
        XGetErrorText(d, event->error_code, text, sizeof(text) - 1);
        std::fprintf(stderr, "X error (ignored): %s, request %d%s\n", text, int(event->request_code),
                     n == kShown ? "; further X errors not shown" : "");
    }
    return 0;
}
} // namespace

void EditorWindow::prepareXlib(bool reportErrors)
{
    static bool done = false;
    if (done)
        return;
    done = true;
    XInitThreads();
    if (reportErrors)
        XSetErrorHandler(reportXError);
}

EditorWindow::~EditorWindow()
{
    if (display != nullptr)
    {
        if (window != 0)
            XDestroyWindow(asDisplay(display), window);
        XCloseDisplay(asDisplay(display));
    }
}

bool EditorWindow::connect(std::string& error)
{
    if (display != nullptr)
        return true;
    display = XOpenDisplay(nullptr);
    if (display == nullptr)
    {
        error = "no X display (run under xvfb-run)";
        return false;
    }
    return true;
}

bool EditorWindow::open(PluginInstance& plugin, std::string& error)
{
    if (! connect(error))
        return false;
    if ((plugin.getEffect()->flags & effFlagsHasEditor) == 0)
    {
        error = "the plug-in has no editor";
        return false;
    }

    ERect* rect = nullptr;
    width = kDefaultWidth;
    height = kDefaultHeight;
    if (plugin.dispatch(effEditGetRect, 0, 0, &rect) != 0 && rect != nullptr)
    {
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
    }
    if (width <= 0 || height <= 0)
    {
        error = "the editor reported an empty size";
        return false;
    }

    Display* d = asDisplay(display);
    if (window == 0)
    {
        window = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, unsigned(width), unsigned(height), 0,
                                     BlackPixel(d, DefaultScreen(d)), BlackPixel(d, DefaultScreen(d)));
        XStoreName(d, window, "tavinor_host editor");
        XSelectInput(d, window, StructureNotifyMask | ExposureMask);
        XMapWindow(d, window);
        XSync(d, False);
    }
    else
        XResizeWindow(d, window, unsigned(width), unsigned(height));

    if (plugin.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window)) == 0)
    {
        error = "effEditOpen answered 0";
        return false;
    }
    editorOpen = true;
    return true;
}

void EditorWindow::run(PluginInstance& plugin, int milliseconds)
{
    if (display == nullptr)
        return;
    Display* d = asDisplay(display);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do
    {
        while (XPending(d) > 0)
        {
            XEvent event;
            XNextEvent(d, &event);
        }
        const int w = plugin.sizeWindowWidth.exchange(0);
        const int h = plugin.sizeWindowHeight.exchange(0);
        if (w > 0 && h > 0 && window != 0)
        {
            width = w;
            height = h;
            XResizeWindow(d, window, unsigned(w), unsigned(h));
        }
        if (editorOpen)
            plugin.dispatch(effEditIdle);
        XSync(d, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(kIdleIntervalMs));
    } while (std::chrono::steady_clock::now() < end);
}

int EditorWindow::countChildWindows() const
{
    if (display == nullptr || window == 0)
        return 0;
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(asDisplay(display), window, &root, &parent, &children, &count) == 0)
        return 0;
    if (children != nullptr)
        XFree(children);
    return int(count);
}

std::vector<unsigned char> EditorWindow::grabPixels()
{
    std::vector<unsigned char> pixels;
    if (display == nullptr || window == 0)
        return pixels;
    Display* d = asDisplay(display);
    XSync(d, False);
    XImage* image = XGetImage(d, window, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (image == nullptr)
        return pixels;
    pixels.reserve(size_t(width) * size_t(height) * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
        {
            const unsigned long p = XGetPixel(image, x, y);
            pixels.push_back(static_cast<unsigned char>((p & image->red_mask) >> 16));
            pixels.push_back(static_cast<unsigned char>((p & image->green_mask) >> 8));
            pixels.push_back(static_cast<unsigned char>(p & image->blue_mask));
        }
    XDestroyImage(image);
    return pixels;
}

bool EditorWindow::runUntilSettled(PluginInstance& plugin, int milliseconds)
{
    // Settled: the same pixels over three looks a quarter of a second apart.
    constexpr int kLookIntervalMs = 250;
    constexpr int kSameLooks = 3;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    auto last = grabPixels();
    int same = 1;
    while (std::chrono::steady_clock::now() < end)
    {
        run(plugin, kLookIntervalMs);
        auto now = grabPixels();
        same = (! now.empty() && now == last) ? same + 1 : 1;
        if (same >= kSameLooks)
            return true;
        last = std::move(now);
    }
    return false;
}

bool EditorWindow::saveScreenshot(const std::string& path, std::string& error)
{
    if (display == nullptr || window == 0)
    {
        error = "no window";
        return false;
    }
    const auto pixels = grabPixels();
    if (pixels.empty())
    {
        error = "cannot read the window's pixels";
        return false;
    }

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (endsWith(path, ".png"))
    {
        const auto png = encodePng(pixels, width, height);
        out.write(png.data(), std::streamsize(png.size()));
        if (png.empty())
            out.setstate(std::ios::failbit);
    }
    else
    {
        out << "P6\n" << width << " " << height << "\n255\n";
        out.write(reinterpret_cast<const char*>(pixels.data()), std::streamsize(pixels.size()));
    }
    if (! out)
    {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

void EditorWindow::close(PluginInstance& plugin)
{
    if (editorOpen)
        plugin.dispatch(effEditClose);
    editorOpen = false;
    if (display != nullptr)
        XSync(asDisplay(display), False);
}
