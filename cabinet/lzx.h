// LZX block decoder: one CFDATA block (a 32 KiB frame) per call, state carried through a folder.
// Reached through the codec table (codec.h), whose entry these functions make.
#pragma once

#include <cstddef>

#include "codec.h"

namespace cabinet {

// Window sizes the cabinet format allows: 2^15 to 2^21 bytes.
bool lzxWindowValid(unsigned windowBits);
void* lzxCreate(unsigned windowBits, const DecoderMemory& mem);
bool lzxReset(void* decoder);
// After kBadData the folder cannot continue until reset.
BlockResult lzxDecode(void* decoder, const unsigned char* in, std::size_t inLen, unsigned char* out,
                      std::size_t outLen);
void lzxDestroy(void* decoder);

} // namespace cabinet
