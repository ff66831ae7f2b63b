#include "installer/screen_scale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

struct Case {
    int windowWidth, windowHeight;
    ScreenRect in, buffer, window;  // WindowToBuffer(in), BufferToWindow of that
};

TEST(ScreenScale, WindowRectanglesMapToWholeBufferPixelsRoundedOutward) {
    const Case cases[] = {
        // The buffer's own size: nothing moves.
        {800, 600, {504, 520, 800, 600}, {504, 520, 800, 600}, {504, 520, 800, 600}},
        {800, 600, {3, 7, 4, 9}, {3, 7, 4, 9}, {3, 7, 4, 9}},
        // 5/4: pixel edges meet every 4 buffer pixels.
        {1000, 750, {500, 400, 600, 500}, {400, 320, 480, 400}, {500, 400, 600, 500}},
        {1000, 750, {1, 1, 2, 2}, {0, 0, 4, 4}, {0, 0, 5, 5}},
        {1000, 750, {999, 749, 1000, 750}, {796, 596, 800, 600}, {995, 745, 1000, 750}},
        // 4/5: every 5 buffer pixels.
        {640, 480, {1, 1, 2, 2}, {0, 0, 5, 5}, {0, 0, 4, 4}},
        // 1024 x 768: every 25 buffer pixels (32 window pixels).
        {1024, 768, {40, 40, 41, 41}, {25, 25, 50, 50}, {32, 32, 64, 64}},
        {1024, 768, {0, 0, 1024, 768}, {0, 0, 800, 600}, {0, 0, 1024, 768}},
        // Beyond the window: clamped to the buffer.
        {1000, 750, {-5, -5, 2000, 2000}, {0, 0, 800, 600}, {0, 0, 1000, 750}},
        // A minimised window has no pixels.
        {0, 0, {0, 0, 10, 10}, {0, 0, 0, 0}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.windowWidth) + "x" + std::to_string(c.windowHeight) + " at " +
                     std::to_string(c.in.left) + "," + std::to_string(c.in.top));
        const ScreenRect buffer = WindowToBuffer(c.in, 800, 600, c.windowWidth, c.windowHeight);
        EXPECT_EQ(buffer, c.buffer);
        EXPECT_EQ(BufferToWindow(buffer, 800, 600, c.windowWidth, c.windowHeight), c.window);
    }
}

TEST(ScreenScale, BufferRectanglesMapToTheWindowPixelsThatShowThem) {
    // The progress frame (504, 520, 800, 600) in windows of other sizes.
    EXPECT_EQ(BufferToWindow({504, 520, 800, 600}, 800, 600, 1000, 750),
              (ScreenRect{630, 650, 1000, 750}));
    EXPECT_EQ(BufferToWindow({504, 520, 800, 600}, 800, 600, 640, 480),
              (ScreenRect{403, 416, 640, 480}));
    EXPECT_EQ(BufferToWindow({1, 1, 2, 2}, 800, 600, 1000, 750), (ScreenRect{1, 1, 3, 3}));
}

TEST(ScreenScale, EveryDirtyRectangleIsCoveredByAnExactlyPlacedPart) {
    const int sizes[][2] = {{800, 600}, {1000, 750}, {1024, 768},
                            {640, 480}, {801, 599}, {1366, 705}};
    for (const auto& size : sizes) {
        const int w = size[0], h = size[1];
        for (int left = 0; left < w; left += 37) {
            for (int top = 0; top < h; top += 41) {
                const ScreenRect dirty{left, top, std::min(w, left + 13), std::min(h, top + 29)};
                const ScreenRect part = WindowToBuffer(dirty, 800, 600, w, h);
                const ScreenRect shown = BufferToWindow(part, 800, 600, w, h);
                ASSERT_TRUE(shown.left <= dirty.left && shown.top <= dirty.top &&
                            shown.right >= dirty.right && shown.bottom >= dirty.bottom)
                    << w << "x" << h << " at " << left << "," << top;
                // Its edges fall where buffer and window pixel edges meet.
                ASSERT_EQ(part.left * w % 800, 0);
                ASSERT_EQ(part.right * w % 800, 0);
                ASSERT_EQ(part.top * h % 600, 0);
                ASSERT_EQ(part.bottom * h % 600, 0);
            }
        }
    }
}

}  // namespace
