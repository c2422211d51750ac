// tavinor_imagegen: draws every picture of the plug-in (the skin and its
// images, the look-and-feel's bitmaps) and writes them, with the skin's XML,
// into a folder and into one archive that the build embeds in the plug-in.
// It runs at build time; see README.md beside this file.

#include "Drawing.h"
#include "Fonts.h"
#include "GeneratedFiles.h"
#include "ImageSet.h"
#include "SkinPreview.h"

#include <iostream>

namespace
{
const char* const usage =
    "usage: tavinor_imagegen [--fonts DIR] [--out DIR] [--archive FILE] [--list] [--legibility]\n"
    "                        [--preview DIR [--parameters FILE]]\n"
    "  --fonts DIR     folder holding DejaVuSans*.ttf (default: the one the build found)\n"
    "  --out DIR       write every generated file into DIR\n"
    "  --archive FILE  write every generated file into one zip, as the plug-in embeds them\n"
    "  --list          print the generated file names\n"
    "  --legibility    print how far each text of the skin stands out (contrast) and its room\n"
    "                  inside its control (pixels), worst case per picture\n"
    "  --preview DIR   compose the whole face from skin.xml in a few states, one PNG each\n"
    "  --parameters F  the parameter set whose values the preview shows (default: the source tree's)\n";

struct Options
{
    juce::File fonts = Fonts::getDefaultFolder();
    juce::File out, archive, preview;
    juce::File parameters = juce::File(TAVINOR_SOURCE_DIR).getChildFile("resources/parameters.xml");
    bool list = false;
    bool legibility = false;
};

bool parse(const juce::StringArray& args, Options& options)
{
    for (int i = 0; i < args.size(); ++i)
    {
        const auto& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--list")
            options.list = true;
        else if (arg == "--legibility")
            options.legibility = true;
        else if (arg == "--fonts" && hasValue)
            options.fonts = juce::File::getCurrentWorkingDirectory().getChildFile(args[++i]);
        else if (arg == "--out" && hasValue)
            options.out = juce::File::getCurrentWorkingDirectory().getChildFile(args[++i]);
        else if (arg == "--preview" && hasValue)
            options.preview = juce::File::getCurrentWorkingDirectory().getChildFile(args[++i]);
        else if (arg == "--parameters" && hasValue)
            options.parameters = juce::File::getCurrentWorkingDirectory().getChildFile(args[++i]);
        else if (arg == "--archive" && hasValue)
            options.archive = juce::File::getCurrentWorkingDirectory().getChildFile(args[++i]);
        else
            return false;
    }
    return true;
}

int run(const Options& options)
{
    juce::String error;
    if (! Fonts::load(options.fonts, error))
    {
        std::cerr << "tavinor_imagegen: " << error << " (install fonts-dejavu-core)\n";
        return 1;
    }

    GeneratedFiles files;
    for (const auto* set : ImageSet::getAll())
        set->produce(files);
    for (const auto& e : Fonts::getErrors())
        files.addError(e);
    for (const auto& e : Drawing::getProblems())
        files.addError(e);

    // Printed also when texts fail the checks, to see how far off they are.
    if (options.legibility)
        for (const auto& line : Drawing::getLegibilityReport())
            std::cout << line << "\n";
    if (! files.getErrors().isEmpty())
    {
        for (const auto& e : files.getErrors())
            std::cerr << "tavinor_imagegen: " << e << "\n";
        return 1;
    }
    if (options.list)
        for (const auto& name : files.getNames())
            std::cout << name << "\n";

    if (options.out != juce::File() && ! files.writeToFolder(options.out))
    {
        std::cerr << "tavinor_imagegen: cannot write into " << options.out.getFullPathName() << "\n";
        return 1;
    }
    if (options.archive != juce::File())
    {
        options.archive.getParentDirectory().createDirectory();
        if (! GeneratedFiles::writeFile(options.archive, files.createArchive(), true))
        {
            std::cerr << "tavinor_imagegen: cannot write " << options.archive.getFullPathName() << "\n";
            return 1;
        }
    }
    if (options.preview != juce::File())
    {
        options.preview.createDirectory();
        for (const auto& state : SkinPreview::getStateNames())
        {
            juce::String error;
            const auto face = SkinPreview::render(files, options.parameters, state, error);
            juce::MemoryOutputStream png;
            const auto file = options.preview.getChildFile("skin-" + state + ".png");
            if (! face.isValid() || ! juce::PNGImageFormat().writeImageToStream(face, png)
                || ! GeneratedFiles::writeFile(file, png.getMemoryBlock()))
            {
                std::cerr << "tavinor_imagegen: preview " << state << ": " << error << "\n";
                return 1;
            }
            std::cout << file.getFullPathName() << "\n";
        }
    }
    return 0;
}
}

int main(int argc, char* argv[])
{
    juce::StringArray args;
    for (int i = 1; i < argc; ++i)
        args.add(juce::String::fromUTF8(argv[i]));

    Options options;
    if (! parse(args, options) || args.isEmpty())
    {
        std::cerr << usage;
        return 2;
    }
    const int result = run(options);
    Fonts::release();
    juce::DeletedAtShutdown::deleteAll();
    return result;
}
