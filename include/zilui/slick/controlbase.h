// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/app/strings.h>
#include <zilui/app/windowhelpers.h>
#include <zilui/graphics/gradients.h>
#include <zilui/graphics/scalingimage.h>
#include <zilui/graphics/styledtextpainter.h>
#include <zilui/graphics/textstyle.h>
#include <zilui/slick/composedlayers.h>
#include <zilui/slick/skin.h>

#include <zil/containers.h>
#include <zil/error.h>
#include <zil/margins.h>
#include <zil/object.h>
#include <zil/string.h>

#include <wx/dcbuffer.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stockitem.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <type_traits>
#include <utility>

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

// Turns the wxWidgets window class of `Intermediate` (its direct base, which also supplies
// the State enum and StateCount) into a control that paints itself entirely from a `Skin`:
// background, underlay, state bitmap, label, overlays, border and focus rectangle. Skin
// lengths are logical (device-independent) pixels, the same numbers on a 100 % and a 200 %
// screen; skin images are built at the screen's physical resolution and drawn at logical size.
// GUI thread only.
//
// The concrete class creates the window, routes paint, size, focus, mouse and system colour
// events to the On... handlers (they all skip), and on GTK connects the native widget's drawing
// to paintCurrent().
template <class Intermediate, class Skin>
class TSlickControlBase : public Intermediate, private CSlickSkinUser {
public:
    using State = typename Intermediate::State;
    static constexpr int StateCount = Intermediate::StateCount;

    // Controls that are drawn hovered together while the mouse is over any of them. Holds
    // plain pointers: a control leaves its group when it is destroyed.
    class CHoverGroup : public zil::CBase {
    public:
        // Moves `control` into this group (out of any other); null is ignored.
        void add(TSlickControlBase* control)
        {
            if (control)
                control->setHoverGroup(this);
        }
        void remove(TSlickControlBase* control)
        {
            if (control && control->m_hoverGroup.get() == this)
                control->setHoverGroup(nullptr);
        }
        const zil::TArray<TSlickControlBase*>& getControls() const { return m_controls; }

    private:
        friend class TSlickControlBase;
        zil::TArray<TSlickControlBase*> m_controls;
    };

    TSlickControlBase(wxSystemColour defaultBackground, wxSystemColour defaultText)
        : m_defaultBackgroundSysColour(defaultBackground),
          m_defaultTextSysColour(defaultText),
          m_skin(new Skin())
    {
        m_skin->getUsers().add(this);
        updateDefaultColours();
    }

    ~TSlickControlBase() override
    {
        m_skin->getUsers().remove(this);
        if (zil::P<CHoverGroup> group = m_hoverGroup) {
            removeFromGroup();
            for (TSlickControlBase* control : zil::TArray<TSlickControlBase*>(group->m_controls))
                control->updateSharedHover();
        }
    }

    // Steps of the window creation that follow the native Create().
    void createBase()
    {
        this->SetBackgroundStyle(wxBG_STYLE_PAINT);
        // The theme's attributes asked during the native Create() still hold.
        updateSystemColours();
        this->InheritAttributes();
        this->Refresh();
    }

    // Bitmaps prepared under the previous skin keep its opacity until they are set again.
    // Null throws zil::CInvalidArgError: a control always paints from some skin.
    void setSkin(Skin* skin)
    {
        if (!skin)
            throw zil::CInvalidArgError(L"A skinned control needs a skin; null was given.",
                                        L"TSlickControlBase::setSkin");
        const bool sizedByBest = isSizedByBest();
        m_skin->getUsers().remove(this);
        m_skin = skin;
        m_skin->getUsers().add(this);
        initClientSizerStuff();
        for (int i = 0; i < StateCount; ++i) {
            m_underlayCache[i].reset();
            m_overlayCache[i].reset();
            m_overlay2Cache[i].reset();
        }
        updateBestSize(sizedByBest);
    }
    zil::P<Skin> getSkin() const { return m_skin; }

