// SPDX-License-Identifier: MIT
// The definitions of TSlickControlBase, for the one source file of each control that
// instantiates it (see skinnedcontrol.h); nothing else includes this.
#pragma once

#include <zilui/slick/controlbase.h>

#include "contentlayout.h"
#include "hovergroup.h"
#include "skinpainter.h"
#include "gtk/drawhook.h"

#include <zil/error.h>

#include <wx/dcbuffer.h>
#include <wx/dcmemory.h>

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

#include <memory>

namespace zilui {

// Lays `window` out once, after the events queued now; asking again before then adds nothing.
// A window destroyed meanwhile is left alone. GUI thread only.
void layoutSoon(wxWindow* window);

// Measures text as a window's client DC does (the toolkit's measuring context of the screen),
// without the client DC's look-up of the window's theme font and colours: a GTK style
// computation each, three per best size, were most of what creating a skinned control cost.
// Set the font before measuring. GUI thread only.
class CTextMeasuringDC {
public:
    CTextMeasuringDC();
    ~CTextMeasuringDC();
    CTextMeasuringDC(const CTextMeasuringDC&) = delete;
    CTextMeasuringDC& operator=(const CTextMeasuringDC&) = delete;

    wxDC& get() { return *m_dc; }

private:
    std::unique_ptr<wxDC> m_dc;
};

#define ZILUI_TEMPLATE template <class Intermediate, class Skin>
#define ZILUI_BASE TSlickControlBase<Intermediate, Skin>

ZILUI_TEMPLATE ZILUI_BASE::CHoverGroup::CHoverGroup() : m_members(new CHoverMembers()) {}

ZILUI_TEMPLATE ZILUI_BASE::CHoverGroup::~CHoverGroup() = default;

ZILUI_TEMPLATE void ZILUI_BASE::CHoverGroup::add(TSlickControlBase* control)
{
    if (control)
        control->setHoverGroup(this);
}

ZILUI_TEMPLATE void ZILUI_BASE::CHoverGroup::remove(TSlickControlBase* control)
{
    if (control && control->m_hoverGroup.get() == this)
        control->setHoverGroup(nullptr);
}

ZILUI_TEMPLATE zil::TArray<ZILUI_BASE*> ZILUI_BASE::CHoverGroup::getControls() const
{
    zil::TArray<TSlickControlBase*> controls;
    controls.reserve(m_members->get().size());
    for (const CHoverMember* member : m_members->get())
        controls.push_back(static_cast<TSlickControlBase*>(member->getOwner()));
    return controls;
}

ZILUI_TEMPLATE ZILUI_BASE::TSlickControlBase(wxSystemColour defaultBackground, wxSystemColour defaultText)
    : m_defaultBackgroundSysColour(defaultBackground),
      m_defaultTextSysColour(defaultText),
      m_skin(new Skin()),
      m_painter(new CSkinPainter(StateCount))
{
    m_skin->getUsers().add(this);
    updateDefaultColours();
}

ZILUI_TEMPLATE ZILUI_BASE::~TSlickControlBase()
{
    m_skin->getUsers().remove(this);
    // Out of the group while the group is still held.
    m_hover.reset();
}

ZILUI_TEMPLATE void ZILUI_BASE::createBase()
{
    this->SetBackgroundStyle(wxBG_STYLE_PAINT);
    // The theme's attributes asked during the native Create() still hold.
    updateSystemColours();
    this->InheritAttributes();
    this->Refresh();
}

ZILUI_TEMPLATE void ZILUI_BASE::setSkin(Skin* skin)
{
    if (!skin)
        throw zil::CInvalidArgError(L"A skinned control needs a skin; null was given.", L"TSlickControlBase::setSkin");
    const bool sizedByBest = isSizedByBest();
    m_skin->getUsers().remove(this);
    m_skin = skin;
    m_skin->getUsers().add(this);
    initClientSizerStuff();
    m_painter->reset();
    updateBestSize(sizedByBest);
}

ZILUI_TEMPLATE void ZILUI_BASE::setStateBitmap(State state, const wxBitmap& bitmap)
{
    const int index = checkState(state);
    if (isSameBitmap(bitmap, m_stateBitmaps[index]))
        return;
    const bool sizedByBest = isSizedByBest();
    m_stateBitmaps[index] = bitmap;
    prepareStateBitmap(state);
    updateBestSize(sizedByBest);
}

ZILUI_TEMPLATE void ZILUI_BASE::setAllStateBitmaps(wxBitmap bitmap)
{
    for (int i = 0; i < StateCount; ++i)
        setStateBitmap(static_cast<State>(i), bitmap);
}

ZILUI_TEMPLATE void ZILUI_BASE::SetLabel(const wxString& label)
{
    const wxString& shown =
        label.empty() && wxIsStockID(this->GetId()) ? wxGetStockLabel(this->GetId(), wxSTOCK_WITH_MNEMONIC) : label;
    // A control only stores it (the skin draws it); a frame or panel has no native label.
    if constexpr (std::is_base_of_v<wxControlBase, Intermediate>)
        wxControlBase::SetLabel(shown);
    else
        Intermediate::SetLabel(shown);
    labelChanged();
    this->Refresh();
}

ZILUI_TEMPLATE void ZILUI_BASE::SetLabelLineStyles(const zil::TArray<zil::P<CTextStyle>>& styles,
                                                   CTextStyleFontCache* fontCache)
{
    if (styles.empty())
        m_ownTextPainter = nullptr;
    else
        m_ownTextPainter = new CLineBasedStyledTextPainter(styles, fontCache);
    this->InvalidateBestSize();
    this->Refresh();
}

ZILUI_TEMPLATE void ZILUI_BASE::setHoverCursor(const wxCursor& cursor)
{
    m_hoverCursor = cursor;
    if (getSharedHover())
        updateCursor();
}

ZILUI_TEMPLATE void ZILUI_BASE::updateCursor()
{
    this->SetCursor(getSharedHover() && m_hoverCursor.IsOk() ? m_hoverCursor : wxNullCursor);
}

ZILUI_TEMPLATE void ZILUI_BASE::setOwnHover(bool hover)
{
    if (m_hover || hover)
        this->hover().setOwnHover(hover);
}

ZILUI_TEMPLATE bool ZILUI_BASE::getOwnHover() const
{
    return m_hover && m_hover->getOwnHover();
}

ZILUI_TEMPLATE bool ZILUI_BASE::getSharedHover() const
{
    return m_hover && m_hover->getSharedHover();
}

ZILUI_TEMPLATE CHoverMember& ZILUI_BASE::hover()
{
    if (!m_hover)
        m_hover.reset(new CHoverMember(this, [](void* owner) {
            auto* control = static_cast<TSlickControlBase*>(owner);
            control->updateCursor();
            control->Refresh();
        }));
    return *m_hover;
}

ZILUI_TEMPLATE void ZILUI_BASE::setFocus(bool focus)
{
    if (m_hasFocus == focus)
        return;
    m_hasFocus = focus;
    this->Refresh();
}

ZILUI_TEMPLATE void ZILUI_BASE::setDrawFocusRect(bool draw)
{
    m_drawFocusRect = draw;
    this->Refresh();
}

ZILUI_TEMPLATE void ZILUI_BASE::setClientSizer(wxSizer* sizer)
{
    m_clientSizer = sizer;
    initClientSizerStuff();
}

ZILUI_TEMPLATE bool ZILUI_BASE::isContentVertical() const
{
    const auto pos = m_skin->getImagePos();
    return pos == Skin::ImageTop || pos == Skin::ImageBottom;
}

ZILUI_TEMPLATE double ZILUI_BASE::getUICoordScaleFactor() const
{
    if (m_scaleFactor == 0)
        m_scaleFactor = queryUICoordScaleFactor(*this);
    return m_scaleFactor;
}

ZILUI_TEMPLATE void ZILUI_BASE::setUICoordScaleFactor(double factor)
{
    m_scaleFactor = factor;
    this->InvalidateBestSize();
    this->Refresh();
}

ZILUI_TEMPLATE bool ZILUI_BASE::Enable(bool enable)
{
    const bool wasEnabled = this->IsThisEnabled();
    if (!Intermediate::Enable(enable))
        return false;
    if (wasEnabled != this->IsThisEnabled())
        this->Refresh();
    return true;
}

namespace {

template <class Skin> contentlayout::Geometry contentGeometry(const Skin& skin, double scale)
{
    contentlayout::Geometry g;
    g.margins = skin.getContentMargins().toScaled(scale);
    g.space = scaleLength(skin.getImageTextSpace(), scale);
    const auto pos = skin.getImagePos();
    g.vertical = pos == Skin::ImageTop || pos == Skin::ImageBottom;
    g.imageFirst = pos == Skin::ImageLeft || pos == Skin::ImageTop;
    g.horzAlign = skin.getContentHorzAlign();
    g.vertAlign = skin.getContentVertAlign();
    return g;
}

template <class Skin> SkinBorder skinBorder(const Skin& skin, bool mirrored)
{
    SkinBorder border;
    border.present = skin.hasBorder();
    border.widths = mirrored ? contentlayout::mirror(skin.getBorderWidths()) : skin.getBorderWidths();
    border.sides = skin.getBorderType() == Skin::BorderCss && !contentlayout::hasEqualSides(border.widths);
    border.colour = skin.getBorderColor();
    border.style = skin.getBorderStyle();
    return border;
}

} // namespace

ZILUI_TEMPLATE wxSize ZILUI_BASE::getPlainTextSize(wxDC& dc, const zil::String& text)
{
    const wxFont font = dc.GetFont();
    // The same font object mostly; comparing the descriptions of two costs a Pango layout.
    if (!m_plainTextSizeValid || m_plainText != text || !(m_plainTextFont.IsSameAs(font) || m_plainTextFont == font)) {
        m_plainTextSize = dc.GetMultiLineTextExtent(toWX(text));
        m_plainText = text;
        m_plainTextFont = font;
        m_plainTextSizeValid = true;
    }
    return m_plainTextSize;
}

ZILUI_TEMPLATE zil::P<CLineBasedStyledTextPainter> ZILUI_BASE::getEffectiveStyledTextPainter(State state) const
{
    if (m_ownTextPainter)
        return m_ownTextPainter;
    const int index = checkState(state);
    const zil::TArray<zil::P<CTextStyle>>& styles = std::as_const(*m_skin).getStateSkin(state).getTextLineStyles();
    if (styles.empty())
        return nullptr;
    // Kept while the skin's styles and the default font cache stay: built once, not per paint.
    zil::P<CLineBasedStyledTextPainter>& painter = m_skinTextPainters[index];
    const zil::P<CTextStyleFontCache>& fontCache = CTextStyleFontCache::getDefaultGUIFontCache();
    if (!painter || painter->getLineStyles() != styles || painter->getFontCache() != fontCache)
        painter = new CLineBasedStyledTextPainter(styles, fontCache.get());
    return painter;
}

ZILUI_TEMPLATE wxColour ZILUI_BASE::getFillColour(const CSlickStateSkin& st) const
{
    wxColour colour = st.getBackgroundColor();
    if (!colour.IsOk())
        colour = getWindowBackgroundColour();
    if (!colour.IsOk())
        colour = m_defaultBackgroundColour;
    return colour;
}

ZILUI_TEMPLATE wxColour ZILUI_BASE::getTextColour(const CSlickStateSkin& st) const
{
    if (!this->IsThisEnabled())
        return wxColour(150, 150, 150);
    wxColour colour = st.getTextColor();
    if (!colour.IsOk())
        colour = getWindowForegroundColour();
    if (!colour.IsOk())
        colour = m_defaultTextColour;
    return colour;
}

ZILUI_TEMPLATE void ZILUI_BASE::paintContents(wxDC& dc, const wxBitmap& bitmap)
{
    const wxSize size = this->GetClientSize();
    if (size.x < 1 || size.y < 1)
        return;
    const int state = checkState(getState());
    const CSlickStateSkin& st = std::as_const(*m_skin).getStateSkin(static_cast<State>(state));
    // A DC that mirrors by itself (a paint DC of a right-to-left window) gets the layout of
    // left to right; a memory bitmap, which the draw hook also paints into, gets it mirrored.
    const wxLayoutDirection direction = this->GetLayoutDirection();
    const bool mirrored = direction == wxLayout_RightToLeft && dc.GetLayoutDirection() != wxLayout_RightToLeft;
    const SkinBorder border = skinBorder(*m_skin, mirrored);
    m_painter->setPicturesMirrored(direction == wxLayout_RightToLeft);
    const wxColour fill = getFillColour(st);
    auto* paintableParent = st.getSeeThrough() ? dynamic_cast<IWXPaintable*>(this->GetParent()) : nullptr;
    const bool composed = m_painter->paintComposed(dc, state, st, size, fill, paintableParent != nullptr, border);
    if (!composed) {
        wxPoint offset;
        if (paintableParent) // a top-level overlay lies over its owner, at a screen position of its own
            offset = this->IsTopLevel() ? this->GetParent()->ScreenToClient(this->GetScreenPosition())
                                        : this->GetPosition();
        m_painter->paintBackground(dc, state, st, size, fill, paintableParent, offset);
    }

    contentlayout::Geometry geometry = contentGeometry(*m_skin, getUICoordScaleFactor());
    geometry.mirrored = mirrored;
    zil::P<CLineBasedStyledTextPainter> painter = getEffectiveStyledTextPainter(static_cast<State>(state));
    const wxSize imageSize = getLogicalBitmapSize(bitmap);
    const zil::String text = getDisplayText();
    const wxSize textSize = painter ? painter->getTextSize(dc, text, contentlayout::maxTextWidth(geometry, size, imageSize))
                                    : getPlainTextSize(dc, text);
    const contentlayout::Placement placed = contentlayout::place(geometry, size, textSize, imageSize);

    if (placed.image.width >= 1 && placed.image.height >= 1 && bitmap.IsOk())
        dc.DrawBitmap(bitmap, placed.image.GetTopLeft(), false);

    const wxString wxText = toWX(text);
    const bool singleLine = wxText.find('\n') == wxString::npos;
    const wxColour oldTextColour = dc.GetTextForeground();
    const auto drawText = [&](const wxRect& rect) {
        if (painter)
            painter->paintText(dc, rect, text, mirrored ? wxLayout_RightToLeft : wxLayout_LeftToRight);
        else if (singleLine) // what DrawLabel does for one line at the top left, without measuring
            dc.DrawText(wxText, rect.x, rect.y);
        else
            dc.DrawLabel(wxText, rect, mirrored ? wxALIGN_RIGHT : 0, -1);
    };
    if (st.getTextHaloColor().IsOk()) {
        dc.SetTextForeground(st.getTextHaloColor());
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (dx != 0 || dy != 0)
                    drawText(wxRect(placed.text.x + dx, placed.text.y + dy, placed.text.width, placed.text.height));
    }
    dc.SetTextForeground(getTextColour(st));
    drawText(placed.text);
    dc.SetTextForeground(oldTextColour);

    m_painter->paintOverlays(dc, state, st, size);

    const wxRect client(0, 0, size.x, size.y);
    wxDCPenChanger keepPen(dc, *wxTRANSPARENT_PEN);
    wxDCBrushChanger keepBrush(dc, *wxTRANSPARENT_BRUSH);
    if (!composed && border.present)
        CSkinPainter::paintBorder(dc, client, border);

    if (m_hasFocus && m_drawFocusRect && m_skin->getDrawFocusRect()) {
        wxRect r = client;
        if (m_skin->getBorderType() == Skin::BorderFlat)
            r.Deflate(1);
        const zil::CMargins fm = m_skin->getFocusMargins().toScaled(getUICoordScaleFactor());
        r.x = zil::saturateToInt32(int64_t(r.x) + fm.left);
        r.y = zil::saturateToInt32(int64_t(r.y) + fm.top);
        r.width = zil::saturateToInt32(int64_t(r.width) - fm.horizontal());
        r.height = zil::saturateToInt32(int64_t(r.height) - fm.vertical());
        CSkinPainter::paintFocusFrame(dc, mirrored ? contentlayout::mirror(r, size.x) : r, m_focusColour);
    }
}

ZILUI_TEMPLATE void ZILUI_BASE::paintCurrent(wxDC& dc)
{
    const wxSize size = this->GetClientSize();
    if (size.x < 1 || size.y < 1)
        return;
    dc.SetFont(getWindowFont());
    paintContents(dc, getCurrentBitmap());
}

ZILUI_TEMPLATE void ZILUI_BASE::prepareStateBitmap(State state)
{
    const int index = checkState(state);
    const wxBitmap& bitmap = m_stateBitmaps[index];
    const double opacity = std::as_const(*m_skin).getStateSkin(state).getImageOpacity();
    if (!bitmap.IsOk() || opacity == 1.0) {
        m_preparedBitmaps[index] = bitmap;
        return;
    }
    wxImage image = bitmap.ConvertToImage();
    if (!image.HasAlpha())
        image.InitAlpha();
    unsigned char* alpha = image.GetAlpha();
    const size_t count = static_cast<size_t>(image.GetWidth()) * static_cast<size_t>(image.GetHeight());
    for (size_t i = 0; i < count; ++i)
        alpha[i] = static_cast<unsigned char>(alpha[i] * opacity);
    m_preparedBitmaps[index] = wxBitmap(image, -1, bitmap.GetScaleFactor());
}

ZILUI_TEMPLATE wxColour ZILUI_BASE::getWindowBackgroundColour() const
{
    return this->m_backgroundColour.IsOk() ? this->m_backgroundColour : getThemeAttributes().colBg;
}

ZILUI_TEMPLATE wxColour ZILUI_BASE::getWindowForegroundColour() const
{
    return this->m_foregroundColour.IsOk() ? this->m_foregroundColour : getThemeAttributes().colFg;
}

ZILUI_TEMPLATE wxFont ZILUI_BASE::getWindowFont() const
{
    return this->m_font.IsOk() ? this->m_font : getThemeAttributes().font;
}

ZILUI_TEMPLATE void ZILUI_BASE::updateDefaultColours()
{
    m_themeAttributesValid = false;
    updateSystemColours();
}

ZILUI_TEMPLATE void ZILUI_BASE::OnSysColourChanged(wxSysColourChangedEvent& event)
{
    updateDefaultColours();
    this->Refresh();
    event.Skip();
}

ZILUI_TEMPLATE void ZILUI_BASE::OnMouse(wxMouseEvent& event)
{
    const wxEventType type = event.GetEventType();
    if (type == wxEVT_LEAVE_WINDOW)
        setOwnHover(false);
    else if (type == wxEVT_ENTER_WINDOW || type == wxEVT_MOTION)
        setOwnHover(true);
    else if (type == wxEVT_LEFT_UP && wxRect(this->GetClientSize()).Contains(event.GetPosition()))
        onClicked(); // a release after dragging off the control is no click
    event.Skip();
}

ZILUI_TEMPLATE void ZILUI_BASE::OnPaint(wxPaintEvent& event)
{
    const wxSize size = this->GetClientSize();
    if (size.x >= 1 && size.y >= 1) {
        wxAutoBufferedPaintDC dc(this);
        const auto paint = [](wxWindow* window, wxDC& into) { static_cast<ZILUI_BASE*>(window)->paintCurrent(into); };
        if (this->GetLayoutDirection() != wxLayout_RightToLeft || !gtk::paintThroughBitmap(this, dc, paint))
            paintCurrent(dc);
    }
    event.Skip();
}

ZILUI_TEMPLATE void ZILUI_BASE::OnSize(wxSizeEvent& event)
{
    this->Refresh();
    event.Skip();
}

ZILUI_TEMPLATE void ZILUI_BASE::OnFocus(wxFocusEvent& event)
{
    setFocus(event.GetEventType() == wxEVT_SET_FOCUS);
    event.Skip();
}

ZILUI_TEMPLATE void ZILUI_BASE::skinChanged()
{
    m_painter->reset();
    updateBestSize(isSizedByBest(), LayoutSoon);
}

ZILUI_TEMPLATE void ZILUI_BASE::setHoverGroup(CHoverGroup* group)
{
    if (m_hoverGroup.get() == group)
        return;
    // The old group lives until its members are told this control left.
    const zil::P<CHoverGroup> old = m_hoverGroup;
    m_hoverGroup = group;
    hover().join(group ? group->m_members.get() : nullptr);
}

ZILUI_TEMPLATE wxSize ZILUI_BASE::DoGetBestSize() const
{
    auto* self = const_cast<TSlickControlBase*>(this);
    CTextMeasuringDC measuring;
    wxDC& dc = measuring.get();
    dc.SetFont(getWindowFont());
    const contentlayout::Geometry geometry = contentGeometry(*m_skin, getUICoordScaleFactor());
    const zil::CMargins& m = geometry.margins;
    int maxW = this->GetMaxSize().x;
    if (maxW != -1)
        maxW = zil::saturateToInt32(int64_t(maxW) - m.horizontal());
    wxSize best(0, 0);
    // Measured once for all states; plain text also for the first paint.
    const zil::String text = getDisplayText();
    for (int i = 0; i < StateCount; ++i) {
        const State state = static_cast<State>(i);
        zil::P<CLineBasedStyledTextPainter> painter = getEffectiveStyledTextPainter(state);
        const wxSize imageSize = getLogicalBitmapSize(m_preparedBitmaps[i]);
        int limit = maxW;
        if (!geometry.vertical && maxW != -1)
            limit = zil::saturateToInt32(int64_t(limit) - imageSize.x - geometry.space);
        const wxSize textSize = painter ? painter->getTextSize(dc, text, limit) : self->getPlainTextSize(dc, text);
        const wxSize content = contentlayout::contentSize(geometry, textSize, imageSize);
        best.x = std::max(best.x, content.x);
        best.y = std::max(best.y, content.y);
    }
    wxSize result(zil::saturateToInt32(int64_t(m.left) + best.x + m.right),
                  zil::saturateToInt32(int64_t(m.top) + best.y + m.bottom));
    if (wxSizer* sizer = this->GetSizer())
        result.IncTo(this->ClientToWindowSize(sizer->GetMinSize()));
    m_ownBestSize = result;
    // Below it the toolkit complains and lays the native widget out wrongly.
    m_nativeMinSize = getNativeMinSize();
    result.IncTo(m_nativeMinSize);
    return result;
}

ZILUI_TEMPLATE void ZILUI_BASE::nativeMinSizeChanged()
{
    const wxSize native = getNativeMinSize();
    if (native == m_nativeMinSize)
        return;
    // The skin's own best size nearly always covers the native minimum, and then nothing
    // moves: every control of a window is restyled once after its creation, and a layout
    // of the whole parent for each would cost the window the square of its controls.
    if (this->m_bestSizeCache.IsFullySpecified()) {
        wxSize before = m_ownBestSize, after = m_ownBestSize;
        before.IncTo(m_nativeMinSize);
        after.IncTo(native);
        if (before == after && before == this->m_bestSizeCache) {
            m_nativeMinSize = native;
            return;
        }
    }
    // At once: GTK allocates the widget before the next event, and below its minimum.
    updateBestSize(isSizedByBest());
}

ZILUI_TEMPLATE void ZILUI_BASE::initClientSizerStuff()
{
    if (m_innerSizer || !m_skin)
        return;
    wxSizer* client = m_clientSizer ? m_clientSizer : this->GetSizer();
    if (!client)
        return;
    m_clientSizer = client;
    wxSizer* outer =
        wrapInMargins(client, m_skin->getClientMargins().toScaled(getUICoordScaleFactor()), &m_innerSizer);
    // The client sizer now belongs to the inner one and must survive the replacement.
    const bool deleteOld = this->GetSizer() != client;
    this->SetSizer(outer, deleteOld);
}

ZILUI_TEMPLATE void ZILUI_BASE::updateBestSize(bool sizedByBest, LayoutWhen when)
{
    this->InvalidateBestSize();
    if (this->GetContainingSizer() && this->GetParent()) {
        if (when == LayoutSoon)
            layoutSoon(this->GetParent());
        else
            this->GetParent()->Layout();
    } else if (sizedByBest) {
        this->SetSize(this->GetBestSize());
    }
    this->Refresh();
}

ZILUI_TEMPLATE void ZILUI_BASE::updateSystemColours()
{
    m_defaultBackgroundColour = wxSystemSettings::GetColour(m_defaultBackgroundSysColour);
    m_defaultTextColour = wxSystemSettings::GetColour(m_defaultTextSysColour);
    m_focusColour = wxSystemSettings::GetColour(wxSYS_COLOUR_3DDKSHADOW);
}

// The window's default attributes, completed by its class's; asked once per theme.
ZILUI_TEMPLATE const wxVisualAttributes& ZILUI_BASE::getThemeAttributes() const
{
    if (!m_themeAttributesValid) {
        m_themeAttributes = this->GetDefaultAttributes();
        const wxVisualAttributes classDefaults = wxWindowBase::GetClassDefaultAttributes(this->GetWindowVariant());
        if (!m_themeAttributes.colBg.IsOk())
            m_themeAttributes.colBg = classDefaults.colBg;
        if (!m_themeAttributes.colFg.IsOk())
            m_themeAttributes.colFg = classDefaults.colFg;
        if (!m_themeAttributes.font.IsOk())
            m_themeAttributes.font = classDefaults.font;
        m_themeAttributesValid = true;
    }
    return m_themeAttributes;
}

ZILUI_TEMPLATE int ZILUI_BASE::checkState(State state)
{
    const int index = static_cast<int>(state);
    if (index < 0 || index >= StateCount)
        throw zil::CInvalidArgError(L"Invalid state value: " + zil::toString(int64_t(index)),
                                    L"TSlickControlBase::checkState");
    return index;
}

#undef ZILUI_TEMPLATE
#undef ZILUI_BASE

} // namespace zilui
