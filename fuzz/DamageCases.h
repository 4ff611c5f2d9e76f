// Damaged copies of a picture file, made the same way on every platform: the
// native damage tests run them through the parser and decoder, the Windows
// robustness test through the real DLL.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "fuzz/TestPictures.h"

namespace vantrel::fuzz {

struct Subject {
    std::string name;
    Bytes bytes;
};

// Each damaged file and a description of what was done to it.
using DamageVisitor = std::function<void(const Bytes& damaged, const std::string& what)>;

std::vector<Subject> generatedSubjects();

// The picture files in folder (not its notes), by name; none when the folder
// is missing.
std::vector<Subject> folderSubjects(const std::string& folder);

// Offsets of the chunk headers after the group header, as a plain IFF walk
// finds them (without any of the parser's rules).
std::vector<std::size_t> chunkHeaders(const Bytes& file);

// Cut short at every length; for files over 8 KiB, at every length near each
// chunk boundary, the first and last bytes, and 1000 lengths spread between.
void truncations(const Subject& subject, const DamageVisitor& visit);

// The body chunk cut short with its size field and the file end agreeing, the
// way a writer that stopped early leaves it: every length of a body up to
// 2 KiB, else its first and last bytes and 64 lengths spread between.
void shortBodies(const Subject& subject, const DamageVisitor& visit);

// 400 single-byte flips and short runs set to extreme values (80 for files
// over 8 KiB), from a random sequence seeded by the subject's name.
void byteFlips(const Subject& subject, const DamageVisitor& visit);

// The group size and every chunk size field set to 0, odd, off by one, to the
// bytes left, just past them, far past them, 0xFFFFFFFE and 0xFFFFFFFF.
void sizeRewrites(const Subject& subject, const DamageVisitor& visit);

// Bitmap header fields (width, height, planes, masking, compression,
// transparent colour) set one at a time to limits and past them.
void headerRewrites(const Subject& subject, const DamageVisitor& visit);

// Every kind above.
void allDamage(const Subject& subject, const DamageVisitor& visit);

}  // namespace vantrel::fuzz
