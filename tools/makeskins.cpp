// SPDX-License-Identifier: MIT
// Draws the sample skins of the gallery: for each look a push button, a check box and a
// radio button, as nine-part images at factors 1, 1.5 and 2 with their params files and the
// skin files that use them, and beside each skin file its dark variant ("button.dark.ini").
// With a second folder, also the file system browser's eight
// bitmaps and the XRC file that names them. Needs no display.
//
//   zilui-makeskins <output folder> [<resource folder>]
//   (the build passes <build>/res/skins and <build>/res)
//
// Skin files name their images "skins/<look>/<title>", relative to the resource base folder,
// so the output folder must be the "skins" folder inside it.

#include <wx/filename.h>
#include <wx/image.h>
#include <wx/init.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Straight (not premultiplied) colour, each channel 0..1.
struct Rgba {
    float r = 0, g = 0, b = 0, a = 1;
};

Rgba hex(unsigned rgb, float alpha = 1.0f)
{
    return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f, alpha};
}

Rgba mix(const Rgba& a, const Rgba& b, double t)
{
    const float u = float(std::clamp(t, 0.0, 1.0));
    return {a.r + (b.r - a.r) * u, a.g + (b.g - a.g) * u, a.b + (b.b - a.b) * u, a.a + (b.a - a.a) * u};
}

// A signed distance in device pixels: negative inside the shape.
using Shape = std::function<double(double x, double y)>;
using Paint = std::function<Rgba(double x, double y)>;

Shape roundRect(double x0, double y0, double x1, double y1, double radius)
{
    return [=](double x, double y) {
        const double qx = std::abs(x - (x0 + x1) / 2) - ((x1 - x0) / 2 - radius);
        const double qy = std::abs(y - (y0 + y1) / 2) - ((y1 - y0) / 2 - radius);
        return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - radius;
    };
}

Shape circle(double cx, double cy, double radius)
{
    return [=](double x, double y) { return std::hypot(x - cx, y - cy) - radius; };
}

// A stroke of `width` along the open polyline `points` (x, y pairs).
Shape polyline(std::vector<double> points, double width)
{
    return [=](double x, double y) {
        double best = 1e9;
        for (size_t i = 0; i + 3 < points.size(); i += 2) {
            const double ax = points[i], ay = points[i + 1], bx = points[i + 2], by = points[i + 3];
            const double dx = bx - ax, dy = by - ay;
            const double t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
            best = std::min(best, std::hypot(x - ax - t * dx, y - ay - t * dy));
        }
        return best - width / 2;
    };
}

// Inside both shapes.
Shape intersect(Shape a, Shape b)
{
    return [=](double x, double y) { return std::max(a(x, y), b(x, y)); };
}

// Above the line y = `edge`.
Shape above(double edge)
{
    return [=](double, double y) { return y - edge; };
}

Paint solid(const Rgba& color)
{
    return [=](double, double) { return color; };
}

Paint vertical(double y0, double y1, const Rgba& top, const Rgba& bottom)
{
    return [=](double, double y) { return mix(top, bottom, (y - y0) / (y1 - y0)); };
}

// Premultiplied RGBA pixels, composed with "over"; edges are antialiased from the distance.
class CCanvas {
public:
    CCanvas(int width, int height)
        : m_width(width), m_height(height), m_pixels(size_t(width) * height * 4, 0.0f)
    {
    }

    void fill(const Shape& shape, const Paint& paint)
    {
        for (int y = 0; y < m_height; ++y) {
            for (int x = 0; x < m_width; ++x) {
                const double cx = x + 0.5, cy = y + 0.5;
                const double coverage = std::clamp(0.5 - shape(cx, cy), 0.0, 1.0);
                if (coverage <= 0)
                    continue;
                const Rgba c = paint(cx, cy);
                const float a = float(c.a * coverage);
                float* p = &m_pixels[(size_t(y) * m_width + x) * 4];
                p[0] = c.r * a + p[0] * (1 - a);
                p[1] = c.g * a + p[1] * (1 - a);
                p[2] = c.b * a + p[2] * (1 - a);
                p[3] = a + p[3] * (1 - a);
            }
        }
    }

