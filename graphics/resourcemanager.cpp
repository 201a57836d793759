// SPDX-License-Identifier: MIT
#include <zilui/graphics/resourcemanager.h>

#include "resolutionvariants.h"
#include "svgpicture.h"

#include <zilui/app/datafolder.h>
#include <zilui/app/strings.h>

#include <zil/error.h>
#include <zil/folderlisting.h>
#include <zil/folderwatch.h>
#include <zil/log.h>
#include <zil/process.h>

#include <wx/dcscreen.h>
#include <wx/display.h>
#include <wx/thread.h>

#include <cmath>
#include <cstdio>
#include <iterator>
#include <map>
#include <string_view>

namespace zilui {

namespace {

struct CBaseFolderOverride : public zil::CBase {
    zil::String path;
};

zil::CSafeGlobalSlot<CBaseFolderOverride>& overrideSlot()
{
    static zil::CSafeGlobalSlot<CBaseFolderOverride> slot;
    return slot;
}

zil::CSafeGlobalSlot<CResourceManager>& instanceSlot()
{
    static zil::CSafeGlobalSlot<CResourceManager> slot;
    return slot;
}

// The cache's entry for `key`, made by `load` on a miss; called with the manager's mutex held.
template <class Map, class Load>
const typename Map::mapped_type& cachedEntry(Map& cache, typename Map::key_type key, Load&& load)
{
    auto found = cache.find(key);
    if (found != cache.end())
        return found->second;
    return cache.emplace(std::move(key), load()).first->second;
}

wxString formatFactor(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%f", value);
    return wxString(text);
}

} // namespace

// A title asked for before is answered from m_bitmapsByTitle while no change notice has
// arrived for the folders searched: the common case of every paint makes no system call.
class CResourceManager::CCaches {
public:
    struct TitleKey {
        std::wstring_view title;
        double factor;
    };
    struct OwnedTitleKey {
        zil::String title;
        double factor;
        OwnedTitleKey(const TitleKey& key) : title(key.title), factor(key.factor) {}
    };
    struct TitleLess {
        using is_transparent = void;
        template <class A, class B> bool operator()(const A& a, const B& b) const
        {
            return a.factor != b.factor ? a.factor < b.factor : std::wstring_view(a.title) < std::wstring_view(b.title);
        }
    };
    struct TitledBitmap {
        // zil::CFolderWatch::getNoticeCount() before the search that found `path`.
        uint64_t generation = 0;
        zil::Path path;
        wxBitmap bitmap;
    };

    // The image cache's entry for (path, factor), loaded on a miss; called with the mutex held.
    const wxImage& imageLocked(const zil::Path& path, double foundFactor, double factor);
    void refuseVector(const zil::Path& path, const zil::CError& error);
    // The image cache's entry for `path` that `manager` found by `title`; a vector picture that
    // cannot be rendered is logged, passed over from now on, and `path` and `found` move to the
    // raster variant found instead. Called with the mutex held.
    const wxImage& pictureLocked(CResourceManager& manager, const zil::String& title, zil::Path& path,
                                 double& found, double factor, bool* watched);
    void clear();

