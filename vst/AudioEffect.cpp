#include "vst/AudioEffect.h"

#include <cmath>
#include <cstring>

namespace
{
AudioEffect* effectOf(AEffect* e)
{
    return e != nullptr ? static_cast<AudioEffect*>(e->object) : nullptr;
}

constexpr VstInt32 kNoEffectId = vstFourCharCode('N', 'o', 'E', 'f');
constexpr VstInt32 kIdentifyAnswer = vstFourCharCode('N', 'v', 'E', 'f');
static_assert(kIdentifyAnswer == 0x4E764566, "effIdentify answers 'NvEf'");

// float2string writes eight characters of digits, point and sign. These are
// the largest integer parts that fit: seven digits, or six after a sign.
constexpr double kLargestPositiveFloatText = 9999999.0;
constexpr double kLargestNegativeFloatText = 999999.0;
constexpr int kFloatTextWidth = 8;

// int2string works with the nine decimal places from 100000000 down.
constexpr VstInt32 kIntTextLimit = 100000000;

const char* const kHugeText = "Huge!";
} // namespace

AudioEffect::AudioEffect(audioMasterCallback host, VstInt32 programs, VstInt32 params)
    : audioMaster(host), numPrograms(programs), numParams(params)
{
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffectClass;
    cEffect.process = processClass;
    cEffect.setParameter = setParameterClass;
    cEffect.getParameter = getParameterClass;
    cEffect.numPrograms = programs;
    cEffect.numParams = params;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = kNoEffectId;
    cEffect.version = 1;
    cEffect.processReplacing = processClassReplacing;
    cEffect.processDoubleReplacing = processClassDoubleReplacing;
}

AudioEffect::~AudioEffect() = default;

//==============================================================================
VstIntPtr AudioEffect::dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                           void* ptr, float opt)
{
    AudioEffect* effect = effectOf(e);
    if (effect == nullptr)
        return 0;

    if (opcode == effClose)
    {
        effect->dispatcher(opcode, index, value, ptr, opt);
        // Clear the way back first, so that a host touching the record after
        // close finds no object instead of a deleted one.
        e->object = nullptr;
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

float AudioEffect::getParameterClass(AEffect* e, VstInt32 index)
{
    AudioEffect* effect = effectOf(e);
    return effect != nullptr ? effect->getParameter(index) : 0.0f;
}

void AudioEffect::setParameterClass(AEffect* e, VstInt32 index, float value)
{
    if (AudioEffect* effect = effectOf(e))
        effect->setParameter(index, value);
}

void AudioEffect::processClass(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames)
{
    if (AudioEffect* effect = effectOf(e))
        effect->process(inputs, outputs, sampleFrames);
}

void AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames)
{
    if (AudioEffect* effect = effectOf(e))
        effect->processReplacing(inputs, outputs, sampleFrames);
}

void AudioEffect::processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                              VstInt32 sampleFrames)
{
    if (AudioEffect* effect = effectOf(e))
        effect->processDoubleReplacing(inputs, outputs, sampleFrames);
}

//==============================================================================
VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    VstIntPtr result = 0;

    switch (opcode)
    {
        case effOpen: open(); break;
        case effClose: close(); break;
        case effSetProgram:
            // A negative number names no program either.
            if (value >= 0 && value < numPrograms)
                setProgram(static_cast<VstInt32>(value));
            break;
        case effGetProgram: result = getProgram(); break;
        case effSetProgramName:
            if (ptr != nullptr)
                setProgramName(static_cast<char*>(ptr));
            break;
        case effGetProgramName:
            if (ptr != nullptr)
                getProgramName(static_cast<char*>(ptr));
            break;
        case effGetParamLabel:
            if (ptr != nullptr)
                getParameterLabel(index, static_cast<char*>(ptr));
            break;
        case effGetParamDisplay:
            if (ptr != nullptr)
                getParameterDisplay(index, static_cast<char*>(ptr));
            break;
        case effGetParamName:
            if (ptr != nullptr)
                getParameterName(index, static_cast<char*>(ptr));
            break;
        case effSetSampleRate: setSampleRate(opt); break;
        case effSetBlockSize: setBlockSize(static_cast<VstInt32>(value)); break;
        case effMainsChanged:
            if (value == 0)
                suspend();
            else
                resume();
            break;
        case effEditGetRect:
            if (editor != nullptr && ptr != nullptr)
                result = editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
            break;
        case effEditOpen:
            if (editor != nullptr)
                result = editor->open(ptr) ? 1 : 0;
            break;
        case effEditClose:
            if (editor != nullptr)
                editor->close();
            break;
        case effEditIdle:
            if (editor != nullptr)
                editor->idle();
            break;
        case effIdentify: result = kIdentifyAnswer; break;
        case effGetChunk:
            if (ptr != nullptr)
                result = getChunk(static_cast<void**>(ptr), index != 0);
            break;
        case effSetChunk: result = setChunk(ptr, static_cast<VstInt32>(value), index != 0); break;
        default: break;
    }
    return result;
}

void AudioEffect::getProgramName(char* name)
{
    *name = 0;
}

void AudioEffect::getParameterLabel(VstInt32, char* label)
{
    *label = 0;
}