    wxImage toImage() const
    {
        wxImage image(m_width, m_height);
        image.InitAlpha();
        unsigned char* rgb = image.GetData();
        unsigned char* alpha = image.GetAlpha();
        for (size_t i = 0; i < size_t(m_width) * m_height; ++i) {
            const float* p = &m_pixels[i * 4];
            const float a = p[3];
            for (int c = 0; c < 3; ++c)
                rgb[i * 3 + c] =
                    a > 0 ? (unsigned char)std::lround(std::clamp(p[c] / a, 0.0f, 1.0f) * 255) : 0;
            alpha[i] = (unsigned char)std::lround(std::clamp(a, 0.0f, 1.0f) * 255);
        }
        return image;
    }

private:
    int m_width;
    int m_height;
    std::vector<float> m_pixels;
};

// A shape with a border: `border` pixels (at factor 1) of the border colour, the fill inside.
void fillWithBorder(CCanvas& canvas, double f, double x0, double y0, double x1, double y1, double radius,
                    double border, const Rgba& borderColor, const Paint& inside, bool round = false)
{
    const auto shape = [&](double inset) {
        if (round)
            return circle((x0 + x1) / 2 * f, (y0 + y1) / 2 * f, ((x1 - x0) / 2 - inset) * f);
        return roundRect((x0 + inset) * f, (y0 + inset) * f, (x1 - inset) * f, (y1 - inset) * f,
                         std::max(radius - inset, 0.0) * f);
    };
    canvas.fill(shape(0), solid(borderColor));
    canvas.fill(shape(border), inside);
}

// What one look draws. Sizes are pixels at factor 1.
struct Look {
    std::string name;
    std::string description;
    // The button picture of one state (0..2) at factor f.
    std::function<void(CCanvas&, double f, int state)> button;
    // Box and circle per state (0..5 as the check box and radio button values).
    std::function<void(CCanvas&, double f, int state, bool round)> indicator;
    // Behind the controls; empty: no fill of their own.
    std::string backColor;
    // Label colours of normal, hover and disabled states.
    std::string textColors[3];
    // The dark variant, read over the files above while the desktop prefers dark: its own
    // button pictures when set, its colours always.
    std::function<void(CCanvas&, double f, int state)> darkButton;
    std::string darkBackColor;
    std::string darkTextColors[3];
};

constexpr int kButtonSize = 24;     // the whole picture, square
constexpr int kButtonMargin = 8;    // nine-part margin: the corners keep their size
constexpr int kIndicatorBox = 16;   // check box and radio circle
constexpr int kIndicatorLeft = 2;   // transparent columns before the box
constexpr int kIndicatorKept = 20;  // left part that keeps its width: box and space round it
constexpr int kIndicatorWidth = 22; // the rest is transparent and stretches to the control's width
constexpr int kIndicatorPad = 2;    // transparent rows above and below, which stretch

const char* const kButtonStates[] = {"normal", "hover", "disabled"};
const char* const kCheckStates[] = {"uncheckedNormal", "checkedNormal",     "uncheckedHover",
                                    "checkedHover",    "uncheckedDisabled", "checkedDisabled"};
const char* const kRadioStates[] = {"unselectedNormal", "selectedNormal",     "unselectedHover",
                                    "selectedHover",    "unselectedDisabled", "selectedDisabled"};

bool isOn(int state)
{
    return state & 1;
}
bool isHover(int state)
{
    return state & 2;
}
bool isDisabled(int state)
{
    return state & 4;
}

void drawMark(CCanvas& canvas, double f, const Rgba& color, bool round)
{
    const double x = kIndicatorLeft, y = kIndicatorPad;
    if (round) {
        canvas.fill(circle((x + 8) * f, (y + 8) * f, 3.2 * f), solid(color));
    } else {
        canvas.fill(polyline({(x + 3.8) * f, (y + 8.2) * f, (x + 6.8) * f, (y + 11.2) * f, (x + 12.2) * f,
                              (y + 4.8) * f},
                             2.2 * f),
                    solid(color));
    }
}

