#include "SourceLayers.h"

#include <functional>

namespace
{
const juce::StringArray kSourceSuffixes { ".h", ".hh", ".hpp", ".hxx", ".inl", ".ipp", ".inc",
                                          ".c", ".cc", ".cpp", ".cxx", ".mm" };

// A path of the tree's top, with "." and ".." taken out; empty when it leaves
// the tree.
juce::String normalised(const juce::String& path)
{
    juce::StringArray kept;
    for (const auto& part : juce::StringArray::fromTokens(path, "/", ""))
    {
        if (part.isEmpty() || part == ".")
            continue;
        if (part == "..")
        {
            if (kept.isEmpty())
                return {};
            kept.remove(kept.size() - 1);
        }
        else
            kept.add(part);
    }
    return kept.joinIntoString("/");
}

struct Include
{
    juce::String spelled; // "a/b.h" or <a/b.h>, or the macro
    juce::String path;
    bool quoted = false;
    bool readable = false;
};

// The directive on this line, if it is an #include (spaces allowed around the
// hash, #include_next and #import too).
bool parseInclude(const juce::String& line, Include& include)
{
    auto rest = line.trimStart();
    if (!rest.startsWithChar('#'))
        return false;
    rest = rest.substring(1).trimStart();
    const auto word = rest.initialSectionContainingOnly("abcdefghijklmnopqrstuvwxyz_");
    if (word != "include" && word != "include_next" && word != "import")
        return false;
    rest = rest.substring(word.length()).trimStart();

    const auto open = rest[0];
    const auto close = open == '"' ? '"' : (open == '<' ? '>' : 0);
    const auto end = close != 0 ? rest.indexOfChar(1, close) : -1;
    include.readable = end > 0;
    include.quoted = open == '"';
    include.path = include.readable ? rest.substring(1, end) : juce::String();
    include.spelled = include.readable ? rest.substring(0, end + 1) : rest.upToFirstOccurrenceOf("//", false, false).trim();
    return true;
}

bool isBuildTree(const juce::File& folder)
{
    return folder.getChildFile("CMakeCache.txt").existsAsFile();
}

void collectSources(const juce::File& folder, juce::Array<juce::File>& files)
{
    for (const auto& entry : juce::RangedDirectoryIterator(folder, false, "*", juce::File::findFilesAndDirectories))
    {
        const auto& child = entry.getFile();
        if (child.getFileName().startsWithChar('.'))
            continue;
        if (entry.isDirectory())
        {
            if (!isBuildTree(child))
                collectSources(child, files);
        }
        else if (kSourceSuffixes.contains(child.getFileExtension()))
            files.add(child);
    }
}
} // namespace

juce::String SourceLayers::Breach::describe() const
{
    const auto where = file + ":" + juce::String(line) + ": ";
    switch (kind)
    {
        case Kind::noLayer:
            return file + " lies in no layer's folder";
        case Kind::unreadable:
            return where + "#include " + include + " names no file this check can follow";
        case Kind::reachesUp:
            break;
    }
    const auto shown = include.substring(1, include.length() - 1) == resolved ? juce::String()
                                                                               : " (" + resolved + ")";
    return where + "#include " + include + shown + " reaches " + reached + "/, a layer " + layer
         + "/ does not sit on";
}

SourceLayers::SourceLayers(std::vector<Layer> layers) : order(std::move(layers)) {}

const SourceLayers::Layer* SourceLayers::find(const juce::String& folder) const
{
    for (const auto& layer : order)
        if (layer.folder == folder)
            return &layer;
    return nullptr;
}

juce::StringArray SourceLayers::reachableFrom(const juce::String& folder) const
{
    juce::StringArray reached { folder };
    for (int i = 0; i < reached.size(); ++i)
        if (const auto* layer = find(reached[i]))
            for (const auto& below : layer->sitsOn)
                reached.addIfNotAlreadyThere(below);
    return reached;
}

juce::String SourceLayers::findFaultInOrder() const
{
    for (const auto& layer : order)
        for (const auto& below : layer.sitsOn)
            if (find(below) == nullptr)
                return layer.folder + " sits on " + below + ", which is no layer";

    // A walk down from each layer that comes back to a layer on its own path.
    std::function<juce::String(juce::StringArray)> walk = [&](juce::StringArray path) -> juce::String {
        for (const auto& below : find(path[path.size() - 1])->sitsOn)
        {
            auto longer = path;
            longer.add(below);
            if (path.contains(below))
                return longer.joinIntoString(" -> ");
            if (auto cycle = walk(longer); cycle.isNotEmpty())
                return cycle;
        }
        return {};
    };
    for (const auto& layer : order)
        if (auto cycle = walk({ layer.folder }); cycle.isNotEmpty())
            return cycle;
    return {};
}

juce::String SourceLayers::layerOf(const juce::String& relativePath) const
{
    juce::String best;
    for (const auto& layer : order)
        if (relativePath.startsWith(layer.folder + "/") && layer.folder.length() > best.length())
            best = layer.folder;
    return best;
}

SourceLayers::Report SourceLayers::check(const juce::File& root) const
{
    juce::Array<juce::File> files;
    collectSources(root, files);
    files.sort();

    Report report;
    for (const auto& file : files)
        checkFile(root, file, report);
    return report;
}

void SourceLayers::checkFile(const juce::File& root, const juce::File& file, Report& report) const
{
    Breach breach;
    breach.file = file.getRelativePathFrom(root).replaceCharacter('\\', '/');
    breach.layer = layerOf(breach.file);
    if (breach.layer.isEmpty())
    {
        breach.kind = Breach::Kind::noLayer;
        report.breaches.push_back(breach);
        return;
    }
    ++report.filesRead[breach.layer];

    const auto allowed = reachableFrom(breach.layer);
    const auto folder = breach.file.upToLastOccurrenceOf("/", false, false);
    const auto lines = juce::StringArray::fromLines(file.loadFileAsString());
    for (int i = 0; i < lines.size(); ++i)
    {
        Include include;
        if (!parseInclude(lines[i], include))
            continue;
        breach.line = i + 1;
        breach.include = include.spelled;
        if (!include.readable)
        {
            // Only a layer that may include everything may include what
            // cannot be followed.
            if (allowed.size() < (int) order.size())
            {
                breach.kind = Breach::Kind::unreadable;
                report.breaches.push_back(breach);
            }
            continue;
        }

        // A quoted include is looked for beside its file first (always so for
        // "./" and "../"), then from the tree's top; an angled one from the top.
        const bool relative = include.path.startsWith("./") || include.path.startsWith("../");
        const auto beside = normalised(folder + "/" + include.path);
        juce::String resolved;
        if (juce::File::isAbsolutePath(include.path))
        {
            const juce::File named(include.path);
            if (named.isAChildOf(root))
                resolved = normalised(named.getRelativePathFrom(root));
        }
        else if (include.quoted && (relative || (beside.isNotEmpty() && root.getChildFile(beside).existsAsFile())))
            resolved = beside;
        else if (!relative)
            resolved = normalised(include.path);

        breach.resolved = resolved;
        breach.reached = layerOf(resolved);
        if (breach.reached.isNotEmpty() && !allowed.contains(breach.reached))
        {
            breach.kind = Breach::Kind::reachesUp;
            report.breaches.push_back(breach);
        }
    }
}
