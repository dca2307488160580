// LZX block decoder: one CFDATA block (a 32 KiB frame) per call, state carried through a folder.
#pragma once

#include <cstddef>

#include "decoder_memory.h"

namespace cabinet {

struct LzxDecoder;

// Window sizes the cabinet format allows: 2^15 to 2^21 bytes.
bool lzxWindowValid(unsigned windowBits);

// Takes the handle and its window through `mem`; nullptr when the memory cannot be had or the
// window size is not allowed. The decoder starts in the state of a new folder.
LzxDecoder* lzxCreate(unsigned windowBits, const DecoderMemory& mem);

// Back to the state of a new folder; false for a handle that is not an LZX decoder.
bool lzxReset(LzxDecoder* d);

// Decodes one block of `inLen` compressed bytes into exactly `outLen` (1..32768) bytes.
// Returns outLen, or -1 for any data error; after an error the folder cannot continue until reset.
int lzxDecode(LzxDecoder* d, const unsigned char* in, std::size_t inLen, unsigned char* out,
              std::size_t outLen);

void lzxDestroy(LzxDecoder* d);

}  // namespace cabinet
