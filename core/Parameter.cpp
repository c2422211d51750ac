#include "core/Parameter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

namespace
{
// Whether a number text that a double cannot hold lies beyond the small end
// rather than the large end. Where its first significant digit stands, plus its
// exponent, tells which: "0.000...1" and "1e-999" are tiny, "1000...0" and
// "1e999" are huge.
bool isBelowDoubleRange(const char* begin, const char* end)
{
    long long magnitude = 0;
    bool significant = false;
    bool fraction = false;
    const char* q = begin;
    for (; q < end && *q != 'e' && *q != 'E'; ++q)
    {
        if (*q == '.')
        {
            fraction = true;
            continue;
        }
        if (! significant && *q == '0')
        {
            if (fraction)
                --magnitude;
            continue;
        }
        significant = true;
        if (! fraction)
            ++magnitude;
    }

    long long exponent = 0;
    bool negativeExponent = false;
    if (q < end)
    {
        ++q;
        if (q < end && (*q == '+' || *q == '-'))
            negativeExponent = *q++ == '-';
        constexpr long long kExponentLimit = 1000000000000LL;
        for (; q < end && *q >= '0' && *q <= '9'; ++q)
            exponent = std::min(kExponentLimit, exponent * 10 + (*q - '0'));
    }
    return magnitude + (negativeExponent ? -exponent : exponent) < 0;
}
} // namespace

Parameter::Parameter(int idToUse, const juce::String& nameToUse) : id(idToUse), name(nameToUse)
{
}

Parameter::Parameter(const Parameter& source, int newId, const juce::String& newName)
    : id(newId), name(newName), automatable(source.automatable)
{
}

Parameter::~Parameter()
{
    // Nobody hears about the parameter going away; a pending controller update is dropped.
    cancelPendingUpdate();
}

void Parameter::handleAsyncUpdate()
{
    controllers.call([this](Listener& l) { l.parameterChanged(this); });
}

void Parameter::addListener(Listener* listener)
{
    if (listener != nullptr)
        listeners.add(listener);
}

void Parameter::addController(Listener* controller)
{
    if (controller != nullptr)
        controllers.add(controller);
}

void Parameter::removeController(Listener* controller)
{
    if (controller != nullptr)
        controllers.remove(controller);
}

template <typename Callback>
void Parameter::callListeners(Callback&& callback)
{
    // Any thread may write a value, so two threads may walk the listeners at once.
    // ListenerList::call keeps a shared list of active iterators that such walks
    // would corrupt; listeners are only ever added (before the host starts us), so
    // a plain walk over the array, newest first, is safe.
    const auto& array = listeners.getListeners();
    for (int i = array.size(); --i >= 0;)
        callback(*array.getUnchecked(i));
}

void Parameter::beginChangeGesture()
{
    callListeners([this](Listener& l) { l.parameterChangeGestureBegin(this); });
}

void Parameter::endChangeGesture()
{
    callListeners([this](Listener& l) { l.parameterChangeGestureEnd(this); });
}

void Parameter::sendValueChanged()
{
    callListeners([this](Listener& l) { l.parameterChanged(this); });
    triggerUpdate();
}

void Parameter::valueChanged(bool notify)
{
    if (notify)
        sendValueChanged();
}

float Parameter::parseFloatText(const juce::String& text)
{
    // Blanks are skipped as the integer reading skips them.
    const std::string utf8 = juce::String(text.getCharPointer().findEndOfWhitespace()).toStdString();
    const char* p = utf8.c_str();
    const char* const end = p + utf8.size();

    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
    {
        negative = *p == '-';
        ++p;
    }
    // from_chars takes no sign of its own here, so "+-1" stays no number.
    if (p < end && (*p == '+' || *p == '-'))
        return 0.0f;

    double value = 0.0;
    const auto result = std::from_chars(p, end, value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument)
        return 0.0f;

    if (result.ec == std::errc::result_out_of_range)
    {
        // Too small rounds to zero; too large is no usable value.
        value = isBelowDoubleRange(p, result.ptr) ? 0.0 : std::numeric_limits<double>::infinity();
    }

    if (negative)
        value = -value;

    if (std::isfinite(value) && std::abs(value) > (double) std::numeric_limits<float>::max())
        return negative ? -std::numeric_limits<float>::infinity() : std::numeric_limits<float>::infinity();
    return (float) value;
}

int Parameter::parseIntText(const juce::String& text)
{
    auto t = text.getCharPointer().findEndOfWhitespace();
    const bool negative = *t == '-';
    if (negative)
        ++t;

    constexpr std::int64_t limit = (std::int64_t) std::numeric_limits<int>::max() + 1;
    std::int64_t magnitude = 0;
    for (;;)
    {
        const auto c = *t;
        if (c < '0' || c > '9')
            break;
        magnitude = juce::jmin(limit, magnitude * 10 + (std::int64_t) (c - '0'));
        ++t;
    }

    const std::int64_t value = negative ? -magnitude : magnitude;
    return (int) juce::jlimit((std::int64_t) std::numeric_limits<int>::min(),
                              (std::int64_t) std::numeric_limits<int>::max(), value);
}

int Parameter::truncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    const double t = std::trunc(value);
    if (t <= (double) std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (t >= (double) std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return (int) t;
}

namespace ParameterValues
{
bool storeIfDifferent(std::atomic<int>& target, int value)
{
    int old = target.load();
    for (;;)
    {
        if (old == value)
            return false;
        if (target.compare_exchange_weak(old, value))
            return true;
    }
}

bool storeIfDifferent(std::atomic<std::uint32_t>& floatBits, float value)
{
    std::uint32_t old = floatBits.load();
    const std::uint32_t bits = bitsFromFloat(value);
    for (;;)
    {
        if (floatFromBits(old) == value)
            return false;
        if (floatBits.compare_exchange_weak(old, bits))
            return true;
    }
}

float floatFromBits(std::uint32_t bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof(f));
    return f;
}

std::uint32_t bitsFromFloat(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}
} // namespace ParameterValues
