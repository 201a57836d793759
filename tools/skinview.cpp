// SPDX-License-Identifier: MIT
// Renders every state of a skin into one PNG sheet, each cell painted by the real skinned
// control, with the state's name under it. Needs a display (headless: xvfb-run, or
// `source scripts/lib.sh && ensure_display`). Errors go to stderr with exit code 2.

#include <zilui/app/strings.h>
#include <zilui/graphics/resourcemanager.h>
#include <zilui/slick/controls.h>
#include <zilui/slick/skin.h>

#include <zil/error.h>
#include <zil/log.h>
#include <zil/path.h>
#include <zil/string.h>

#include <wx/app.h>
#include <wx/dcmemory.h>
#include <wx/filename.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/log.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using zilui::toWX;

constexpr int kExitError = 2;
// Sheet layout in pixels.
constexpr int kSheetPadding = 10;
constexpr int kNameGap = 4;
const wxColour kSheetColour(0xf4, 0xf4, 0xf4);
const wxColour kCellFrameColour(0xa0, 0xa0, 0xa0);
const wxColour kNameColour(0x30, 0x30, 0x30);

const char* const kUsage =
    "Usage: zilui-skinview --kind button|checkbox|radio --skin PATH --out FILE.png\n"
    "                      [--label TEXT] [--size WxH] [--scale F] [--focus] [--watch]\n"
    "\n"
    "Renders every state of a skin resource into one PNG sheet, the state's name under\n"
    "each cell.\n"
    "\n"
    "  --kind    the control the skin is for\n"
    "  --skin    the skin file; a path that does not exist from the working folder is\n"
    "            looked up in the resource folders (res/ beside bin/)\n"
    "  --out     the PNG file to write\n"
    "  --label   the control's label (default: \"Button\", \"Check box\", \"Radio button\")\n"
    "  --size    cell size in pixels at factor 1 (default: the control's best size)\n"
    "  --scale   screen factor to preview, 0.25 to 8 (default 1): picks the images'\n"
    "            resolution variants and scales lengths, font and cells\n"
    "  --focus   draw the controls focused\n"
    "  --watch   keep running and write the sheet again whenever the skin file, its dark\n"
    "            variant, a picture or a params file changes, printing a line each time;\n"
    "            a broken edit is reported and the last good sheet stays\n"
    "\n"
    "Image titles in the skin are found relative to the skin file's folder and its\n"
    "parents, then to the resource folders. A display is needed; without one run it\n"
    "under xvfb-run. Exit code 0 on success, 2 on any error.\n";

struct Options {
    std::string kind;
    zil::String skin;
    zil::String out;
    zil::String label;
    bool hasLabel = false;
    wxSize size{0, 0}; // 0: best size
    double scale = 1.0;
    bool focus = false;
    bool watch = false;
};

// Messages for the user; main() prints them and exits with kExitError. Loader errors come
// as zil::CError.
struct UsageError {
    std::string message;
};
struct ToolError {
    std::string message;
};

wxSize parseSize(const std::string& text)
{
    const size_t x = text.find_first_of("xX");
    try {
        if (x == std::string::npos)
            throw zil::CParseError(L"no 'x'");
        const int64_t w = zil::parseInt64(zil::String(text.substr(0, x)));
        const int64_t h = zil::parseInt64(zil::String(text.substr(x + 1)));
        if (w < 1 || h < 1 || w > 4000 || h > 4000)
            throw UsageError{"--size: width and height must be 1 to 4000 pixels, not '" + text + "'."};
        return wxSize(int(w), int(h));
    } catch (const zil::CError&) {
        throw UsageError{"--size: expected WxH such as 160x32, not '" + text + "'."};
    }
}

double parseScale(const std::string& text)
{
    double scale = 0;
    try {
        scale = zil::parseSimpleDouble(zil::String(text));
    } catch (const zil::CError&) {
        throw UsageError{"--scale: expected a number such as 1.5, not '" + text + "'."};
    }
    if (!(scale >= 0.25 && scale <= 8))
        throw UsageError{"--scale: the factor must be 0.25 to 8, not '" + text + "'."};
    return scale;
}

