// Test helper: the frame the platform showed last, and its comparison with a kept golden picture
// (a differing frame is written to the actual-pictures folder and named in the failure).
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "plat.h"
#include "png_read.h"

namespace pngtest {

// The last frame shown, as 0x00RRGGBB pixels; empty when none was shown.
inline Picture ShownFrame() {
    const uint32_t* frame = nullptr;
    int width = 0, height = 0;
    Picture p;
    if (!plat::LastFrame(&frame, &width, &height))
        return p;
    p.width = width;
    p.height = height;
    for (size_t i = 0; i < size_t(width) * size_t(height); ++i)
        p.pixels.push_back(frame[i] & 0xFFFFFFu);
    return p;
}

// Fails unless `actual` equals goldenDir/name.png pixel for pixel.
inline void ExpectGoldenFrame(const std::string& goldenDir, const std::string& actualDir, const std::string& name,
                              const Picture& actual) {
    ASSERT_GT(actual.width, 0) << "no frame was shown";
    const Picture golden = ReadPng(goldenDir + "/" + name + ".png");
    long different = -1;
    if (golden.width == actual.width && golden.height == actual.height) {
        different = 0;
        for (size_t i = 0; i < actual.pixels.size(); ++i)
            different += golden.pixels[i] != actual.pixels[i];
    }
    if (different != 0) {
        const std::string path = actualDir + "/" + name + ".png";
        plat::WritePng(path, actual.pixels.data(), actual.width, actual.height);
        ADD_FAILURE() << name << ": "
                      << (different < 0 ? std::string("no golden picture of this size")
                                        : std::to_string(different) + " pixels differ")
                      << "; the frame drawn is " << path;
    }
}

}  // namespace pngtest
