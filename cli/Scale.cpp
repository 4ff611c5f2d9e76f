#include "cli/Scale.h"

#include <pixman.h>

#include <cstdlib>

namespace vantrel::cli {
namespace {

std::uint32_t scaledSide(std::uint32_t side, std::uint32_t box, std::uint32_t longest) {
    const std::uint64_t rounded = (std::uint64_t{side} * box + longest / 2) / longest;
    return rounded == 0 ? 1u : static_cast<std::uint32_t>(rounded);
}

// Maps destination pixels onto the source: a scale on each axis, and a
// vertical flip when the source rows lie bottom-up in memory.
pixman_transform_t sourceTransform(double scaleX, double scaleY, bool flip, std::uint32_t sourceHeight) {
    pixman_transform_t t;
    pixman_transform_init_identity(&t);
    t.matrix[0][0] = pixman_double_to_fixed(scaleX);
    t.matrix[1][1] = pixman_double_to_fixed(flip ? -scaleY : scaleY);
    t.matrix[1][2] = flip ? pixman_int_to_fixed(static_cast<int>(sourceHeight)) : 0;
    return t;
}

// Box reconstruction and box sampling: each output pixel is the mean of the
// source area it covers, weighted by how much of each source pixel lies in it.
// pixman rounds each sample position to one of 2^subsampleBits phases; 8 bits
// keep that shift below 1/500 of a pixel (4 bits let a thumbnail's edge column
// take a visible 1/32 share of its neighbour).
constexpr int subsampleBits = 8;

bool setAreaFilter(pixman_image_t* source, double scaleX, double scaleY) {
    int count = 0;
    pixman_fixed_t* params = pixman_filter_create_separable_convolution(
        &count, pixman_double_to_fixed(scaleX), pixman_double_to_fixed(scaleY), PIXMAN_KERNEL_BOX,
        PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, subsampleBits, subsampleBits);
    if (params == nullptr) return false;
    const bool ok = pixman_image_set_filter(source, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, count) != 0;
    std::free(params);
    return ok;
}

pixman_image_t* wrapSource(const PixelView& view) {
    const bool flip = view.stride < 0;
    const std::uint32_t* lowest = flip ? view.row(view.height - 1) : view.top;
    const std::ptrdiff_t strideBytes = (flip ? -view.stride : view.stride) * 4;
    return pixman_image_create_bits(PIXMAN_a8r8g8b8, static_cast<int>(view.width), static_cast<int>(view.height),
                                    const_cast<std::uint32_t*>(lowest), static_cast<int>(strideBytes));
}

}  // namespace

ThumbnailSize fitWithin(std::uint32_t width, std::uint32_t height, std::uint32_t box) {
    if (width <= box && height <= box) return {width, height};
    if (width >= height) return {box, scaledSide(height, box, width)};
    return {scaledSide(width, box, height), box};
}

bool scaleDown(const PixelView& premultiplied, ThumbnailSize size, std::vector<std::uint32_t>& out,
               std::string& error) {
    out.assign(std::size_t{size.width} * size.height, 0);
    const double scaleX = double(premultiplied.width) / size.width;
    const double scaleY = double(premultiplied.height) / size.height;
    pixman_image_t* source = wrapSource(premultiplied);
    pixman_image_t* target = pixman_image_create_bits(PIXMAN_a8r8g8b8, static_cast<int>(size.width),
                                                      static_cast<int>(size.height), out.data(),
                                                      static_cast<int>(size.width * 4));
    bool ok = source != nullptr && target != nullptr;
    if (ok) {
        const pixman_transform_t t =
            sourceTransform(scaleX, scaleY, premultiplied.stride < 0, premultiplied.height);
        ok = pixman_image_set_transform(source, &t) != 0 && setAreaFilter(source, scaleX, scaleY);
        pixman_image_set_repeat(source, PIXMAN_REPEAT_PAD);  // edge pixels average only real pixels
    }
    if (ok) {
        pixman_image_composite32(PIXMAN_OP_SRC, source, nullptr, target, 0, 0, 0, 0, 0, 0,
                                 static_cast<int>(size.width), static_cast<int>(size.height));
    } else {
        error = "cannot scale the picture: out of memory";
    }
    if (source != nullptr) pixman_image_unref(source);
    if (target != nullptr) pixman_image_unref(target);
    return ok;
}

void unpremultiplyPixels(std::uint32_t* pixels, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t p = pixels[i];
        const std::uint32_t alpha = p >> 24;
        if (alpha == 0xFF || alpha == 0) continue;
        std::uint32_t result = alpha << 24;
        for (unsigned shift = 0; shift < 24; shift += 8) {
            const std::uint32_t c = ((p >> shift & 0xFF) * 255 + alpha / 2) / alpha;
            result |= (c > 255 ? 255 : c) << shift;
        }
        pixels[i] = result;
    }
}

}  // namespace vantrel::cli
