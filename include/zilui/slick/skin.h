// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/graphics/gradients.h>
#include <zilui/graphics/scalingimage.h>
#include <zilui/graphics/textstyle.h>
#include <zilui/slick/intermediates.h>

#include <zil/containers.h>
#include <zil/error.h>
#include <zil/margins.h>
#include <zil/object.h>
#include <zil/path.h>
#include <zil/string.h>

#include <wx/colour.h>
#include <wx/pen.h>
#include <wx/settings.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>

class wxConfigBase;

namespace zilui {

class CSlickSkinUsers;

// Something that draws from a skin and is told when the skin changes: a skinned control.
class CSlickSkinUser {
public:
    CSlickSkinUser() = default;
    CSlickSkinUser(const CSlickSkinUser&) = delete;
    CSlickSkinUser& operator=(const CSlickSkinUser&) = delete;

    // Once after changes of the skin in use, from the event loop; never after destruction.
    virtual void skinChanged() = 0;

protected:
    ~CSlickSkinUser();

private:
    friend class CSlickSkinUsers;
    CSlickSkinUsers* m_users = nullptr;
    CSlickSkinUser* m_prev = nullptr;
    CSlickSkinUser* m_next = nullptr;
};

// The users of one skin. A user joins and leaves in constant time; a change is told to every
// user once, from the event loop after the change, however many changes came before: a skin
// shared by thousands of controls costs one walk over them per batch of changes, and a user
// that leaves during the walk (destroyed by another's handler) is skipped. A copy starts
// without users; assigning over it counts as a change. GUI thread only.
class CSlickSkinUsers {
public:
    CSlickSkinUsers() = default;
    CSlickSkinUsers(const CSlickSkinUsers&) {}
    CSlickSkinUsers& operator=(const CSlickSkinUsers&)
    {
        changed();
        return *this;
    }
    ~CSlickSkinUsers();

    // Moves `user` here from the users of any other skin.
    void add(CSlickSkinUser* user);
    void remove(CSlickSkinUser* user);
    size_t size() const { return m_count; }

    // Tells the users soon; does nothing without users.
    void changed();
    // Tells every user now.
    void notify();

private:
    CSlickSkinUser* m_first = nullptr;
    size_t m_count = 0;
    // The next user of a walk in progress; a leaving user moves it on.
    CSlickSkinUser* m_cursor = nullptr;
    bool m_walking = false;
    // Shared with the queued call, which a destroyed list turns into nothing.
    std::shared_ptr<CSlickSkinUsers*> m_queued;
};

// How a skinned control looks in one of its states. A plain value; images, gradients and
// text styles are shared, never copied.
class CSlickStateSkin : public zil::CBase {
public:
    CSlickStateSkin() = default;
    CSlickStateSkin(const CSlickStateSkin&) = default;
    CSlickStateSkin(CSlickStateSkin&&) = default;
    CSlickStateSkin& operator=(const CSlickStateSkin&) = default;
    CSlickStateSkin& operator=(CSlickStateSkin&&) = default;
    ~CSlickStateSkin() override = default;

