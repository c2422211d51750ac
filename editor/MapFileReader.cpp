#include "editor/MapFileReader.h"

#include "core/Parameter.h"
#include "core/XmlHelpers.h"
#include "editor/QuotedText.h"

std::unique_ptr<juce::XmlElement> MapFileReader::read(const juce::File& file, const Rules& rules,
                                                      juce::String& problem)
{
    const auto name = quoteFileName(file);
    auto verdict = XmlInput::Verdict::accepted;
    auto root = XmlInput::readFile(file, rules.kind, &verdict);
    if (root == nullptr)
    {
        switch (verdict)
        {
            case XmlInput::Verdict::unreadable:
            case XmlInput::Verdict::notRegularFile:
                problem = name + " could not be read.";
                break;
            case XmlInput::Verdict::wrongRoot:
                problem = name + " is not a " + rules.description + ".";
                break;
            default:
                problem = name + " is damaged: it is not a " + rules.description + " that can be read.";
                break;
        }
        return nullptr;
    }

    if (rules.isOwnMap && !rules.isOwnMap(*root))
    {
        problem = name + " is a " + rules.description + " of another product.";
        return nullptr;
    }

    for (auto* assign : root->getChildIterator())
    {
        if (!tagNameIs(*assign, "assign"))
            continue;
        const auto wrong = checkAssignment(*assign, rules);
        if (wrong.isNotEmpty())
        {
            problem = name + " " + wrong;
            return nullptr;
        }
    }
    problem.clear();
    return root;
}

juce::String MapFileReader::checkAssignment(const juce::XmlElement& assign, const Rules& rules)
{
    if (!assign.hasAttribute(rules.indexAttribute) && rules.indexRequired)
        return "has an assignment without a " + rules.indexNoun + " number.";
    const int index = assign.hasAttribute(rules.indexAttribute)
                          ? Parameter::parseIntText(assign.getStringAttribute(rules.indexAttribute))
                          : rules.firstIndex;
    if (index < rules.firstIndex || index > rules.lastIndex)
        return "assigns " + rules.indexNoun + " " + quoteForAlert(assign.getStringAttribute(rules.indexAttribute))
               + ", which does not exist.";

    const auto parameterName = assign.getStringAttribute(rules.nameAttribute);
    const auto* parameter = rules.parameters != nullptr ? rules.parameters->getParameterByName(parameterName) : nullptr;
    if (parameter == nullptr)
        return "names an unknown parameter: " + quoteForAlert(parameterName) + ".";
    if (!parameter->isAutomatable())
        return "names a parameter that cannot be assigned: " + quoteForAlert(parameterName) + ".";
    return {};
}

juce::String MapFileReader::describeSaveFailure(const juce::File& file)
{
    return quoteFileName(file) + " could not be saved. Nothing was changed on the disk.";
}

juce::String MapFileReader::quoteFileName(const juce::File& file)
{
    return quoteForAlert(file.getFileName());
}
