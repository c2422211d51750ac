#include "LegibilityProbe.h"

#include <algorithm>
#include <cmath>
#include <cxxabi.h>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>

namespace EditorTest
{
namespace
{
double linear(juce::uint8 component)
{
    const double c = component / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double luminance(juce::Colour c)
{
    return 0.2126 * linear(c.getRed()) + 0.7152 * linear(c.getGreen()) + 0.0722 * linear(c.getBlue());
}

double contrastRatio(juce::Colour a, juce::Colour b)
{
    const double la = luminance(a), lb = luminance(b);
    return (juce::jmax(la, lb) + 0.05) / (juce::jmin(la, lb) + 0.05);
}

// Spaces draw no glyph: a gap this much of the font's height stands for one.
constexpr float kSpaceGap = 0.2f;
constexpr int kSpace = -1;

// The characters a font's glyphs stand for: the printable Latin-1 ones and
// the ellipsis, which is what the editor's texts are made of.
juce::String spell(const juce::Font& font, const juce::Array<int>& glyphs)
{
    static std::map<juce::String, std::map<int, juce::juce_wchar>> fonts;
    auto& characters = fonts[font.getTypefaceName() + "/" + font.getTypefaceStyle()];
    if (characters.empty())
    {
        juce::String candidates = juce::String::charToString((juce::juce_wchar) 0x2026);
        for (juce::juce_wchar c = 32; c < 256; ++c)
            if (c < 127 || c > 160)
                candidates += juce::String::charToString(c);
        juce::Array<int> numbers;
        juce::Array<float> offsets;
        font.getGlyphPositions(candidates, numbers, offsets);
        for (int i = 0; i < juce::jmin(numbers.size(), candidates.length()); ++i)
            characters.emplace(numbers[i], candidates[i]);
    }
    juce::String text;
    for (const auto glyph : glyphs)
    {
        if (glyph == kSpace)
        {
            text += " ";
            continue;
        }
        const auto found = characters.find(glyph);
        text += found != characters.end() ? juce::String::charToString(found->second) : juce::String("?");
    }
    return text;
}

// The software renderer with every glyph watched: the pixels under a glyph are
// kept before it is drawn and compared afterwards. Consecutive glyphs in one
// fill and font make one text.
class WatchingContext : public juce::LowLevelGraphicsContext
{
public:
    using Done = std::function<void(juce::Rectangle<int>, juce::Colour, const juce::String&, std::vector<double>&)>;

    WatchingContext(const juce::Image& target, Done whenDone) : image(target), renderer(target), done(std::move(whenDone))
    {
    }

    ~WatchingContext() override { endText(); }

    bool isVectorDevice() const override { return false; }
    void setOrigin(juce::Point<int> o) override
    {
        renderer.setOrigin(o);
        transform = juce::AffineTransform::translation((float) o.x, (float) o.y).followedBy(transform);
    }
    void addTransform(const juce::AffineTransform& t) override
    {
        renderer.addTransform(t);
        transform = t.followedBy(transform);
    }
    float getPhysicalPixelScaleFactor() override { return renderer.getPhysicalPixelScaleFactor(); }
    bool clipToRectangle(const juce::Rectangle<int>& r) override { return renderer.clipToRectangle(r); }
    bool clipToRectangleList(const juce::RectangleList<int>& r) override { return renderer.clipToRectangleList(r); }
    void excludeClipRectangle(const juce::Rectangle<int>& r) override { renderer.excludeClipRectangle(r); }
    void clipToPath(const juce::Path& p, const juce::AffineTransform& t) override { renderer.clipToPath(p, t); }
    void clipToImageAlpha(const juce::Image& i, const juce::AffineTransform& t) override
    {
        renderer.clipToImageAlpha(i, t);
    }
    bool clipRegionIntersects(const juce::Rectangle<int>& r) override { return renderer.clipRegionIntersects(r); }
    juce::Rectangle<int> getClipBounds() const override { return renderer.getClipBounds(); }
    bool isClipEmpty() const override { return renderer.isClipEmpty(); }

    void saveState() override
    {
        endText();
        renderer.saveState();
        pushSaved();
    }
    void restoreState() override
    {
        endText();
        renderer.restoreState();
        popSaved();
    }
    void beginTransparencyLayer(float opacity) override
    {
        endText();
        renderer.beginTransparencyLayer(opacity);
        pushSaved();
    }
    void endTransparencyLayer() override
    {
        endText();
        renderer.endTransparencyLayer();
        popSaved();
    }

    void setFill(const juce::FillType& f) override
    {
        endText();
        renderer.setFill(f);
        fill = f;
    }
    void setOpacity(float o) override
    {
        endText();
        renderer.setOpacity(o);
        fill.setOpacity(o);
    }
    void setInterpolationQuality(juce::Graphics::ResamplingQuality q) override { renderer.setInterpolationQuality(q); }

    void fillAll() override { endText(); renderer.fillAll(); }
    void fillRect(const juce::Rectangle<int>& r, bool replace) override { endText(); renderer.fillRect(r, replace); }
    void fillRect(const juce::Rectangle<float>& r) override { endText(); renderer.fillRect(r); }
    void fillRectList(const juce::RectangleList<float>& r) override { endText(); renderer.fillRectList(r); }
    void fillPath(const juce::Path& p, const juce::AffineTransform& t) override { endText(); renderer.fillPath(p, t); }
    void drawImage(const juce::Image& i, const juce::AffineTransform& t) override { endText(); renderer.drawImage(i, t); }
    void drawLine(const juce::Line<float>& l) override { endText(); renderer.drawLine(l); }

    void setFont(const juce::Font& f) override
    {
        // A squeezed text's ellipsis comes unsqueezed: still the same text.
        if (!(f.withHorizontalScale(1.0f) == renderer.getFont().withHorizontalScale(1.0f)))
            endText();
        renderer.setFont(f);
    }
    const juce::Font& getFont() override { return renderer.getFont(); }

    void drawGlyph(int glyph, const juce::AffineTransform& t) override
    {
        const auto& font = renderer.getFont();
        juce::Path outline;
        if (auto typeface = font.getTypefacePtr())
            typeface->getOutlineForGlyph(glyph, outline);
        const auto scale = juce::AffineTransform::scale(font.getHeight() * font.getHorizontalScale(), font.getHeight());
        const auto area = outline.getBoundsTransformed(scale.followedBy(t).followedBy(transform))
                              .getSmallestIntegerContainer()
                              .expanded(1)
                              .getIntersection(image.getBounds());
        if (area.isEmpty())
        {
            renderer.drawGlyph(glyph, t);
            return;
        }
        const auto before = image.getClippedImage(area).createCopy();
        renderer.drawGlyph(glyph, t);
        for (int y = 0; y < area.getHeight(); ++y)
            for (int x = 0; x < area.getWidth(); ++x)
            {
                const auto was = before.getPixelAt(x, y);
                const auto now = image.getPixelAt(area.getX() + x, area.getY() + y);
                if (was != now)
                    ratios.push_back(contrastRatio(was, now));
            }
        if (!glyphs.isEmpty() && (float) (area.getX() - lastRight) > kSpaceGap * font.getHeight())
            glyphs.add(kSpace);
        lastRight = area.getRight();
        textArea = textArea.isEmpty() ? area : textArea.getUnion(area);
        glyphs.add(glyph);
    }

private:
    struct Saved
    {
        juce::AffineTransform transform;
        juce::FillType fill;
    };

    void endText()
    {
        if (!textArea.isEmpty() && !ratios.empty())
            done(textArea, fill.colour, spell(renderer.getFont(), glyphs), ratios);
        textArea = {};
        ratios.clear();
        glyphs.clearQuick();
    }

    // What saveState and a transparency layer keep, and their ends give back.
    void pushSaved() { saved.push_back({ transform, fill }); }
    void popSaved()
    {
        if (!saved.empty())
        {
            transform = saved.back().transform;
            fill = saved.back().fill;
            saved.pop_back();
        }
    }

    juce::Image image;
    juce::LowLevelGraphicsSoftwareRenderer renderer;
    Done done;
    juce::AffineTransform transform;
    juce::FillType fill;
    std::vector<Saved> saved;
    juce::Rectangle<int> textArea;
    std::vector<double> ratios;
    juce::Array<int> glyphs;
    int lastRight = 0;
};

// The innermost showing component at the point, as "Class 'name'" from the
// outside in.
juce::String describe(juce::Component& root, juce::Point<int> at)
{
    juce::StringArray path;
    auto* c = &root;
    while (c != nullptr)
    {
        int status = 0;
        char* demangled = abi::__cxa_demangle(typeid(*c).name(), nullptr, nullptr, &status);
        juce::String name = status == 0 && demangled != nullptr ? demangled : typeid(*c).name();
        std::free(demangled);
        if (c->getName().isNotEmpty())
            name << " '" << c->getName() << "'";
        if (auto* button = dynamic_cast<juce::Button*>(c))
            name << " \"" << button->getButtonText() << "\"";
        if (auto* label = dynamic_cast<juce::Label*>(c))
            name << " \"" << label->getText() << "\"";
        path.add(name);
        juce::Component* inner = nullptr;
        for (int i = c->getNumChildComponents(); --i >= 0;)
        {
            auto* child = c->getChildComponent(i);
            if (child->isVisible() && root.getLocalArea(child->getParentComponent(), child->getBounds()).contains(at))
            {
                inner = child;
                break;
            }
        }
        c = inner;
    }
    return path.joinIntoString(" > ");
}

} // namespace

LegibilityProbe::LegibilityProbe(juce::Component& c, juce::Rectangle<int> area) : component(c)
{
    image = juce::Image(juce::Image::ARGB, juce::jmax(1, c.getWidth()), juce::jmax(1, c.getHeight()), true,
                        juce::SoftwareImageType());
    {
        WatchingContext context(image, [this](juce::Rectangle<int> where, juce::Colour colour, const juce::String& text,
                                              std::vector<double>& ratios) {
            const auto quarter = ratios.begin() + (std::ptrdiff_t) (ratios.size() / 4);
            std::nth_element(ratios.begin(), quarter, ratios.end(), std::greater<double>());
            texts.push_back({ where, colour, *quarter, text, {} });
        });
        juce::Graphics g(context);
        if (!area.isEmpty())
            g.reduceClipRegion(area);
        component.paintEntireComponent(g, true);
    }
    for (auto& text : texts)
        text.where = describe(component, text.area.getCentre());
}

juce::String LegibilityProbe::Text::describe() const
{
    // One line, whatever the names of the components hold.
    return (juce::String(contrast, 2) + ":1 \"" + text + "\" in " + colour.toDisplayString(true) + " at " + area.toString()
            + ": " + where)
        .replace("\n", "\\n");
}

} // namespace EditorTest
