// MSZIP blocks: "CK" and a deflate stream per cabinet data block, with the last 32 KiB of the
// folder's output as the history that back-references may reach into. Reached through the codec
// table (codec.h), whose entry these functions make.
#pragma once

#include <cstddef>

#include "codec.h"

namespace cabinet {

bool mszipWindowValid(unsigned windowBits);
void* mszipCreate(unsigned windowBits, const DecoderMemory& memory);
bool mszipReset(void* decoder);
BlockResult mszipDecode(void* decoder, const unsigned char* in, std::size_t inLen, unsigned char* out,
                        std::size_t outLen);
void mszipDestroy(void* decoder);

} // namespace cabinet