    void setStateBitmap(State state, const wxBitmap& bitmap)
    {
        const int index = checkState(state);
        if (isSameBitmap(bitmap, m_stateBitmaps[index]))
            return;
        const bool sizedByBest = isSizedByBest();
        m_stateBitmaps[index] = bitmap;
        prepareStateBitmap(state);
        updateBestSize(sizedByBest);
    }
    void setAllStateBitmaps(wxBitmap bitmap)
    {
        for (int i = 0; i < StateCount; ++i)
            setStateBitmap(static_cast<State>(i), bitmap);
    }
    wxBitmap getStateBitmap(State state) const { return m_stateBitmaps[checkState(state)]; }
    // The prepared bitmap of getBitmapState().
    wxBitmap getCurrentBitmap() const { return m_preparedBitmaps[checkState(getBitmapState())]; }

    // An empty label on a stock id shows the stock label.
    void SetLabel(const wxString& label) override
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

    // Line styles of the label for every state, over the skin's; an empty array goes back
    // to the skin's.
    void SetLabelLineStyles(const zil::TArray<zil::P<CTextStyle>>& styles, CTextStyleFontCache* fontCache)
    {
        if (styles.empty())
            m_ownTextPainter = nullptr;
        else
            m_ownTextPainter = new CLineBasedStyledTextPainter(styles, fontCache);
        this->InvalidateBestSize();
        this->Refresh();
    }

    void setHoverCursor(const wxCursor& cursor)
    {
        m_hoverCursor = cursor;
        if (m_sharedHover)
            updateCursor();
    }
    const wxCursor& getHoverCursor() const { return m_hoverCursor; }
    void updateCursor()
    {
        this->SetCursor(m_sharedHover && m_hoverCursor.IsOk() ? m_hoverCursor : wxNullCursor);
    }

    void setOwnHover(bool hover)
    {
        if (m_ownHover == hover)
            return;
        m_ownHover = hover;
        updateSharedHover();
    }
    bool getOwnHover() const { return m_ownHover; }
    // Drawn as hovered: by its own hover or that of its hover group.
    bool getSharedHover() const { return m_sharedHover; }

    void setFocus(bool focus)
    {
        if (m_hasFocus == focus)
            return;
        m_hasFocus = focus;
        this->Refresh();
    }
    bool getFocus() const { return m_hasFocus; }

    void setDrawFocusRect(bool draw)
    {
        m_drawFocusRect = draw;
        this->Refresh();
    }
    bool getDrawFocusRect() const { return m_drawFocusRect; }

    // The sizer laid out inside the control between the skin's client margins; the control
    // owns it once the skin is set.
    void setClientSizer(wxSizer* sizer)
    {
        m_clientSizer = sizer;
        initClientSizerStuff();
    }
    wxSizer* getClientSizer() const { return m_clientSizer; }
    // The vertical box between the client margins; null until the client sizer is placed.
    wxBoxSizer* getInnerSizer() const { return m_innerSizer; }

    int getUserInt() const { return m_userInt; }
    void setUserInt(int value) { m_userInt = value; }

    bool isContentVertical() const
    {
        const auto pos = m_skin->getImagePos();
        return pos == Skin::ImageTop || pos == Skin::ImageBottom;
    }

    // Window coordinates per logical skin pixel, asked once: 1 where the toolkit already
    // works in device-independent pixels, as GTK does also on a 200 % screen.
    double getUICoordScaleFactor() const
    {
        constexpr int kProbe = 1000;
        if (m_scaleFactor == 0)
            m_scaleFactor = static_cast<double>(this->FromDIP(kProbe)) / kProbe;
        return m_scaleFactor;
    }
    // Replaces the window's factor, e.g. to preview another screen; takes effect at the next
    // layout and paint. `factor` > 0.
    void setUICoordScaleFactor(double factor)
    {
        m_scaleFactor = factor;
        this->InvalidateBestSize();
        this->Refresh();
    }

