// SPDX-License-Identifier: MIT
#pragma once

#include <zilui/graphics/scalingimage.h>

#include <zil/containers.h>
#include <zil/object.h>
#include <zil/path.h>
#include <zil/string.h>

#include <wx/animate.h>
#include <wx/bitmap.h>
#include <wx/icon.h>
#include <wx/image.h>

#include <ctime>
#include <memory>

namespace zil {
struct CFolderListing;
}

namespace zilui {

// Turns resource titles ("buttons/ok") into files of the resource folders and into loaded
// graphics, choosing among resolution variants ("ok.png", "ok@2.png", "ok@1_5.png") the one
// that fits the requested scale. Every result is cached per file and requested factor for
// the life of the process (until dispose()). Thread-safe.
//
// A factor argument of -1.0 stands for getDefaultResolutionFactor(). Output path arguments
// may be null; otherwise they receive the file used, empty when there was none.
class CResourceManager : public zil::CBase {
public:
    struct CachedImageKey {
        zil::String path;
        // As requested, not the factor of the variant found.
        double factor = 1.0;

        CachedImageKey() = default;
        CachedImageKey(const zil::String& path_, double factor_) : path(path_), factor(factor_) {}
        bool operator<(const CachedImageKey& other) const
        {
            if (factor != other.factor)
                return factor < other.factor;
            return path < other.path;
        }
    };

    // Reads the base folder override and measures the screen, so wxWidgets must be running.
    CResourceManager();

    static const zil::P<CResourceManager>& get();
    // Only a call before the first get() has an effect.
    static void setResourceBaseFolder(const zil::Path& path);
    static zil::String& getResourceBaseFolderOverrideRef();
    static void disposeResourceBaseFolderOverride();
    static void disposeGlobalInstance();

    // Whether a variant of factor `available` must be rescaled to serve `requested`: it is
    // used as it is from 12.5 % smaller to 5 % larger.
    static bool needToScaleImage(double available, double requested);
    // 1 when `a` serves `requested` better than `b`, -1 when `b` does, 0 when equal.
    static int compareResolutionVariants(double a, double b, double requested);
    // The best resolution variant of `path` in its folder; empty (and factor -1.0) when none.
    // Throws zil::CError for a path without folder.
    static zil::Path findBestResolutionVariantOfFile(const zil::Path& path, double requestedFactor,
                                                     double* foundFactor = nullptr);
    // "ok@1_5" -> "ok" and 1.5; a title without "@" is returned as it is with 1.0. A factor
    // that does not parse or lies outside kMinResolutionFactor..kMaxResolutionFactor throws
    // zil::CParseError.
    static constexpr double kMinResolutionFactor = 0.25;
    static constexpr double kMaxResolutionFactor = 8.0;
    static zil::String extractResolutionFactorFromFileTitle(const zil::String& title, double& factor);
    // Title up to the first "." that is not the name's first character; the extension is the
    // rest, dot included ("a.b.png" -> "a", ".b.png"; ".x.png" -> ".x", ".png").
    static void splitFileName(const zil::String& name, zil::String& title, zil::String& extension);

    void addResourceFolder(const zil::Path& path);
    // Throws zil::CError "Resource base folder not found." when there is none.
    zil::Path getResourceBaseFolder();
    double getDefaultResolutionFactor() const { return m_defaultResolutionFactor; }
    // Replaces the factor measured from the screen, e.g. to preview another screen; images
    // loaded before keep theirs. Not synchronised with lookups in other threads.
    void setDefaultResolutionFactor(double factor) { m_defaultResolutionFactor = factor; }
    // Pixels per logical window pixel of a bitmap loaded for `factor` (-1.0: the default): the
    // default factor counts the screen's physical pixels (2 on a 200 % screen), whose scale the
    // bitmaps carry, so that they are drawn at logical size.
    double getBitmapScaleFactor(double factor = -1.0) const
    {
        return resolveFactor(factor) * m_displayScaleFactor / m_defaultResolutionFactor;
    }

