#pragma once
// A page's image as the server sends it: the file's bytes, the scale its
// head states (the page was sent reduced by it) and whether the page is a
// placeholder for a page without an image, as one value.

#include <string>

struct PageImage {
    std::string bytes;  // empty when the image did not come
    float scale = 1.0F;
    bool placeholder = false;
};