// Throws UsageError; false for --help.
bool parseArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h")
            return false;
        if (arg == "--focus" || arg == "--watch") {
            (arg == "--focus" ? options.focus : options.watch) = true;
            continue;
        }
        // Options with a value, as "--name value" or "--name=value".
        std::string name = arg, value;
        const size_t eq = arg.find('=');
        if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        } else if (arg == "--kind" || arg == "--skin" || arg == "--label" || arg == "--size" ||
                   arg == "--scale" || arg == "--out") {
            if (i + 1 >= argc)
                throw UsageError{arg + " needs a value."};
            value = argv[++i];
        } else {
            throw UsageError{"Unknown argument '" + arg + "'."};
        }
        if (name == "--kind") {
            if (value != "button" && value != "checkbox" && value != "radio")
                throw UsageError{"--kind: expected button, checkbox or radio, not '" + value + "'."};
            options.kind = value;
        } else if (name == "--skin") {
            options.skin = zil::String(value);
        } else if (name == "--label") {
            options.label = zil::String(value);
            options.hasLabel = true;
        } else if (name == "--size") {
            options.size = parseSize(value);
        } else if (name == "--scale") {
            options.scale = parseScale(value);
        } else if (name == "--out") {
            options.out = zil::String(value);
        } else {
            throw UsageError{"Unknown argument '" + arg + "'."};
        }
    }
    if (options.kind.empty())
        throw UsageError{"--kind is missing."};
    if (options.skin.empty())
        throw UsageError{"--skin is missing."};
    if (options.out.empty())
        throw UsageError{"--out is missing."};
    return true;
}

// The skin file's folder and its parents become resource folders, the skin's own folder
// searched first, so that image titles written relative to any of them resolve. Returns
// the path to hand to the skin cache.
zil::Path prepareResourceFolders(const zil::String& skinArgument)
{
    const zil::P<zilui::CResourceManager>& resources = zilui::CResourceManager::get();
    zil::Path file(skinArgument);
    if (!wxFileName::FileExists(toWX(skinArgument))) {
        // Perhaps relative to the resource folders; its folders are added once found.
        file = resources->findResource(file);
        if (file.isEmpty())
            return zil::Path(skinArgument);
    }
    const zil::Path skin = file.makeAbsolute().normalize();
    std::vector<zil::Path> folders;
    for (zil::Path folder = skin.getParent(); !folder.isEmpty(); folder = folder.getParent()) {
        folders.push_back(folder);
        if (folder.getParent() == folder)
            break;
    }
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder)
        resources->addResourceFolder(*folder);
    return skin;
}

struct Cell {
    zil::String name;
    wxBitmap bitmap;
};

// Forces every state of `control` through its own operations and paints each into a cell.
// `force` brings the control into the state (value, enabled, hover).
template <class Control>
std::vector<Cell> paintStates(Control& control, const wxSize& cellSize, bool focus,
                              const std::function<void(typename Control::State)>& force)
{
    using State = typename Control::State;
    std::vector<Cell> cells;
    control.SetSize(cellSize);
    control.setFocus(focus);
    for (int s = 0; s < Control::StateCount; ++s) {
        const State state = static_cast<State>(s);
        force(state);
        if (control.getState() != state)
            throw ToolError{"The control could not be brought into the state '" +
                            Control::getStateName(state).toUTF8() + "'."};
        Cell cell{Control::getStateName(state), wxBitmap(cellSize.x, cellSize.y, 24)};
        {
            wxMemoryDC dc(cell.bitmap);
            dc.SetBackground(wxBrush(kSheetColour));
            dc.Clear();
            control.paintCurrent(dc);
        }
        cells.push_back(cell);
    }
    return cells;
}

// The font scaled and the skin set, so that the best size is right.
template <class Control, class Skin>
void setUpControl(Control& control, Skin* skin, double scale)
{
    control.setUICoordScaleFactor(scale);
    wxFont font = control.GetFont();
    font.SetFractionalPointSize(font.GetFractionalPointSize() * scale);
    control.SetFont(font);
    control.setSkin(skin);
}

wxSize cellSizeFor(const Options& options, const wxSize& bestSize)
{
    if (options.size.x > 0)
        return wxSize(int(std::lround(options.size.x * options.scale)), int(std::lround(options.size.y * options.scale)));
    return wxSize(std::max(bestSize.x, 1), std::max(bestSize.y, 1));
}

// Throws ToolError when there is no file for `skinPath`.
template <class Cache>
auto loadSkin(const zil::Path& skinPath)
{
    auto skin = Cache::get()->getOrLoadSkin(skinPath);
    if (!skin->getLoadSuccessful())
        throw ToolError{"no skin file found for '" + skinPath.str().toUTF8() + "'."};
    return skin;
}

// A skinned control kept for painting its states again: `paint` renders the cells, `skin`'s
// users are told of every change.
struct CSheetSource {
    std::function<std::vector<Cell>()> paint;
    zilui::CSlickSkinUsers* users = nullptr;
    int columns = 0;
};

CSheetSource renderButton(wxWindow* parent, const Options& options, const zil::Path& skinPath)
{
    const zil::P<zilui::CSlickButtonSkin> skin = loadSkin<zilui::CSlickButtonSkinCache>(skinPath);
    auto* button = new zilui::CSlickButton(parent, wxID_ANY, toWX(options.hasLabel ? options.label : L"Button"));
    setUpControl(*button, skin.get(), options.scale);
    return {[=, &options] {
                return paintStates(*button, cellSizeFor(options, button->GetBestSize()), options.focus,
                                   [&](zilui::CSlickButton::State state) {
                                       button->Enable(state != zilui::CSlickButton::Disabled);
                                       button->setOwnHover(state == zilui::CSlickButton::Hover);
                                   });
            },
            &skin->getUsers(), zilui::CSlickButton::StateCount};
}