Look glossyLook()
{
    Look look;
    look.name = "glossy";
    look.description = "Glossy blue";
    struct Colors {
        unsigned border, top1, top2, bottom1, bottom2;
    };
    static const Colors light[] = {
        {0x2a5d9f, 0xe6f1fe, 0xb9d7f8, 0x8abaf0, 0xb2d6fa},
        {0x1559c9, 0xf7fbff, 0xd9edff, 0x6db8ff, 0xb5e0ff},
        {0xa7afb8, 0xf6f7f8, 0xe9ebee, 0xdcdfe3, 0xe7e9ec},
    };
    // Night blue with the same light over its upper half, for light labels.
    static const Colors dark[] = {
        {0x6d9bd8, 0x3a5f8f, 0x2b4a74, 0x1c3558, 0x27456d},
        {0x8fb8f0, 0x4a74a8, 0x36598a, 0x224270, 0x2f5587},
        {0x4a4f57, 0x3a3e45, 0x34383e, 0x2d3035, 0x33363c},
    };
    const auto drawButton = [](const Colors* colors) {
        return [colors](CCanvas& canvas, double f, int state) {
        const Colors& c = colors[state];
        const double h = kButtonSize;
        const Paint body = [=](double, double y) {
            const double t = y / (h * f);
            return t < 0.5 ? mix(hex(c.top1), hex(c.top2), t / 0.5)
                           : mix(hex(c.bottom1), hex(c.bottom2), (t - 0.5) / 0.5);
        };
        fillWithBorder(canvas, f, 0, 0, h, h, 5, 1, hex(c.border), body);
        // A soft light over the upper half.
        canvas.fill(
            intersect(roundRect(1.5 * f, 1.5 * f, (h - 1.5) * f, (h - 1.5) * f, 3.5 * f), above(h / 2 * f)),
            vertical(1.5 * f, h / 2 * f, hex(0xffffff, 0.55f), hex(0xffffff, 0.0f)));
        };
    };
    look.button = drawButton(light);
    look.darkButton = drawButton(dark);
    look.indicator = [](CCanvas& canvas, double f, int state, bool round) {
        const double x = kIndicatorLeft, y = kIndicatorPad, s = kIndicatorBox;
        Rgba border = hex(isHover(state) ? 0x1f66c4 : 0x3a6ea5);
        Paint inside = vertical(y * f, (y + s) * f, hex(isHover(state) ? 0xf7fbff : 0xffffff),
                                hex(isHover(state) ? 0xd6e8fc : 0xdbe6f3));
        Rgba mark = hex(0xffffff);
        if (isOn(state))
            inside = vertical(y * f, (y + s) * f, hex(isHover(state) ? 0x8cc3fa : 0x74b1f2),
                              hex(isHover(state) ? 0x3d8ef0 : 0x2d78d2));
        if (isDisabled(state)) {
            border = hex(0xb4bac1);
            inside = solid(hex(isOn(state) ? 0xc5ccd4 : 0xf0f1f3));
            mark = hex(0xf7f8f9);
        }
        fillWithBorder(canvas, f, x, y, x + s, y + s, 3, 1, border, inside, round);
        if (!isDisabled(state))
            canvas.fill(intersect(round ? circle((x + s / 2) * f, (y + s / 2) * f, (s / 2 - 1.5) * f)
                                        : roundRect((x + 1.5) * f, (y + 1.5) * f, (x + s - 1.5) * f,
                                                    (y + s - 1.5) * f, 1.5 * f),
                                  above((y + s / 2) * f)),
                        vertical((y + 1.5) * f, (y + s / 2) * f, hex(0xffffff, 0.45f), hex(0xffffff, 0.0f)));
        if (isOn(state))
            drawMark(canvas, f, mark, round);
    };
    look.textColors[0] = "#10263f";
    look.textColors[1] = "#06182e";
    look.textColors[2] = "#8a9099";
    look.darkTextColors[0] = "#e8f1fc";
    look.darkTextColors[1] = "#ffffff";
    look.darkTextColors[2] = "#8a9099";
    return look;
}

Look flatLook()
{
    Look look;
    look.name = "flat";
    look.description = "Flat dark";
    look.button = [](CCanvas& canvas, double f, int state) {
        const unsigned borders[] = {0x565d65, 0x6a9fd8, 0x3a3f45};
        const unsigned fills[] = {0x3a3f45, 0x46505b, 0x303439};
        fillWithBorder(canvas, f, 0, 0, kButtonSize, kButtonSize, 3, 1, hex(borders[state]),
                       solid(hex(fills[state])));
    };
    look.indicator = [](CCanvas& canvas, double f, int state, bool round) {
        const double x = kIndicatorLeft, y = kIndicatorPad, s = kIndicatorBox;
        Rgba border = hex(isHover(state) ? 0x8fbbe8 : 0x737b84);
        Rgba inside = hex(isHover(state) ? 0x2c3238 : 0x24282c);
        Rgba mark = hex(0xffffff);
        if (isOn(state)) {
            border = hex(isHover(state) ? 0x6aaef0 : 0x4a90d9);
            inside = border;
        }
        if (isDisabled(state)) {
            border = hex(isOn(state) ? 0x3f4851 : 0x454b51);
            inside = hex(isOn(state) ? 0x3f4851 : 0x2a2e32);
            mark = hex(0x7b828a);
        }
        fillWithBorder(canvas, f, x, y, x + s, y + s, 2, 1.5, border, solid(inside), round);
        if (isOn(state))
            drawMark(canvas, f, mark, round);
    };
    look.backColor = "#2b2e33";
    look.textColors[0] = "#e6e9ec";
    look.textColors[1] = "#ffffff";
    look.textColors[2] = "#7b828a";
    // Already dark: on a dark desktop only a deeper ground, so that it stands apart.
    look.darkBackColor = "#1d1f23";
    look.darkTextColors[0] = "#d5d9de";
    look.darkTextColors[1] = "#ffffff";
    look.darkTextColors[2] = "#6b7178";
    return look;
}

