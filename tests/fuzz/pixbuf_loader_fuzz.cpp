// Fuzz target over the gdk-pixbuf loader's entry points as gdk-pixbuf calls
// them: begin_load, load_increment in piece sizes drawn from the input,
// stop_load, with a size asked through the size callback (gdk-pixbuf loads
// whole files through the same calls). The whole input is the object, so
// plain objects are seeds; its last bytes also choose the run: the asked
// width and height (0 asks for no picture) and the pieces' seed.
#include <cstddef>
#include <cstdint>

#define GDK_PIXBUF_ENABLE_BACKEND
#include <gdk-pixbuf/gdk-pixbuf-io.h>
#undef GDK_PIXBUF_ENABLE_BACKEND

extern "C" void fill_vtable(GdkPixbufModule* module);

namespace {

struct Asked {
    int width;
    int height;
    int prepared;
    int updated;
};

void SizeFunc(gint* width, gint* height, gpointer data) {
    auto* asked = static_cast<Asked*>(data);
    *width = asked->width;
    *height = asked->height;
}

void PreparedFunc(GdkPixbuf* pixbuf, GdkPixbufAnimation*, gpointer data) {
    auto* asked = static_cast<Asked*>(data);
    ++asked->prepared;
    if (gdk_pixbuf_get_width(pixbuf) != asked->width || gdk_pixbuf_get_height(pixbuf) != asked->height) __builtin_trap();
}

void UpdatedFunc(GdkPixbuf*, int, int, int, int, gpointer data) { ++static_cast<Asked*>(data)->updated; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    static GdkPixbufModule module{};
    if (!module.begin_load) fill_vtable(&module);
    const uint8_t* end = data + size;
    Asked asked{end[-1] % 65, end[-2] % 49, 0, 0};
    uint32_t seed = end[-3] | uint32_t{end[-4]} << 8 | 1u;
    const uint8_t* object = data;
    const size_t length = size;

    GError* error = nullptr;
    gpointer context = module.begin_load(SizeFunc, PreparedFunc, UpdatedFunc, &asked, &error);
    if (!context) __builtin_trap();
    bool fed = true;
    for (size_t at = 0; at < length && fed;) {
        seed = seed * 1103515245u + 12345u;
        const size_t piece = 1 + (seed >> 16) % 97;
        const size_t take = piece < length - at ? piece : length - at;
        fed = module.load_increment(context, object + at, static_cast<guint>(take), &error);
        // A refused piece leaves an error; one accepted leaves none.
        if (fed == (error != nullptr)) __builtin_trap();
        at += take;
    }
    g_clear_error(&error);
    const bool drawn = module.stop_load(context, &error);
    if (drawn == (error != nullptr)) __builtin_trap();
    if (drawn != (asked.prepared == 1 && asked.updated == 1)) __builtin_trap();
    g_clear_error(&error);
    return 0;
}
