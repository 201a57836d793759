// SPDX-License-Identifier: MIT
// Runs the built zilui-skinview on small generated skins and reads its sheets back.
#include "graphics/graphicstestutil.h"
#include "zil/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using zil::Path;
using zil::test::CTempFolder;
using zilui::test::pixelAt;

namespace {

// The exit code and stdout and stderr together.
std::pair<int, std::string> runSkinView(const std::string& arguments)
{
    const std::string command = std::string("'") + ZILUI_SKINVIEW_PATH + "' " + arguments + " 2>&1";
    std::pair<int, std::string> result(-1, "");
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char buffer[512];
    for (size_t read; (read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.second.append(buffer, read);
    const int status = ::pclose(pipe);
    result.first = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

std::string quoted(const Path& path)
{
    return "'" + path.toAPIPath() + "'";
}

// The bounding box of the pixels of exactly one colour in the sheet, and their number.
wxRect findColour(const wxImage& image, const wxColour& colour, long& count)
{
    wxRect box;
    count = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (pixelAt(image, x, y) == colour) {
                box.Union(wxRect(x, y, 1, 1));
                ++count;
            }
    return box;
}

// A plain picture with no params file: scaled whole over the control.
void writeSolidPng(const Path& path, const wxColour& colour)
{
    ASSERT_TRUE(zilui::test::solidImage(4, 4, colour).SaveFile(path.toAPIPath(), wxBITMAP_TYPE_PNG));
}

} // namespace

// Every state must fill exactly one cell of the requested size, left to right.
TEST(SkinView, PaintsEveryStateIntoItsOwnCell)
{
    // Image titles are found from the skin's folder and from its parent; --scale 2 picks the
    // picture's factor-2 variant.
    const wxColour picture(255, 255, 0), picture2(0, 255, 255);
    for (const int scale : {1, 2}) {
        SCOPED_TRACE(scale);
        CTempFolder temp;
        ASSERT_EQ(::mkdir(temp.api(Path(L"looks")).c_str(), 0755), 0);
        ASSERT_EQ(::mkdir(temp.api(Path(L"looks/mine")).c_str(), 0755), 0);
        writeSolidPng(temp / Path(L"looks/mine/fill.png"), picture);
        if (scale == 2)
            writeSolidPng(temp / Path(L"looks/mine/fill@2.png"), picture2);
        // The last state shows the picture instead of a colour, once by each title form.
        const Path skin = temp.writeFile(Path(L"looks/mine/skin.ini"),
                                         "border=none\nfocusRect=none\nnormal.backColor=#ff0000\n"
                                         "hover.backColor=#00c000\ndisabled.underlay=" +
                                             std::string(scale == 2 ? "mine/fill" : "fill") + "\n");
        const Path out = temp / Path(L"sheet.png");
        const auto result = runSkinView("--kind button --skin " + quoted(skin) + " --label '' --size 60x20 --scale " +
                                        std::to_string(scale) + " --out " + quoted(out));
        ASSERT_EQ(result.first, 0) << result.second;
        EXPECT_NE(result.second.find("3 states"), std::string::npos) << result.second;
        wxImage sheet;
        ASSERT_TRUE(sheet.LoadFile(out.toAPIPath(), wxBITMAP_TYPE_PNG));
        wxRect previous;
        for (const wxColour& colour : {wxColour(255, 0, 0), wxColour(0, 192, 0), scale == 2 ? picture2 : picture}) {
            SCOPED_TRACE(colour.GetAsString().utf8_string());
            long count = 0;
            const wxRect cell = findColour(sheet, colour, count);
            EXPECT_EQ(cell.GetSize(), wxSize(60 * scale, 20 * scale));
            EXPECT_EQ(count, 60 * 20 * scale * scale);
            if (!previous.IsEmpty()) {
                EXPECT_GT(cell.x, previous.GetRight());
                EXPECT_EQ(cell.y, previous.y);
            }
            previous = cell;
        }
    }
}

// Bad input: exit code 2, a message naming the problem, and no sheet.
TEST(SkinView, RefusesBadInputWithExitCodeTwoAndAMessage)
{
    CTempFolder temp;
    const std::string good = quoted(temp.writeFile(Path(L"good.ini"), "normal.backColor=#ff0000\n"));
    const Path bad = temp.writeFile(Path(L"bad.ini"), "all.textColor=#000000\nborder=wavy\n");
    const Path out = temp / Path(L"sheet.png");
    const Path missing = temp / Path(L"missing.ini");
    const std::pair<std::string, std::string> cases[] = {
        {"--kind button --skin " + quoted(missing), "no skin file found for '" + missing.toAPIPath()},
        {"--kind checkbox --skin " + quoted(bad), "Invalid value for 'border': 'wavy'."},
        {"--kind slider --skin " + good, "--kind: expected button, checkbox or radio, not 'slider'"},
        {"--kind button --size 0x20 --skin " + good, "--size"},
        {"--kind button --scale two --skin " + good, "--scale"},
        {"--kind button --skin " + good + " --label", "--label needs a value"},
        {"--kind button --bogus --skin " + good, "Unknown argument '--bogus'"},
    };
    for (const auto& [arguments, message] : cases) {
        SCOPED_TRACE(arguments);
        const auto result = runSkinView("--out " + quoted(out) + " " + arguments);
        EXPECT_EQ(result.first, 2);
        EXPECT_NE(result.second.find(message), std::string::npos) << result.second;
        EXPECT_FALSE(zil::pathExists(out));
    }
}

namespace {

// zilui-skinview running with --watch; its stdout and stderr arrive line by line.
class CWatchingSkinView {
public:
    explicit CWatchingSkinView(const std::vector<std::string>& arguments)
    {
        // Made before the fork: the child of a threaded process must not allocate.
        std::vector<char*> argv{const_cast<char*>(ZILUI_SKINVIEW_PATH)};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(fds[1], 1);
            ::dup2(fds[1], 2);
            ::close(fds[0]);
            ::close(fds[1]);
            ::execv(ZILUI_SKINVIEW_PATH, argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        m_output = ::fdopen(fds[0], "r");
    }
    ~CWatchingSkinView()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_output)
            std::fclose(m_output);
    }

    // The next line that contains `part`, skipping others; empty when the output ends first.
    std::string lineWith(const std::string& part)
    {
        char line[4096];
        while (m_output && std::fgets(line, sizeof line, m_output))
            if (std::string(line).find(part) != std::string::npos)
                return line;
        return std::string();
    }

private:
    pid_t m_pid = -1;
    FILE* m_output = nullptr;
};

} // namespace

// With --watch the sheet is written again after each edit of the skin; a broken edit is
// reported and leaves the last good sheet.
TEST(SkinView, WatchWritesTheSheetAgainOnEveryChange)
{
    CTempFolder folder;
    const Path skin = folder / Path(L"button.ini");
    const Path out = folder / Path(L"sheet.png");
    folder.writeFile(L"button.ini", "border=none\nall.backColor=#ff0000\n");
    CWatchingSkinView view({"--kind", "button", "--skin", skin.toAPIPath(), "--label", "", "--size", "40x20",
                            "--watch", "--out", out.toAPIPath()});
    ASSERT_FALSE(view.lineWith("watching").empty());

    const struct {
        const char* text;
        const char* expectedLine;
        unsigned long colour;
    } edits[] = {
        {"border=none\nall.backColor=#0000ff\n", "written to", 0x0000ff},
        {"border=none\nall.backColor=#00ff00\nimagePos=sideways\n", "Cannot read the skin", 0x0000ff},
        {"border=none\nall.backColor=#00ff00\n", "written to", 0x00ff00},
    };
    for (const auto& edit : edits) {
        SCOPED_TRACE(edit.text);
        folder.writeFile(L"button.ini", edit.text);
        ASSERT_FALSE(view.lineWith(edit.expectedLine).empty());
        wxImage sheet;
        ASSERT_TRUE(sheet.LoadFile(out.toAPIPath(), wxBITMAP_TYPE_PNG));
        // The first cell starts at the sheet's padding of 10 pixels.
        const wxColour expected((edit.colour >> 16) & 0xFF, (edit.colour >> 8) & 0xFF, edit.colour & 0xFF);
        EXPECT_EQ(pixelAt(sheet, 20, 20), expected);
    }
}
