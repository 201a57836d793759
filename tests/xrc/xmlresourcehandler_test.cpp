// SPDX-License-Identifier: MIT
#include "app/apptestutil.h"
#include "xrc/xrctestutil.h"

#include <zilui/controls/timectrl.h>
#include <zilui/controls/wrappers.h>
#include <zilui/graphics/panels.h>
#include <zilui/slick/controls.h>
#include <zilui/slick/overlays.h>

#include <wx/fs_mem.h>
#include <wx/statbmp.h>

namespace zilui::test {
namespace {

using XrcHandler = CXrcFixture;

TEST_F(XrcHandler, ClassOrSubclassSelectsTheControlAndItsProperties)
{
    load(panelXrc(R"(
        <object class="wxCheckBox" name="check"><label>A</label><checked>1</checked></object>
        <object class="wxCheckBox" subclass="zil::CSlickCheckBox" name="slickcheck"><checked>1</checked></object>
        <object class="wxRadioButton" name="first"><style>wxRB_GROUP</style><value>1</value></object>
        <object class="zil::CSlickRadioButton" name="slickradio"><value>1</value></object>
        <object class="wxRadioButton" subclass="zil::CRadioButton" name="last"><value>1</value></object>
        <object class="wxSpinCtrl" name="spin"><value>7</value></object>
        <object class="zil::CSpinCtrl" name="hex"><base>16</base></object>
        <object class="wxListBox" name="list"><content><item>a</item><item>b</item><item>c</item></content>
            <selection>1</selection></object>
        <object class="wxTextCtrl" name="text"><value>hello</value></object>
        <object class="zil::CTimeCtrl" name="time"><value>61</value></object>
        <object class="wxListCtrl" name="report"><style>wxLC_REPORT</style>
            <object class="listcol"><text>Name</text></object><object class="listcol"><text>Size</text></object>
        </object>
        <object class="wxBoxSizer"><orient>wxVERTICAL</orient>
          <object class="sizeritem"><object class="wxStaticBoxSizer"><orient>wxVERTICAL</orient><label>Group</label>
            <object class="sizeritem"><object class="zil::CGradientPanel" name="gradient">
              <object class="zil::CScalingImagePanel" name="scaling"/></object></object>
          <object class="sizeritem"><object class="zil::CSlickNonOverlay" name="nonoverlay">
              <object class="wxCheckBox" name="inside"/></object></object>
          </object></object>
        </object>)"));
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(find<CCheckBox>("check") && find<CCheckBox>("check")->GetValue());
    EXPECT_TRUE(find<CSlickCheckBox>("slickcheck") && find<CSlickCheckBox>("slickcheck")->GetValue());
    // "value" is not read for skinned radio buttons; the wrapper applies it, and its group
    // follows.
    ASSERT_TRUE(find<CSlickRadioButton>("slickradio") && find<CRadioButton>("last") && find<CRadioButton>("first"));
    EXPECT_EQ(std::vector<bool>({find<CSlickRadioButton>("slickradio")->GetValue(), find<CRadioButton>("last")->GetValue(),
                                 find<CRadioButton>("first")->GetValue()}),
              std::vector<bool>({false, true, false}));

    auto* spin = find<CSpinCtrl>("spin");
    ASSERT_TRUE(spin && find<CSpinCtrl>("hex"));
    EXPECT_EQ(std::vector<int>({spin->GetMin(), spin->GetMax(), spin->GetValue(), spin->GetBase()}),
              std::vector<int>({0, 100, 7, 10}));
    EXPECT_EQ(find<CSpinCtrl>("hex")->GetBase(), 16);

    auto* list = find<CListBox>("list");
    EXPECT_TRUE(list && list->GetCount() == 3 && list->GetSelection() == 1 && list->GetString(2) == "c");
    EXPECT_TRUE(find<CTextCtrl>("text") && find<CTextCtrl>("text")->GetValue() == "hello");
    EXPECT_TRUE(find<CTimeCtrl>("time") && find<CTimeCtrl>("time")->getTimeValue() == 61);

    auto* report = find<CListCtrl>("report");
    wxListItem column;
    column.SetMask(wxLIST_MASK_TEXT);
    EXPECT_TRUE(report && report->GetColumnCount() == 2 && report->GetColumn(1, column) && column.GetText() == "Size");

    // A non-overlay holds its XRC children.
    auto* nonOverlay = find<CSlickNonOverlay>("nonoverlay");
    EXPECT_TRUE(nonOverlay && find<CCheckBox>("inside") && find<CCheckBox>("inside")->GetParent() == nonOverlay);

    auto* gradient = find<CGradientPanel>("gradient");
    ASSERT_TRUE(gradient);
    EXPECT_TRUE(dynamic_cast<CScalingImagePanel*>(gradient->FindWindow("scaling")));
    auto* box = dynamic_cast<CStaticBox*>(gradient->GetParent());
    auto* boxSizer = dynamic_cast<wxStaticBoxSizer*>(gradient->GetContainingSizer());
    EXPECT_TRUE(box && box->GetLabel() == "Group" && boxSizer && boxSizer->GetStaticBox() == box &&
                boxSizer->GetOrientation() == wxVERTICAL);
}

TEST_F(XrcHandler, BitmapsComeThroughTheRedirectionOrAreLoggedAsMissing)
{
    for (const wchar_t* sub : {L"stock/pics", L"brand/pics"})
        zil::ensureFolderExists(folder / zil::Path(sub));
    for (const auto& [file, size] : {std::pair(L"stock/pics/both.png", 4), {L"brand/pics/both.png", 6},
                                     {L"brand/pics/branded.png", 8}, {L"stock/pics/plain.png", 10}})
        EXPECT_TRUE(wxImage(size, size).SaveFile(toWX((folder / zil::Path(file)).str()), wxBITMAP_TYPE_PNG));
    handler->initTryRedirectBitmaps(folder / zil::Path(L"stock/./"), folder / zil::Path(L"brand"));
    CGlobalLogCapture log;
    load(panelXrc(R"(
        <object class="wxStaticBitmap" name="both"><bitmap>pics/both.png</bitmap></object>
        <object class="wxStaticBitmap" name="branded"><bitmap>pics/branded.png</bitmap></object>
        <object class="wxStaticBitmap" name="plain"><bitmap>pics/plain.png</bitmap></object>
        <object class="wxStaticBitmap" name="missing"><bitmap>pics/missing.png</bitmap></object>
        <object class="wxStaticBitmap" name="named"><bitmap>logo</bitmap></object>
        <object class="zil::CSlickButton" name="button"><bitmap>pics/plain.png</bitmap>
            <selected>pics/both.png</selected><focus>pics/both.png</focus>
            <disabled>pics/plain.png</disabled><hover>pics/branded.png</hover></object>)",
                  R"(<object class="wxBitmap" name="logo">pics/branded.png</object>)"),
         "stock/test.xrc");
    ASSERT_NE(panel, nullptr);
    // Width 0: no bitmap.
    const struct { const char* name; int width; } cases[] = {
        {"both", 6}, {"branded", 8}, {"plain", 10}, {"missing", 0}, {"named", 8}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto* bitmap = find<wxStaticBitmap>(c.name);
        ASSERT_TRUE(bitmap); // created even without its picture
        EXPECT_EQ(bitmap->GetBitmap().IsOk() ? bitmap->GetBitmap().GetWidth() : 0, c.width);
    }
    EXPECT_EQ(resources.LoadBitmap("logo").GetWidth(), 8);
    EXPECT_NE(log.text().find("Image referenced in resources not found: " +
                              (folder / zil::Path(L"stock/pics/missing.png")).str().toUTF8()),
              std::string::npos);

    // The four state pictures only: the normal one stays the skin's.
    auto* button = find<CSlickButton>("button");
    ASSERT_TRUE(button);
    EXPECT_FALSE(button->getStateBitmap(CSlickButton::Normal).IsOk());
    EXPECT_EQ(std::vector<int>({button->GetBitmapPressed().GetWidth(), button->GetBitmapFocus().GetWidth(),
                                button->GetBitmapDisabled().GetWidth(), button->GetBitmapCurrent().GetWidth()}),
              std::vector<int>({6, 6, 10, 8}));
}

// A reference that names no file cannot be looked up; the window comes anyway.
TEST_F(XrcHandler, UnusableBitmapReferencesAreLoggedAndCreationGoesOn)
{
    CGlobalLogCapture log;
    if (!wxFileSystem::HasHandlerForPath("memory:x"))
        wxFileSystem::AddHandler(new wxMemoryFSHandler());
    const std::string xrc = panelXrc(R"(<object class="wxStaticBitmap" name="pic"><bitmap>pic.png</bitmap></object>)");
    wxMemoryFSHandler::AddFile("zilui-xrc-test.xrc", xrc.data(), xrc.size());
    EXPECT_TRUE(resources.Load("memory:zilui-xrc-test.xrc"));
    panel = resources.LoadPanel(&sharedFrame(), "panel");
    EXPECT_TRUE(find<wxStaticBitmap>("pic"));
    EXPECT_NE(log.text().find("Exception trying to load bitmap referenced in resources (pic.png). Ignoring."),
              std::string::npos);
    wxMemoryFSHandler::RemoveFile("zilui-xrc-test.xrc");
}

// wxWidgets reads on past a text ending in a lone backslash until the process dies.
TEST_F(XrcHandler, TextsEndingInALoneBackslashReadAsABackslashWithAWarning)
{
    CGlobalLogCapture log;
    load(panelXrc(R"(
        <object class="wxButton" subclass="zil::CSlickButton" name="button"><label>G\</label></object>
        <object class="wxCheckBox" name="odd"><label>a\\\</label></object>
        <object class="wxCheckBox" name="even"><label>b\\</label></object>
        <object class="wxListCtrl" name="report"><style>wxLC_REPORT</style>
            <object class="listcol"><text>N\</text></object></object>
        <object class="wxBoxSizer"><object class="sizeritem"><object class="wxStaticBoxSizer">
            <orient>wxVERTICAL</orient><label>B\</label></object></object></object>)"));
    ASSERT_TRUE(panel);
    EXPECT_EQ(find<CSlickButton>("button")->GetLabel(), "G\\");
    EXPECT_EQ(find<wxCheckBox>("odd")->GetLabel(), "a\\\\");
    EXPECT_EQ(find<wxCheckBox>("even")->GetLabel(), "b\\");
    wxListItem column;
    column.SetMask(wxLIST_MASK_TEXT);
    ASSERT_TRUE(find<wxListCtrl>("report")->GetColumn(0, column));
    EXPECT_EQ(column.GetText(), "N\\");
    const std::string text = log.text();
    EXPECT_NE(text.find("XRC text 'label' of object 'button' (line 3) ends in a lone backslash"), std::string::npos)
        << text;
    size_t warnings = 0;
    for (size_t at = text.find("lone backslash"); at != std::string::npos; at = text.find("lone backslash", at + 1))
        ++warnings;
    EXPECT_EQ(warnings, 4u);
}

// wxListCtrl asserts without exactly one view mode; a file may give none or several.
TEST_F(XrcHandler, ListControlsGetExactlyOneViewMode)
{
    CGlobalLogCapture log;
    load(panelXrc(R"(
        <object class="zil::CListCtrl" name="none"/>
        <object class="wxListCtrl" name="two"><style>wxLC_LIST|wxLC_REPORT|wxLC_SINGLE_SEL</style></object>
        <object class="wxListCtrl" name="list"><style>wxLC_LIST</style></object>)"));
    ASSERT_TRUE(panel);
    const struct {
        const char* name;
        long mode;
    } rows[] = {{"none", wxLC_ICON}, {"two", wxLC_REPORT}, {"list", wxLC_LIST}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(find<wxListCtrl>(row.name)->GetWindowStyleFlag() & wxLC_MASK_TYPE, row.mode);
    }
    EXPECT_TRUE(find<wxListCtrl>("two")->HasFlag(wxLC_SINGLE_SEL));
    const std::string text = log.text();
    EXPECT_NE(text.find("XRC list control 'two' (line 4) has more than one view mode"), std::string::npos) << text;
    EXPECT_EQ(text.find("'none'"), std::string::npos) << text;
}

} // namespace
} // namespace zilui::test