    // Drawn right after the background, scaled to the client size.
    zil::P<IScalingImage> getUnderlayImage() const { return m_underlayImage; }
    void setUnderlayImage(IScalingImage* image) { set(m_underlayImage, zil::P<IScalingImage>(image)); }
    // Drawn after the image and the text, scaled to the client size.
    zil::P<IScalingImage> getOverlayImage() const { return m_overlayImage; }
    void setOverlayImage(IScalingImage* image) { set(m_overlayImage, zil::P<IScalingImage>(image)); }
    // Drawn after the overlay.
    zil::P<IScalingImage> getOverlay2Image() const { return m_overlay2Image; }
    void setOverlay2Image(IScalingImage* image) { set(m_overlay2Image, zil::P<IScalingImage>(image)); }
    // The parent's background shows through the control.
    bool getSeeThrough() const { return m_seeThrough; }
    void setSeeThrough(bool seeThrough) { set(m_seeThrough, seeThrough); }
    // Applied to the control's own state bitmap, 0..1.
    double getImageOpacity() const { return m_imageOpacity; }
    // Clamped to 0..1; NaN counts as 1, so a bad computation never hides the image.
    void setImageOpacity(double opacity)
    {
        set(m_imageOpacity, std::isnan(opacity) ? 1.0 : std::clamp(opacity, 0.0, 1.0));
    }
    wxColour getTextColor() const { return m_textColor; }
    void setTextColor(const wxColour& color) { set(m_textColor, color); }
    // Invalid: no halo.
    wxColour getTextHaloColor() const { return m_textHaloColor; }
    void setTextHaloColor(const wxColour& color) { set(m_textHaloColor, color); }
    // Invalid: no fill.
    wxColour getBackgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const wxColour& color) { set(m_backgroundColor, color); }
    // Takes precedence over the plain colour where set.
    zil::P<IGradient> getBackgroundGradient() const { return m_backgroundGradient; }
    void setBackgroundGradient(IGradient* gradient) { set(m_backgroundGradient, zil::P<IGradient>(gradient)); }
    // One style per label line; empty: the control's font and plain text drawing. The
    // changeable array counts as changed.
    zil::TArray<zil::P<CTextStyle>>& getTextLineStyles()
    {
        m_link.changed();
        return m_textLineStyles;
    }
    const zil::TArray<zil::P<CTextStyle>>& getTextLineStyles() const { return m_textLineStyles; }

    // Applies the keys under `prefix` ("all.", "hover.") that are present; absent keys leave
    // their fields, text styles are appended. Images are loaded at `imageFactor` (-1: the
    // resource manager's screen factor). Errors of image loading and text style parsing
    // pass through. An imageOpacity outside 0..1 is a zil::CParseError naming `file`.
    void loadFromConfig(wxConfigBase& config, const zil::String& prefix, double imageFactor = -1.0,
                        const zil::Path& file = zil::Path());
    // When `key` is present its trimmed value is parsed into `value` (zil::CParseError if it
    // is no number); otherwise `value` stays.
    static void readDouble(wxConfigBase& config, const zil::String& key, double& value);

private:
    template <class> friend class TSlickSkinBase;

    // Pictures whose title the last loadFromConfig() named but found no usable file for take
    // `previous`'s picture of the same layer, as a skin read again after an edit keeps a
    // picture that was deleted or damaged.
    void keepMissingPicturesOf(const CSlickStateSkin& previous);

    // The users of the skin this state skin belongs to. Not copied: a copy belongs to no skin
    // until one hands it out; assigning over a state skin of a skin changes that skin.
    struct Link {
        Link() = default;
        Link(const Link&) {}
        Link& operator=(const Link&)
        {
            changed();
            return *this;
        }
        void changed() const
        {
            if (users)
                users->changed();
        }
        CSlickSkinUsers* users = nullptr;
    };

    template <class T> void set(T& field, const T& value)
    {
        field = value;
        m_link.changed();
    }

    Link m_link;
    zil::P<IScalingImage> m_underlayImage;
    zil::P<IScalingImage> m_overlayImage;
    zil::P<IScalingImage> m_overlay2Image;
    bool m_seeThrough = false;
    double m_imageOpacity = 1.0;
    wxColour m_textColor{0, 0, 0, 255};
    wxColour m_textHaloColor;
    wxColour m_backgroundColor;
    zil::P<IGradient> m_backgroundGradient;
    zil::TArray<zil::P<CTextStyle>> m_textLineStyles;
    // Underlay, overlay, overlay2: named by the last loadFromConfig() but not loaded.
    std::array<bool, 3> m_missingPictures{};
};

// The enumerations every skin shares, whatever its control.
class CSlickSkinEnums {
public:
    enum ImagePos { ImageLeft = 0, ImageRight = 1, ImageTop = 2, ImageBottom = 3 };
    enum Border { BorderNone = 0, BorderFlat = 1, BorderCss = 2 };
};

