// The gdk-pixbuf module: image viewers, the GTK file chooser and thumbnail
// services that load images through gdk-pixbuf open Amiga pictures with it.
// The chunks of a picture may come in any order, so both ways of loading
// gather the whole file first and decode it at the end.
#include "pixbuf/Loader.h"

#include <cstdio>
#include <new>

#include "pixbuf/PixbufPicture.h"

namespace vantrel::pixbuf {
namespace {

struct LoadContext {
    GdkPixbufModuleSizeFunc sizeFunc;
    GdkPixbufModulePreparedFunc preparedFunc;
    GdkPixbufModuleUpdatedFunc updatedFunc;
    gpointer userData;
    FileBytes bytes;
};

GdkPixbuf* decodeGathered(FileBytes& bytes, GError** error) {
    if (bytes.failed(error)) return nullptr;
    const std::vector<std::uint8_t>& file = bytes.finish();
    return pixbufFromBytes(file.data(), file.data() + file.size(), error);
}

gpointer beginLoad(GdkPixbufModuleSizeFunc sizeFunc, GdkPixbufModulePreparedFunc preparedFunc,
                   GdkPixbufModuleUpdatedFunc updatedFunc, gpointer userData, GError** error) {
    auto* context = new (std::nothrow) LoadContext{sizeFunc, preparedFunc, updatedFunc, userData, FileBytes()};
    if (context == nullptr)
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "not enough memory");
    return context;
}

gboolean loadIncrement(gpointer data, const guchar* buffer, guint size, GError** error) {
    auto* context = static_cast<LoadContext*>(data);
    return context->bytes.append(buffer, size, error) ? TRUE : FALSE;
}

// Hands the pixbuf over the way an incremental loader does; a caller that
// asks for a size of 0 only wanted to know the size.
void deliver(const LoadContext& context, GdkPixbuf* pixbuf) {
    int width = gdk_pixbuf_get_width(pixbuf);
    int height = gdk_pixbuf_get_height(pixbuf);
    if (context.sizeFunc != nullptr) context.sizeFunc(&width, &height, context.userData);
    if (width == 0 || height == 0) return;
    if (context.preparedFunc != nullptr) context.preparedFunc(pixbuf, nullptr, context.userData);
    if (context.updatedFunc != nullptr)
        context.updatedFunc(pixbuf, 0, 0, gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf),
                            context.userData);
}

gboolean stopLoad(gpointer data, GError** error) {
    auto* context = static_cast<LoadContext*>(data);
    GdkPixbuf* pixbuf = decodeGathered(context->bytes, error);
    const bool loaded = pixbuf != nullptr;
    if (loaded) {
        deliver(*context, pixbuf);
        g_object_unref(pixbuf);
    }
    delete context;
    return loaded ? TRUE : FALSE;
}

GdkPixbuf* loadFile(FILE* file, GError** error) {
    FileBytes bytes;
    guchar block[65536];
    for (;;) {
        const std::size_t got = std::fread(block, 1, sizeof block, file);
        if (got != 0 && !bytes.append(block, got, error)) return nullptr;
        if (got < sizeof block) break;
    }
    if (std::ferror(file) != 0) {
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_FAILED, "cannot read the file");
        return nullptr;
    }
    return decodeGathered(bytes, error);
}

// Byte patterns: "FORM", any group size, then the form type.
GdkPixbufModulePattern signatures[] = {
    {const_cast<gchar*>("FORMxxxxILBM"), const_cast<gchar*>("    xxxx    "), 100},
    {const_cast<gchar*>("FORMxxxxPBM "), const_cast<gchar*>("    xxxx    "), 100},
    {const_cast<gchar*>("FORMxxxxACBM"), const_cast<gchar*>("    xxxx    "), 100},
    {nullptr, nullptr, 0},
};

const gchar* mimeTypes[] = {"image/x-ilbm", "image/x-iff", "image/x-acbm", nullptr};
const gchar* extensions[] = {"iff", "ilbm", "lbm", "ham", "ham6", "ham8", "sham", "ehb", "acbm", nullptr};

}  // namespace

void fillVtable(GdkPixbufModule* module) {
    module->load = loadFile;
    module->begin_load = beginLoad;
    module->stop_load = stopLoad;
    module->load_increment = loadIncrement;
}

void fillInfo(GdkPixbufFormat* info) {
    info->name = const_cast<gchar*>("amiga-iff");
    info->signature = signatures;
    info->description = const_cast<gchar*>("Amiga IFF picture (ILBM, PBM, ACBM)");
    info->mime_types = const_cast<gchar**>(mimeTypes);
    info->extensions = const_cast<gchar**>(extensions);
    info->flags = GDK_PIXBUF_FORMAT_THREADSAFE;
    info->license = const_cast<gchar*>("Proprietary");
}

}  // namespace vantrel::pixbuf
