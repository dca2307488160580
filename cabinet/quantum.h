// Quantum block decoder: one CFDATA block (a 32 KiB frame) per call, state carried through a folder.
// The adaptive models and window position live in process-wide storage, so only one Quantum folder
// can be decoded at a time in the whole process; the handle that last created or reset owns it, and
// decoding with any other handle is refused as bad data. Reached through the codec table (codec.h).
#pragma once

#include <cstddef>

#include "codec.h"

namespace cabinet {

// Window sizes Quantum allows: 2^10 to 2^21 bytes.
bool qtmWindowValid(unsigned windowBits);
void* qtmCreate(unsigned windowBits, const DecoderMemory& mem);
bool qtmReset(void* decoder);
BlockResult qtmDecode(void* decoder, const unsigned char* in, std::size_t inLen, unsigned char* out,
                      std::size_t outLen);
void qtmDestroy(void* decoder);

} // namespace cabinet