// Converts one CSS border width: "thin" 1, "medium" 3, "thick" 5, "<n>px" n; anything else 0.
// Pixels at scale 1.
int parseCssBorderWidth(const zil::String& text);

// The look of a skinned control in all its states. `Intermediate` supplies State,
// StateCount and getStateName(). A copy shares images, gradients and text styles with the
// original. GUI thread only.
template <class Intermediate> class TSlickSkinBase : public zil::CBase, public CSlickSkinEnums {
public:
    using State = typename Intermediate::State;
    static constexpr int StateCount = Intermediate::StateCount;

    TSlickSkinBase() : m_borderColor(wxSystemSettings::GetColour(wxSYS_COLOUR_3DDKSHADOW)) {}
    TSlickSkinBase(const TSlickSkinBase&) = default;
    TSlickSkinBase(TSlickSkinBase&&) = default;
    TSlickSkinBase& operator=(const TSlickSkinBase&) = default;
    TSlickSkinBase& operator=(TSlickSkinBase&&) = default;
    ~TSlickSkinBase() override = default;

    ImagePos getImagePos() const { return m_imagePos; }
    void setImagePos(ImagePos pos) { set(m_imagePos, pos); }
    // 0 = left, 1 = right.
    double getContentHorzAlign() const { return m_contentHorzAlign; }
    void setContentHorzAlign(double align) { set(m_contentHorzAlign, align); }
    // 0 = top, 1 = bottom.
    double getContentVertAlign() const { return m_contentVertAlign; }
    void setContentVertAlign(double align) { set(m_contentVertAlign, align); }
    Border getBorderType() const { return m_borderType; }
    void setBorderType(Border type) { set(m_borderType, type); }
    // Pixels at scale 1.
    zil::CMargins getBorderWidths() const { return m_borderWidths; }
    void setBorderWidths(const zil::CMargins& widths) { set(m_borderWidths, widths); }
    wxColour getBorderColor() const { return m_borderColor; }
    void setBorderColor(const wxColour& color) { set(m_borderColor, color); }
    wxPenStyle getBorderStyle() const { return m_borderStyle; }
    void setBorderStyle(wxPenStyle style) { set(m_borderStyle, style); }
    zil::CMargins getContentMargins() const { return m_contentMargins; }
    void setContentMargins(const zil::CMargins& margins) { set(m_contentMargins, margins); }
    zil::CMargins getClientMargins() const { return m_clientMargins; }
    void setClientMargins(const zil::CMargins& margins) { set(m_clientMargins, margins); }
    zil::CMargins getFocusMargins() const { return m_focusMargins; }
    void setFocusMargins(const zil::CMargins& margins) { set(m_focusMargins, margins); }
    // Pixels at scale 1.
    int getImageTextSpace() const { return m_imageTextSpace; }
    void setImageTextSpace(int space) { set(m_imageTextSpace, space); }
    bool getDrawFocusRect() const { return m_drawFocusRect; }
    void setDrawFocusRect(bool draw) { set(m_drawFocusRect, draw); }
    // Set by a loadResource() that read the whole file.
    bool getLoadSuccessful() const { return m_loadSuccessful; }
    void setLoadSuccessful(bool successful) { m_loadSuccessful = successful; }

    bool hasBorder() const
    {
        const zil::CMargins& w = m_borderWidths;
        return m_borderType != BorderNone && (w.left > 0 || w.top > 0 || w.right > 0 || w.bottom > 0);
    }

    // Throws zil::CInvalidArgError for a value outside 0..StateCount-1. Changes through the
    // changeable state skin reach the skin's users.
    CSlickStateSkin& getStateSkin(State state)
    {
        CSlickStateSkin& stateSkin = m_stateSkins[checkState(state)];
        stateSkin.m_link.users = &m_users;
        return stateSkin;
    }
    const CSlickStateSkin& getStateSkin(State state) const { return m_stateSkins[checkState(state)]; }

    // Reads the skin resource that the resource manager finds for `path` over the present
    // values, its images at `imageFactor` (-1: the resource manager's screen factor). False
    // when there is no such file, and nothing changes. A bad imagePos, border or focusRect
    // value throws zil::CError (code -1); what was read before it stays.
    bool loadResource(const zil::Path& path, double imageFactor = -1.0);

    // The controls drawing from this skin; each is told once after a batch of changes.
    CSlickSkinUsers& getUsers() { return m_users; }
    const CSlickSkinUsers& getUsers() const { return m_users; }

private:
    template <class> friend class TSlickSkinCache;

    template <class T, class V> void set(T& field, const V& value)
    {
        field = value;
        m_users.changed();
    }

    void keepMissingPicturesOf(const TSlickSkinBase& previous)
    {
        for (size_t s = 0; s < m_stateSkins.size(); ++s)
            m_stateSkins[s].keepMissingPicturesOf(previous.m_stateSkins[s]);
    }

    static size_t checkState(State state);
    // One "name: argument" piece of a CSS-like border value, already lower-cased.
    void applyCssBorderDeclaration(const zil::String& declaration);

    ImagePos m_imagePos = ImageLeft;
    double m_contentHorzAlign = 0.5;
    double m_contentVertAlign = 0.5;
    Border m_borderType = BorderFlat;
    zil::CMargins m_borderWidths{1, 1, 1, 1};
    wxColour m_borderColor;
    wxPenStyle m_borderStyle = wxPENSTYLE_SOLID;
    zil::CMargins m_contentMargins{3, 3, 3, 3};
    zil::CMargins m_clientMargins{0, 0, 0, 0};
    zil::CMargins m_focusMargins;
    int m_imageTextSpace = 4;
    bool m_drawFocusRect = true;
    bool m_loadSuccessful = false;
    std::array<CSlickStateSkin, StateCount> m_stateSkins;
    CSlickSkinUsers m_users;
};

