#include "LegibilityProbe.h"

#include <algorithm>
#include <cmath>
#include <cxxabi.h>
#include <cstdlib>
#include <functional>
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

// The software renderer with every glyph watched: the pixels under a glyph are
// kept before it is drawn and compared afterwards. Consecutive glyphs in one
// fill and font make one text.
class WatchingContext : public juce::LowLevelGraphicsContext
{
public:
    using Done = std::function<void(juce::Rectangle<int>, juce::Colour, std::vector<double>&)>;

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
        if (!(f == renderer.getFont()))
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
        textArea = textArea.isEmpty() ? area : textArea.getUnion(area);
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
            done(textArea, fill.colour, ratios);
        textArea = {};
        ratios.clear();
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

// Whether a disabled component covers the point.
bool isInDisabledControl(juce::Component& root, juce::Point<int> at)
{
    std::function<bool(juce::Component&)> search = [&](juce::Component& c) {
        for (auto* child : c.getChildren())
        {
            if (!child->isVisible() || !root.getLocalArea(&c, child->getBounds()).contains(at))
                continue;
            if (!child->isEnabled() || search(*child))
                return true;
        }
        return false;
    };
    return search(root);
}
} // namespace

LegibilityProbe::LegibilityProbe(juce::Component& c) : component(c)
{
    image = juce::Image(juce::Image::ARGB, juce::jmax(1, c.getWidth()), juce::jmax(1, c.getHeight()), true,
                        juce::SoftwareImageType());
    {
        WatchingContext context(image, [this](juce::Rectangle<int> area, juce::Colour colour, std::vector<double>& ratios) {
            const auto quarter = ratios.begin() + (std::ptrdiff_t) (ratios.size() / 4);
            std::nth_element(ratios.begin(), quarter, ratios.end(), std::greater<double>());
            texts.push_back({ area, colour, *quarter, {} });
        });
        juce::Graphics g(context);
        component.paintEntireComponent(g, true);
    }
    for (auto& text : texts)
        text.where = describe(component, text.area.getCentre());
}

juce::StringArray LegibilityProbe::findFaintTexts() const
{
    juce::StringArray faint;
    for (const auto& text : texts)
        if (text.contrast < kMinimumContrast && !isInDisabledControl(component, text.area.getCentre()))
            faint.add(juce::String(text.contrast, 2) + ":1 at " + text.area.toString() + " in "
                      + text.colour.toDisplayString(true) + ": " + text.where);
    return faint;
}
} // namespace EditorTest
