// SPDX-License-Identifier: MIT
// Runs the built zilui-skinview on small generated skins and reads its sheets back.
#include "zil/temp_folder.h"

#include <gtest/gtest.h>

#include <wx/image.h>

#include <climits>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

using zil::Path;
using zil::test::CTempFolder;

namespace {

struct ToolResult {
    int exitCode = -1;
    std::string output; // stdout and stderr together
};

ToolResult runSkinView(const std::string& arguments)
{
    const std::string command = std::string("'") + ZILUI_SKINVIEW_PATH + "' " + arguments + " 2>&1";
    ToolResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot start " << command;
        return result;
    }
    char buffer[512];
    size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, read);
    const int status = ::pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string quoted(const Path& path)
{
    return "'" + path.toAPIPath() + "'";
}

// Where the pixels of exactly one colour lie in the sheet.
struct ColourArea {
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    long count = 0;
};

ColourArea findColour(const wxImage& image, unsigned rgb)
{
    ColourArea area;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x) {
            const unsigned pixel = (unsigned(image.GetRed(x, y)) << 16) | (unsigned(image.GetGreen(x, y)) << 8) |
                                   image.GetBlue(x, y);
            if (pixel != rgb)
                continue;
            area.left = std::min(area.left, x);
            area.top = std::min(area.top, y);
            area.right = std::max(area.right, x);
            area.bottom = std::max(area.bottom, y);
            ++area.count;
        }
    return area;
}

std::string hexColour(unsigned rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", rgb);
    return text;
}

// A plain picture with no params file: scaled whole over the control.
void writeSolidPng(const Path& path, unsigned rgb)
{
    wxImage image(4, 4);
    image.SetRGB(wxRect(0, 0, 4, 4), (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    ASSERT_TRUE(image.SaveFile(path.toAPIPath(), wxBITMAP_TYPE_PNG));
}

} // namespace

// Every state gets a background colour of its own; each must fill exactly one cell of the
// requested size, in the grid place of its state.
TEST(SkinView, PaintsEveryStateIntoItsOwnCell)
{
    struct Case {
        const char* kind;
        std::vector<std::string> states;
        int columns;
        const char* size;
        double scale;
    };
    const Case cases[] = {
        {"button", {"normal", "hover", "disabled"}, 3, "60x20", 1.0},
        {"button", {"normal", "hover", "disabled"}, 3, "60x20", 2.0},
        {"checkbox",
         {"uncheckedNormal", "checkedNormal", "uncheckedHover", "checkedHover", "uncheckedDisabled", "checkedDisabled"},
         2,
         "50x16",
         1.5},
        {"radio",
         {"unselectedNormal", "selectedNormal", "unselectedHover", "selectedHover", "unselectedDisabled",
          "selectedDisabled"},
         2,
         "50x16",
         1.0},
    };
    const unsigned colours[] = {0xff0000, 0x00c000, 0x0000ff, 0xc000c0, 0x00c0c0, 0x804000};
    // Image titles are found from the skin's folder and from its parent; --scale 2 picks the
    // picture's factor-2 variant.
    const unsigned pictureColour = 0xffff00;
    const unsigned picture2Colour = 0x00ffff;

    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + " at " + std::to_string(c.scale));
        CTempFolder temp;
        ASSERT_EQ(::mkdir(temp.api(Path(L"looks")).c_str(), 0755), 0);
        ASSERT_EQ(::mkdir(temp.api(Path(L"looks/mine")).c_str(), 0755), 0);
        writeSolidPng(temp / Path(L"looks/mine/fill.png"), pictureColour);
        if (c.scale == 2.0)
            writeSolidPng(temp / Path(L"looks/mine/fill@2.png"), picture2Colour);
        std::string ini = "border=none\nfocusRect=none\n";
        for (size_t i = 0; i < c.states.size(); ++i)
            ini += c.states[i] + ".backColor=" + hexColour(colours[i]) + "\n";
        // The last state shows the picture instead of its colour, once by each title form.
        const bool parentTitle = c.scale != 1.0;
        ini += c.states.back() + ".underlay=" + (parentTitle ? "mine/fill" : "fill") + "\n";
        const Path skin = temp.writeFile(Path(L"looks/mine/skin.ini"), ini);
        const Path out = temp / Path(L"sheet.png");

        const ToolResult result = runSkinView(std::string("--kind ") + c.kind + " --skin " + quoted(skin) +
                                              " --label '' --size " + c.size + " --scale " +
                                              std::to_string(c.scale) + " --out " + quoted(out));
        ASSERT_EQ(result.exitCode, 0) << result.output;
        EXPECT_NE(result.output.find(std::to_string(c.states.size()) + " states"), std::string::npos)
            << result.output;
        wxImage sheet;
        ASSERT_TRUE(sheet.LoadFile(out.toAPIPath(), wxBITMAP_TYPE_PNG));

        int width = 0, height = 0;
        ASSERT_EQ(std::sscanf(c.size, "%dx%d", &width, &height), 2);
        width = int(width * c.scale + 0.5);
        height = int(height * c.scale + 0.5);
        std::vector<ColourArea> cells;
        for (size_t i = 0; i < c.states.size(); ++i) {
            SCOPED_TRACE(c.states[i]);
            const unsigned picture = c.scale == 2.0 ? picture2Colour : pictureColour;
            const unsigned colour = i + 1 == c.states.size() ? picture : colours[i];
            const ColourArea area = findColour(sheet, colour);
            EXPECT_EQ(area.right - area.left + 1, width);
            EXPECT_EQ(area.bottom - area.top + 1, height);
            EXPECT_EQ(area.count, long(width) * height);
            cells.push_back(area);
        }
        // Grid order: left to right, then the next row.
        for (size_t i = 1; i < cells.size(); ++i) {
            SCOPED_TRACE(c.states[i]);
            if (i % c.columns == 0) {
                EXPECT_GT(cells[i].top, cells[i - 1].bottom);
                EXPECT_EQ(cells[i].left, cells[0].left);
            } else {
                EXPECT_GT(cells[i].left, cells[i - 1].right);
                EXPECT_EQ(cells[i].top, cells[i - 1].top);
            }
        }
    }
}

