// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/app/strings.h>
#include <zilui/app/windowhelpers.h>
#include <zilui/graphics/gradients.h>
#include <zilui/graphics/scalingimage.h>
#include <zilui/graphics/styledtextpainter.h>
#include <zilui/graphics/textstyle.h>
#include <zilui/slick/intermediates.h>
#include <zilui/slick/skin.h>

#include <zil/containers.h>
#include <zil/margins.h>
#include <zil/object.h>
#include <zil/string.h>

#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stockitem.h>

#include <memory>

namespace zilui {

class CSkinPainter;
class CHoverMember;
class CHoverMembers;

// Turns the wxWidgets window class of `Intermediate` (its direct base, which also supplies
// the State enum and StateCount) into a control that paints itself entirely from a `Skin`:
// background, underlay, state bitmap, label, overlays, border and focus rectangle. Skin
// lengths are logical (device-independent) pixels, the same numbers on a 100 % and a 200 %
// screen; skin images are built at the screen's physical resolution and drawn at logical size.
// GUI thread only. Defined for the library's five skinned controls only.
//
// The concrete class creates the window, routes paint, size, focus, mouse and system colour
// events to the On... handlers (they all skip), and on GTK connects the native widget's drawing
// to paintCurrent().
template <class Intermediate, class Skin>
class TSlickControlBase : public Intermediate, private CSlickSkinUser {
public:
    using State = typename Intermediate::State;
    static constexpr int StateCount = Intermediate::StateCount;
    using IntermediateType = Intermediate;
    using SkinType = Skin;

    // Controls that are drawn hovered together while the mouse is over any of them. Holds
    // plain pointers: a control leaves its group when it is destroyed.
    class CHoverGroup : public zil::CBase {
    public:
        CHoverGroup();
        ~CHoverGroup() override;

        // Moves `control` into this group (out of any other); null is ignored.
        void add(TSlickControlBase* control);
        void remove(TSlickControlBase* control);
        // In the order they joined.
        zil::TArray<TSlickControlBase*> getControls() const;

    private:
        friend class TSlickControlBase;
        std::unique_ptr<CHoverMembers> m_members;
    };

    TSlickControlBase(wxSystemColour defaultBackground, wxSystemColour defaultText);
    ~TSlickControlBase() override;

    // Steps of the window creation that follow the native Create().
    void createBase();

    // Bitmaps prepared under the previous skin keep its opacity until they are set again.
    // Null throws zil::CInvalidArgError: a control always paints from some skin.
    void setSkin(Skin* skin);
    zil::P<Skin> getSkin() const { return m_skin; }

    void setStateBitmap(State state, const wxBitmap& bitmap);
    void setAllStateBitmaps(wxBitmap bitmap);
    wxBitmap getStateBitmap(State state) const { return m_stateBitmaps[checkState(state)]; }
    // The prepared bitmap of getBitmapState().
    wxBitmap getCurrentBitmap() const { return m_preparedBitmaps[checkState(getBitmapState())]; }

    // An empty label on a stock id shows the stock label.
    void SetLabel(const wxString& label) override;

    // Line styles of the label for every state, over the skin's; an empty array goes back
    // to the skin's.
    void SetLabelLineStyles(const zil::TArray<zil::P<CTextStyle>>& styles, CTextStyleFontCache* fontCache);

    void setHoverCursor(const wxCursor& cursor);
    const wxCursor& getHoverCursor() const { return m_hoverCursor; }
    void updateCursor();

    void setOwnHover(bool hover);
    bool getOwnHover() const;
    // Drawn as hovered: by its own hover or that of its hover group.
    bool getSharedHover() const;

    void setFocus(bool focus);
    bool getFocus() const { return m_hasFocus; }
    void setDrawFocusRect(bool draw);
    bool getDrawFocusRect() const { return m_drawFocusRect; }

    // The sizer laid out inside the control between the skin's client margins; the control
    // owns it once the skin is set.
    void setClientSizer(wxSizer* sizer);
    wxSizer* getClientSizer() const { return m_clientSizer; }
    // The vertical box between the client margins; null until the client sizer is placed.
    wxBoxSizer* getInnerSizer() const { return m_innerSizer; }

    int getUserInt() const { return m_userInt; }
    void setUserInt(int value) { m_userInt = value; }

    bool isContentVertical() const;

    // Window coordinates per logical skin pixel, asked once: 1 where the toolkit already
    // works in device-independent pixels, as GTK does also on a 200 % screen.
    double getUICoordScaleFactor() const;
    // Replaces the window's factor, e.g. to preview another screen; takes effect at the next
    // layout and paint. `factor` > 0.
    void setUICoordScaleFactor(double factor);

    virtual zil::String getDisplayText() const { return fromWX(this->GetLabel()); }
    virtual State getState() const = 0;
    virtual State getBitmapState() const { return getState(); }

    bool Enable(bool enable = true) override;

    // What a paint event or the native draw hook does: the whole control for its present
    // state in the control's font, with the prepared bitmap of the bitmap state.
    void paintCurrent(wxDC& dc);

    // The theme's colours are asked anew.
    void updateDefaultColours();