    virtual zil::String getDisplayText() const { return fromWX(this->GetLabel()); }
    virtual State getState() const = 0;
    virtual State getBitmapState() const { return getState(); }

    bool Enable(bool enable = true) override
    {
        const bool wasEnabled = this->IsThisEnabled();
        if (!Intermediate::Enable(enable))
            return false;
        if (wasEnabled != this->IsThisEnabled())
            this->Refresh();
        return true;
    }

    // Painting and sizing steps; public so that they can be checked one by one.

    // In window coordinates: a bitmap made for a 200 % screen has twice the pixels.
    static wxSize getBitmapSize(const wxBitmap& bitmap)
    {
        return bitmap.IsOk() ? wxSize(wxRound(bitmap.GetLogicalWidth()), wxRound(bitmap.GetLogicalHeight()))
                             : wxSize(0, 0);
    }

    wxSize getTextSize(wxDC& dc, CLineBasedStyledTextPainter* painter, int maxWidth) const
    {
        const zil::String text = getDisplayText();
        if (painter)
            return painter->getTextSize(dc, text, maxWidth);
        return dc.GetMultiLineTextExtent(toWX(text));
    }

    // GetMultiLineTextExtent in the DC's font, remembered for the last text and font.
    wxSize getPlainTextSize(wxDC& dc, const zil::String& text)
    {
        const wxFont font = dc.GetFont();
        // The same font object mostly; comparing the descriptions of two costs a Pango layout.
        if (!m_plainTextSizeValid || m_plainText != text ||
            !(m_plainTextFont.IsSameAs(font) || m_plainTextFont == font)) {
            m_plainTextSize = dc.GetMultiLineTextExtent(toWX(text));
            m_plainText = text;
            m_plainTextFont = font;
            m_plainTextSizeValid = true;
        }
        return m_plainTextSize;
    }

    // The image text space in pixels at the present scale.
    int getScaledImageTextSpace() const
    {
        return static_cast<int>(std::ceil(m_skin->getImageTextSpace() * getUICoordScaleFactor()));
    }
    zil::CMargins getScaledContentMargins() const
    {
        return m_skin->getContentMargins().toScaled(getUICoordScaleFactor());
    }

    // The space between text and image counts even when one of them is empty.
    wxSize getContentSize(const wxSize& textSize, const wxSize& imageSize) const
    {
        const int64_t space = getScaledImageTextSpace();
        if (isContentVertical())
            return wxSize(std::max(textSize.x, imageSize.x), zil::saturateToInt32(textSize.y + space + imageSize.y));
        return wxSize(zil::saturateToInt32(textSize.x + space + imageSize.x), std::max(textSize.y, imageSize.y));
    }

    int getMaxAvailableTextWidth(const wxSize& clientSize, const wxSize& imageSize) const
    {
        const zil::CMargins m = getScaledContentMargins();
        int64_t width = int64_t(clientSize.x) - m.left - m.right;
        if (!isContentVertical())
            width -= int64_t(getScaledImageTextSpace()) + imageSize.x;
        return zil::saturateToInt32(width);
    }