void AudioEffect::getParameterDisplay(VstInt32, char* text)
{
    *text = 0;
}

void AudioEffect::getParameterName(VstInt32, char* text)
{
    *text = 0;
}

void AudioEffect::setFlag(VstInt32 flag, bool state)
{
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

//==============================================================================
VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    if (audioMaster == nullptr)
        return 0;
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value)
{
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

VstInt32 AudioEffect::getMasterVersion()
{
    const VstIntPtr answer = callHost(audioMasterVersion);
    return answer == 0 ? 1 : static_cast<VstInt32>(answer);
}

VstInt32 AudioEffect::getCurrentUniqueId()
{
    return static_cast<VstInt32>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle()
{
    callHost(audioMasterIdle);
}

// The host answers 0 for a connected pin.
bool AudioEffect::isInputConnected(VstInt32 input)
{
    return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output)
{
    return callHost(audioMasterPinConnected, output, 1) == 0;
}

//==============================================================================
void AudioEffect::copyText(char* text, const char* source, VstInt32 maxLen)
{
    if (text == nullptr || maxLen < 0)
        return;
    VstInt32 i = 0;
    for (; source != nullptr && i < maxLen && source[i] != 0; ++i)
        text[i] = source[i];
    for (; i <= maxLen; ++i)
        text[i] = 0;
}

void AudioEffect::appendText(char* text, const char* source, VstInt32 maxLen)
{
    if (text == nullptr || maxLen < 0)
        return;
    VstInt32 length = 0;
    while (length < maxLen && text[length] != 0)
        ++length;
    for (VstInt32 i = 0; source != nullptr && source[i] != 0 && length < maxLen; ++i)
        text[length++] = source[i];
    text[length] = 0;
}

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen)
{
    if (value <= 0.0f)
        copyText(text, "-oo", maxLen);
    else
        float2string(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen)
{
    const float rate = getSampleRate();
    if (samples == 0.0f)
        float2string(0.0f, text, maxLen);
    else
        float2string(rate / samples, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen)
{
    const double rate = static_cast<double>(getSampleRate());
    float2string(static_cast<float>(static_cast<double>(samples) * 1000.0 / rate), text, maxLen);
}

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen)
{
    double v = static_cast<double>(value);
    int count = 0;
    bool negative = false;

    // Integer parts wider than the eight-character field, NaN and the
    // infinities have no text in this field: they answer "Huge!".
    if (! std::isfinite(v))
    {
        copyText(text, kHugeText, maxLen);
        return;
    }
    if (v < 0.0)
    {
        negative = true;
        v = -v;
        count = 1;
        if (std::floor(v) > kLargestNegativeFloatText)
        {
            copyText(text, kHugeText, maxLen);
            return;
        }
    }
    else if (std::floor(v) > kLargestPositiveFloatText)
    {
        copyText(text, kHugeText, maxLen);
        return;
    }

    // Integer part, from the right: point, then the digits.
    char integerText[32];
    char* s = integerText + sizeof(integerText) - 1;
    *s-- = 0;
    *s-- = '.';
    ++count;
    double integer = std::floor(v);
    *s-- = static_cast<char>('0' + static_cast<int>(std::fmod(integer, 10.0)));
    integer /= 10.0;
    ++count;
    while (integer >= 1.0 && count < kFloatTextWidth)
    {
        *s-- = static_cast<char>('0' + static_cast<int>(std::fmod(integer, 10.0)));
        integer /= 10.0;
        ++count;
    }
    if (negative)
        *s-- = '-';
    copyText(text, s + 1, maxLen);

    if (count >= kFloatTextWidth)
        return;

    // Fraction: the remaining places, also from the right.
    char fractionText[32];
    s = fractionText + sizeof(fractionText) - 1;
    *s-- = 0;
    double mantissa = std::fmod(v, 1.0) * std::pow(10.0, static_cast<double>(kFloatTextWidth - count));
    while (count < kFloatTextWidth)
    {
        if (mantissa <= 0.0)
            *s-- = '0';
        else
        {
            *s-- = static_cast<char>('0' + static_cast<int>(std::fmod(mantissa, 10.0)));
            mantissa /= 10.0;
        }
        ++count;
    }
    appendText(text, s + 1, maxLen);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen)
{
    // Nine decimal places hold magnitudes below 100000000 on either side;
    // beyond that (the leading quotient would not be one digit) "Huge!".
    if (value >= kIntTextLimit || value <= -kIntTextLimit)
    {
        copyText(text, kHugeText, maxLen);
        return;
    }

    if (value < 0)
    {
        copyText(text, "-", maxLen);
        value = -value;
    }
    else
        copyText(text, "", maxLen);

    bool started = false;
    for (VstInt32 divisor = kIntTextLimit; divisor >= 1; divisor /= 10)
    {
        const VstInt32 digit = value / divisor;
        value -= digit * divisor;
        if (started || digit != 0)
        {
            const char digitText[2] = { static_cast<char>('0' + digit), 0 };
            appendText(text, digitText, maxLen);
            started = true;
        }
    }
    if (! started)
        appendText(text, "0", maxLen);
}
