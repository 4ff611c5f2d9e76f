#include "fuzz/DamageCases.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

namespace vantrel::fuzz {
namespace {

constexpr std::size_t everyLengthUpTo = 8192;
constexpr std::size_t everyBodyLengthUpTo = 2048;
constexpr std::uint32_t bmhdId = 0x424D4844;  // "BMHD"
constexpr std::uint32_t bodyId = 0x424F4459;  // "BODY"
constexpr std::uint32_t abitId = 0x41424954;  // "ABIT"

std::uint32_t readBigEndian32(const Bytes& b, std::size_t at) {
    return std::uint32_t{b[at]} << 24 | std::uint32_t{b[at + 1]} << 16 | std::uint32_t{b[at + 2]} << 8 | b[at + 3];
}

void writeBigEndian32(Bytes& b, std::size_t at, std::uint32_t value) {
    for (unsigned i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

Bytes prefix(const Bytes& b, std::size_t length) {
    return Bytes(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(length));
}

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
        around(header + 8 + readBigEndian32(b, header + 4), 3, 3);
    }
    for (std::size_t i = 0; i <= 1000; ++i) lengths.insert(size * i / 1000);
    return lengths;
}

std::set<std::size_t> bodyLengths(std::size_t full) {
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

// FNV-1a: a seed that depends on the subject alone, not on the order of subjects.
std::uint32_t seedFor(const std::string& name) {
    std::uint32_t hash = 2166136261u;
    for (char c : name) hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
    return hash;
}

}  // namespace

std::vector<Subject> generatedSubjects() {
    std::vector<Subject> subjects;
    for (auto& picture : testPictures()) subjects.push_back({picture.name, std::move(picture.bytes)});
    return subjects;
}

std::vector<Subject> folderSubjects(const std::string& folder) {
    namespace fs = std::filesystem;
    std::vector<Subject> files;
    if (!fs::is_directory(folder)) return files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files.push_back({entry.path().filename().string(),
                         Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()}});
    }
    std::sort(files.begin(), files.end(), [](const Subject& a, const Subject& b) { return a.name < b.name; });
    return files;
}

std::vector<std::size_t> chunkHeaders(const Bytes& b) {
    std::vector<std::size_t> headers;
    std::uint64_t at = 12;
    while (at + 8 <= b.size()) {
        headers.push_back(static_cast<std::size_t>(at));
        const std::uint64_t size = readBigEndian32(b, static_cast<std::size_t>(at) + 4);
        at += 8 + size + (size & 1);
    }
    return headers;
}

void truncations(const Subject& s, const DamageVisitor& visit) {
    for (std::size_t n : truncationLengths(s.bytes)) visit(prefix(s.bytes, n), s.name + " cut to " + std::to_string(n));
}

void shortBodies(const Subject& s, const DamageVisitor& visit) {
    for (std::size_t header : chunkHeaders(s.bytes)) {
        const std::uint32_t id = readBigEndian32(s.bytes, header);
        if (id != bodyId && id != abitId) continue;
        const std::size_t data = header + 8;
        const std::size_t full = std::min<std::size_t>(readBigEndian32(s.bytes, header + 4), s.bytes.size() - data);
        for (std::size_t n : bodyLengths(full)) {
            Bytes damaged = prefix(s.bytes, data + n);
            writeBigEndian32(damaged, header + 4, static_cast<std::uint32_t>(n));
            if (n % 2 != 0) damaged.push_back(0);
            visit(damaged, s.name + " body cut to " + std::to_string(n));
        }
    }
}

void byteFlips(const Subject& s, const DamageVisitor& visit) {
    static const std::uint8_t extremes[] = {0x00, 0xFF, 0x80, 0x7F, 0x01, 0x10};
    if (s.bytes.empty()) return;
    std::mt19937 random(seedFor(s.name));
    const unsigned flips = s.bytes.size() <= everyLengthUpTo ? 400 : 80;
    for (unsigned i = 0; i < flips; ++i) {
        Bytes damaged = s.bytes;
        std::string what = s.name;
        // Mostly one byte; every fourth case sets a short run of bytes to an extreme value.
        const unsigned count = i % 4 == 3 ? 1 + random() % 4 : 1;
        for (unsigned k = 0; k < count; ++k) {
            const std::size_t at = random() % damaged.size();
            damaged[at] = count > 1 ? extremes[random() % 6] : static_cast<std::uint8_t>(damaged[at] ^ (1 + random() % 255));
            what += " [" + std::to_string(at) + "]=" + std::to_string(damaged[at]);
        }
        visit(damaged, what);
    }
}

void sizeRewrites(const Subject& s, const DamageVisitor& visit) {
    std::vector<std::size_t> fields{4};  // the group's own size, then each chunk's
    for (std::size_t header : chunkHeaders(s.bytes)) fields.push_back(header + 4);
    for (std::size_t field : fields) {
        if (field + 4 > s.bytes.size()) continue;
        const std::uint32_t size = readBigEndian32(s.bytes, field);
        const auto left = static_cast<std::uint32_t>(s.bytes.size() - field - 4);
        for (std::uint32_t rewritten : {0u, 1u, size - 1, size + 1, size | 1u, left - 1, left, left + 1, left + 2,
                                        left + 1000, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
            Bytes damaged = s.bytes;
            writeBigEndian32(damaged, field, rewritten);
            visit(damaged, s.name + " size at " + std::to_string(field) + " = " + std::to_string(rewritten));
        }
    }
}

void headerRewrites(const Subject& s, const DamageVisitor& visit) {
    struct Field {
        std::size_t offset;  // into the "BMHD" data
        unsigned bytes;
        std::vector<unsigned> values;
    };
    static const std::vector<Field> fields{
        {0, 2, {0, 1, 15, 16, 17, 4095, 4096, 4097, 0xFFFF}},           // width
        {2, 2, {0, 1, 2, 4096, 4097, 0xFFFF}},                          // height
        {8, 1, {0, 1, 4, 5, 6, 7, 8, 9, 23, 24, 25, 31, 32, 33, 255}},  // planes
        {9, 1, {0, 1, 2, 3, 255}},                                      // masking
        {10, 1, {0, 1, 2, 255}},                                        // compression
        {12, 2, {0, 1, 0xFF, 0xFFFF}},                                  // transparent colour
    };
    for (std::size_t header : chunkHeaders(s.bytes)) {
        if (readBigEndian32(s.bytes, header) != bmhdId || header + 8 + 20 > s.bytes.size()) continue;
        for (const Field& field : fields) {
            for (unsigned value : field.values) {
                Bytes damaged = s.bytes;
                const std::size_t at = header + 8 + field.offset;
                if (field.bytes == 2) damaged[at] = static_cast<std::uint8_t>(value >> 8);
                damaged[at + field.bytes - 1] = static_cast<std::uint8_t>(value);
                visit(damaged, s.name + " BMHD+" + std::to_string(field.offset) + " = " + std::to_string(value));
            }
        }
    }
}

void allDamage(const Subject& s, const DamageVisitor& visit) {
    truncations(s, visit);
    shortBodies(s, visit);
    byteFlips(s, visit);
    sizeRewrites(s, visit);
    headerRewrites(s, visit);
}

}  // namespace vantrel::fuzz
