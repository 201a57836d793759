// SPDX-License-Identifier: MIT
// The byte layouts the desktop's services read, checked on plain buffers: no bus, no display.
#include "../../system/linux/iconpixels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using zilui::desktop::MutablePixels;
using zilui::desktop::PixelView;

// Two pixels: (r, g, b) = (1, 2, 3) and (4, 5, 6); alpha 7 and 8 when given.
const unsigned char kRgb[] = {1, 2, 3, 4, 5, 6};
const unsigned char kAlpha[] = {7, 8};

std::vector<int> bytes(const std::string& s)
{
    return std::vector<int>(reinterpret_cast<const unsigned char*>(s.data()),
                            reinterpret_cast<const unsigned char*>(s.data()) + s.size());
}

// A host reads the pixmap as big-endian ARGB and the notification server RGBA: swapped channels,
// a lost alpha or a picture read past its rows show as wrong colours or a crash on the desktop.
TEST(IconPixelsTest, ChannelOrderAlphaAndSize)
{
    const struct {
        const char* name;
        PixelView pixels;
        bool argb;
        std::vector<int> expected;
    } cases[] = {
        {"argb with alpha", {2, 1, kRgb, kAlpha}, true, {7, 1, 2, 3, 8, 4, 5, 6}},
        {"argb opaque", {2, 1, kRgb, nullptr}, true, {255, 1, 2, 3, 255, 4, 5, 6}},
        {"argb column", {1, 2, kRgb, kAlpha}, true, {7, 1, 2, 3, 8, 4, 5, 6}},
        {"argb first pixel only", {1, 1, kRgb, kAlpha}, true, {7, 1, 2, 3}},
        {"rgba with alpha", {2, 1, kRgb, kAlpha}, false, {1, 2, 3, 7, 4, 5, 6, 8}},
        {"rgba opaque", {2, 1, kRgb, nullptr}, false, {1, 2, 3, 255, 4, 5, 6, 255}},
        {"empty", {0, 0, nullptr, nullptr}, true, {}},
        {"no rows", {5, 0, nullptr, nullptr}, false, {}},
        {"negative width", {-1, 3, nullptr, nullptr}, true, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = c.argb ? zilui::desktop::toNetworkArgb32(c.pixels)
                                       : zilui::desktop::toRgba32(c.pixels);
        EXPECT_EQ(bytes(out), c.expected);
    }
}

// The badge covers a quarter of the icon; a tiny icon still gets a visible one.
TEST(IconPixelsTest, BadgeSide)
{
    const struct {
        int width, height, side;
    } cases[] = {{32, 32, 16}, {48, 24, 12}, {24, 48, 12}, {3, 3, 1}, {1, 1, 1}, {1, 64, 1}, {0, 0, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        EXPECT_EQ(zilui::desktop::badgeSide(c.width, c.height), c.side);
    }
}

// Blending by the badge's alpha, with the base's transparent parts made as opaque as the badge;
// a badge placed partly outside must not write past the base's buffers.
TEST(IconPixelsTest, BadgeBlendsByAlphaInsideTheBase)
{
    struct Case {
        const char* name;
        int x0, y0;
        unsigned char badgeAlpha; // 0: the badge has no alpha
        unsigned char baseAlpha;
        // The base's 2x2 pixels after the blend: red channel and alpha, row by row.
        std::vector<int> red, alpha;
    };
    const Case cases[] = {
        {"opaque badge replaces", 0, 0, 0, 255, {200, 200, 200, 200}, {255, 255, 255, 255}},
        {"half alpha mixes", 1, 1, 128, 255, {10, 10, 10, 105}, {255, 255, 255, 255}},
        {"nearly clear badge tints", 1, 1, 1, 0, {10, 10, 10, 11}, {0, 0, 0, 1}},
        {"clear base takes the badge's alpha", 0, 0, 128, 0, {105, 105, 105, 105}, {128, 128, 128, 128}},
        {"one row down", 0, 1, 255, 0, {10, 10, 200, 200}, {0, 0, 255, 255}},
        {"past the bottom-right corner", 1, 1, 255, 0, {10, 10, 10, 200}, {0, 0, 0, 255}},
        {"past the top-left corner", -1, -1, 255, 0, {200, 10, 10, 10}, {255, 0, 0, 0}},
        {"wholly outside", 2, 0, 255, 0, {10, 10, 10, 10}, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<unsigned char> rgb(2 * 2 * 3, 10), alpha(4, c.baseAlpha);
        // A 2x2 badge of one colour and alpha.
        std::vector<unsigned char> badgeRgb(2 * 2 * 3, 0), badgeAlpha(4, c.badgeAlpha);
        for (int i = 0; i < 4; ++i)
            badgeRgb[i * 3] = 200;
        zilui::desktop::blendOver({2, 2, rgb.data(), alpha.data()},
                                  {2, 2, badgeRgb.data(), c.badgeAlpha ? badgeAlpha.data() : nullptr}, c.x0,
                                  c.y0);
        std::vector<int> red, alphaOut;
        for (int i = 0; i < 4; ++i) {
            red.push_back(rgb[i * 3]);
            alphaOut.push_back(alpha[i]);
        }
        EXPECT_EQ(red, c.red);
        EXPECT_EQ(alphaOut, c.alpha);
    }
}

} // namespace
