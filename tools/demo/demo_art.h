// The setup screen's pictures for the demo discs, drawn by the project
// itself: seven 800 x 600 stage backgrounds, the progress frame, the empty
// and full bar, the digits 0-9 and the percent sign. Pictures are 24-bit,
// top-down in memory here; masks are one alpha byte per pixel, top-down, as
// the ".alp" files hold them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DemoPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;    // blue, green, red per pixel, rows top-down
    std::vector<std::uint8_t> alpha;  // empty when the picture has no mask
};

// Stage 0 to 6: the background shown from the start and at each stage.
DemoPicture DrawStageBackground(int stage);
DemoPicture DrawProgressFrame();
DemoPicture DrawBar(bool full);
// 0-9 are the digits, 10 the percent sign.
DemoPicture DrawGlyph(int index);

// A 24-bit BMP file (bottom-up rows padded to four bytes) of the picture.
std::vector<std::uint8_t> EncodeBmp(const DemoPicture& picture);
