#include "pixbuf/PixbufPicture.h"

#include <cstring>
#include <new>
#include <string>

#include "cli/Picture.h"
#include "decode/Premultiply.h"
#include "iff/ByteOrder.h"

namespace vantrel::pixbuf {
namespace {

void fail(GError** error, GdkPixbufError code, const std::string& message) {
    g_set_error_literal(error, GDK_PIXBUF_ERROR, code, message.c_str());
}

// Whether the file claims to be one of the three picture forms at all: the
// difference between "not ours" and "ours but damaged".
bool isPictureForm(const std::uint8_t* begin, const std::uint8_t* end) {
    if (end - begin < 12 || readBigEndian32(begin) != chunkId("FORM")) return false;
    const std::uint32_t form = readBigEndian32(begin + 8);
    return form == chunkId("ILBM") || form == chunkId("PBM ") || form == chunkId("ACBM");
}

// Decoder words 0xAARRGGBB, top row first, into the pixbuf's R, G, B(, A) bytes.
void copyPixels(const cli::PixelView& view, GdkPixbuf* pixbuf) {
    const bool alpha = gdk_pixbuf_get_has_alpha(pixbuf) != FALSE;
    const auto stride = static_cast<std::size_t>(gdk_pixbuf_get_rowstride(pixbuf));
    guchar* const pixels = gdk_pixbuf_get_pixels(pixbuf);
    for (std::uint32_t y = 0; y < view.height; ++y) {
        const std::uint32_t* from = view.row(y);
        guchar* to = pixels + stride * y;
        for (std::uint32_t x = 0; x < view.width; ++x) {
            const std::uint32_t word = from[x];
            *to++ = static_cast<guchar>(word >> 16);
            *to++ = static_cast<guchar>(word >> 8);
            *to++ = static_cast<guchar>(word);
            if (alpha) *to++ = static_cast<guchar>(word >> 24);
        }
    }
}

GdkPixbuf* decodeIntoPixbuf(const ImageInfo& info, GError** error) {
    cli::DecodedPicture decoded;
    std::string message;
    if (!cli::decodeToPixels(info, decoded, message)) {
        fail(error, GDK_PIXBUF_ERROR_CORRUPT_IMAGE, message);
        return nullptr;
    }
    const gboolean alpha = provesOpaque(info) ? FALSE : TRUE;
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, static_cast<int>(decoded.width),
                                       static_cast<int>(decoded.height));
    if (pixbuf == nullptr) {
        fail(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "not enough memory for the picture");
        return nullptr;
    }
    copyPixels(decoded.view(), pixbuf);
    return pixbuf;
}

}  // namespace

bool FileBytes::append(const std::uint8_t* data, std::size_t size, GError** error) {
    if (failure_ == Failure::None && size > limit_ - bytes_.size()) failure_ = Failure::TooLarge;
    if (failure_ == Failure::None) {
        try {
            bytes_.insert(bytes_.end(), data, data + size);
            return true;
        } catch (const std::bad_alloc&) {
            failure_ = Failure::OutOfMemory;
        }
    }
    std::vector<std::uint8_t>().swap(bytes_);  // part of a file is of no use
    return !failed(error);
}

bool FileBytes::failed(GError** error) const {
    if (failure_ == Failure::None) return false;
    if (failure_ == Failure::OutOfMemory) {
        g_set_error_literal(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY,
                            "not enough memory to read the file");
    } else {
        g_set_error(error, GDK_PIXBUF_ERROR, GDK_PIXBUF_ERROR_FAILED,
                    "file is larger than %zu MiB, more than any picture needs", limit_ >> 20);
    }
    return true;
}

const std::vector<std::uint8_t>& FileBytes::finish() {
    bytes_.shrink_to_fit();
    return bytes_;
}

GdkPixbuf* pixbufFromBytes(const std::uint8_t* begin, const std::uint8_t* end, GError** error) {
    try {
        ImageInfo info{};
        std::string message;
        if (cli::parseBytes(begin, end, info, message)) return decodeIntoPixbuf(info, error);
        fail(error, isPictureForm(begin, end) ? GDK_PIXBUF_ERROR_CORRUPT_IMAGE : GDK_PIXBUF_ERROR_UNKNOWN_TYPE,
             message);
    } catch (const std::bad_alloc&) {
        fail(error, GDK_PIXBUF_ERROR_INSUFFICIENT_MEMORY, "not enough memory for the picture");
    }
    return nullptr;
}

}  // namespace vantrel::pixbuf
