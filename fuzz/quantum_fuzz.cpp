// The Quantum decoder alone, windows 2^10 to 2^21; the input format is described in
// window_decoder_fuzz.h.
#include "quantum.h"
#include "window_decoder_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const fuzzcab::WindowDecoderApi<cabinet::QtmDecoder> api{cabinet::qtmCreate, cabinet::qtmReset,
                                                                    cabinet::qtmDecode, cabinet::qtmDestroy};
    return fuzzcab::runWindowDecoder(api, 10, 12, data, size);
}
