// The image interface: pixels decoded from a file. The virtual operations
// keep a fixed slot order.
#pragma once

#include <windows.h>

#include <cstdint>

class CImage {
public:
    // Reads the picture; false (holding nothing new) on failure.
    virtual bool Load(const char* fileName) = 0;
    // Frees the pixels.
    virtual void Release() = 0;
    // Size in pixels; 0 x 0 when nothing is loaded.
    virtual void GetSize(LONG* width, LONG* height) = 0;
    // First pixel row in memory (the bottom row); owned by the image.
    virtual std::uint8_t* GetBits() = 0;
    virtual int GetStride() = 0;
    // Repaints (x, y, width, height) of `dc` from the same region of the
    // image (the whole image when width and height are 0). Returns the
    // platform's result, 0 when nothing is loaded.
    virtual int PaintTo(HDC dc, LONG x, LONG y, LONG width, LONG height) = 0;
    // Where the loaded picture was read from (its name, or its place on a
    // disc); empty when nothing is loaded.
    virtual const char* SourcePath() = 0;
    virtual ~CImage() = default;
};
