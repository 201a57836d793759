// SPDX-License-Identifier: MIT
#include "../../graphics/svgpicture.h"
#include "zil/temp_folder.h"

#include <zilui/app/strings.h>

#include <zil/error.h>

#include <gtest/gtest.h>

#include <string>

using namespace zilui;
using zil::test::CTempFolder;

namespace {

std::string svgWith(const std::string& body, const std::string& prologue = {})
{
    return prologue + R"svg(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" )svg"
                      R"svg(width="16" height="16" viewBox="0 0 16 16">)svg" +
           body + "</svg>";
}

} // namespace

// The check sees what the renderer would follow; a miss lets an SVG read files or reach the
// network, a false alarm refuses the ordinary icons of a desktop theme.
TEST(SvgPicture, RefusesWhatReachesOutsideThePicture)
{
    struct Case { std::string text; const char* refusal; };
    const Case cases[] = {
        // Kept: references into the document, comments, the W3C document type, plain entities.
        {svgWith(R"svg(<defs><linearGradient id="g"/></defs><rect fill="url(#g)" width="4" height="4"/>)svg"), ""},
        {svgWith(R"svg(<use xlink:href="#a"/><use href=" #b"/>)svg"), ""},
        {svgWith(R"svg(<rect style="fill: url( '#g' )"/>)svg"), ""},
        {svgWith("<!-- <script>alert(1)</script> <image href='x.png'/> -->"), ""},
        {svgWith("<style>.a{fill:#c00}</style>"), ""},
        {svgWith("", R"svg(<?xml version="1.0"?><!DOCTYPE svg PUBLIC "-//W3C//DTD SVG 1.1//EN" )svg"
                     R"svg("http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd">)svg"),
         ""},
        {svgWith("<text>&ns;</text>", R"svg(<!DOCTYPE svg [ <!ENTITY ns "http://ns.example/"> ]>)svg"), ""},
        {svgWith(R"svg(<path d="M0 0h4" data-note='a > b' fill="#000"/>)svg"), ""},
        // Refused.
        {svgWith(R"svg(<use xlink:href="other.svg#a"/>)svg"), "refers to 'other.svg#a'"},
        {svgWith(R"svg(<use href='file:///etc/passwd'/>)svg"), "refers to 'file:///etc/passwd'"},
        {svgWith(R"svg(<use href=""/>)svg"), "refers to ''"},
        {svgWith(R"svg(<image href="data:image/png;base64,AAAA"/>)svg"), "contains an <image>"},
        {svgWith(R"svg(<IMAGE xlink:href="#a"/>)svg"), "contains an <image>"},
        {svgWith(R"svg(<filter><feImage href="#a"/></filter>)svg"), "contains an <image>"},
        {svgWith("<script>alert(1)</script>"), "contains a script"},
        {svgWith("<svg:script/>"), "contains a script"},
        {svgWith(R"svg(<rect onload="alert(1)"/>)svg"), "has a script in onload"},
        {svgWith(R"svg(<rect style="fill:url(http://example.com/a.svg#g)"/>)svg"),
         "refers to 'url(http://example.com/a.svg#g)'"},
        {svgWith(R"svg(<rect fill="url(a.svg#g)"/>)svg"), "refers to 'url(a.svg#g)'"},
        {svgWith("<style>@import url(#x);</style>"), "imports a style sheet"},
        {svgWith("<style><![CDATA[ .a { fill: url(/tmp/g.svg#g) } ]]></style>"), "refers to 'url(/tmp/g.svg#g) } '"},
        {svgWith("", R"svg(<?xml-stylesheet href="a.css"?>)svg"), "links a style sheet"},
        {svgWith("", R"svg(<!DOCTYPE svg SYSTEM "local.dtd">)svg"), "names an external document type"},
        {svgWith("", R"svg(<!DOCTYPE svg PUBLIC "-//Evil//DTD" "http://example.com/e.dtd">)svg"),
         "names an external document type"},
        {svgWith("&x;", R"svg(<!DOCTYPE svg [ <!ENTITY x SYSTEM "file:///etc/passwd"> ]>)svg"), "declares an external entity"},
        {svgWith("&x;", R"svg(<!DOCTYPE svg [ <!ENTITY x "<image href='a.png'/>"> ]>)svg"), "declares an entity with markup"},
        {svgWith("&x;", R"svg(<!DOCTYPE svg [ <!ENTITY y "a"> <!ENTITY x "&y;&y;"> ]>)svg"), "declares an entity with markup"},
        {svgWith(R"svg(<xi:include xmlns:xi="http://www.w3.org/2001/XInclude" parse="text" href="#a"/>)svg"),
         "includes another file"},
        {svgWith(R"svg(<foreignObject><div xmlns="http://www.w3.org/1999/xhtml"/></foreignObject>)svg"),
         "contains foreign content"},
        // A ">" inside a quoted value does not end the tag early and hide what follows.
        {svgWith(R"svg(<rect title=">" href="b.svg"/>)svg"), "refers to 'b.svg'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(svg::findRefusal(c.text), c.refusal);
    }
}

TEST(SvgPicture, PhysicalLengthsAreExact)
{
    struct Case { double intrinsic; double factor; int expected; };
    const Case cases[] = {
        {16, 1.0, 16}, {16, 1.25, 20}, {16, 1.75, 28}, {16, 3.0, 48}, {10, 1.1, 11}, {15, 1.5, 23}, {0.5, 1.0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.intrinsic << " x " << c.factor);
        EXPECT_EQ(svg::physicalLength(c.intrinsic, c.factor), c.expected);
    }
}

TEST(SvgPicture, RefusedSizesAndDamagedFiles)
{
    CTempFolder folder;
    struct Case { const char* name; std::string text; double factor; const wchar_t* reason; };
    const Case cases[] = {
        {"declared.svg", R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="40000" height="1"/>)svg", 0.25,
         L"declared size"},
        {"area.svg", R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="9000" height="9000"/>)svg", 1.0, L"declared size"},
        {"scaled.svg", R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="20000" height="2"/>)svg", 2.0,
         L"40000x4 pixels at factor 2"},
        {"nosize.svg", R"svg(<svg xmlns="http://www.w3.org/2000/svg"><rect width="4" height="4"/></svg>)svg", 1.0,
         L"no size"},
        {"cut.svg", R"svg(<svg xmlns="http://www.w3.org/2000/svg" width="4" height="4"><rect width=)svg", 1.0, L"damaged"},
        {"text.svg", "this is not a picture", 1.0, L"damaged"},
        {"script.svg", svgWith("<script/>"), 1.0, L"refused: it contains a script"},
        {"big.svg", svgWith(std::string(svg::kMaxFileBytes, ' ')), 1.0, L"larger than"},
        {"missing.svg", "", 1.0, L"cannot be read"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const zil::Path path = folder / zil::Path(zil::String::fromUTF8(c.name));
        if (!c.text.empty())
            folder.writeFile(path.getFileName(), c.text);
        try {
            svg::renderFile(path, c.factor);
            ADD_FAILURE() << "rendered";
        } catch (const zil::CError& e) {
            EXPECT_NE(e.getMessage().find(c.reason), zil::String::npos) << e.getMessage().toUTF8();
            EXPECT_NE(e.getMessage().find(path.str()), zil::String::npos) << e.getMessage().toUTF8();
        }
    }
}

// Behind the check, the renderer is given no base file: even a reference that got past the
// check must not load another file's pixels.
TEST(SvgPicture, RendererLoadsNoOtherFile)
{
    CTempFolder folder;
    wxImage red(4, 4);
    red.SetRGB(wxRect(0, 0, 4, 4), 255, 0, 0);
    ASSERT_TRUE(red.SaveFile(toWX((folder / L"red.png").str()), wxBITMAP_TYPE_PNG));
    folder.writeFile(L"red.svg", svgWith(R"svg(<rect id="r" width="16" height="16" fill="#f00"/>)svg"));
    const std::string absolute = (folder / L"red.png").str().toUTF8();
    const std::string bodies[] = {
        "<image width=\"16\" height=\"16\" href=\"file://" + absolute + "\"/>",
        "<image width=\"16\" height=\"16\" href=\"red.png\"/>",
        "<use href=\"red.svg#r\"/>",
        "<rect width=\"16\" height=\"16\" style=\"fill:url(red.svg#r)\"/>",
    };
    for (const std::string& body : bodies) {
        SCOPED_TRACE(body);
        wxImage image;
        try {
            image = svg::render(svgWith(body), 1.0, L"test");
        } catch (const zil::CError&) {
            continue; // refusing to render is fine too
        }
        ASSERT_TRUE(image.IsOk());
        EXPECT_EQ(image.GetAlpha(8, 8), 0) << "drew another file's pixels";
    }
}
