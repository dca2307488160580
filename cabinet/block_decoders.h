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

    void setMemory(const DecoderMemory& memory) { m_memory = memory; }

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
    // Hands the input buffer's first `inLen` bytes, a block of `expected` bytes, to a decoder that
    // decodes ahead; false when the method does not, or has no room. The input buffer is free
    // again at once.
    bool feed(std::size_t inLen, std::size_t expected);
    // The output of the oldest block handed over, `expected` bytes, into the output buffer:
    // FDIERROR_NONE or _MDI_FAIL.
    FDIERROR take(std::size_t expected);
    // Drops the decoder and its buffers; no type is current afterwards.
    void release();

    unsigned char* input() const { return m_input; }
    const unsigned char* output() const { return m_output; }

private:
    void* allocate(std::size_t bytes) const { return m_memory.alloc(m_memory.ctx, bytes); }
    void free(void* p) const
    {
        if (p != nullptr)
            m_memory.release(m_memory.ctx, p);
    }

    DecoderMemory m_memory{};
    const Codec* m_codec = nullptr; // set while a type is current
    unsigned m_type = 0;
    void* m_decoder = nullptr;
    unsigned char* m_input = nullptr;
    unsigned char* m_output = nullptr;
    std::size_t m_inputSize = 0;
};

} // namespace cabinet