extern template class TSlickSkinBase<CSlickButtonIntermediate>;
extern template class TSlickSkinBase<CSlickCheckBoxIntermediate>;
extern template class TSlickSkinBase<CSlickRadioButtonIntermediate>;
extern template class TSlickSkinBase<CSlickOverlayIntermediate>;

using CSlickButtonSkin = TSlickSkinBase<CSlickButtonIntermediate>;
using CSlickCheckBoxSkin = TSlickSkinBase<CSlickCheckBoxIntermediate>;
using CSlickRadioButtonSkin = TSlickSkinBase<CSlickRadioButtonIntermediate>;
// Serves both the overlay and the non-overlay, which share their states.
using CSlickOverlaySkin = TSlickSkinBase<CSlickOverlayIntermediate>;

// Skins of the caches follow the desktop's dark preference: a skin file "button.ini" may have
// a dark variant "button.dark.ini" beside it, read over it while the desktop prefers dark.
// With live reloading on, they also follow their files: a change of the skin file, its dark
// variant, a picture it names or a picture's params file is read again soon after, at most
// every kMinReadIntervalMs per skin, and every control using the skin repaints. A file that
// no longer reads keeps the last good skin (logged once per fault); a picture deleted or
// damaged keeps the picture it had. Changes made in code to a cached skin are lost when it is
// read again. GUI thread only.
class CSlickLiveSkins {
public:
    static constexpr int kMinReadIntervalMs = 500;

    // Off unless switched on here or by ZILUI_LIVE_SKINS=1 in the environment, which is read
    // once, at the first use of a skin cache or of this class.
    static void setLiveReload(bool live);
    static bool getLiveReload();
    // What the library reads the desktop's preference as now.
    static bool getDesktopPrefersDark();
    // "skins/a/button.ini" -> "skins/a/button.dark.ini"; a name without extension gets ".dark".
    static zil::Path getDarkVariantPath(const zil::Path& path);

