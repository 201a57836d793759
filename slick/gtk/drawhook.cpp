// SPDX-License-Identifier: MIT
#include "drawhook.h"

#include <zilui/graphics/scalingimage.h>

#include <zil/log.h>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/graphics.h>
#include <wx/window.h>

#include <gtk/gtk.h>

#include <algorithm>
#include <map>
#include <tuple>
#include <cmath>
#include <memory>

namespace zilui::gtk {

namespace {

constexpr const char* kPaintKey = "zilui-draw-hook";
constexpr const char* kFlatKey = "zilui-flat-style";
constexpr const char* kStyleKey = "zilui-style-changed";
constexpr const char* kBufferKey = "zilui-paint-buffer";
// Values of kFlatKey: a shown widget takes a new style only at GTK's next frame.
constexpr int kFlatRequested = 1;
constexpr int kFlatApplied = 2;

// The screen's cairo surface renders glyphs with the display's hinting, and a wxGCDC on it
// strokes thin lines on pixel edges; both differ from a wxMemoryDC. So the control paints into
// a memory bitmap at the screen's scale, exactly as paintContents paints in tests, and that
// bitmap goes to the screen pixel for pixel. A bitmap of the control's own size stays selected
// into one DC: making a DC costs about as much as the painting, and a bitmap of the largest
// control's size would need its clip reset and set on every paint (wxGCDC then also resets pen
// and brush): about a third of what the hook added to the painting. Controls of one size and
// scale share one such buffer, so that a window of a thousand like buttons holds one, not a
// thousand; painting is synchronous on the GUI thread, one control at a time.
class CPaintBuffer {
public:
    using Key = std::tuple<int, int, double>;

    // The buffer for `size` at `scale`, shared while anybody holds it.
    static std::shared_ptr<CPaintBuffer> get(const wxSize& size, double scale)
    {
        const Key key(size.x, size.y, scale);
        std::weak_ptr<CPaintBuffer>& entry = buffers()[key];
        std::shared_ptr<CPaintBuffer> buffer = entry.lock();
        if (!buffer) {
            buffer.reset(new CPaintBuffer(key));
            buffer->bitmap.CreateWithDIPSize(size, scale, 24);
            buffer->dc = std::make_unique<wxMemoryDC>(buffer->bitmap);
            entry = buffer;
        }
        return buffer;
    }
    ~CPaintBuffer()
    {
        dc.reset();
        buffers().erase(m_key);
    }

    bool fits(const wxSize& size, double scale) const { return m_key == Key(size.x, size.y, scale); }