CSheetSource renderCheckBox(wxWindow* parent, const Options& options, const zil::Path& skinPath)
{
    const zil::P<zilui::CSlickCheckBoxSkin> skin = loadSkin<zilui::CSlickCheckBoxSkinCache>(skinPath);
    auto* box = new zilui::CSlickCheckBox(parent, wxID_ANY, toWX(options.hasLabel ? options.label : L"Check box"));
    setUpControl(*box, skin.get(), options.scale);
    // State value = checked + 2 * hover + 4 * disabled.
    return {[=, &options] {
                return paintStates(*box, cellSizeFor(options, box->GetBestSize()), options.focus,
                                   [&](zilui::CSlickCheckBox::State state) {
                                       box->SetValue((state & 1) != 0);
                                       box->Enable((state & 4) == 0);
                                       box->setOwnHover((state & 2) != 0);
                                   });
            },
            &skin->getUsers(), 2};
}

CSheetSource renderRadioButton(wxWindow* parent, const Options& options, const zil::Path& skinPath)
{
    const zil::P<zilui::CSlickRadioButtonSkin> skin = loadSkin<zilui::CSlickRadioButtonSkinCache>(skinPath);
    auto* radio = new zilui::CSlickRadioButton(parent, wxID_ANY,
                                               toWX(options.hasLabel ? options.label : L"Radio button"),
                                               wxDefaultPosition, wxDefaultSize, wxRB_GROUP);
    // A radio button is unselected only by selecting another one of its group.
    auto* other = new wxRadioButton(parent, wxID_ANY, "other");
    setUpControl(*radio, skin.get(), options.scale);
    return {[=, &options] {
                return paintStates(*radio, cellSizeFor(options, radio->GetBestSize()), options.focus,
                                   [&](zilui::CSlickRadioButton::State state) {
                                       if (state & 1)
                                           radio->SetValue(true);
                                       else
                                           other->SetValue(true);
                                       radio->Enable((state & 4) == 0);
                                       radio->setOwnHover((state & 2) != 0);
                                   });
            },
            &skin->getUsers(), 2};
}

// Cells in a grid: a button's states in one row; for check and radio boxes one column per
// value, one row each for normal, hover and disabled.
wxImage composeSheet(const std::vector<Cell>& cells, int columns)
{
    wxBitmap probe(1, 1, 24);
    wxMemoryDC measure(probe);
    measure.SetFont(*wxNORMAL_FONT);
    const wxSize cellSize = cells.front().bitmap.GetSize();
    int columnWidth = cellSize.x;
    int nameHeight = 0;
    for (const Cell& cell : cells) {
        const wxSize extent = measure.GetTextExtent(toWX(cell.name));
        columnWidth = std::max(columnWidth, extent.x);
        nameHeight = std::max(nameHeight, extent.y);
    }
    measure.SelectObject(wxNullBitmap);
    const int rows = int((cells.size() + columns - 1) / columns);
    const int rowHeight = cellSize.y + kNameGap + nameHeight;
    wxBitmap sheet(kSheetPadding + columns * (columnWidth + kSheetPadding),
                   kSheetPadding + rows * (rowHeight + kSheetPadding), 24);
    {
        wxMemoryDC dc(sheet);
        dc.SetBackground(wxBrush(kSheetColour));
        dc.Clear();
        dc.SetFont(*wxNORMAL_FONT);
        dc.SetTextForeground(kNameColour);
        for (size_t i = 0; i < cells.size(); ++i) {
            const int x = kSheetPadding + int(i % columns) * (columnWidth + kSheetPadding);
            const int y = kSheetPadding + int(i / columns) * (rowHeight + kSheetPadding);
            // A frame just outside the cell shows its bounds on skins of the sheet's colour.
            dc.SetPen(wxPen(kCellFrameColour));
            dc.SetBrush(*wxTRANSPARENT_BRUSH);
            dc.DrawRectangle(x - 1, y - 1, cellSize.x + 2, cellSize.y + 2);
            dc.DrawBitmap(cells[i].bitmap, x, y);
            dc.DrawText(toWX(cells[i].name), x, y + cellSize.y + kNameGap);
        }
    }
    return sheet.ConvertToImage();
}

class CSkinViewApp : public wxApp {
public:
    // wxApp's own OnInit would parse the command line, which is ours.
    bool OnInit() override { return true; }
};

