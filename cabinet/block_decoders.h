// The decoder of the current folder's compression type and its two buffers: the compressed
// input of one data block and the (at most 32 KiB) output of one block.
#pragma once

#include <cstddef>

#include "decoder_memory.h"

namespace cabinet {

class BlockDecoders {
public:
    static constexpr unsigned kNoType = 0x000F;      // no decoder chosen
    static constexpr std::size_t kOutputSize = 32768;

    void setMemory(const DecoderMemory& memory) { memory_ = memory; }

    // Makes `typeCompress` current, keeping the decoder when the type is the current one.
    // Answers an FDI error code: 0, 5 (no memory), 6 (unknown type) or 7 (refused parameters).
    int choose(unsigned typeCompress);
    // The state of a new folder; false when the decoder's handle is not valid.
    bool reset();
    // Whether a block of `total` compressed bytes can be taken: 0, 7 (a stored block longer than
    // its output can be) or 4 (more than the input buffer holds).
    int admit(std::size_t total) const;
    // Decodes the input buffer's first `inLen` bytes into the output buffer; the block must
    // produce exactly `expected` bytes. Answers 0 or 7.
    int decode(std::size_t inLen, std::size_t expected);
    // Drops the decoder and its buffers; no type is current afterwards.
    void release();

    unsigned type() const { return type_; }
    unsigned char* input() const { return input_; }
    std::size_t inputSize() const { return inputSize_; }
    const unsigned char* output() const { return output_; }

private:
    void* allocate(std::size_t bytes) const { return memory_.alloc(memory_.ctx, bytes); }
    void free(void* p) const
    {
        if (p != nullptr) memory_.release(memory_.ctx, p);
    }

    DecoderMemory memory_{};
    unsigned type_ = kNoType;
    bool chosen_ = false;
    void* decoder_ = nullptr;
    unsigned char* input_ = nullptr;
    unsigned char* output_ = nullptr;
    std::size_t inputSize_ = 0;
};

}  // namespace cabinet
