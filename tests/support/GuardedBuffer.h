// Memory that faults on the first byte read or written outside it: the block
// sits right against an inaccessible page, so an over-read or an over-write
// crashes even where no sanitizer is watching.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrel::test {

class GuardedBuffer {
public:
    enum class Edge { End, Start };

    // size bytes whose last byte (Edge::End) or first byte (Edge::Start)
    // touches a page with no access; the other side is guarded as well.
    explicit GuardedBuffer(std::size_t size, Edge edge = Edge::End);
    GuardedBuffer(const std::vector<std::uint8_t>& contents, Edge edge = Edge::End);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer&) = delete;
    GuardedBuffer& operator=(const GuardedBuffer&) = delete;

    std::uint8_t* data() { return data_; }
    const std::uint8_t* begin() const { return data_; }
    const std::uint8_t* end() const { return data_ + size_; }
    std::size_t size() const { return size_; }

private:
    void* mapping_ = nullptr;
    std::size_t mappingSize_ = 0;
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace vantrel::test