    // For the toolkit to call when the native minimum may have changed (a restyle); the best
    // size follows when it did.
    void nativeMinSizeChanged();

    // Event handlers for the concrete class's event table; each lets the event go on.
    void OnSysColourChanged(wxSysColourChangedEvent& event);
    void OnMouse(wxMouseEvent& event);
    void OnPaint(wxPaintEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnFocus(wxFocusEvent& event);

protected:
    virtual void onClicked() {}
    // The skin in use changed: the control draws it anew and takes the best size it gives.
    void skinChanged() override;
    // After every SetLabel, e.g. to tell assistive technology.
    virtual void labelChanged() {}

    void setHoverGroup(CHoverGroup* group);
    const zil::P<CHoverGroup>& getHoverGroup() const { return m_hoverGroup; }

    wxSize DoGetBestSize() const override;
    wxSize DoGetBestClientSize() const override { return wxDefaultSize; }
    // The smallest size the native widget under the skin accepts; nothing for plain windows.
    virtual wxSize getNativeMinSize() const { return wxSize(0, 0); }

    enum LayoutWhen { LayoutNow, LayoutSoon };
    // After a change of what the best size depends on: the containing sizer lays the control
    // out again, or the control takes its new best size when it had the old one. LayoutSoon
    // lays the parent out once for all its controls that ask before the next event.
    void updateBestSize(bool sizedByBest, LayoutWhen when = LayoutNow);

    const wxBitmap& getPreparedBitmap(State state) const { return m_preparedBitmaps[checkState(state)]; }
    const wxColour& getDefaultBackgroundColour() const { return m_defaultBackgroundColour; }
    const wxColour& getDefaultTextColour() const { return m_defaultTextColour; }

private:
    static int checkState(State state);
    void paintContents(wxDC& dc, const wxBitmap& bitmap);
    void prepareStateBitmap(State state);
    // The skin's state, the window's own or theme colour, else the system default.
    wxColour getFillColour(const CSlickStateSkin& st) const;
    wxColour getTextColour(const CSlickStateSkin& st) const;
    // What GetBackgroundColour(), GetForegroundColour() and GetFont() return, without asking
    // the theme on every paint, which costs a GTK style lookup each time.
    wxColour getWindowBackgroundColour() const;
    wxColour getWindowForegroundColour() const;
    wxFont getWindowFont() const;
    const wxVisualAttributes& getThemeAttributes() const;
    void updateSystemColours();
    // ownTextPainter, else a painter over the state's line styles, else null (plain text).
    zil::P<CLineBasedStyledTextPainter> getEffectiveStyledTextPainter(State state) const;
    wxSize getPlainTextSize(wxDC& dc, const zil::String& text);
    void initClientSizerStuff();
    bool isSizedByBest() const { return this->GetHandle() && this->GetSize() == this->GetBestSize(); }
    // Made when the hover first changes or a group is joined: most controls never hover.
    CHoverMember& hover();

    wxSystemColour m_defaultBackgroundSysColour;
    wxSystemColour m_defaultTextSysColour;
    zil::P<Skin> m_skin;
    std::unique_ptr<CSkinPainter> m_painter;
    wxCursor m_hoverCursor;
    std::unique_ptr<CHoverMember> m_hover;
    bool m_hasFocus = false;
    bool m_drawFocusRect = true;
    zil::P<CLineBasedStyledTextPainter> m_ownTextPainter;
    // Painters over the skin's line styles, per state; see getEffectiveStyledTextPainter().
    mutable zil::P<CLineBasedStyledTextPainter> m_skinTextPainters[StateCount];
    wxColour m_defaultBackgroundColour;
    wxColour m_defaultTextColour;
    wxColour m_focusColour;
    wxBitmap m_stateBitmaps[StateCount];
    // m_stateBitmaps with the state skin's imageOpacity applied.
    wxBitmap m_preparedBitmaps[StateCount];
    // 0 until asked.
    mutable double m_scaleFactor = 0;
    // Plain label extent of the last paint.
    zil::String m_plainText;
    wxFont m_plainTextFont;
    wxSize m_plainTextSize;
    bool m_plainTextSizeValid = false;
    mutable wxVisualAttributes m_themeAttributes;
    mutable bool m_themeAttributesValid = false;
    zil::P<CHoverGroup> m_hoverGroup;
    int m_userInt = 0;
    // What the best size last took from the native widget, and what it was without it.
    mutable wxSize m_nativeMinSize;
    mutable wxSize m_ownBestSize;
    // Owned by the inner sizer once placed.
    wxSizer* m_clientSizer = nullptr;
    wxBoxSizer* m_innerSizer = nullptr;
};

extern template class TSlickControlBase<CSlickButtonIntermediate, CSlickButtonSkin>;
extern template class TSlickControlBase<CSlickCheckBoxIntermediate, CSlickCheckBoxSkin>;
extern template class TSlickControlBase<CSlickRadioButtonIntermediate, CSlickRadioButtonSkin>;
extern template class TSlickControlBase<CSlickOverlayIntermediate, CSlickOverlaySkin>;
extern template class TSlickControlBase<CSlickNonOverlayIntermediate, CSlickOverlaySkin>;

} // namespace zilui
