#include "tests/pixbuf/LoaderHarness.h"

#include <cstdio>

#include "decode/Decoder.h"
#include "decode/Premultiply.h"
#include "iff/Parser.h"
#include "pixbuf/Loader.h"

namespace vantrel::test {
namespace {

GdkPixbufModule loaderModule() {
    GdkPixbufModule module{};
    pixbuf::fillVtable(&module);
    return module;
}

void readPixbuf(GdkPixbuf* pixbuf, LoadResult& result) {
    result.loaded = true;
    result.width = gdk_pixbuf_get_width(pixbuf);
    result.height = gdk_pixbuf_get_height(pixbuf);
    result.hasAlpha = gdk_pixbuf_get_has_alpha(pixbuf) != FALSE;
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    for (int y = 0; y < result.height; ++y) {
        for (int x = 0; x < result.width; ++x) {
            const guchar* p = pixels + y * stride + x * channels;
            result.rgba.insert(result.rgba.end(), {p[0], p[1], p[2], channels == 4 ? p[3] : guchar{0xFF}});
        }
    }
}

void takeError(GError* error, LoadResult& result) {
    if (error == nullptr) {
        result.message = "(no GError)";
        return;
    }
    result.errorCode = error->domain == GDK_PIXBUF_ERROR ? error->code : -2;
    result.message = error->message;
    g_error_free(error);
}

struct Callbacks {
    LoadResult* result;
    bool askZeroSize;
    GdkPixbuf* prepared = nullptr;
};

void onSize(gint* width, gint* height, gpointer data) {
    if (!static_cast<Callbacks*>(data)->askZeroSize) return;
    *width = 0;
    *height = 0;
}

void onPrepared(GdkPixbuf* pixbuf, GdkPixbufAnimation*, gpointer data) {
    auto* callbacks = static_cast<Callbacks*>(data);
    ++callbacks->result->preparedCalls;
    callbacks->prepared = GDK_PIXBUF(g_object_ref(pixbuf));
}

void onUpdated(GdkPixbuf*, int, int, int, int, gpointer data) { ++static_cast<Callbacks*>(data)->result->updatedCalls; }

}  // namespace

LoadResult loadIncrementally(const Bytes& file, std::size_t chunkSize, bool askZeroSize) {
    const GdkPixbufModule module = loaderModule();
    LoadResult result;
    Callbacks callbacks{&result, askZeroSize};
    GError* error = nullptr;
    gpointer context = module.begin_load(onSize, onPrepared, onUpdated, &callbacks, &error);
    bool ok = context != nullptr;
    for (std::size_t at = 0; ok && at < file.size(); at += chunkSize) {
        const std::size_t size = std::min(chunkSize, file.size() - at);
        ok = module.load_increment(context, file.data() + at, static_cast<guint>(size), &error) != FALSE;
    }
    if (context != nullptr) ok = module.stop_load(context, ok ? &error : nullptr) != FALSE && ok;
    if (callbacks.prepared != nullptr) {
        readPixbuf(callbacks.prepared, result);
        g_object_unref(callbacks.prepared);
    }
    if (!ok) takeError(error, result);
    return result;
}

LoadResult loadAtOnce(const Bytes& file) {
    const GdkPixbufModule module = loaderModule();
    LoadResult result;
    // fmemopen refuses a size of 0; an empty stream reads the same.
    FILE* stream = file.empty() ? std::tmpfile() : fmemopen(const_cast<std::uint8_t*>(file.data()), file.size(), "rb");
    GError* error = nullptr;
    GdkPixbuf* pixbuf = module.load(stream, &error);
    std::fclose(stream);
    if (pixbuf != nullptr) {
        readPixbuf(pixbuf, result);
        g_object_unref(pixbuf);
    } else {
        takeError(error, result);
    }
    return result;
}

LoadResult expectedResult(const Bytes& file) {
    LoadResult result;
    ImageInfo info{};
    if (!parsePicture(info, file.data(), file.data() + file.size())) return result;
    const OutputSize size = outputSize(info);
    if (size.width == 0) return result;
    std::vector<std::uint32_t> words(std::size_t{size.width} * size.height);
    decodePicture(info, words.data());
    result.loaded = true;
    result.hasAlpha = !provesOpaque(info);
    result.width = static_cast<int>(size.width);
    result.height = static_cast<int>(size.height);
    for (std::uint32_t y = size.height; y-- > 0;)
        for (std::uint32_t x = 0; x < size.width; ++x)
            for (unsigned shift : {16u, 8u, 0u, 24u})
                result.rgba.push_back(static_cast<std::uint8_t>(words[std::size_t{y} * size.width + x] >> shift));
    return result;
}

std::string compareResults(const LoadResult& expected, const LoadResult& actual) {
    if (expected.loaded != actual.loaded)
        return expected.loaded ? "refused a showable picture: " + actual.message : "loaded a picture the parser refuses";
    if (!actual.loaded) return actual.message.empty() ? "failed without a message" : "";
    if (expected.width != actual.width || expected.height != actual.height) return "wrong size";
    if (expected.hasAlpha != actual.hasAlpha) return "wrong alpha channel";
    return expected.rgba == actual.rgba ? "" : "different pixels";
}

}  // namespace vantrel::test