    // The first existing relativePath below the resource folders, last added first.
    zil::Path findResource(const zil::Path& relativePath);
    // The file whose title is the last component of `title`, in its subfolder of the resource
    // folders (last added first), preferring `preferredExtension` (".png"; empty: the first
    // match), then its best resolution variant for `factor`.
    zil::Path findResourceByTitle(const zil::String& title, const zil::String& preferredExtension,
                                  double factor = -1.0, double* foundFactor = nullptr);

    // Callable from any thread; off the main thread the image is a copy of the cached one.
    wxImage loadImageByTitle(const zil::String& title, zil::Path* foundPath = nullptr,
                             double factor = -1.0);
    // Bitmaps, icons and animations are for the main thread, as wxWidgets' GUI objects are.
    wxBitmap loadBitmapByTitle(const zil::String& title, zil::Path* foundPath = nullptr,
                               double factor = -1.0);
    // Prefers ".ico"; always at the default factor. `width` and `height` in pixels.
    wxIcon loadIconByTitle(const zil::String& title, int width, int height,
                           zil::Path* foundPath = nullptr);
    // Animations are never scaled; a mismatching variant is logged and used as it is.
    wxAnimation loadAnimationByTitle(const zil::String& title, zil::Path* foundPath = nullptr,
                                     double factor = -1.0);
    // Null when no file was found.
    zil::P<IScalingImage> loadScalingImageByTitle(const zil::String& title, double factor = -1.0);
    // `path` is an absolute file path whose best variant is loaded.
    wxImage loadAndScaleImage(const zil::Path& path, double factor = -1.0);

    // Empties the caches; they fill again on demand.
    void dispose();
    // Drops what was loaded from `file`, from the other resolution variants of its title and
    // from their params file, so that the next load reads the disk again: for files changed
    // while the program runs. Pictures already handed out stay as they are.
    void forgetFile(const zil::Path& file);
    // The title that a picture's resolution variants and its params file share:
    // "ok@1_5.png", "ok.png" and "ok_params.ini" all give "ok".
    static zil::String getPictureStem(const zil::String& fileName);

    // The names of one folder as read at one modification time (st_mtim, to the nanosecond).
    // Lookups reuse it while the folder keeps that time, unless it was read within seconds of
    // a change. Shared by all instances, as findBestResolutionVariantOfFile is static.
    using FolderListing = zil::CFolderListing;
    // How many folders have been read from disk since process start; for diagnostics.
    static size_t getFolderWalkCount();
    // Folders are watched for changes through the kernel unless switched off here, so that a
    // lookup asks the file system only after a change notice; folders first looked at while
    // it is off have their modification time checked on every lookup instead.
    static void setWatchFolders(bool watch);
    // The wall clock's seconds (as CLOCK_REALTIME) that tell a folder changed too recently for
    // its listing to be kept; null, the default, reads the system's clock. For tests, which
    // cannot wait for a folder to settle.
    using SettleClock = time_t (*)();
    static void setSettleClock(SettleClock clock);

protected:
    ~CResourceManager() override;

private:
    class CCaches;

    double resolveFactor(double factor) const { return factor == -1.0 ? m_defaultResolutionFactor : factor; }
    // Resolves `factor` and finds the file a load by `title` uses, reporting it in `foundPath`.
    // Also tells in `watched` (when not null) whether every folder searched is watched.
    zil::Path findResourceByTitle(const zil::String& title, const zil::String& preferredExtension, double factor,
                                  double* foundFactor, bool* watched);
    zil::Path findForLoad(const zil::String& title, double& factor, double& foundFactor, zil::Path* foundPath);

    // The folders and every loaded picture, under one mutex.
    std::unique_ptr<CCaches> m_caches;
    zil::Path m_resourceBaseFolder;
    double m_defaultResolutionFactor = 1.0;
    // Physical pixels per logical pixel of the screen, measured once.
    double m_displayScaleFactor = 1.0;
};

} // namespace zilui
