#include "cli/Picture.h"

#include "cli/Diagnosis.h"
#include "decode/Decoder.h"
#include "iff/Parser.h"

namespace vantrel::cli {

bool parseBytes(const std::uint8_t* begin, const std::uint8_t* end, ImageInfo& info, std::string& error) {
    if (parsePicture(info, begin, end)) return true;
    error = explainRejection(begin, end);
    return false;
}

bool loadPicture(const std::string& path, Picture& picture, std::string& error) {
    return picture.file.open(path, error) && parseBytes(picture.file.begin(), picture.file.end(), picture.info, error);
}

PixelView DecodedPicture::view() const {
    const std::uint32_t* top = words.data() + std::size_t{width} * (height - 1);
    return {top, -static_cast<std::ptrdiff_t>(width), width, height};
}

bool decodeToPixels(const ImageInfo& info, DecodedPicture& out, std::string& error) {
    const OutputSize size = outputSize(info);
    if (size.width == 0 || size.height == 0) {
        error = "colour map \"CMAP\" has no entries: nothing to show";
        return false;
    }
    out.width = size.width;
    out.height = size.height;
    out.words.assign(std::size_t{size.width} * size.height, 0);
    decodePicture(info, out.words.data());
    return true;
}

}  // namespace vantrel::cli
