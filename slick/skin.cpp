// SPDX-License-Identifier: MIT
#include <zilui/slick/skin.h>

#include "liveskins.h"

#include <zilui/app/streams.h>
#include <zilui/app/strings.h>
#include <zilui/graphics/resourcemanager.h>

#include <zil/error.h>

#include <wx/app.h>
#include <wx/fileconf.h>
#include <wx/tokenzr.h>

#include <iterator>
#include <limits>

namespace zilui {

namespace {

bool readString(wxConfigBase& config, const zil::String& key, zil::String& value)
{
    wxString text;
    if (!config.Read(key, &text))
        return false;
    value = fromWX(text);
    return true;
}

[[noreturn]] void throwInvalidValue(const wchar_t* key, const zil::String& value)
{
    throw zil::CError(zil::String(L"Invalid value for '") + key + L"': '" + value + L"'.", zil::String(), -1);
}

// For values that parse but make no sense for a control; `rule` says what is allowed.
[[noreturn]] void throwOutOfRange(const zil::String& key, const zil::Path& file, const zil::String& value,
                                  const wchar_t* rule)
{
    zil::CError e(L"Invalid value for '" + key + L"' in '" + file.str() + L"': '" + value + L"' (" + rule +
                      L").",
                  zil::String(), -1);
    e.setProp(L"path", file.str());
    e.setProp(L"key", key);
    throw e;
}

// Sides beyond this are no margin a screen can show, and sums of them and a size would
// overflow an int in layout.
constexpr int32_t kMarginLimit = 100000;

} // namespace

CSlickSkinUser::~CSlickSkinUser()
{
    if (m_users)
        m_users->remove(this);
}

CSlickSkinUsers::~CSlickSkinUsers()
{
    if (m_queued)
        *m_queued = nullptr;
    while (m_first)
        remove(m_first);
}

void CSlickSkinUsers::add(CSlickSkinUser* user)
{
    if (!user || user->m_users == this)
        return;
    if (user->m_users)
        user->m_users->remove(user);
    // At the front: a user that joins during a walk already draws from the changed skin.
    user->m_users = this;
    user->m_prev = nullptr;
    user->m_next = m_first;
    if (m_first)
        m_first->m_prev = user;
    m_first = user;
    ++m_count;
}

void CSlickSkinUsers::remove(CSlickSkinUser* user)
{
    if (!user || user->m_users != this)
        return;
    if (m_cursor == user)
        m_cursor = user->m_next;
    (user->m_prev ? user->m_prev->m_next : m_first) = user->m_next;
    if (user->m_next)
        user->m_next->m_prev = user->m_prev;
    user->m_users = nullptr;
    user->m_prev = user->m_next = nullptr;
    --m_count;
}

void CSlickSkinUsers::changed()
{
    if (!m_first || m_queued)
        return;
    if (!wxTheApp) {
        notify();
        return;
    }
    m_queued = std::make_shared<CSlickSkinUsers*>(this);
    wxTheApp->CallAfter([queued = m_queued] {
        if (CSlickSkinUsers* users = *queued)
            users->notify();
    });
}

void CSlickSkinUsers::notify()
{
    if (m_queued) {
        *m_queued = nullptr;
        m_queued.reset();
    }
    // A handler that runs the event loop may reach a queued change of this skin: it comes
    // after this walk instead of inside it.
    if (m_walking) {
        changed();
        return;
    }
    m_walking = true;
    m_cursor = m_first;
    try {
        while (CSlickSkinUser* user = m_cursor) {
            m_cursor = user->m_next;
            user->skinChanged();
        }
    } catch (...) {
        m_walking = false;
        m_cursor = nullptr;
        throw;
    }
    m_walking = false;
}

void CSlickStateSkin::loadFromConfig(wxConfigBase& config, const zil::String& prefix, double imageFactor,
                                     const zil::Path& file)
{
    zil::String value;
    const std::pair<const wchar_t*, zil::P<IScalingImage>*> images[] = {
        {L"underlay", &m_underlayImage}, {L"overlay", &m_overlayImage}, {L"overlay2", &m_overlay2Image}};
    for (size_t i = 0; i < std::size(images); ++i) {
        const auto& [key, image] = images[i];
        if (readString(config, prefix + key, value)) {
            *image = CResourceManager::get()->loadScalingImageByTitle(value, imageFactor);
            m_missingPictures[i] = !*image;
            live::notePicture(value, imageFactor);
        }
    }

    const std::pair<const wchar_t*, wxColour*> colors[] = {{L"textColor", &m_textColor},
                                                           {L"textHaloColor", &m_textHaloColor},
                                                           {L"backColor", &m_backgroundColor}};
    for (const auto& [key, color] : colors) {
        if (readString(config, prefix + key, value))
            *color = wxColour(wxString(value));
    }

    zil::String bottom;
    if (readString(config, prefix + L"backTopColor", value) &&
        readString(config, prefix + L"backBottomColor", bottom))
        m_backgroundGradient = new CLinearGradient(wxColour(wxString(value)), wxColour(wxString(bottom)));

    const wxString seeThroughKey = prefix + L"seeThrough";
    if (config.HasEntry(seeThroughKey))
        config.Read(seeThroughKey, &m_seeThrough);
    double opacity = m_imageOpacity;
    readDouble(config, prefix + L"imageOpacity", opacity);
    if (!(opacity >= 0.0 && opacity <= 1.0))
        throwOutOfRange(prefix + L"imageOpacity", file, fromWX(config.Read(prefix + L"imageOpacity")).Trim(),
                        L"a number from 0 to 1");
    m_imageOpacity = opacity;

    for (int i = 0;; ++i) {
        zil::String key = prefix + L"textStyle";
        if (i > 0)
            key += zil::toString(int64_t(i + 1));
        if (!readString(config, key, value))
            break;
        m_textLineStyles.push_back(CTextStyle::fromCSSString(value));
    }
}

void CSlickStateSkin::keepMissingPicturesOf(const CSlickStateSkin& previous)
{
    zil::P<IScalingImage>* const mine[] = {&m_underlayImage, &m_overlayImage, &m_overlay2Image};
    const zil::P<IScalingImage>* const theirs[] = {&previous.m_underlayImage, &previous.m_overlayImage,
                                                   &previous.m_overlay2Image};
    for (size_t i = 0; i < std::size(mine); ++i)
        if (m_missingPictures[i] && *theirs[i])
            *mine[i] = *theirs[i];
}

void CSlickStateSkin::readDouble(wxConfigBase& config, const zil::String& key, double& value)
{
    zil::String text;
    if (readString(config, key, text))
        value = zil::parseSimpleDouble(text.Trim());
}

int parseCssBorderWidth(const zil::String& text)
{
    if (text.isSameNoCase(L"thin"))
        return 1;
    if (text.isSameNoCase(L"medium"))
        return 3;
    if (text.isSameNoCase(L"thick"))
        return 5;
    zil::String number = text.Lower().Trim();
    if (!number.EndsWith(L"px"))
        return 0;
    number.Replace(L"px", L"");
    try {
        int64_t width = zil::parseInt64(number);
        if (width < std::numeric_limits<int>::min() || width > std::numeric_limits<int>::max())
            return 0;
        return static_cast<int>(width);
    } catch (const zil::CParseError&) {
        return 0;
    }
}

template <class Intermediate> size_t TSlickSkinBase<Intermediate>::checkState(State state)
{
    const int value = static_cast<int>(state);
    if (value < 0 || value >= StateCount)
        throw zil::CInvalidArgError(L"Invalid state value: " + zil::toString(int64_t(value)),
                                    L"TSlickSkinBase::getStateSkin");
    return static_cast<size_t>(value);
}

template <class Intermediate>
bool TSlickSkinBase<Intermediate>::loadResource(const zil::Path& path, double imageFactor)
{
    const zil::Path file = CResourceManager::get()->findResource(path);
    if (file.isEmpty())
        return false;

    // Also when a bad value stops the reading half-way: what was read before it stays.
    m_users.changed();
    const std::unique_ptr<wxFileConfig> configFile = readConfigFile(file, L"TSlickSkinBase::loadResource");
    wxFileConfig& config = *configFile;

    for (int s = 0; s < StateCount; ++s) {
        const State state = static_cast<State>(s);
        CSlickStateSkin& stateSkin = getStateSkin(state);
        stateSkin.loadFromConfig(config, L"all.", imageFactor, file);
        stateSkin.loadFromConfig(config, Intermediate::getStateName(state) + L".", imageFactor, file);
    }

    zil::String value;
    if (readString(config, L"imagePos", value)) {
        value = value.Lower();
        if (value == L"left")
            m_imagePos = ImageLeft;
        else if (value == L"right")
            m_imagePos = ImageRight;
        else if (value == L"top")
            m_imagePos = ImageTop;
        else if (value == L"bottom")
            m_imagePos = ImageBottom;
        else
            throwInvalidValue(L"imagePos", value);
    }

    CSlickStateSkin::readDouble(config, L"contentHorzAlign", m_contentHorzAlign);
    CSlickStateSkin::readDouble(config, L"contentVertAlign", m_contentVertAlign);

    if (readString(config, L"border", value)) {
        value = value.Lower();
        if (value == L"none" || value == L"none;") {
            m_borderType = BorderNone;
        } else if (value == L"flat" || value == L"flat;") {
            m_borderType = BorderFlat;
            m_borderWidths = zil::CMargins(1);
            m_borderColor = wxSystemSettings::GetColour(wxSYS_COLOUR_3DDKSHADOW);
            m_borderStyle = wxPENSTYLE_SOLID;
        } else if (value.Contains(L";")) {
            m_borderType = BorderCss;
            m_borderWidths = zil::CMargins(1);
            m_borderStyle = wxPENSTYLE_SOLID;
            size_t start = 0;
            while (start <= value.size()) {
                size_t end = value.find(L';', start);
                if (end == zil::String::npos)
                    end = value.size();
                applyCssBorderDeclaration(value.Mid(start, end - start).Trim());
                start = end + 1;
            }
        } else {
            throwInvalidValue(L"border", value);
        }
    }

    const std::pair<const wchar_t*, zil::CMargins*> margins[] = {{L"contentMargins", &m_contentMargins},
                                                                 {L"clientMargins", &m_clientMargins},
                                                                 {L"focusMargins", &m_focusMargins}};
    for (const auto& [key, field] : margins) {
        if (!readString(config, key, value))
            continue;
        const zil::CMargins parsed = zil::CMargins::parseString(value);
        for (const int32_t side : {parsed.left, parsed.top, parsed.right, parsed.bottom})
            if (side < -kMarginLimit || side > kMarginLimit)
                throwOutOfRange(key, file, value, L"each side from -100000 to 100000");
        *field = parsed;
    }

    if (readString(config, L"imageTextSpace", value)) {
        const int64_t space = zil::parseInt64(value.Trim());
        if (space < std::numeric_limits<int>::min() || space > std::numeric_limits<int>::max())
            throw zil::CParseError(L"Number out of range: '" + value.Trim() + L"'.",
                                   L"TSlickSkinBase::loadResource");
        m_imageTextSpace = static_cast<int>(space);
    }

    if (readString(config, L"focusRect", value)) {
        value = value.Lower();
        if (value == L"simple")
            m_drawFocusRect = true;
        else if (value == L"none")
            m_drawFocusRect = false;
        else
            throwInvalidValue(L"focusRect", value);
    } else {
        m_drawFocusRect = true;
    }

    m_loadSuccessful = true;
    return true;
}

template <class Intermediate>
void TSlickSkinBase<Intermediate>::applyCssBorderDeclaration(const zil::String& declaration)
{
    const size_t colon = declaration.find(L':');
    if (declaration.empty() || colon == zil::String::npos)
        return;
    const zil::String name = declaration.Left(colon).Trim();
    const zil::String argument = declaration.Mid(colon + 1).Trim();
    if (name == L"border-width") {
        const wxArrayString parts = wxStringTokenize(toWX(argument), " \t", wxTOKEN_STRTOK);
        if (parts.size() <= 1) {
            m_borderWidths = zil::CMargins(parseCssBorderWidth(argument));
        } else if (parts.size() <= 4) {
            int32_t widths[4] = {0, 0, 0, 0};
            for (size_t i = 0; i < parts.size(); ++i)
                widths[i] = parseCssBorderWidth(fromWX(parts[i]).Trim());
            m_borderWidths = zil::CMargins(widths[0], widths[1], widths[2], widths[3]);
        }
    } else if (name == L"border-style") {
        if (argument == L"none" || argument == L"hidden")
            m_borderWidths = zil::CMargins(0);
        else if (argument == L"solid")
            m_borderStyle = wxPENSTYLE_SOLID;
        else if (argument == L"dotted")
            m_borderStyle = wxPENSTYLE_DOT;
        else if (argument == L"dashed")
            m_borderStyle = wxPENSTYLE_SHORT_DASH;
    } else if (name == L"border-color") {
        if (argument.StartsWith(L"#"))
            m_borderColor = wxColour(wxString(argument));
    }
}

template class TSlickSkinBase<CSlickButtonIntermediate>;
template class TSlickSkinBase<CSlickCheckBoxIntermediate>;
template class TSlickSkinBase<CSlickRadioButtonIntermediate>;
template class TSlickSkinBase<CSlickOverlayIntermediate>;

namespace {

template <class Cache> zil::CSafeGlobalSlot<Cache>& cacheSlot()
{
    static zil::CSafeGlobalSlot<Cache> slot;
    return slot;
}

template <class Cache> void disposeCache()
{
    if (zil::P<Cache> cache = cacheSlot<Cache>().peek())
        cache->dispose();
}

} // namespace

zil::P<CSlickButtonSkinCache> CSlickButtonSkinCache::get()
{
    return cacheSlot<CSlickButtonSkinCache>().use();
}
void CSlickButtonSkinCache::disposeGlobalInstance()
{
    disposeCache<CSlickButtonSkinCache>();
}
zil::P<CSlickCheckBoxSkinCache> CSlickCheckBoxSkinCache::get()
{
    return cacheSlot<CSlickCheckBoxSkinCache>().use();
}
void CSlickCheckBoxSkinCache::disposeGlobalInstance()
{
    disposeCache<CSlickCheckBoxSkinCache>();
}
zil::P<CSlickRadioButtonSkinCache> CSlickRadioButtonSkinCache::get()
{
    return cacheSlot<CSlickRadioButtonSkinCache>().use();
}
void CSlickRadioButtonSkinCache::disposeGlobalInstance()
{
    disposeCache<CSlickRadioButtonSkinCache>();
}
zil::P<CSlickOverlaySkinCache> CSlickOverlaySkinCache::get()
{
    return cacheSlot<CSlickOverlaySkinCache>().use();
}
void CSlickOverlaySkinCache::disposeGlobalInstance()
{
    disposeCache<CSlickOverlaySkinCache>();
}

} // namespace zilui
