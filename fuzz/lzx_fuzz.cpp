// The LZX decoder alone, windows 2^15 to 2^21; the input format is described in
// window_decoder_fuzz.h.
#include "lzx.h"
#include "window_decoder_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const fuzzcab::WindowDecoderApi<cabinet::LzxDecoder> api{cabinet::lzxCreate, cabinet::lzxReset,
                                                                    cabinet::lzxDecode, cabinet::lzxDestroy};
    return fuzzcab::runWindowDecoder(api, 15, 7, data, size);
}