    void layoutContents(wxRect& textRect, wxRect& imageRect, const wxSize& clientSize, const wxSize& textSize,
                        const wxSize& imageSize) const
    {
        const zil::CMargins m = getScaledContentMargins();
        const int space = getScaledImageTextSpace();
        const int availW = zil::saturateToInt32(int64_t(clientSize.x) - m.left - m.right);
        const int availH = zil::saturateToInt32(int64_t(clientSize.y) - m.top - m.bottom);
        const double hA = m_skin->getContentHorzAlign();
        const double vA = m_skin->getContentVertAlign();
        const auto place = [](int avail, int size, double align, int margin) {
            return zil::saturateToInt32(std::trunc((double(avail) - size) * align) + margin);
        };
        const auto after = [](int64_t start, int64_t size, int64_t gap) { return zil::saturateToInt32(start + size + gap); };
        const wxSize content = getContentSize(textSize, imageSize);
        const int contentX = place(availW, content.x, hA, m.left);
        const int contentY = place(availH, content.y, vA, m.top);
        int textX = 0, textY = 0, imageX = 0, imageY = 0;
        if (isContentVertical()) {
            textX = place(availW, textSize.x, hA, m.left);
            imageX = place(availW, imageSize.x, hA, m.left);
            if (m_skin->getImagePos() == Skin::ImageTop) {
                imageY = contentY;
                textY = after(contentY, imageSize.y, space);
            } else {
                textY = contentY;
                imageY = after(contentY, textSize.y, space);
            }
        } else {
            textY = place(availH, textSize.y, vA, m.top);
            imageY = place(availH, imageSize.y, vA, m.top);
            if (m_skin->getImagePos() == Skin::ImageLeft) {
                imageX = contentX;
                textX = after(contentX, imageSize.x, space);
            } else {
                textX = contentX;
                imageX = after(contentX, textSize.x, space);
            }
        }
        textRect = wxRect(textX, textY, textSize.x, textSize.y);
        imageRect = wxRect(imageX, imageY, imageSize.x, imageSize.y);
    }

    // ownTextPainter, else a painter over the state's line styles, else null (plain text).
    zil::P<CLineBasedStyledTextPainter> getEffectiveStyledTextPainter(State state) const
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

    // Paints a skin image over the client area of logical `size`, at the window's physical
    // resolution (the window's factor: a DC made on GTK's own cairo context does not know it).
    void paintLayer(wxDC& dc, const zil::P<IScalingImage>& image, CPhysicalVersion& cache, const wxSize& size) const
    {
        cache.paint(image.get(), dc, wxPoint(0, 0), size, getPaintScale(dc));
    }

    // Pictures are made at the resolution of the DC painted into: the screen's through the draw
    // hook, a memory bitmap's own elsewhere, where a picture of the window's resolution would be
    // stretched and blurred.
    static double getPaintScale(const wxDC& dc)
    {
        const double scale = dc.GetContentScaleFactor();
        return scale > 0 ? scale : 1.0;
    }

    void clearBackground(wxDC& dc)
    {
        const wxSize size = this->GetClientSize();
        if (size.x < 1 || size.y < 1)
            return;
        const int state = checkState(getState());
        const CSlickStateSkin& st = std::as_const(*m_skin).getStateSkin(static_cast<State>(state));
        bool painted = false;
        if (st.getSeeThrough()) {
            if (auto* parent = dynamic_cast<IWXPaintable*>(this->GetParent())) {
                // A top-level overlay lies over its owner, at a screen position of its own.
                const wxPoint offset = this->IsTopLevel()
                                           ? this->GetParent()->ScreenToClient(this->GetScreenPosition())
                                           : this->GetPosition();
                parent->paint(dc, -offset);
                painted = true;
            }
        }
        if (zil::P<IGradient> gradient = st.getBackgroundGradient()) {
            if (!painted)
                gradient->paint(dc, wxRect(0, 0, size.x, size.y));
        } else if (!painted) {
            wxColour colour = st.getBackgroundColor();
            if (!colour.IsOk())
                colour = getWindowBackgroundColour();
            if (!colour.IsOk())
                colour = m_defaultBackgroundColour;
            if (colour.IsOk())
                dc.SetBackground(wxBrush(colour));
            dc.Clear();
            // A DC of neither a bitmap nor a window may not honour Clear() within our bounds.
            if (colour.IsOk() && !dc.GetWindow() && !dynamic_cast<wxMemoryDC*>(&dc)) {
                wxDCPenChanger pen(dc, wxPen(colour, 1));
                wxDCBrushChanger brush(dc, wxBrush(colour));
                dc.DrawRectangle(0, 0, size.x, size.y);
            }
        }
        paintLayer(dc, st.getUnderlayImage(), m_underlayCache[state], size);
    }