// The keys for the fill and the label colours; `names` are the state names, whose values
// tell hover (2) and disabled (4) apart.
std::string colorKeys(const Look& look, const char* const* names, int count, bool buttonValues)
{
    std::string keys;
    if (!look.backColor.empty())
        keys += "all.backColor=" + look.backColor + "\n";
    keys += "all.textColor=" + look.textColors[0] + "\n";
    for (int s = 0; s < count; ++s) {
        const bool hover = buttonValues ? s == 1 : isHover(s);
        const bool disabled = buttonValues ? s == 2 : isDisabled(s);
        if (hover || disabled)
            keys += std::string(names[s]) + ".textColor=" + look.textColors[hover ? 1 : 2] + "\n";
    }
    return keys;
}

bool writeText(const wxString& path, const std::string& text)
{
    std::ofstream out(path.utf8_string(), std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "makeskins: cannot write %s\n", path.utf8_str().data());
        return false;
    }
    return true;
}

// "<title>.png", "<title>@1_5.png", "<title>@2.png" and "<title>_params.ini" in `folder`.
bool writeImage(const wxString& folder, const std::string& title, int width, int height,
                const std::function<void(CCanvas&, double)>& draw, const std::string& params)
{
    const struct {
        double factor;
        const char* suffix;
    } variants[] = {{1.0, ""}, {1.5, "@1_5"}, {2.0, "@2"}};
    for (const auto& v : variants) {
        CCanvas canvas(int(std::lround(width * v.factor)), int(std::lround(height * v.factor)));
        draw(canvas, v.factor);
        const wxString path = folder + wxFILE_SEP_PATH + wxString::FromUTF8(title + v.suffix + ".png");
        if (!canvas.toImage().SaveFile(path, wxBITMAP_TYPE_PNG)) {
            std::fprintf(stderr, "makeskins: cannot write %s\n", path.utf8_str().data());
            return false;
        }
    }
    return params.empty() || writeText(folder + wxFILE_SEP_PATH + wxString::FromUTF8(title + "_params.ini"), params);
}

// "<kind>.dark.ini" beside each skin file: only what differs from it, the colours and, where
// the look has them, pictures of their own ("dark_<title>").
bool writeDarkVariants(const wxString& folder, const Look& look, const std::string& prefix,
                       const std::string& buttonParams)
{
    Look dark = look;
    dark.backColor = look.darkBackColor;
    std::copy(std::begin(look.darkTextColors), std::end(look.darkTextColors), std::begin(dark.textColors));
    const std::string header = "; Dark variant of the " + look.description +
                               " sample skin, read over it while the desktop prefers dark.\n";
    std::string button = header + colorKeys(dark, kButtonStates, 3, true);
    if (look.darkButton) {
        for (int s = 0; s < 3; ++s) {
            const std::string title = std::string("dark_button_") + kButtonStates[s];
            if (!writeImage(
                    folder, title, kButtonSize, kButtonSize,
                    [&](CCanvas& canvas, double f) { look.darkButton(canvas, f, s); }, buttonParams))
                return false;
            button += std::string(kButtonStates[s]) + ".underlay=" + prefix + title + "\n";
        }
    }
    return writeText(folder + wxFILE_SEP_PATH + "button.dark.ini", button) &&
           writeText(folder + wxFILE_SEP_PATH + "checkbox.dark.ini", header + colorKeys(dark, kCheckStates, 6, false)) &&
           writeText(folder + wxFILE_SEP_PATH + "radiobutton.dark.ini",
                     header + colorKeys(dark, kRadioStates, 6, false));
}

