#pragma once

#include "GeneratedFiles.h"

#include <vector>

// One group of generated files with its own tables: the skin, the toolkit's
// widget images, ... Each lives in its own source file of this folder and
// registers itself with a file-scope object, so adding a group is adding a
// file:
//
//     static void produceMyImages(GeneratedFiles& out) { out.addImage(...); }
//     static const ImageSet myImages("myimages", produceMyImages);
//
// The generator runs every registered set in name order.
class ImageSet
{
public:
    using Producer = void (*)(GeneratedFiles&);

    ImageSet(const char* name, Producer producer);

    const char* getName() const { return name; }
    void produce(GeneratedFiles& out) const { producer(out); }

    // Every registered set, in name order.
    static std::vector<const ImageSet*> getAll();

private:
    const char* name;
    Producer producer;
};