    // Background, underlay and border as the one bitmap that every control of this skin, state,
    // size and background shares. False, with nothing painted, where that cannot stand for
    // them: the parent shows through, overlay images lie between the label and the border, or
    // the control is too large to share a picture for.
    bool paintComposedLayers(wxDC& dc, int state, const CSlickStateSkin& st, const wxSize& size)
    {
        ComposedLayers& composed = m_composedLayers[state];
        const bool parentShows = st.getSeeThrough() && dynamic_cast<IWXPaintable*>(this->GetParent());
        CComposedSkinLayers::Key key;
        key.gradient = st.getBackgroundGradient();
        if (!key.gradient) {
            key.background = st.getBackgroundColor();
            if (!key.background.IsOk())
                key.background = getWindowBackgroundColour();
            if (!key.background.IsOk())
                key.background = m_defaultBackgroundColour;
        }
        key.scale = getPaintScale(dc);
        const wxSize physical = toPhysicalSize(size, key.scale);
        if (parentShows || st.getOverlayImage() || st.getOverlay2Image() || (!key.gradient && !key.background.IsOk()) ||
            !isPaintableSize(physical) || int64_t(physical.x) * physical.y > CComposedSkinLayers::kMaxPixels) {
            composed = ComposedLayers();
            return false;
        }
        key.underlay = st.getUnderlayImage();
        if (m_skin->hasBorder()) {
            const zil::CMargins w = m_skin->getBorderWidths();
            key.borderWidths = w;
            key.borderSides = m_skin->getBorderType() == Skin::BorderCss &&
                              !(w.left == w.top && w.top == w.right && w.right == w.bottom);
            key.borderColor = m_skin->getBorderColor();
            key.borderStyle = m_skin->getBorderStyle();
        }
        if (!composed.layers || !(composed.layers->getKey() == key)) {
            composed.layers = CComposedSkinLayers::get(key);
            composed.version.reset();
        }
        composed.version.paint(composed.layers.get(), dc, wxPoint(0, 0), size, key.scale);
        return true;
    }

    // Paints the whole control for its present state, with `bitmap` as its image.
    void paintContents(wxDC& dc, const wxBitmap& bitmap)
    {
        const wxSize size = this->GetClientSize();
        if (size.x < 1 || size.y < 1)
            return;
        const int state = checkState(getState());
        const CSlickStateSkin& st = std::as_const(*m_skin).getStateSkin(static_cast<State>(state));
        const bool composed = paintComposedLayers(dc, state, st, size);
        if (!composed)
            clearBackground(dc);

        zil::P<CLineBasedStyledTextPainter> painter = getEffectiveStyledTextPainter(static_cast<State>(state));
        const wxSize imageSize = getBitmapSize(bitmap);
        const zil::String text = getDisplayText();
        const wxSize textSize = painter ? painter->getTextSize(dc, text, getMaxAvailableTextWidth(size, imageSize))
                                        : getPlainTextSize(dc, text);
        wxRect textRect, imageRect;
        layoutContents(textRect, imageRect, size, textSize, imageSize);

        if (imageRect.width >= 1 && imageRect.height >= 1 && bitmap.IsOk())
            dc.DrawBitmap(bitmap, imageRect.GetTopLeft(), false);

        const wxString wxText = toWX(text);
        const bool singleLine = wxText.find('\n') == wxString::npos;
        const wxColour oldTextColour = dc.GetTextForeground();
        const auto drawText = [&](const wxRect& rect) {
            if (painter)
                painter->paintText(dc, rect, text);
            else if (singleLine) // what DrawLabel does for one line at the top left, without measuring
                dc.DrawText(wxText, rect.x, rect.y);
            else
                dc.DrawLabel(wxText, rect, 0, -1);
        };
        if (st.getTextHaloColor().IsOk()) {
            dc.SetTextForeground(st.getTextHaloColor());
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (dx != 0 || dy != 0)
                        drawText(wxRect(textRect.x + dx, textRect.y + dy, textRect.width, textRect.height));
        }
        wxColour textColour = st.getTextColor();
        if (!textColour.IsOk())
            textColour = getWindowForegroundColour();
        if (!textColour.IsOk())
            textColour = m_defaultTextColour;
        if (!this->IsThisEnabled())
            textColour = wxColour(150, 150, 150);
        dc.SetTextForeground(textColour);
        drawText(textRect);
        dc.SetTextForeground(oldTextColour);

        paintLayer(dc, st.getOverlayImage(), m_overlayCache[state], size);
        paintLayer(dc, st.getOverlay2Image(), m_overlay2Cache[state], size);

        const wxRect client(0, 0, size.x, size.y);
        wxDCPenChanger keepPen(dc, *wxTRANSPARENT_PEN);
        wxDCBrushChanger keepBrush(dc, *wxTRANSPARENT_BRUSH);
        if (!composed && m_skin->hasBorder())
            drawBorder(dc, client);

        if (m_hasFocus && m_drawFocusRect && m_skin->getDrawFocusRect()) {
            wxRect r = client;
            if (m_skin->getBorderType() == Skin::BorderFlat)
                r.Deflate(1);
            const zil::CMargins fm = m_skin->getFocusMargins().toScaled(getUICoordScaleFactor());
            r.x = zil::saturateToInt32(int64_t(r.x) + fm.left);
            r.y = zil::saturateToInt32(int64_t(r.y) + fm.top);
            r.width = zil::saturateToInt32(int64_t(r.width) - fm.horizontal());
            r.height = zil::saturateToInt32(int64_t(r.height) - fm.vertical());
            dc.SetPen(wxPen(m_focusColour, 1, wxPENSTYLE_SOLID));
            CComposedSkinLayers::drawFrame(dc, r);
        }
    }

