// libpixbufloader-lwo.so: LightWave objects for every gdk-pixbuf
// application. The loader gathers the object's bytes in the pieces an
// application feeds (gdk-pixbuf feeds a whole file the same way), tells the
// application the size as soon as the 12-byte header shows an object, and
// at the end draws the thumbnail picture at the size the application
// settled on: drawn at that size, never scaled. Errors go out as GErrors;
// nothing here aborts.
#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf-io.h>
#undef GDK_PIXBUF_ENABLE_BACKEND

#include <cstring>
#include <new>

#include "object/forms.h"
#include "render/thumbnail.h"
#include "viewers/object_bytes.h"

namespace {

using qavren::Status;
using qavren::viewers::ObjectBytes;

// One image being loaded, from begin_load to stop_load.
struct LoadContext {
    GdkPixbufModuleSizeFunc size_func = nullptr;
    GdkPixbufModulePreparedFunc prepared_func = nullptr;
    GdkPixbufModuleUpdatedFunc updated_func = nullptr;
    gpointer user_data = nullptr;
    ObjectBytes bytes;
    bool size_told = false;
    int width = qavren::kDefaultWidth;
    int height = qavren::kDefaultHeight;
};

// The GError for a failed Status of the core: the domain's closest code and
// a sentence a viewer can show. (Data of no form the core draws is refused
// earlier, by its header.)
void SetStatusError(GError** error, Status failure) {
    switch (failure) {
    case qavren::status::kNoMemory:
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY,
                            "Not enough memory for the LightWave object or its picture");
        return;
    default:
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_CORRUPT_IMAGE,
                            "The LightWave object is damaged or incomplete");
        return;
    }
}

// Tells the application the size once the header shows an object, and
// takes back the size it asks for. False with the error set when the
// header is no object's or the application asked for no picture.
gboolean TellSize(LoadContext* context, GError** error) {
    if (!context->size_told) {
        if (!qavren::HeaderNamesObject(context->bytes.data(), static_cast<size_t>(context->bytes.size()))) {
            g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_CORRUPT_IMAGE,
                                "Not a LightWave object: the file does not begin with an object's FORM header");
            return FALSE;
        }
        context->size_told = true;
        if (context->size_func) context->size_func(&context->width, &context->height, context->user_data);
    }
    if (context->width <= 0 || context->height <= 0) {
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_FAILED,
                            "The application asked for a picture with no pixels");
        return FALSE;
    }
    return TRUE;
}

// Draws the gathered object at the settled size into a new pixbuf.
GdkPixbuf* DrawPixbuf(LoadContext* context, GError** error) {
    if (!TellSize(context, error)) return nullptr;
    qavren::ObjectBuffer buffer;
    if (const Status s = context->bytes.MoveInto(&buffer); qavren::Failed(s)) {
        SetStatusError(error, s);
        return nullptr;
    }
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, context->width, context->height);
    if (!pixbuf) {
        SetStatusError(error, qavren::status::kNoMemory);
        return nullptr;
    }
    const auto rowstride = static_cast<uint32_t>(gdk_pixbuf_get_rowstride(pixbuf));
    if (const Status s = qavren::DrawThumbnail(buffer, context->width, context->height, qavren::ThumbnailDefaults(),
                                               gdk_pixbuf_get_pixels(pixbuf), rowstride);
        qavren::Failed(s)) {
        g_object_unref(pixbuf);
        SetStatusError(error, s);
        return nullptr;
    }
    return pixbuf;
}

gpointer BeginLoad(GdkPixbufModuleSizeFunc size_func, GdkPixbufModulePreparedFunc prepared_func,
                   GdkPixbufModuleUpdatedFunc updated_func, gpointer user_data, GError** error) {
    auto* context = new (std::nothrow) LoadContext;
    if (!context) {
        SetStatusError(error, qavren::status::kNoMemory);
        return nullptr;
    }
    context->size_func = size_func;
    context->prepared_func = prepared_func;
    context->updated_func = updated_func;
    context->user_data = user_data;
    return context;
}

gboolean LoadIncrement(gpointer data, const guchar* piece, guint length, GError** error) {
    auto* context = static_cast<LoadContext*>(data);
    if (const Status s = context->bytes.Append(piece, length); qavren::Failed(s)) {
        SetStatusError(error, s);
        return FALSE;
    }
    // An application that only wants the size (gdk_pixbuf_get_file_info)
    // stops feeding once it has it: tell it from the header.
    if (!context->size_told && context->bytes.size() >= 12) return TellSize(context, error);
    return TRUE;
}

gboolean StopLoad(gpointer data, GError** error) {
    auto* context = static_cast<LoadContext*>(data);
    GdkPixbuf* pixbuf = DrawPixbuf(context, error);
    if (pixbuf) {
        if (context->prepared_func) context->prepared_func(pixbuf, nullptr, context->user_data);
        if (context->updated_func) {
            context->updated_func(pixbuf, 0, 0, gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf),
                                  context->user_data);
        }
        g_object_unref(pixbuf);
    }
    delete context;
    return pixbuf != nullptr;
}

}  // namespace

extern "C" {

G_MODULE_EXPORT void fill_vtable(GdkPixbufModule* module);
G_MODULE_EXPORT void fill_info(GdkPixbufFormat* info);

void fill_vtable(GdkPixbufModule* module) {
    module->begin_load = BeginLoad;
    module->load_increment = LoadIncrement;
    module->stop_load = StopLoad;
}

void fill_info(GdkPixbufFormat* info) {
    // "FORM", four bytes of length (any), the form's type.
    static GdkPixbufModulePattern signature[] = {
        {const_cast<char*>("FORM    LWOB"), const_cast<char*>("    xxxx    "), 100},
        {const_cast<char*>("FORM    LWO2"), const_cast<char*>("    xxxx    "), 100},
        {const_cast<char*>("FORM    LWO3"), const_cast<char*>("    xxxx    "), 100},
        {const_cast<char*>("FORM    LWLO"), const_cast<char*>("    xxxx    "), 100},
        {nullptr, nullptr, 0},
    };
    static const gchar* mime_types[] = {"image/x-lwo", nullptr};
    static const gchar* extensions[] = {"lwo", nullptr};
    info->name = const_cast<gchar*>("lwo");
    info->signature = signature;
    info->description = const_cast<gchar*>("LightWave object");
    info->mime_types = const_cast<gchar**>(mime_types);
    info->extensions = const_cast<gchar**>(extensions);
    // Each load has its own context and the core keeps no state between
    // calls (its counters are atomic), so loads may run on many threads.
    info->flags = GDK_PIXBUF_FORMAT_THREADSAFE;
    info->license = const_cast<gchar*>("MIT");
}

}  // extern "C"