    wxBitmap bitmap;
    std::unique_ptr<wxMemoryDC> dc;

private:
    explicit CPaintBuffer(const Key& key) : m_key(key) {}
    static std::map<Key, std::weak_ptr<CPaintBuffer>>& buffers()
    {
        static std::map<Key, std::weak_ptr<CPaintBuffer>> map;
        return map;
    }
    Key m_key;
};

// What a widget keeps: its share of the buffer of its size.
struct CBufferShare {
    std::shared_ptr<CPaintBuffer> buffer;
};

void deleteBufferShare(gpointer share)
{
    delete static_cast<CBufferShare*>(share);
}

CPaintBuffer& paintBuffer(GtkWidget* widget, const wxSize& size, double scale)
{
    auto* share = static_cast<CBufferShare*>(g_object_get_data(G_OBJECT(widget), kBufferKey));
    if (!share) {
        share = new CBufferShare();
        g_object_set_data_full(G_OBJECT(widget), kBufferKey, share, &deleteBufferShare);
    }
    if (!share->buffer || !share->buffer->fits(size, scale)) {
        share->buffer.reset();
        share->buffer = CPaintBuffer::get(size, scale);
    }
    return *share->buffer;
}

gboolean onDraw(GtkWidget* widget, cairo_t* cr, gpointer data)
{
    auto* window = static_cast<wxWindow*>(data);
    auto paint = reinterpret_cast<PaintFunction>(g_object_get_data(G_OBJECT(widget), kPaintKey));
    if (!paint)
        return FALSE;
    const wxSize size = window->GetClientSize();
    if (size.x < 1 || size.y < 1)
        return TRUE;
    const double scale = window->GetContentScaleFactor();
    wxRect area(size);
    if (!isPaintableSize(toPhysicalSize(size, scale))) {
        // Larger than one picture can be (in a scrolled window, say): only the part GTK asks for,
        // and of that what fits into a picture.
        GdkRectangle clip;
        if (!gdk_cairo_get_clip_rectangle(cr, &clip))
            return TRUE;
        area.Intersect(wxRect(clip.x, clip.y, clip.width, clip.height));
        const int side = int(std::floor(std::sqrt(double(kMaxBitmapPixels)) / scale));
        area.width = std::min(area.width, side);
        area.height = std::min(area.height, side);
        if (area.IsEmpty())
            return TRUE;
    }
    CPaintBuffer& buffer = paintBuffer(widget, area.GetSize(), scale);
    buffer.dc->SetLogicalOrigin(area.x, area.y);
    // Nothing may unwind through GTK's C frames.
    try {
        paint(window, *buffer.dc);
    } catch (...) {
        zil::logCurrentException(L"Painting a skinned control failed.");
    }
    // The bitmap carries the screen's scale: its pixels land on the device pixels as they are.
    // It covers the widget, or the part painted, exactly; GTK restores the context after the
    // signal.
    buffer.bitmap.Draw(cr, area.x, area.y, false);
    return TRUE;
}

} // namespace

bool paintThroughBitmap(wxWindow* window, wxDC& dc, PaintFunction paint)
{
    wxGraphicsContext* context = dc.GetGraphicsContext();
    auto* cr = context ? static_cast<cairo_t*>(context->GetNativeContext()) : nullptr;
    const wxSize size = window->GetClientSize();
    const double scale = window->GetContentScaleFactor();
    if (!cr || size.x < 1 || size.y < 1 || !isPaintableSize(toPhysicalSize(size, scale)))
        return false;
    wxBitmap picture;
    picture.CreateWithDIPSize(size, scale, 24);
    {
        wxMemoryDC memory(picture);
        try {
            paint(window, memory);
        } catch (...) {
            zil::logCurrentException(L"Painting a skinned control failed.");
        }
    }
    cairo_save(cr);
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    if (matrix.xx < 0) {
        // x' = x0 - k x puts the client area's left edge at x0 - k w.
        matrix.x0 += matrix.xx * size.x;
        matrix.xx = -matrix.xx;
        cairo_set_matrix(cr, &matrix);
    }
    picture.Draw(cr, 0, 0, false);
    cairo_restore(cr);
    return true;
}

namespace {

void onStyleUpdated(GtkWidget* widget, gpointer data)
{
    // From now on the flat style is in effect.
    g_object_set_data(G_OBJECT(widget), kFlatKey, GINT_TO_POINTER(kFlatApplied));
    auto changed = reinterpret_cast<StyleFunction>(g_object_get_data(G_OBJECT(widget), kStyleKey));
    if (!changed)
        return;
    try {
        changed(static_cast<wxWindow*>(data));
    } catch (...) {
        zil::logCurrentException(L"Updating a skinned control after a style change failed. Ignoring.");
    }
}

// The theme's boxes around what we paint ourselves: without them the native minimum is the
// label's, which the skin's best size always covers. One provider for the screen, selected by
// a style class: a provider of the widget's own would keep GTK from sharing computed styles
// between like widgets, and every skinned control would compute and hold its own.
constexpr const char* kFlatClass = "zilui-flat";

void installFlatStyle(GtkWidget* widget)
{
    static GdkScreen* installed = nullptr;
    GdkScreen* screen = gtk_widget_get_screen(widget);
    if (screen == installed)
        return;
    static GtkCssProvider* provider = [] {
        GtkCssProvider* css = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css,
                                        ".zilui-flat { min-width: 0; min-height: 0; padding: 0; margin: 0; "
                                        "border-width: 0; outline-width: 0; box-shadow: none; "
                                        "-gtk-outline-radius: 0; }",
                                        -1, nullptr);
        return css;
    }();
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
    installed = screen;
}

// Also for children added later (a button's image), once per widget.
void applyFlatStyle(GtkWidget* widget, gpointer)
{
    if (!g_object_get_data(G_OBJECT(widget), kFlatKey)) {
        installFlatStyle(widget);
        gtk_style_context_add_class(gtk_widget_get_style_context(widget), kFlatClass);
        g_object_set_data(G_OBJECT(widget), kFlatKey, GINT_TO_POINTER(kFlatRequested));
    }
    if (GTK_IS_CONTAINER(widget))
        gtk_container_forall(GTK_CONTAINER(widget), &applyFlatStyle, nullptr);
}

} // namespace

wxSize getNativeMinSize(wxWindow* window)
{
    auto* widget = static_cast<GtkWidget*>(window->GetHandle());
    if (!widget)
        return wxSize(0, 0);
    // The class's own measure: gtk_widget_get_preferred_size() would also count the size
    // request that wxWidgets sets to the window's present size.
    applyFlatStyle(widget, nullptr);
    // Until then GTK would still measure the theme's padding; the restyle reports the real
    // minimum, and GTK restyles before it lays out.
    if (GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), kFlatKey)) != kFlatApplied)
        return wxSize(0, 0);
    GtkWidgetClass* type = GTK_WIDGET_GET_CLASS(widget);
    int width = 0, height = 0, natural = 0;
    type->get_preferred_width(widget, &width, &natural);
    type->get_preferred_height(widget, &height, &natural);
    return wxSize(width, height);
}

void connectDrawHook(wxWindow* window, PaintFunction paint, StyleFunction styleChanged)
{
    auto* widget = static_cast<GtkWidget*>(window->GetHandle());
    if (!widget)
        return;
    disconnectDrawHook(window);
    g_object_set_data(G_OBJECT(widget), kPaintKey, reinterpret_cast<gpointer>(paint));
    g_signal_connect(widget, "draw", G_CALLBACK(onDraw), window);
    g_object_set_data(G_OBJECT(widget), kStyleKey, reinterpret_cast<gpointer>(styleChanged));
    g_signal_connect(widget, "style-updated", G_CALLBACK(onStyleUpdated), window);
    applyFlatStyle(widget, nullptr);
    gtk_widget_queue_draw(widget);
}

void disconnectDrawHook(wxWindow* window)
{
    auto* widget = static_cast<GtkWidget*>(window->GetHandle());
    if (!widget)
        return;
    g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(&onDraw), window);
    g_signal_handlers_disconnect_by_func(widget, reinterpret_cast<gpointer>(&onStyleUpdated), window);
    g_object_set_data(G_OBJECT(widget), kStyleKey, nullptr);
    g_object_set_data(G_OBJECT(widget), kPaintKey, nullptr);
    g_object_set_data(G_OBJECT(widget), kBufferKey, nullptr);
}

} // namespace zilui::gtk
