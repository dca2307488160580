// The decoder of the current folder's compression type and its two buffers: the compressed
// input of one data block and the (at most 32 KiB) output of one block.
#pragma once

#include <cstddef>

#include "codec.h"

namespace cabinet {

class BlockDecoders
{
public:
    static constexpr std::size_t kOutputSize = kBlockOutputMax;

    void setMemory(const DecoderMemory& memory) { memory_ = memory; }

    // Makes `typeCompress` current, keeping the decoder when the type is the current one:
    // FDIERROR_NONE, _ALLOC_FAIL, _BAD_COMPR_TYPE (no such method) or _MDI_FAIL (refused window).
    FDIERROR choose(unsigned typeCompress);
    // The state of a new folder; false when the decoder's handle is not valid.
    bool reset();
    // Whether a block of `total` compressed bytes fits the input buffer; when not, what the
    // method reports it as.
    FDIERROR admit(std::size_t total) const;
    // Decodes the input buffer's first `inLen` bytes into exactly `expected` bytes of the output
    // buffer: FDIERROR_NONE or _MDI_FAIL.
    FDIERROR decode(std::size_t inLen, std::size_t expected);
    // Drops the decoder and its buffers; no type is current afterwards.
    void release();

    unsigned char* input() const { return input_; }
    const unsigned char* output() const { return output_; }

private:
    void* allocate(std::size_t bytes) const { return memory_.alloc(memory_.ctx, bytes); }
    void free(void* p) const
    {
        if (p != nullptr)
            memory_.release(memory_.ctx, p);
    }

    DecoderMemory memory_{};
    const Codec* codec_ = nullptr; // set while a type is current
    unsigned type_ = 0;
    void* decoder_ = nullptr;
    unsigned char* input_ = nullptr;
    unsigned char* output_ = nullptr;
    std::size_t inputSize_ = 0;
};

} // namespace cabinet