// Bad input: exit code 2, a message naming the problem, and no sheet.
TEST(SkinView, RefusesBadInputWithExitCodeTwoAndAMessage)
{
    CTempFolder temp;
    const Path good = temp.writeFile(Path(L"good.ini"), "normal.backColor=#ff0000\n");
    const Path badBorder = temp.writeFile(Path(L"bad.ini"), "all.textColor=#000000\nborder=wavy\n");
    const Path badMargins = temp.writeFile(Path(L"margins.ini"), "contentMargins=3,x\n");
    const Path out = temp / Path(L"sheet.png");
    const std::string missing = quoted(temp / Path(L"missing.ini"));
    struct Case {
        std::string arguments;
        std::string message;
    };
    const Case cases[] = {
        {"--kind button --skin " + missing, "no skin file found for '" + (temp / Path(L"missing.ini")).toAPIPath()},
        {"--kind checkbox --skin " + quoted(badBorder), "Invalid value for 'border': 'wavy'."},
        {"--kind radio --skin " + quoted(badMargins), "'x' is not an integer"},
        {"--kind slider --skin " + quoted(good), "--kind: expected button, checkbox or radio, not 'slider'"},
        {"--kind button --size 0x20 --skin " + quoted(good), "--size"},
        {"--kind button --size 20 --skin " + quoted(good), "--size"},
        {"--kind button --scale 0 --skin " + quoted(good), "--scale"},
        {"--kind button --scale two --skin " + quoted(good), "--scale"},
        {"--kind button --skin " + quoted(good) + " --label", "--label needs a value"},
        {"--kind button --bogus --skin " + quoted(good), "Unknown argument '--bogus'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const ToolResult result = runSkinView("--out " + quoted(out) + " " + c.arguments);
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.output.find(c.message), std::string::npos) << result.output;
        EXPECT_FALSE(zil::pathExists(out));
    }
}
