// Every generated picture and every corpus file, cut short at every length (or,
// for large files, around every chunk boundary and at a dense sample), with
// bytes flipped and chunk sizes rewritten, through the whole guarded check.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

#include "fuzz/PictureCheck.h"
#include "fuzz/TestPictures.h"
#include "iff/Parser.h"

namespace vantrel::fuzz {
namespace {

namespace fs = std::filesystem;

struct Subject {
    std::string name;
    Bytes bytes;
};

std::vector<Subject> corpusFiles() {
    std::vector<Subject> files;
    const fs::path dir = VANTREL_CORPUS_DIR;
    if (!fs::is_directory(dir)) return files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files.push_back({entry.path().filename().string(),
                         Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}});
    }
    std::sort(files.begin(), files.end(), [](const Subject& a, const Subject& b) { return a.name < b.name; });
    return files;
}

std::vector<Subject> subjects() {
    std::vector<Subject> all;
    for (auto& picture : testPictures()) all.push_back({picture.name, std::move(picture.bytes)});
    for (auto& file : corpusFiles()) all.push_back(std::move(file));
    return all;
}

// Runs damaged copies through the check, counting them and keeping the first
// few failures with what was done to the file.
class DamageRun {
public:
    explicit DamageRun(const char* kind) : kind_(kind) {}
    ~DamageRun() {
        std::printf("%s: %zu damaged files checked, %zu accepted\n", kind_, cases_, accepted_);
        ::testing::Test::RecordProperty("cases", static_cast<int>(cases_));
        EXPECT_TRUE(failures_.empty()) << failures_.size() << " failures, first: " << failures_.front();
    }

    void check(const Bytes& bytes, const std::string& what) {
        const CheckResult result = checkPicture(bytes.data(), bytes.size());
        ++cases_;
        if (result.accepted) ++accepted_;
        if (!result.problem.empty() && failures_.size() < 20) failures_.push_back(what + ": " + result.problem);
    }

private:
    const char* kind_;
    std::size_t cases_ = 0;
    std::size_t accepted_ = 0;
    std::vector<std::string> failures_;
};