// Paints the states, writes the sheet and says so; throws ToolError when it cannot be written.
void writeSheet(const Options& options, const CSheetSource& source)
{
    const std::vector<Cell> cells = source.paint();
    const wxImage sheet = composeSheet(cells, source.columns);
    bool saved = false;
    {
        wxLogNull quiet; // our own message below says what failed
        saved = sheet.SaveFile(toWX(options.out), wxBITMAP_TYPE_PNG);
    }
    if (!saved)
        throw ToolError{"cannot write the sheet to '" + options.out.toUTF8() + "'."};
    const wxSize cell = cells.front().bitmap.GetSize();
    std::printf("%zu states of %dx%d pixels written to %s\n", cells.size(), cell.x, cell.y,
                options.out.toUTF8().c_str());
    std::fflush(stdout);
}

// Writes the sheet again after every change of the skin, once the controls have taken it.
class CSheetWatcher : public zilui::CSlickSkinUser {
public:
    CSheetWatcher(const Options& options, const CSheetSource& source) : m_options(options), m_source(source)
    {
        source.users->add(this);
    }

    void skinChanged() override
    {
        // The controls are told in the same walk; the sheet waits until all of them were.
        wxTheApp->CallAfter([this] {
            try {
                writeSheet(m_options, m_source);
            } catch (const ToolError& e) {
                std::fprintf(stderr, "zilui-skinview: %s\n", e.message.c_str());
            }
        });
    }

private:
    const Options& m_options;
    const CSheetSource& m_source;
};

int run(const Options& options)
{
    wxInitAllImageHandlers();
    if (options.watch) {
        zilui::CSlickLiveSkins::setLiveReload(true);
        // The library logs why an edit cannot be read; the author reads it on standard error.
        zil::CXMLLog::setGlobalCreateFunc([] {
            return zil::P<zil::CXMLLog>(new zil::CXMLLog(L"/dev/stderr", nullptr, true, 0, false, false));
        });
    }
    const zil::Path skinPath = prepareResourceFolders(options.skin);
    zilui::CResourceManager::get()->setDefaultResolutionFactor(options.scale);

    // Hidden: the controls only need a native window, never the screen.
    auto* frame = new wxFrame(nullptr, wxID_ANY, "zilui-skinview");
    try {
        const CSheetSource source = options.kind == "button"     ? renderButton(frame, options, skinPath)
                                    : options.kind == "checkbox" ? renderCheckBox(frame, options, skinPath)
                                                                 : renderRadioButton(frame, options, skinPath);
        writeSheet(options, source);
        if (options.watch) {
            std::printf("watching %s; end with Ctrl+C\n", skinPath.str().toUTF8().c_str());
            std::fflush(stdout);
            const CSheetWatcher watcher(options, source);
            // Runs until the process is ended: the hidden frame is never closed.
            wxTheApp->MainLoop();
        }
    } catch (...) {
        frame->Destroy();
        throw;
    }
    frame->Destroy();
    return 0;
}

// Skins and images hold bitmaps, which must go before GTK does.
void releaseGlobals()
{
    zilui::CSlickButtonSkinCache::disposeGlobalInstance();
    zilui::CSlickCheckBoxSkinCache::disposeGlobalInstance();
    zilui::CSlickRadioButtonSkinCache::disposeGlobalInstance();
    zilui::CResourceManager::disposeGlobalInstance();
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    try {
        if (!parseArguments(argc, argv, options)) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    } catch (const UsageError& e) {
        std::fprintf(stderr, "zilui-skinview: %s\nTry 'zilui-skinview --help'.\n", e.message.c_str());
        return kExitError;
    }

    // A GUI application object, or wxEntryStart would make a console one without GTK.
    wxApp::SetInstance(new CSkinViewApp());
    int wxArgc = 1;
    char* wxArgv[] = {argv[0], nullptr};
    if (!wxEntryStart(wxArgc, wxArgv)) {
        std::fprintf(stderr, "zilui-skinview: cannot start wxWidgets; a display is needed (run it under "
                             "xvfb-run when there is none).\n");
        return kExitError;
    }
    wxTheApp->CallOnInit();
    // Messages of wxWidgets go to stderr, never into a dialog.
    delete wxLog::SetActiveTarget(new wxLogStderr());

    int result = kExitError;
    try {
        result = run(options);
    } catch (const zil::CError& e) {
        std::string message = e.getMessage().toUTF8();
        const zil::String path = e.getProp(L"path");
        if (!path.empty())
            message += " (" + path.toUTF8() + ")";
        std::fprintf(stderr, "zilui-skinview: error in skin '%s': %s\n", options.skin.toUTF8().c_str(),
                     message.c_str());
    } catch (const ToolError& e) {
        std::fprintf(stderr, "zilui-skinview: %s\n", e.message.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zilui-skinview: %s\n", e.what());
    }
    releaseGlobals();
    wxTheApp->OnExit();
    wxEntryCleanup();
    return result;
}
