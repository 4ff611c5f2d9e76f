#include "bench/FfmpegIff.h"

#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mem.h>
}

namespace vantrel::bench {

FfmpegIff::FfmpegIff(const std::vector<std::uint8_t>& file) : file_(file) {
    av_log_set_level(AV_LOG_QUIET);
    if (!open()) {
        avcodec_free_context(&codec_);
    }
}

FfmpegIff::~FfmpegIff() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&codec_);
    avformat_close_input(&format_);
    if (io_ != nullptr) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
}

int FfmpegIff::readBytes(void* self, std::uint8_t* buffer, int size) {
    auto* me = static_cast<FfmpegIff*>(self);
    const std::size_t left = me->file_.size() - me->position_;
    const std::size_t count = left < std::size_t(size) ? left : std::size_t(size);
    if (count == 0) return AVERROR_EOF;
    std::memcpy(buffer, me->file_.data() + me->position_, count);
    me->position_ += count;
    return int(count);
}

std::int64_t FfmpegIff::seek(void* self, std::int64_t offset, int whence) {
    auto* me = static_cast<FfmpegIff*>(self);
    const auto size = std::int64_t(me->file_.size());
    std::int64_t target = offset;
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE: return size;
        case SEEK_SET: break;
        case SEEK_CUR: target += std::int64_t(me->position_); break;
        case SEEK_END: target += size; break;
        default: return -1;
    }
    if (target < 0 || target > size) return -1;
    me->position_ = std::size_t(target);
    return target;
}

bool FfmpegIff::open() {
    constexpr int bufferSize = 1 << 16;
    auto* buffer = static_cast<unsigned char*>(av_malloc(bufferSize));
    io_ = avio_alloc_context(buffer, bufferSize, 0, this, &FfmpegIff::readBytes, nullptr, &FfmpegIff::seek);
    format_ = avformat_alloc_context();
    if (io_ == nullptr || format_ == nullptr) return false;
    format_->pb = io_;
    if (avformat_open_input(&format_, nullptr, av_find_input_format("iff"), nullptr) < 0) return false;
    if (format_->nb_streams < 1) return false;
    const AVCodecParameters* parameters = format_->streams[0]->codecpar;
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    packet_ = av_packet_alloc();
    frame_ = av_frame_alloc();
    codec_ = avcodec_alloc_context3(decoder);
    if (decoder == nullptr || packet_ == nullptr || frame_ == nullptr || codec_ == nullptr) return false;
    if (avcodec_parameters_to_context(codec_, parameters) < 0) return false;
    codec_->thread_count = 1;
    if (avcodec_open2(codec_, decoder, nullptr) < 0) return false;
    if (av_read_frame(format_, packet_) < 0) return false;
    return decode();
}

bool FfmpegIff::decode() {
    if (avcodec_send_packet(codec_, packet_) < 0) return false;
    const bool ok = avcodec_receive_frame(codec_, frame_) == 0;
    av_frame_unref(frame_);
    return ok;
}

}  // namespace vantrel::bench
