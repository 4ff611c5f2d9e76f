#include "cli/PngWriter.h"

#include <png.h>

namespace vantrel::cli {
namespace {

struct PngState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    char message[256] = "";
};

void onError(png_structp png, png_const_charp message) {
    auto* state = static_cast<PngState*>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// The pixel words are native 0xAARRGGBB: bytes B, G, R, A in memory on a
// little-endian machine, A, R, G, B on a big-endian one. libpng reorders
// them and drops the alpha byte of an opaque picture while writing.
void describeWordLayout(png_structp png, bool opaque) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    if (opaque) png_set_filler(png, 0, PNG_FILLER_BEFORE);
    else png_set_swap_alpha(png);
#else
    png_set_bgr(png);
    if (opaque) png_set_filler(png, 0, PNG_FILLER_AFTER);
#endif
}

// Holds no object with a destructor: libpng reports errors by longjmp.
bool writeRows(PngState& state, std::FILE* stream, const PixelView& view, bool opaque) {
    if (setjmp(png_jmpbuf(state.png))) return false;
    png_init_io(state.png, stream);
    png_set_IHDR(state.png, state.info, view.width, view.height, 8,
                 opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(state.png, state.info);
    describeWordLayout(state.png, opaque);
    for (std::uint32_t y = 0; y < view.height; ++y)
        png_write_row(state.png, reinterpret_cast<png_const_bytep>(view.row(y)));
    png_write_end(state.png, nullptr);
    return true;
}

}  // namespace

bool isOpaque(const PixelView& view) {
    for (std::uint32_t y = 0; y < view.height; ++y) {
        const std::uint32_t* row = view.row(y);
        for (std::uint32_t x = 0; x < view.width; ++x)
            if ((row[x] >> 24) != 0xFF) return false;
    }
    return true;
}

bool writePng(std::FILE* stream, const PixelView& view, std::string& error) {
    PngState state;
    state.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, onError, onWarning);
    if (state.png != nullptr) state.info = png_create_info_struct(state.png);
    const bool ok = state.info != nullptr && writeRows(state, stream, view, isOpaque(view));
    if (!ok) error = std::string("cannot write PNG: ") + (state.message[0] != 0 ? state.message : "out of memory");
    png_destroy_write_struct(&state.png, &state.info);
    return ok;
}

}  // namespace vantrel::cli
