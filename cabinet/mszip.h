// MSZIP blocks: "CK" and a deflate stream (RFC 1951) per cabinet data block, with the last
// 32 KiB of the folder's output as the history that back-references may reach into.
#pragma once

#include <cstddef>

#include "decoder_memory.h"

namespace cabinet {

struct MszipDecoder;  // carries the tag "MDIC"

MszipDecoder* mszipCreate(const DecoderMemory& memory);  // nullptr = no memory
bool mszipReset(MszipDecoder* decoder);                   // start of a folder; false = bad handle
// Decodes one block into out (at most outCapacity bytes, itself at most 32768); answers the number
// of bytes produced, or -1 when the block is not valid MSZIP data.
int mszipDecode(MszipDecoder* decoder, const unsigned char* in, std::size_t inLen, unsigned char* out,
                std::size_t outCapacity);
void mszipDestroy(MszipDecoder* decoder);

}  // namespace cabinet