    // For tests and diagnostics: skin files read again since process start, and change notices
    // heard for the folders of cached skins.
    static uint64_t getReadCount();
    static uint64_t getNoticeCount();
    // Milliseconds of a steady clock that space the reads of one skin; null, the default,
    // reads the system's. For tests, which cannot wait for time to pass.
    using Clock = int64_t (*)();
    static void setClock(Clock clock);
};

// Binds one skin of a cache to its files and the dark preference; the cache makes one per
// skin and drops it with the skin's entry. GUI thread only.
class CSlickSkinLink {
public:
    // Reads `file`, then `dark` when not empty, into a new skin and puts it in place of the
    // linked one, which tells its users. Throws what the reading throws; the linked skin then
    // stays as it was.
    using Reload = std::function<void(const zil::Path& file, const zil::Path& dark)>;

    CSlickSkinLink(const zil::Path& path, Reload reload);
    ~CSlickSkinLink();
    CSlickSkinLink(const CSlickSkinLink&) = delete;
    CSlickSkinLink& operator=(const CSlickSkinLink&) = delete;

    // Runs the cache's first load of the skin, noting the files it reads, then reads the dark
    // variant over it when the desktop prefers dark. Errors of `load` pass through; those of
    // the dark variant are logged.
    void loadFirst(const std::function<void()>& load);

    // Kept in slick/liveskins.cpp.
    class CImpl;

private:
    std::unique_ptr<CImpl> m_impl;
};

// One shared skin per resource path, keyed by the path's text as the caller wrote it, so
// two spellings of one file give two skins. GUI thread only; no lock.
template <class Skin> class TSlickSkinCache : public zil::CBase {
public:
    // A path without a file caches a default skin whose getLoadSuccessful() is false. Errors
    // of loading pass through, and nothing is cached then.
    zil::P<Skin> getOrLoadSkin(const zil::Path& path)
    {
        auto found = m_skins.find(path.str());
        if (found != m_skins.end())
            return found->second;
        zil::P<Skin> skin(new Skin());
        auto link = std::make_unique<CSlickSkinLink>(
            path, [target = skin.get()](const zil::Path& file, const zil::Path& dark) {
                zil::P<Skin> fresh(new Skin());
                if (!fresh->loadResource(file))
                    throw zil::CError(L"The skin file '" + file.str() + L"' is gone.", zil::String(), -1);
                if (!dark.isEmpty())
                    fresh->loadResource(dark);
                fresh->keepMissingPicturesOf(*target);
                *target = *fresh;
            });
        link->loadFirst([&] { skin->loadResource(path); });
        m_skins[path.str()] = skin;
        m_links[path.str()] = std::move(link);
        return skin;
    }
    // Skins still held elsewhere stay valid, but no longer follow their files.
    void clear()
    {
        m_links.clear();
        m_skins.clear();
    }
    void dispose() { clear(); }

private:
    zil::TMap<zil::String, zil::P<Skin>> m_skins;
    zil::TMap<zil::String, std::unique_ptr<CSlickSkinLink>> m_links;
};

class CSlickButtonSkinCache : public TSlickSkinCache<CSlickButtonSkin> {
public:
    // Process-wide instance, created on first use.
    static zil::P<CSlickButtonSkinCache> get();
    // Empties the process-wide instance, which itself stays.
    static void disposeGlobalInstance();
};

class CSlickCheckBoxSkinCache : public TSlickSkinCache<CSlickCheckBoxSkin> {
public:
    static zil::P<CSlickCheckBoxSkinCache> get();
    static void disposeGlobalInstance();
};

class CSlickRadioButtonSkinCache : public TSlickSkinCache<CSlickRadioButtonSkin> {
public:
    static zil::P<CSlickRadioButtonSkinCache> get();
    static void disposeGlobalInstance();
};

class CSlickOverlaySkinCache : public TSlickSkinCache<CSlickOverlaySkin> {
public:
    static zil::P<CSlickOverlaySkinCache> get();
    static void disposeGlobalInstance();
};

} // namespace zilui
