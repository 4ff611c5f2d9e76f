// Size fields that claim far more than the file holds, the largest picture
// with almost no body, and a sparse file of several gigabytes: each returns
// with the result the chunk rules give, reading only what it must.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "decode/Decoder.h"
#include "fuzz/PictureCheck.h"
#include "fuzz/TestPictures.h"
#include "iff/Parser.h"
#include "tests/support/GuardedBuffer.h"

namespace vantrel::fuzz {
namespace {

using test::BitmapHeader;
using test::GuardedBuffer;
using test::IffBuilder;

BitmapHeader header(std::uint16_t width, std::uint16_t height, std::uint8_t planes, std::uint8_t masking = 0) {
    BitmapHeader h;
    h.width = width;
    h.height = height;
    h.planes = planes;
    h.masking = masking;
    return h;
}

std::vector<std::uint32_t> greys(unsigned count) {
    std::vector<std::uint32_t> rgb;
    for (unsigned i = 0; i < count; ++i) rgb.push_back((i * 0x10101u) & 0xFFFFFF);
    return rgb;
}

// Parses under the guards and returns the record when accepted.
struct Parsed {
    bool accepted;
    ImageInfo info;
};

Parsed parseGuarded(const Bytes& bytes) {
    const CheckResult result = checkPicture(bytes.data(), bytes.size());
    EXPECT_TRUE(result.problem.empty()) << result.problem;
    Parsed parsed{false, {}};
    parsed.accepted = parsePicture(parsed.info, bytes.data(), bytes.data() + bytes.size());
    EXPECT_EQ(parsed.accepted, result.accepted);
    return parsed;
}

TEST(HostileSizes, ChunkSizesFarPastTheEndEndTheWalk) {
    const Bytes data(100, 0x55);
    for (std::uint32_t size : {0x00010000u, 0x10000000u, 0x7FFFFFFFu, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
        SCOPED_TRACE(size);
        // A body that claims more than is there is never taken: no body, no picture.
        EXPECT_FALSE(
            parseGuarded(IffBuilder().bmhd(header(16, 16, 4)).cmap(greys(16)).rawChunk("BODY", size, data).bytes())
                .accepted);
        // The same past a body already taken: the walk ends there and the picture stands.
        const Parsed afterBody = parseGuarded(
            IffBuilder().bmhd(header(16, 16, 8)).body(Bytes(256, 1)).rawChunk("BODY", size, data).bytes());
        ASSERT_TRUE(afterBody.accepted);
        EXPECT_EQ(afterBody.info.pixelMode, PixelMode::Grey8);
        EXPECT_EQ(afterBody.info.bodySize, 256u);
        // A colour map that runs past the end is not taken; 8 planes without one are grey.
        const Parsed hugeMap =
            parseGuarded(IffBuilder().bmhd(header(16, 16, 8)).body(Bytes(256, 1)).rawChunk("CMAP", size, data).bytes());
        ASSERT_TRUE(hugeMap.accepted);
        EXPECT_EQ(hugeMap.info.palette, nullptr);
        EXPECT_FALSE(parseGuarded(IffBuilder().rawChunk("CMAP", size, data).bytes()).accepted);
        // A huge header or line palette chunk is skipped whole or ends the walk, never read.
        EXPECT_FALSE(parseGuarded(IffBuilder().rawChunk("BMHD", size, data).bytes()).accepted);
        const Parsed hugeTable = parseGuarded(
            IffBuilder().bmhd(header(16, 16, 4)).body(Bytes(256, 1)).rawChunk("CTBL", size, data).bytes());
        EXPECT_FALSE(hugeTable.accepted);
    }
}

TEST(HostileSizes, AllOnesSizeKeepsTheChunksBeforeIt) {
    const Parsed parsed = parseGuarded(IffBuilder()
                                           .bmhd(header(8, 2, 1))
                                           .cmap({0x000000, 0xFFFFFF})
                                           .body(Bytes(8, 0xF0))
                                           .rawChunk("CMAP", 0xFFFFFFFF, Bytes(4096, 0))
                                           .bytes());
    ASSERT_TRUE(parsed.accepted);
    EXPECT_EQ(parsed.info.pixelMode, PixelMode::Indexed);
    EXPECT_EQ(parsed.info.paletteSize, 2u);
}

// "ILBM" 4096 x 4096 with 32 planes and a mask plane: the largest stored row
// there is. Its body holds the first row and a little of the second.
TEST(HostileSizes, LargestPictureWithAShortBody) {
    constexpr unsigned side = 4096;
    constexpr std::size_t planeRow = side / 8;
    Bytes body(planeRow * 33 + 100, 0);
    for (std::size_t j = 0; j < 32; j += 8) body[j * planeRow] = 0x80;  // pixel 0: 0x01010101
    std::memset(&body[32 * planeRow], 0xFF, planeRow);                   // row 0 fully visible
    const Bytes file = IffBuilder().bmhd(header(side, side, 32, 1)).body(body).bytes();

    const GuardedBuffer input(file);
    ImageInfo info{};
    ASSERT_TRUE(parsePicture(info, input.begin(), input.end()));
    EXPECT_EQ(info.pixelMode, PixelMode::Rgba32);
    const OutputSize size = outputSize(info);
    ASSERT_EQ(size.width, side);
    ASSERT_EQ(size.height, side);

    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    GuardedBuffer out(std::size_t{side} * side * 4);
    std::memset(out.data(), 0xA5, out.size());  // shows any pixel left unwritten
    auto* pixels = reinterpret_cast<std::uint32_t*>(out.data());
    decodePicture(info, pixels);
    const std::uint32_t* topRow = pixels + std::size_t{side - 1} * side;
    EXPECT_EQ(topRow[0], 0x01010101u);
    for (std::size_t x = 1; x < side; ++x) ASSERT_EQ(topRow[x], 0u) << x;
    // Rows the body does not hold have mask bits of 0: all masked out.
    for (std::size_t i = 0; i < std::size_t{side - 1} * side; ++i) ASSERT_EQ(pixels[i], 0u) << i;

    // The 64 MiB output and nothing else of that order.
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 2 * 64 * 1024) << "KiB";
}

// A file of several gigabytes, almost all of it holes: the parser reads chunk
// headers only, so it touches a handful of pages wherever the chunks sit.
class SparseFile : public ::testing::Test {
protected:
    static constexpr std::uint64_t fileSize = 6ull << 30;