    // What a paint event or the native draw hook does: the control's font, then
    // paintContents with the prepared bitmap of the bitmap state.
    void paintCurrent(wxDC& dc)
    {
        const wxSize size = this->GetClientSize();
        if (size.x < 1 || size.y < 1)
            return;
        dc.SetFont(getWindowFont());
        paintContents(dc, getCurrentBitmap());
    }

    // Applies the present skin's imageOpacity of `state` to its bitmap.
    void prepareStateBitmap(State state)
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

    // What GetBackgroundColour(), GetForegroundColour() and GetFont() return, without asking
    // the theme on every paint, which costs a GTK style lookup each time.
    wxColour getWindowBackgroundColour() const
    {
        if (this->m_backgroundColour.IsOk())
            return this->m_backgroundColour;
        return getThemeAttributes().colBg;
    }
    wxColour getWindowForegroundColour() const
    {
        if (this->m_foregroundColour.IsOk())
            return this->m_foregroundColour;
        return getThemeAttributes().colFg;
    }
    wxFont getWindowFont() const
    {
        if (this->m_font.IsOk())
            return this->m_font;
        return getThemeAttributes().font;
    }

    void updateDefaultColours()
    {
        m_themeAttributesValid = false;
        updateSystemColours();
    }

    // Event handlers for the concrete class's event table; each lets the event go on.
    void OnSysColourChanged(wxSysColourChangedEvent& event)
    {
        updateDefaultColours();
        this->Refresh();
        event.Skip();
    }
    void OnMouse(wxMouseEvent& event)
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
    void OnPaint(wxPaintEvent& event)
    {
        const wxSize size = this->GetClientSize();
        if (size.x >= 1 && size.y >= 1) {
            wxAutoBufferedPaintDC dc(this);
            paintCurrent(dc);
        }
        event.Skip();
    }
    void OnSize(wxSizeEvent& event)
    {
        this->Refresh();
        event.Skip();
    }
    void OnFocus(wxFocusEvent& event)
    {
        setFocus(event.GetEventType() == wxEVT_SET_FOCUS);
        event.Skip();
    }

protected:
    virtual void onClicked() {}

    // The skin in use changed: the control draws it anew and takes the best size it gives.
    void skinChanged() override
    {
        for (int i = 0; i < StateCount; ++i) {
            m_underlayCache[i].reset();
            m_overlayCache[i].reset();
            m_overlay2Cache[i].reset();
        }
        updateBestSize(isSizedByBest(), LayoutSoon);
    }

