#include "skin/PngReader.h"
#include <png.h>

namespace PngReader
{
namespace
{
// A png_image whose libpng state is freed however reading ends.
struct PngImage
{
    PngImage(const void* data, size_t size)
    {
        image.version = PNG_IMAGE_VERSION;
        headerRead = data != nullptr && size > 0 && png_image_begin_read_from_memory(&image, data, size) != 0;
    }
    ~PngImage() { png_image_free(&image); }

    juce::int64 getPixels() const { return headerRead ? (juce::int64) image.width * (juce::int64) image.height : -1; }

    png_image image {};
    bool headerRead = false;

    JUCE_DECLARE_NON_COPYABLE(PngImage)
};
} // namespace

juce::int64 getDeclaredPixels(const void* data, size_t size)
{
    return PngImage(data, size).getPixels();
}

juce::Image read(const void* data, size_t size, juce::int64 maxPixels)
{
    PngImage png(data, size);
    const auto pixels = png.getPixels();
    if (pixels < 1 || pixels > maxPixels || png.image.width > (png_uint_32) std::numeric_limits<int>::max()
        || png.image.height > (png_uint_32) std::numeric_limits<int>::max())
        return {};

    // JUCE's ARGB pixels lie in memory as B, G, R, A, with premultiplied colours.
    png.image.format = PNG_FORMAT_BGRA;
    juce::Image picture(juce::Image::ARGB, (int) png.image.width, (int) png.image.height, false);
    {
        const juce::Image::BitmapData pixelsOut(picture, juce::Image::BitmapData::readWrite);
        if (png_image_finish_read(&png.image, nullptr, pixelsOut.data, pixelsOut.lineStride, nullptr) == 0)
            return {};
        for (int y = 0; y < pixelsOut.height; ++y)
        {
            auto* pixel = reinterpret_cast<juce::PixelARGB*>(pixelsOut.getLinePointer(y));
            for (int x = 0; x < pixelsOut.width; ++x)
                pixel[x].premultiply();
        }
    }
    return picture;
}
} // namespace PngReader