bool writeLook(const wxString& root, const Look& look)
{
    const wxString folder = root + wxFILE_SEP_PATH + wxString::FromUTF8(look.name);
    if (!wxFileName::Mkdir(folder, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL)) {
        std::fprintf(stderr, "makeskins: cannot create %s\n", folder.utf8_str().data());
        return false;
    }
    const std::string prefix = "skins/" + look.name + "/";
    const std::string header = "; " + look.description + " sample skin, drawn by zilui-makeskins.\n";

    // Button: the whole picture stretches over the control; corners keep their size.
    std::string button = header +
                         "border=none\n"
                         "contentMargins=10,4,10,4\n"
                         "focusMargins=3\n"
                         "focusRect=simple\n" +
                         colorKeys(look, kButtonStates, 3, true);
    const std::string buttonParams =
        "scaleMargins=" + std::to_string(kButtonMargin) + "\nscaleFocus=center\n";
    for (int s = 0; s < 3; ++s) {
        const std::string title = std::string("button_") + kButtonStates[s];
        if (!writeImage(
                folder, title, kButtonSize, kButtonSize,
                [&](CCanvas& canvas, double f) { look.button(canvas, f, s); }, buttonParams))
            return false;
        button += std::string(kButtonStates[s]) + ".underlay=" + prefix + title + "\n";
    }
    if (!writeText(folder + wxFILE_SEP_PATH + "button.ini", button))
        return false;

    // Check box and radio button: the box keeps its size at the left and centres vertically;
    // the text starts after it.
    const std::string toggleParams = "scaleMargins=" + std::to_string(kIndicatorKept) + "," +
                                     std::to_string(kIndicatorPad) + ",0," + std::to_string(kIndicatorPad) +
                                     "\nscaleFocus=horzCenterVertMargins\n";
    for (const bool round : {false, true}) {
        const char* const* names = round ? kRadioStates : kCheckStates;
        const std::string kind = round ? "radiobutton" : "checkbox";
        std::string skin = header +
                           "border=none\n"
                           "contentHorzAlign=0\n"
                           "contentMargins=24,3,3,3\n"
                           "focusMargins=1\n"
                           "focusRect=simple\n" +
                           colorKeys(look, names, 6, false);
        for (int s = 0; s < 6; ++s) {
            const std::string title = kind + "_" + names[s];
            if (!writeImage(
                    folder, title, kIndicatorWidth, kIndicatorBox + 2 * kIndicatorPad,
                    [&](CCanvas& canvas, double f) { look.indicator(canvas, f, s, round); }, toggleParams))
                return false;
            skin += std::string(names[s]) + ".underlay=" + prefix + title + "\n";
        }
        if (!writeText(folder + wxFILE_SEP_PATH + wxString::FromUTF8(kind + ".ini"), skin))
            return false;
    }
    return writeDarkVariants(folder, look, prefix, buttonParams);
}

// A ring of `width` around (cx, cy), open where the angle (0 = right, counter-clockwise,
// y pointing down) lies between `gapFrom` and `gapTo` radians.
Shape arc(double cx, double cy, double radius, double width, double gapFrom, double gapTo)
{
    return [=](double x, double y) {
        const double angle = std::atan2(cy - y, x - cx);
        const double ring = std::abs(std::hypot(x - cx, y - cy) - radius) - width / 2;
        return angle > gapFrom && angle < gapTo ? 1e9 : ring;
    };
}