std::uint32_t readBigEndian32(const Bytes& b, std::size_t at) {
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

void writeBigEndian32(Bytes& b, std::size_t at, std::uint32_t value) {
    for (unsigned i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

// Offsets of the chunk headers as a plain IFF walk finds them.
std::vector<std::size_t> chunkHeaders(const Bytes& b) {
    std::vector<std::size_t> headers;
    std::size_t at = 12;
    while (at + 8 <= b.size()) {
        headers.push_back(at);
        const std::uint64_t size = readBigEndian32(b, at + 4);
        at += 8 + static_cast<std::size_t>(size + (size & 1));
    }
    return headers;
}

constexpr std::size_t everyLengthUpTo = 8192;

// Every length for small files; for large ones the lengths around each chunk
// header and each chunk's end, the first and last bytes, and 1000 more spread
// over the file.
std::set<std::size_t> truncationLengths(const Bytes& b) {
    std::set<std::size_t> lengths;
    const std::size_t size = b.size();
    if (size <= everyLengthUpTo) {
        for (std::size_t n = 0; n <= size; ++n) lengths.insert(n);
        return lengths;
    }
    auto around = [&](std::size_t at, std::size_t before, std::size_t after) {
        for (std::size_t n = at > before ? at - before : 0; n <= std::min(size, at + after); ++n) lengths.insert(n);
    };
    around(0, 0, 64);
    around(size, 64, 0);
    for (std::size_t header : chunkHeaders(b)) {
        around(header, 2, 30);
        const std::size_t size32 = readBigEndian32(b, header + 4);
        around(header + 8 + size32, 3, 3);
    }
    for (std::size_t i = 0; i <= 1000; ++i) lengths.insert(size * i / 1000);
    return lengths;
}

// Every length of a small body; for a large one (a corpus picture, costly to
// decode) its first and last bytes and 64 lengths spread between.
std::set<std::size_t> bodyLengths(std::size_t full) {
    constexpr std::size_t everyBodyLengthUpTo = 2048;
    std::set<std::size_t> lengths;
    if (full <= everyBodyLengthUpTo) {
        for (std::size_t n = 0; n <= full; ++n) lengths.insert(n);
        return lengths;
    }
    for (std::size_t n = 0; n <= 8; ++n) {
        lengths.insert(n);
        lengths.insert(full - n);
    }
    for (std::size_t i = 0; i <= 64; ++i) lengths.insert(full * i / 64);
    return lengths;
}

TEST(DamagedPictures, GeneratedSetCoversEveryFormModeAndEncoding) {
    std::set<PixelMode> modes;
    std::set<FormType> forms;
    std::set<unsigned> compressions, maskings;
    bool linePalettes = false;
    for (const auto& picture : testPictures()) {
        ImageInfo info{};
        ASSERT_TRUE(parsePicture(info, picture.bytes.data(), picture.bytes.data() + picture.bytes.size()))
            << picture.name;
        const CheckResult result = checkPicture(picture.bytes.data(), picture.bytes.size());
        EXPECT_TRUE(result.problem.empty()) << picture.name << ": " << result.problem;
        modes.insert(info.pixelMode);
        forms.insert(info.formType);
        compressions.insert(info.compression);
        maskings.insert(info.masking);
        linePalettes = linePalettes || info.linePalettes != nullptr;
    }
    EXPECT_EQ(modes.size(), 10u);
    EXPECT_EQ(forms.size(), 3u);
    EXPECT_EQ(compressions.size(), 2u);
    EXPECT_EQ(maskings.size(), 3u);
    EXPECT_TRUE(linePalettes);
}

TEST(DamagedPictures, EveryTruncation) {
    DamageRun run("truncations");
    for (const Subject& s : subjects()) {
        for (std::size_t n : truncationLengths(s.bytes)) {
            run.check(Bytes(s.bytes.begin(), s.bytes.begin() + static_cast<std::ptrdiff_t>(n)),
                      s.name + " cut to " + std::to_string(n));
        }
    }
}

// A body chunk cut short keeps the walk from taking it, so truncation alone
// never reaches the decoder with a short body. Here the body chunk's size and
// the file end together, the way a writer that stopped early would leave them.
TEST(DamagedPictures, EveryBodyLength) {
    DamageRun run("short bodies");
    for (const Subject& s : subjects()) {
        for (std::size_t header : chunkHeaders(s.bytes)) {
            const std::uint32_t id = readBigEndian32(s.bytes, header);
            if (id != 0x424F4459 && id != 0x41424954) continue;  // "BODY", "ABIT"
            const std::size_t data = header + 8;
            const std::size_t full = std::min<std::size_t>(readBigEndian32(s.bytes, header + 4), s.bytes.size() - data);
            for (std::size_t n : bodyLengths(full)) {
                Bytes damaged(s.bytes.begin(), s.bytes.begin() + static_cast<std::ptrdiff_t>(data + n));
                writeBigEndian32(damaged, header + 4, static_cast<std::uint32_t>(n));
                if (n % 2 != 0) damaged.push_back(0);
                run.check(damaged, s.name + " body cut to " + std::to_string(n));
            }
        }
    }
}

TEST(DamagedPictures, ByteFlips) {
    // Fewer for the large corpus pictures, each of which takes long to decode.
    auto flipsFor = [](const Bytes& b) { return b.size() <= everyLengthUpTo ? 400u : 80u; };
    static const std::uint8_t extremes[] = {0x00, 0xFF, 0x80, 0x7F, 0x01, 0x10};
    DamageRun run("byte flips");
    std::mt19937 random(20240511);
    for (const Subject& s : subjects()) {
        if (s.bytes.empty()) continue;
        for (unsigned i = 0; i < flipsFor(s.bytes); ++i) {
            Bytes damaged = s.bytes;
            std::string what = s.name;
            // Mostly one byte; every fourth case sets a short run of bytes to an extreme value.
            const unsigned count = i % 4 == 3 ? 1 + random() % 4 : 1;
            for (unsigned k = 0; k < count; ++k) {
                const std::size_t at = random() % damaged.size();
                const std::uint8_t value = count > 1 ? extremes[random() % 6]
                                                     : static_cast<std::uint8_t>(damaged[at] ^ (1 + random() % 255));
                damaged[at] = value;
                what += " [" + std::to_string(at) + "]=" + std::to_string(value);
            }
            run.check(damaged, what);
        }
    }
}

TEST(DamagedPictures, ChunkSizeRewrites) {
    DamageRun run("chunk size rewrites");
    for (const Subject& s : subjects()) {
        std::vector<std::size_t> sizeFields{4};  // the group's own size, then each chunk's
        for (std::size_t header : chunkHeaders(s.bytes)) sizeFields.push_back(header + 4);
        for (std::size_t field : sizeFields) {
            if (field + 4 > s.bytes.size()) continue;
            const std::uint32_t size = readBigEndian32(s.bytes, field);
            const auto left = static_cast<std::uint32_t>(s.bytes.size() - field - 4);
            for (std::uint32_t rewritten : {0u, 1u, size - 1, size + 1, size | 1u, left - 1, left, left + 1, left + 2,
                                            left + 1000, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
                Bytes damaged = s.bytes;
                writeBigEndian32(damaged, field, rewritten);
                run.check(damaged, s.name + " size at " + std::to_string(field) + " = " + std::to_string(rewritten));
            }
        }
    }
}

// Bitmap header fields set to limits and past them, one at a time.
TEST(DamagedPictures, HeaderFieldRewrites) {
    struct Field {
        std::size_t offset;  // into the "BMHD" data
        unsigned bytes;
        std::vector<unsigned> values;
    };
    const std::vector<Field> fields{
        {0, 2, {0, 1, 15, 16, 17, 4095, 4096, 4097, 0xFFFF}},  // width
        {2, 2, {0, 1, 2, 4096, 4097, 0xFFFF}},                 // height
        {8, 1, {0, 1, 4, 5, 6, 7, 8, 9, 23, 24, 25, 31, 32, 33, 255}},  // planes
        {9, 1, {0, 1, 2, 3, 255}},                             // masking
        {10, 1, {0, 1, 2, 255}},                               // compression
        {12, 2, {0, 1, 0xFF, 0xFFFF}},                         // transparent colour
    };
    DamageRun run("header field rewrites");
    for (const auto& picture : testPictures()) {
        const auto headers = chunkHeaders(picture.bytes);
        const auto bmhd = std::find_if(headers.begin(), headers.end(),
                                       [&](std::size_t at) { return readBigEndian32(picture.bytes, at) == 0x424D4844; });
        if (bmhd == headers.end()) continue;
        for (const Field& field : fields) {
            for (unsigned value : field.values) {
                Bytes damaged = picture.bytes;
                const std::size_t at = *bmhd + 8 + field.offset;
                if (field.bytes == 2) damaged[at] = static_cast<std::uint8_t>(value >> 8);
                damaged[at + field.bytes - 1] = static_cast<std::uint8_t>(value);
                run.check(damaged, picture.name + " BMHD+" + std::to_string(field.offset) + " = " +
                                       std::to_string(value));
            }
        }
    }
}

}  // namespace
}  // namespace vantrel::fuzz
