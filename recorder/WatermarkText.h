#pragma once
// Filter descriptions of the watermark graph and how outside text is made
// safe inside them.

#include <string>

namespace kal {

// A path or text made literal inside one option value of a filter
// description: escaped for the option parser, then quoted for the graph
// parser. A path has "\" turned into "/" first. Plain text without special
// characters is returned as it is.
std::string EscapeFilterPath(const std::string& path);
std::string EscapeFilterText(const std::string& text);

struct ImagePlacement {
  int x = 0;
  int y = 0;
};
// Where an image of w x h goes on a W x H picture for corner `pos`
// (0 left-top, 1 right-top, 2 left-bottom, 3 right-bottom) with the two
// offsets of that corner (horizontal first).
ImagePlacement PlaceWatermark(int pos, int W, int H, int w, int h, int offsetX, int offsetY);

std::string ImageWatermarkDescription(const std::string& imagePath, ImagePlacement at);
std::string TextWatermarkDescription(const std::string& fontPath, const std::string& text, int x,
                                     int y, int fontSize, const std::string& color);

// The font file shipped for a family name; unknown families use the first.
const char* FontFileForFamily(const std::string& family);

}  // namespace kal