    zil::CMutex mutex;
    zil::TArray<zil::Path> resourceFolders;
    zil::TMap<CachedImageKey, zil::P<IScalingImage>> scalingImages;
    zil::TMap<CachedImageKey, wxAnimation> animations;
    zil::TMap<CachedImageKey, wxBitmap> bitmaps;
    std::map<OwnedTitleKey, TitledBitmap, TitleLess> bitmapsByTitle;
    zil::TMap<CachedImageKey, wxImage> images;
    zil::TMap<zil::String, wxIcon> icons;
    // Vector pictures that could not be rendered, by path: lookups pass them over for the
    // raster variants beside them, and the reason is logged once.
    zil::TSet<zil::String> refusedVectors;
};

namespace {

// Loads and rescales as loadImageByTitle does; a vector picture is rendered at `factor` and
// throws zil::CError when it cannot be.
wxImage loadImageFile(const zil::Path& path, double foundFactor, double factor)
{
    if (variants::isVector(path.str()))
        return svg::renderFile(path, factor);
    wxImage image;
    if (!path.isEmpty() && image.LoadFile(toWX(path.str()), wxBITMAP_TYPE_ANY, -1) &&
        variants::needToScale(foundFactor, factor)) {
        const double scale = factor / foundFactor;
        image.Rescale(int(std::ceil(image.GetWidth() * scale)), int(std::ceil(image.GetHeight() * scale)),
                      wxIMAGE_QUALITY_HIGH);
    }
    return image;
}

// wxWidgets counts an image's references without atomics: a copy sharing the cached pixels
// would be released outside the mutex, racing with the next lookup's copy. Only the main
// thread shares them; another thread gets pixels of its own.
wxImage handOut(const wxImage& cached)
{
    return wxThread::IsMain() ? cached : cached.Copy();
}

// The best variant of `title` + `extension` in a folder listed just now; bad suffixes are
// logged and skipped.
zil::Path findBestVariantIn(const zil::CFolderListing& listing, const zil::Path& folder, std::wstring_view title,
                            std::wstring_view extension, double requestedFactor, double* foundFactor)
{
    zil::TArray<const zil::String*> bad;
    const variants::Variant best = variants::pickBest(listing.names, title, extension, requestedFactor, &bad);
    for (const zil::String* name : bad) {
        double factor;
        try {
            variants::splitFactor(name->substr(0, variants::titleLength(*name)), factor);
        } catch (const std::exception& e) {
            zil::logError(e, L"Invalid resolution factor suffix in file name. Ignoring file: " +
                                 listing.entryPath(folder, *name).str());
        }
    }
    if (foundFactor)
        *foundFactor = best.factor;
    return best.name ? listing.entryPath(folder, *best.name) : zil::Path();
}

} // namespace

static_assert(CResourceManager::kMinResolutionFactor == variants::kMinFactor &&
              CResourceManager::kMaxResolutionFactor == variants::kMaxFactor);

const wxImage& CResourceManager::CCaches::imageLocked(const zil::Path& path, double foundFactor, double factor)
{
    return cachedEntry(images, CachedImageKey(path.str(), factor), [&] {
        try {
            return loadImageFile(path, foundFactor, factor);
        } catch (const zil::CError& e) {
            refuseVector(path, e);
            return wxImage();
        }
    });
}

void CResourceManager::CCaches::refuseVector(const zil::Path& path, const zil::CError& error)
{
    if (refusedVectors.insert(path.str()).second)
        zil::logError(error, L"Using the raster variants of '" + path.str() + L"' instead, if there are any.");
}

void CResourceManager::CCaches::clear()
{
    scalingImages.clear();
    animations.clear();
    bitmaps.clear();
    bitmapsByTitle.clear();
    images.clear();
    icons.clear();
    refusedVectors.clear();
}

CResourceManager::CResourceManager() : m_caches(new CCaches())
{
    const wxSize ppi = wxScreenDC().GetPPI();
    if (ppi.y > 0)
        m_defaultResolutionFactor = ppi.y / 96.0;
    if (wxDisplay::GetCount() > 0 && wxDisplay(0u).GetScaleFactor() > 0)
        m_displayScaleFactor = wxDisplay(0u).GetScaleFactor();

    const zil::String override = getResourceBaseFolderOverrideRef();
    if (!override.isEmpty()) {
        m_resourceBaseFolder = zil::Path(override);
    } else {
        zil::Path exeFolder;
        try {
            exeFolder = zil::Path(zil::CProcess::getOwnExecutablePath()).getParent();
        } catch (const zil::CError& e) {
            zil::logError(e, L"Cannot locate the resource folder beside the executable.");
        }
        // bin/app -> bin/../res, or one level further up for builds that nest the binaries.
        if (!exeFolder.isEmpty()) {
            const zil::Path res(L"res");
            const zil::Path up = exeFolder.getParent();
            if (zil::folderExists(up / res))
                m_resourceBaseFolder = up / res;
            else if (zil::folderExists(up.getParent() / res))
                m_resourceBaseFolder = up.getParent() / res;
        }
    }
    if (!m_resourceBaseFolder.isEmpty()) {
        m_resourceBaseFolder = m_resourceBaseFolder.normalize();
        m_caches->resourceFolders.push_back(m_resourceBaseFolder);
    }
    // The library's own resources and sample skins, searched after everything else; not a
    // base folder, which is the program's.
    const zil::Path library = getLibraryDataPath();
    if (!library.isEmpty()) {
        const zil::Path libraryResources = (library / zil::Path(L"res")).normalize();
        if (libraryResources != m_resourceBaseFolder && zil::folderExists(libraryResources))
            m_caches->resourceFolders.insert(m_caches->resourceFolders.begin(), libraryResources);
    }
}

CResourceManager::~CResourceManager() = default;

const zil::P<CResourceManager>& CResourceManager::get()
{
    return instanceSlot().use();
}

void CResourceManager::setResourceBaseFolder(const zil::Path& path)
{
    getResourceBaseFolderOverrideRef() = path.str();
}

zil::String& CResourceManager::getResourceBaseFolderOverrideRef()
{
    return overrideSlot().use()->path;
}

void CResourceManager::disposeResourceBaseFolderOverride()
{
    // The override is read only at construction and is small: nothing to give back early.
}

void CResourceManager::disposeGlobalInstance()
{
    if (zil::P<CResourceManager> instance = instanceSlot().peek())
        instance->dispose();
}

size_t CResourceManager::getFolderWalkCount()
{
    return zil::CFolderListingCache::shared().getWalkCount();
}

bool CResourceManager::needToScaleImage(double available, double requested)
{
    return variants::needToScale(available, requested);
}

int CResourceManager::compareResolutionVariants(double a, double b, double requested)
{
    return variants::compare(a, b, requested);
}

void CResourceManager::splitFileName(const zil::String& name, zil::String& title, zil::String& extension)
{
    const size_t length = variants::titleLength(name);
    title = name.substr(0, length);
    extension = name.substr(length);
}

zil::String CResourceManager::extractResolutionFactorFromFileTitle(const zil::String& title, double& factor)
{
    return variants::splitFactor(title, factor);
}

zil::Path CResourceManager::findBestResolutionVariantOfFile(const zil::Path& path, double requestedFactor,
                                                            double* foundFactor)
{
    const zil::Path folder = path.getParent();
    if (folder.isEmpty())
        throw zil::CError(L"Error: CResourceManager::getBestResolutionVariant called with relative path: " +
                              path.str(),
                          zil::String(), -1);
    zil::String title, extension;
    splitFileName(path.getFileName(), title, extension);
    std::shared_ptr<const zil::CFolderListing> listing = zil::CFolderListingCache::shared().get(folder, true);
    return findBestVariantIn(*listing, folder, title, extension, requestedFactor, foundFactor);
}

void CResourceManager::addResourceFolder(const zil::Path& path)
{
    zil::CMutexLock lock(m_caches->mutex);
    m_caches->resourceFolders.push_back(path);
    m_caches->bitmapsByTitle.clear();
}

zil::Path CResourceManager::getResourceBaseFolder()
{
    if (m_resourceBaseFolder.isEmpty())
        throw zil::CError(L"Resource base folder not found.", L"CResourceManager::getResourceBaseFolder");
    return m_resourceBaseFolder;
}

zil::Path CResourceManager::findResource(const zil::Path& relativePath)
{
    zil::CMutexLock lock(m_caches->mutex);
    const zil::TArray<zil::Path>& folders = m_caches->resourceFolders;
    // Even an absolute path is looked at only when there is a resource folder.
    const bool asItIs = relativePath.isEmpty() || relativePath.isAbsolute();
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        const zil::Path candidate =
            asItIs ? relativePath
                   : (folder->isEmpty() ? zil::Path(zil::getCurrentWorkDirectoryAsString()) : *folder) / relativePath;
        if (zil::pathExists(candidate))
            return candidate;
    }
    return zil::Path();
}