    // After every SetLabel, e.g. to tell assistive technology.
    virtual void labelChanged() {}

    void setHoverGroup(CHoverGroup* group)
    {
        if (m_hoverGroup.get() == group)
            return;
        zil::P<CHoverGroup> old = m_hoverGroup;
        removeFromGroup();
        m_hoverGroup = group;
        if (group)
            group->m_controls.push_back(this);
        // The group that lost this control may have lost its only hovered member.
        if (old)
            for (TSlickControlBase* control : zil::TArray<TSlickControlBase*>(old->m_controls))
                control->updateSharedHover();
        updateSharedHover();
    }
    const zil::P<CHoverGroup>& getHoverGroup() const { return m_hoverGroup; }

    void updateSharedHover()
    {
        bool hovered = m_ownHover;
        if (m_hoverGroup)
            hovered = std::any_of(m_hoverGroup->m_controls.begin(), m_hoverGroup->m_controls.end(),
                                  [](const TSlickControlBase* control) { return control->m_ownHover; });
        if (hovered == m_sharedHover)
            return;
        m_sharedHover = hovered;
        updateCursor();
        this->Refresh();
        if (m_hoverGroup)
            for (TSlickControlBase* control : zil::TArray<TSlickControlBase*>(m_hoverGroup->m_controls))
                if (control != this)
                    control->updateSharedHover();
    }