    void SetUp() override {
        path_ = ::testing::TempDir() + "vantrel-sparse-XXXXXX";
        fd_ = mkstemp(path_.data());
        ASSERT_GE(fd_, 0);
        ASSERT_EQ(ftruncate(fd_, static_cast<off_t>(fileSize)), 0);
    }

    void TearDown() override {
        if (view_ != nullptr) munmap(view_, fileSize);
        if (fd_ >= 0) close(fd_);
        unlink(path_.c_str());
    }

    void put(std::uint64_t at, const Bytes& bytes) {
        ASSERT_EQ(pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(at)),
                  static_cast<ssize_t>(bytes.size()));
    }

    const std::uint8_t* map() {
        void* view = mmap(nullptr, fileSize, PROT_READ, MAP_SHARED, fd_, 0);
        if (view == MAP_FAILED) return nullptr;
        view_ = view;
        return static_cast<const std::uint8_t*>(view);
    }

    std::size_t residentPages() {
        const auto page = static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
        std::vector<unsigned char> resident(static_cast<std::size_t>((fileSize + page - 1) / page));
        if (mincore(view_, fileSize, resident.data()) != 0) return SIZE_MAX;
        std::size_t count = 0;
        for (unsigned char r : resident) count += r & 1;
        return count;
    }

    std::string path_;
    int fd_ = -1;
    void* view_ = nullptr;
};

TEST_F(SparseFile, ParsesByItsChunkHeadersOnly) {
    // Colour map and header at the start, then a chunk of almost 4 GiB to skip,
    // the body beyond it, and a last chunk claiming more than the file holds.
    const Bytes head = IffBuilder().bmhd(header(16, 16, 4)).cmap(greys(16)).rawChunk("ANNO", 0xFFFFFFFE, {}).bytes();
    const std::uint64_t bodyAt = head.size() + 0xFFFFFFFEull;
    Bytes tail = IffBuilder().body(Bytes(16 * 4 * 2, 0xC3)).rawChunk("ANNO", 0x7FFFFFFF, {}).bytes();
    tail.erase(tail.begin(), tail.begin() + 12);  // chunks only, no group header
    put(0, head);
    put(bodyAt, tail);
    const std::uint8_t* view = map();
    ASSERT_NE(view, nullptr);
    const std::size_t residentBefore = residentPages();

    ImageInfo info{};
    ASSERT_TRUE(parsePicture(info, view, view + fileSize));
    EXPECT_EQ(info.pixelMode, PixelMode::Indexed);
    EXPECT_EQ(info.body, view + bodyAt + 8);
    EXPECT_EQ(info.bodySize, 128u);
    GuardedBuffer out(16 * 16 * 4);
    decodePicture(info, reinterpret_cast<std::uint32_t*>(out.data()));
    EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(out.begin())[0], 0xFF0F0F0Fu);  // value 0b1111 at 0 -> grey 15

    EXPECT_LE(residentPages(), residentBefore + 4) << "the walk read chunk data it had no need of";
}

}  // namespace
}  // namespace vantrel::fuzz