zil::Path CResourceManager::findResourceByTitle(const zil::String& title, const zil::String& preferredExtension,
                                                double factor, double* foundFactor)
{
    return findResourceByTitle(title, preferredExtension, factor, foundFactor, nullptr);
}

zil::Path CResourceManager::findResourceByTitle(const zil::String& title, const zil::String& preferredExtension,
                                                double factor, double* foundFactor, bool* watched)
{
    zil::CMutexLock lock(m_caches->mutex);
    factor = resolveFactor(factor);
    const size_t slash = title.rfind(L'/');
    const zil::Path subfolder(slash == zil::String::npos ? zil::String() : title.substr(0, slash));
    const std::wstring_view name =
        slash == zil::String::npos ? std::wstring_view(title) : std::wstring_view(title).substr(slash + 1);

    // The match so far: a name in `resultListing`, which keeps it alive.
    const zil::String* result = nullptr;
    std::shared_ptr<const zil::CFolderListing> resultListing;
    zil::Path resultFolder;
    zil::Path joined;
    const zil::TArray<zil::Path>& folders = m_caches->resourceFolders;
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        const zil::Path& folder = subfolder.isEmpty() ? *it : (joined = *it / subfolder);
        std::shared_ptr<const zil::CFolderListing> listing =
            zil::CFolderListingCache::shared().get(folder, false, watched);
        if (!listing)
            continue;
        const zil::String* match = variants::pickByTitle(listing->names, name, preferredExtension, result);
        if (match != result) {
            result = match;
            resultListing = listing;
            resultFolder = folder;
        }
        if (result && (preferredExtension.isEmpty() ||
                       std::wstring_view(*result).substr(variants::titleLength(*result)) == preferredExtension))
            break;
    }
    if (!result) {
        if (foundFactor)
            *foundFactor = -1.0;
        return zil::Path();
    }
    // The folder was listed just now; its listing serves the variant search as well.
    const std::wstring_view extension = std::wstring_view(*result).substr(variants::titleLength(*result));
    if (!preferredExtension.isEmpty() && !variants::isVector(*result))
        return findBestVariantIn(*resultListing, resultFolder, name, extension, factor, foundFactor);

    // A vector picture serves every factor exactly; a raster variant drawn for exactly this
    // factor is kept, being what its author made for it.
    const zil::String* vector = variants::pickKindByTitle(resultListing->names, name, true);
    zil::Path vectorPath;
    if (vector) {
        vectorPath = resultListing->entryPath(resultFolder, *vector);
        if (m_caches->refusedVectors.count(vectorPath.str()))
            vectorPath = zil::Path();
    }
    zil::Path rasterPath;
    double rasterFactor = -1.0;
    if (const zil::String* raster = variants::pickKindByTitle(resultListing->names, name, false))
        rasterPath = findBestVariantIn(*resultListing, resultFolder, name,
                                       std::wstring_view(*raster).substr(variants::titleLength(*raster)), factor,
                                       &rasterFactor);
    const bool useVector = !vectorPath.isEmpty() && (rasterPath.isEmpty() || rasterFactor != factor);
    if (foundFactor)
        *foundFactor = useVector ? factor : rasterFactor;
    return useVector ? vectorPath : rasterPath;
}

