#include "ImageSet.h"

#include <algorithm>
#include <cstring>

namespace
{
// A function-local list: file-scope registrations in other source files may
// run before any global of this file is constructed.
std::vector<const ImageSet*>& registry()
{
    static std::vector<const ImageSet*> sets;
    return sets;
}
}

ImageSet::ImageSet(const char* setName, Producer setProducer)
    : name(setName), producer(setProducer)
{
    registry().push_back(this);
}

std::vector<const ImageSet*> ImageSet::getAll()
{
    auto sets = registry();
    std::sort(sets.begin(), sets.end(),
              [](const ImageSet* a, const ImageSet* b) { return std::strcmp(a->getName(), b->getName()) < 0; });
    return sets;
}