// The browser's toolbar and list pictures, 16 x 16 at factor 1, in
// <resources>/fileSystemBrowser/, and FileSystemBrowser.xrc naming them
// "fileSystemBrowser_<title>".
bool writeBrowserBitmaps(const wxString& resources)
{
    const wxString folder = resources + wxFILE_SEP_PATH + "fileSystemBrowser";
    if (!wxFileName::Mkdir(folder, wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL)) {
        std::fprintf(stderr, "makeskins: cannot create %s\n", folder.utf8_str().data());
        return false;
    }
    const Rgba ink = hex(0x2F5FA8), paper = hex(0xFFFFFF), line = hex(0x6B7280);
    const Rgba folderTop = hex(0xFFD778), folderBottom = hex(0xE8A93A), folderEdge = hex(0xB9802A);
    const auto arrow = [ink](CCanvas& c, double f, std::vector<double> shaft, std::vector<double> head) {
        for (double& v : shaft)
            v *= f;
        for (double& v : head)
            v *= f;
        c.fill(polyline(shaft, 2.2 * f), solid(ink));
        c.fill(polyline(head, 2.2 * f), solid(ink));
    };
    const auto folderShape = [&](CCanvas& c, double f, bool empty) {
        const Paint body = empty ? solid(hex(0xE5E7EB)) : vertical(3 * f, 14 * f, folderTop, folderBottom);
        const Rgba edge = empty ? line : folderEdge;
        c.fill(roundRect(1 * f, 2.5 * f, 7.5 * f, 6 * f, 1 * f), solid(edge));
        c.fill(roundRect(1 * f, 4 * f, 15 * f, 14 * f, 1.2 * f), solid(edge));
        c.fill(roundRect(1.8 * f, 4.8 * f, 14.2 * f, 13.2 * f, 0.8 * f), body);
    };
    const struct {
        const char* title;
        std::function<void(CCanvas&, double)> draw;
    } bitmaps[] = {
        {"back", [&](CCanvas& c, double f) { arrow(c, f, {13, 8, 3.5, 8}, {7.5, 3.5, 3, 8, 7.5, 12.5}); }},
        {"forward", [&](CCanvas& c, double f) { arrow(c, f, {3, 8, 12.5, 8}, {8.5, 3.5, 13, 8, 8.5, 12.5}); }},
        {"up", [&](CCanvas& c, double f) { arrow(c, f, {8, 13, 8, 3.5}, {3.5, 7.5, 8, 3, 12.5, 7.5}); }},
        {"refresh",
         [&](CCanvas& c, double f) {
             c.fill(arc(8 * f, 8 * f, 5 * f, 2.2 * f, 0.2, 1.3), solid(ink));
             std::vector<double> head = {13.5, 2.5, 13.2, 6.6, 9.2, 6.2};
             for (double& v : head)
                 v *= f;
             c.fill(polyline(head, 2.2 * f), solid(ink));
         }},
        {"folder", [&](CCanvas& c, double f) { folderShape(c, f, false); }},
        {"folderEmpty", [&](CCanvas& c, double f) { folderShape(c, f, true); }},
        {"file",
         [&](CCanvas& c, double f) {
             c.fill(roundRect(2.5 * f, 1 * f, 13.5 * f, 15 * f, 1 * f), solid(line));
             c.fill(roundRect(3.3 * f, 1.8 * f, 12.7 * f, 14.2 * f, 0.5 * f), solid(paper));
             for (double y : {5.0, 8.0, 11.0})
                 c.fill(polyline({5 * f, y * f, 11 * f, y * f}, 1 * f), solid(hex(0xA0A8B8)));
         }},
        {"loading",
         [&](CCanvas& c, double f) {
             c.fill(circle(8 * f, 8 * f, 7 * f), solid(line));
             c.fill(circle(8 * f, 8 * f, 6 * f), solid(paper));
             c.fill(polyline({8 * f, 4 * f, 8 * f, 8 * f, 11 * f, 10 * f}, 1.6 * f), solid(ink));
         }},
    };
    std::string xrc = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!-- The file system browser's bitmaps, drawn by zilui-makeskins. -->\n"
                      "<resource xmlns=\"http://www.wxwidgets.org/wxxrc\" version=\"2.5.3.0\">\n";
    for (const auto& b : bitmaps) {
        if (!writeImage(folder, b.title, 16, 16, b.draw, std::string()))
            return false;
        xrc += std::string("  <object class=\"wxBitmap\" name=\"fileSystemBrowser_") + b.title +
               "\">fileSystemBrowser/" + b.title + ".png</object>\n";
    }
    return writeText(resources + wxFILE_SEP_PATH + "FileSystemBrowser.xrc", xrc + "</resource>\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: %s <output folder> [<resource folder>]\n", argv[0]);
        return 2;
    }
    wxInitializer initializer(argc, argv);
    if (!initializer.IsOk()) {
        std::fprintf(stderr, "makeskins: wxWidgets did not start\n");
        return 1;
    }
    wxImage::AddHandler(new wxPNGHandler);
    const wxString root = wxString::FromUTF8(argv[1]);
    for (const Look& look : {glossyLook(), flatLook()}) {
        if (!writeLook(root, look))
            return 1;
    }
    if (argc == 3 && !writeBrowserBitmaps(wxString::FromUTF8(argv[2])))
        return 1;
    return 0;
}