// Paths from the find operations are normalised already (every entry path is), so the load
// operations use them as they are.

zil::Path CResourceManager::findForLoad(const zil::String& title, double& factor, double& foundFactor,
                                        zil::Path* foundPath)
{
    factor = resolveFactor(factor);
    foundFactor = -1.0;
    zil::Path path = findResourceByTitle(title, zil::String(), factor, &foundFactor);
    if (foundPath)
        *foundPath = path;
    return path;
}

wxImage CResourceManager::loadImageByTitle(const zil::String& title, zil::Path* foundPath, double factor)
{
    double found;
    zil::Path path = findForLoad(title, factor, found, foundPath);
    zil::CMutexLock lock(m_caches->mutex);
    const wxImage& image = m_caches->pictureLocked(*this, title, path, found, factor, nullptr);
    if (foundPath)
        *foundPath = path;
    return handOut(image);
}

const wxImage& CResourceManager::CCaches::pictureLocked(CResourceManager& manager, const zil::String& title,
                                                        zil::Path& path, double& found, double factor, bool* watched)
{
    const wxImage& image = imageLocked(path, found, factor);
    if (image.IsOk() || !refusedVectors.count(path.str()))
        return image;
    path = manager.findResourceByTitle(title, zil::String(), factor, &found, watched);
    return imageLocked(path, found, factor);
}

