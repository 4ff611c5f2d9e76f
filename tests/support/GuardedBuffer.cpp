#include "tests/support/GuardedBuffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace vantrel::test {

GuardedBuffer::GuardedBuffer(std::size_t size, Edge edge) : size_(size) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t dataPages = (size + page - 1) / page;
    mappingSize_ = (dataPages + 2) * page;  // one guard page on each side
    mapping_ = mmap(nullptr, mappingSize_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping_ == MAP_FAILED) throw std::runtime_error("mmap failed");
    auto* first = static_cast<std::uint8_t*>(mapping_) + page;
    if (dataPages != 0 && mprotect(first, dataPages * page, PROT_READ | PROT_WRITE) != 0) {
        throw std::runtime_error("mprotect failed");
    }
    data_ = edge == Edge::Start ? first : first + dataPages * page - size;
}

GuardedBuffer::GuardedBuffer(const std::vector<std::uint8_t>& contents, Edge edge)
    : GuardedBuffer(contents.size(), edge) {
    if (!contents.empty()) std::memcpy(data_, contents.data(), contents.size());
}

GuardedBuffer::~GuardedBuffer() { munmap(mapping_, mappingSize_); }

}  // namespace vantrel::test
