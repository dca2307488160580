// Block decoders through the codec table: an owned decoder of one method, frames run through it,
// and sample data for the test encoders. And the one counting allocator of the cabinet tests:
// what is outstanding, the peak, every request's size, and a request refused on purpose. The
// engine's callbacks (which carry no context) use fdiHeap(); a decoder gets any heap through memory().
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>
#include "codec.h"

namespace cabtest {

using Bytes = std::vector<std::uint8_t>;

struct CountingHeap {
    std::size_t outstanding = 0, outstandingBytes = 0, peakBytes = 0;  // blocks and bytes not yet released
    std::vector<std::size_t> sizes;  // every request, refused ones too, in order
    long failAt = -1;                // the request (from 0) that answers null
    void* allocate(std::size_t bytes);
    void release(void* p);
    cabinet::DecoderMemory memory();
};
CountingHeap& fdiHeap();

struct Frame {
    Bytes bytes;             // a data block's compressed bytes
    std::uint32_t size = 0;  // its uncompressed size
};

inline const cabinet::Codec& codecOf(cabinet::Method m) { return cabinet::kCodecs[static_cast<unsigned>(m)]; }

class Decoder {
public:
    Decoder(cabinet::Method method, unsigned windowBits, const cabinet::DecoderMemory& memory)
        : codec_(codecOf(method)), handle_(codec_.create(windowBits, memory)) {}
    ~Decoder() { codec_.destroy(handle_); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    explicit operator bool() const { return handle_ != nullptr; }
    bool reset() { return codec_.reset(handle_); }
    // One block into `out` (resized to outLen).
    cabinet::BlockResult decode(const Bytes& in, std::size_t outLen, Bytes& out) {
        out.assign(outLen, 0);
        return codec_.decode(handle_, in.data(), in.size(), out.data(), outLen);
    }
    // Frames in order into `out`; the index of the first one not decoded, or -1 when all are.
    int decodeFrames(const std::vector<Frame>& frames, Bytes& out) {
        out.clear();
        Bytes block;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            if (decode(frames[i].bytes, frames[i].size, block) != cabinet::BlockResult::kOk) return static_cast<int>(i);
            out.insert(out.end(), block.begin(), block.end());
        }
        return -1;
    }
private:
    const cabinet::Codec& codec_;
    void* handle_;
};

// Text-like data with near and far repeats, incompressible stretches and x86 call bytes.
Bytes sampleData(std::size_t n, std::uint32_t seed, std::size_t farthest);

}  // namespace cabtest
