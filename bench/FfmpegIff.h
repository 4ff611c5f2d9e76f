// ffmpeg's IFF decoder on one file held in memory: the file goes through
// libavformat's "iff" demuxer once, and decode() then runs the codec on the
// same packet again and again.
#pragma once

#include <cstdint>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;

namespace vantrel::bench {

class FfmpegIff {
public:
    explicit FfmpegIff(const std::vector<std::uint8_t>& file);
    ~FfmpegIff();
    FfmpegIff(const FfmpegIff&) = delete;
    FfmpegIff& operator=(const FfmpegIff&) = delete;

    bool ready() const { return codec_ != nullptr; }  // false when ffmpeg cannot take the file
    bool decode();                                     // one frame from the packet; false on error

private:
    bool open();

    const std::vector<std::uint8_t>& file_;
    std::size_t position_ = 0;
    AVIOContext* io_ = nullptr;
    AVFormatContext* format_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;

    static int readBytes(void* self, std::uint8_t* buffer, int size);
    static std::int64_t seek(void* self, std::int64_t offset, int whence);
};

}  // namespace vantrel::bench