wxBitmap CResourceManager::loadBitmapByTitle(const zil::String& title, zil::Path* foundPath, double factor)
{
    factor = resolveFactor(factor);
    zil::CMutexLock lock(m_caches->mutex);
    auto& byTitle = m_caches->bitmapsByTitle;
    const auto hit = byTitle.find(CCaches::TitleKey{title, factor});
    if (hit != byTitle.end() && hit->second.generation == zil::CFolderWatch::getNoticeCount()) {
        if (foundPath)
            *foundPath = hit->second.path;
        return hit->second.bitmap;
    }
    // Read before the search, so that a notice arriving during it makes the result stale.
    const uint64_t generation = zil::CFolderWatch::getNoticeCount();
    bool watched = true;
    double found = -1.0;
    zil::Path path = findResourceByTitle(title, zil::String(), factor, &found, &watched);
    auto cached = m_caches->bitmaps.find(CachedImageKey(path.str(), factor));
    if (cached == m_caches->bitmaps.end()) {
        // A vector picture that cannot be rendered gives way to the raster variants: the
        // bitmap is cached under the path finally used.
        const wxImage& image = m_caches->pictureLocked(*this, title, path, found, factor, &watched);
        cached = m_caches->bitmaps.find(CachedImageKey(path.str(), factor));
        if (cached == m_caches->bitmaps.end())
            cached = m_caches->bitmaps
                         .emplace(CachedImageKey(path.str(), factor),
                                  image.IsOk() ? wxBitmap(image, -1, getBitmapScaleFactor(factor)) : wxBitmap())
                         .first;
    }
    if (foundPath)
        *foundPath = path;
    const wxBitmap bitmap = cached->second;
    if (watched)
        byTitle[CCaches::TitleKey{title, factor}] = CCaches::TitledBitmap{generation, path, bitmap};
    else if (hit != byTitle.end())
        byTitle.erase(hit);
    return bitmap;
}

wxIcon CResourceManager::loadIconByTitle(const zil::String& title, int width, int height, zil::Path* foundPath)
{
    const zil::Path path = findResourceByTitle(title, L".ico", m_defaultResolutionFactor);
    if (foundPath)
        *foundPath = path;
    const zil::String key = path.str() + L"-" + zil::toString(int64_t(width)) + L"x" + zil::toString(int64_t(height));
    zil::CMutexLock lock(m_caches->mutex);
    return cachedEntry(m_caches->icons, key, [&] {
        wxIcon icon;
        if (!path.isEmpty())
            icon.LoadFile(toWX(path.str()), wxBITMAP_TYPE_ICO, width, height);
        return icon;
    });
}

wxAnimation CResourceManager::loadAnimationByTitle(const zil::String& title, zil::Path* foundPath, double factor)
{
    double found;
    const zil::Path path = findForLoad(title, factor, found, foundPath);
    zil::CMutexLock lock(m_caches->mutex);
    return cachedEntry(m_caches->animations, CachedImageKey(path.str(), factor), [&] {
        wxAnimation animation;
        if (!path.isEmpty()) {
            animation.LoadFile(toWX(path.str()), wxANIMATION_TYPE_ANY);
            if (needToScaleImage(found, factor))
                zil::logWarning(fromWX(wxString(L"Would need to scale animation '") + toWX(path.getFileName()) +
                                       L"' by factor " + formatFactor(factor / found) +
                                       L", but that is not supported. Using animation as is."));
        }
        return animation;
    });
}