    wxSize DoGetBestSize() const override
    {
        auto* self = const_cast<TSlickControlBase*>(this);
        CTextMeasuringDC measuring;
        wxDC& dc = measuring.get();
        dc.SetFont(getWindowFont());
        const zil::CMargins m = getScaledContentMargins();
        const int space = getScaledImageTextSpace();
        int maxW = this->GetMaxSize().x;
        if (maxW != -1)
            maxW = zil::saturateToInt32(int64_t(maxW) - m.horizontal());
        wxSize best(0, 0);
        // Measured once for all states; plain text also for the first paint.
        const zil::String text = getDisplayText();
        for (int i = 0; i < StateCount; ++i) {
            const State state = static_cast<State>(i);
            zil::P<CLineBasedStyledTextPainter> painter = getEffectiveStyledTextPainter(state);
            const wxSize imageSize = getBitmapSize(m_preparedBitmaps[i]);
            int limit = maxW;
            if (!isContentVertical() && maxW != -1)
                limit = zil::saturateToInt32(int64_t(limit) - imageSize.x - space);
            const wxSize textSize = painter ? painter->getTextSize(dc, text, limit) : self->getPlainTextSize(dc, text);
            const wxSize content = getContentSize(textSize, imageSize);
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
    wxSize DoGetBestClientSize() const override { return wxDefaultSize; }

    // The smallest size the native widget under the skin accepts; nothing for plain windows.
    virtual wxSize getNativeMinSize() const { return wxSize(0, 0); }

public:
    // For the toolkit to call when the native minimum may have changed (a restyle); the best
    // size follows when it did.
    void nativeMinSizeChanged()
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

protected:

    // Puts the client sizer between the skin's client margins, once.
    void initClientSizerStuff()
    {
        if (m_innerSizer || !m_skin)
            return;
        wxSizer* client = m_clientSizer ? m_clientSizer : this->GetSizer();
        if (!client)
            return;
        m_clientSizer = client;
        const zil::CMargins m = m_skin->getClientMargins().toScaled(getUICoordScaleFactor());
        auto* outer = new wxBoxSizer(wxHORIZONTAL);
        m_innerSizer = new wxBoxSizer(wxVERTICAL);
        outer->AddSpacer(m.left);
        outer->Add(m_innerSizer, 1, wxEXPAND);
        outer->AddSpacer(m.right);
        m_innerSizer->AddSpacer(m.top);
        m_innerSizer->Add(client, 1, wxEXPAND);
        m_innerSizer->AddSpacer(m.bottom);
        // The client sizer now belongs to the inner one and must survive the replacement.
        const bool deleteOld = this->GetSizer() != client;
        this->SetSizer(outer, deleteOld);
    }

    void drawBorder(wxDC& dc, const wxRect& r)
    {
        const zil::CMargins w = m_skin->getBorderWidths();
        const bool equal = w.left == w.top && w.top == w.right && w.right == w.bottom;
        CComposedSkinLayers::drawBorder(dc, r, w, m_skin->getBorderType() == Skin::BorderCss && !equal,
                                        m_skin->getBorderColor(), m_skin->getBorderStyle());
    }

    // A control that has its best size keeps following it.
    bool isSizedByBest() const { return this->GetHandle() && this->GetSize() == this->GetBestSize(); }

    enum LayoutWhen { LayoutNow, LayoutSoon };
    // After a change of what the best size depends on: the containing sizer lays the control
    // out again, or the control takes its new best size when it had the old one. LayoutSoon
    // lays the parent out once for all its controls that ask before the next event.
    void updateBestSize(bool sizedByBest, LayoutWhen when = LayoutNow)
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

    void removeFromGroup()
    {
        if (!m_hoverGroup)
            return;
        auto& controls = m_hoverGroup->m_controls;
        controls.erase(std::remove(controls.begin(), controls.end(), this), controls.end());
        m_hoverGroup = nullptr;
    }

    void updateSystemColours()
    {
        m_defaultBackgroundColour = wxSystemSettings::GetColour(m_defaultBackgroundSysColour);
        m_defaultTextColour = wxSystemSettings::GetColour(m_defaultTextSysColour);
        m_focusColour = wxSystemSettings::GetColour(wxSYS_COLOUR_3DDKSHADOW);
    }

    // The window's default attributes, completed by its class's; asked once per theme.
    const wxVisualAttributes& getThemeAttributes() const
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

    static int checkState(State state)
    {
        const int index = static_cast<int>(state);
        if (index < 0 || index >= StateCount)
            throw zil::CInvalidArgError(L"Invalid state value: " + zil::toString(int64_t(index)),
                                        L"TSlickControlBase::checkState");
        return index;
    }

    const wxBitmap& getPreparedBitmap(State state) const { return m_preparedBitmaps[checkState(state)]; }
    const wxColour& getDefaultBackgroundColour() const { return m_defaultBackgroundColour; }
    const wxColour& getDefaultTextColour() const { return m_defaultTextColour; }

private:
    wxSystemColour m_defaultBackgroundSysColour;
    wxSystemColour m_defaultTextSysColour;
    zil::P<Skin> m_skin;
    wxCursor m_hoverCursor;
    bool m_ownHover = false;
    bool m_sharedHover = false;
    bool m_hasFocus = false;
    zil::P<CLineBasedStyledTextPainter> m_ownTextPainter;
    // Painters over the skin's line styles, per state; see getEffectiveStyledTextPainter().
    mutable zil::P<CLineBasedStyledTextPainter> m_skinTextPainters[StateCount];
    // The skin's images at the client size, per state.
    mutable CPhysicalVersion m_underlayCache[StateCount];
    mutable CPhysicalVersion m_overlayCache[StateCount];
    mutable CPhysicalVersion m_overlay2Cache[StateCount];
    // The static layers per state; see paintComposedLayers().
    struct ComposedLayers {
        zil::P<CComposedSkinLayers> layers;
        CPhysicalVersion version;
    };
    ComposedLayers m_composedLayers[StateCount];
    wxColour m_defaultBackgroundColour;
    wxColour m_defaultTextColour;
    wxColour m_focusColour;
    wxBitmap m_stateBitmaps[StateCount];
    // m_stateBitmaps with the state skin's imageOpacity applied.
    wxBitmap m_preparedBitmaps[StateCount];
    bool m_drawFocusRect = true;
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

} // namespace zilui