zil::P<IScalingImage> CResourceManager::loadScalingImageByTitle(const zil::String& title, double factor)
{
    double found;
    zil::Path path = findForLoad(title, factor, found, nullptr);
    if (path.isEmpty())
        return nullptr;
    zil::CMutexLock lock(m_caches->mutex);
    return cachedEntry(m_caches->scalingImages, CachedImageKey(path.str(), factor), [&] {
        zil::P<IScalingImage> image;
        // A vector picture is rendered whole at `factor` and then cut, so its corners are drawn
        // for this screen; one that cannot be rendered gives way to the raster variants.
        for (int attempt = 0; attempt < 2 && !path.isEmpty(); ++attempt) {
            const double target = needToScaleImage(found, factor) ? factor : found;
            try {
                image = CCompositeScalingImage::load(path, found, target);
                break;
            } catch (const zil::CError& e) {
                if (!variants::isVector(path.str())) {
                    // Like the other loads, a damaged file gives an empty result that is
                    // cached, so a skin layer naming it stays empty instead of the whole skin
                    // failing.
                    zil::logError(e, L"Cannot load scaling image '" + path.str() + L"'. Ignoring.");
                    break;
                }
                m_caches->refuseVector(path, e);
                path = findResourceByTitle(title, zil::String(), factor, &found, nullptr);
            }
        }
        return image;
    });
}

wxImage CResourceManager::loadAndScaleImage(const zil::Path& path, double factor)
{
    factor = resolveFactor(factor);
    double found = 1.0;
    const zil::Path variant = findBestResolutionVariantOfFile(path, factor, &found).normalize();
    zil::CMutexLock lock(m_caches->mutex);
    return handOut(m_caches->imageLocked(variant, found, factor));
}

void CResourceManager::dispose()
{
    zil::CMutexLock lock(m_caches->mutex);
    m_caches->clear();
}

zil::String CResourceManager::getPictureStem(const zil::String& fileName)
{
    zil::String stem = fileName.substr(0, variants::titleLength(fileName));
    const size_t at = stem.rfind(L'@');
    if (at != zil::String::npos)
        stem = stem.substr(0, at);
    static const std::wstring_view kParams = L"_params";
    if (stem.size() > kParams.size() && std::wstring_view(stem).substr(stem.size() - kParams.size()) == kParams)
        stem = stem.substr(0, stem.size() - kParams.size());
    return stem;
}

void CResourceManager::forgetFile(const zil::Path& file)
{
    const zil::Path folder = file.getParent();
    const zil::String stem = getPictureStem(file.getFileName());
    const auto matches = [&](const zil::String& path) {
        const zil::Path candidate(path);
        return candidate.getParent() == folder && getPictureStem(candidate.getFileName()) == stem;
    };
    const auto sweep = [&](auto& cache, auto pathOf) {
        for (auto it = cache.begin(); it != cache.end();)
            it = matches(pathOf(*it)) ? cache.erase(it) : std::next(it);
    };
    const auto byKey = [](const auto& entry) { return entry.first.path; };
    zil::CMutexLock lock(m_caches->mutex);
    sweep(m_caches->scalingImages, byKey);
    sweep(m_caches->animations, byKey);
    sweep(m_caches->bitmaps, byKey);
    sweep(m_caches->images, byKey);
    sweep(m_caches->bitmapsByTitle, [](const auto& entry) { return entry.second.path.str(); });
    // Icon keys are the path followed by "-<width>x<height>".
    sweep(m_caches->icons, [](const auto& entry) { return entry.first.substr(0, entry.first.rfind(L'-')); });
}

void CResourceManager::setWatchFolders(bool watch)
{
    zil::CFolderListingCache::shared().setWatchFolders(watch);
}

void CResourceManager::setSettleClock(SettleClock clock)
{
    zil::CFolderListingCache::shared().setSettleClock(clock);
}

} // namespace zilui
