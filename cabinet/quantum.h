// Quantum block decoder: one CFDATA block (a 32 KiB frame) per call, state carried through a folder.
// The adaptive models and window position live in process-wide storage, so only one Quantum folder
// can be decoded at a time in the whole process; the handle that last created or reset owns it.
#pragma once

#include <cstddef>

#include "decoder_memory.h"

namespace cabinet {

struct QtmDecoder;

// Window sizes Quantum allows: 2^10 to 2^21 bytes.
bool qtmWindowValid(unsigned windowBits);

// Takes the handle and its window through `mem`; nullptr when the memory cannot be had or the
// window size is not allowed. The new handle owns the working state, set to a new folder.
QtmDecoder* qtmCreate(unsigned windowBits, const DecoderMemory& mem);

// Back to the state of a new folder (taking the working state over); false for a bad handle.
bool qtmReset(QtmDecoder* d);

// Decodes one block of `inLen` compressed bytes into exactly `outLen` (1..32768) bytes.
// Returns outLen, or -1 for any data error or when another handle has taken the working state.
int qtmDecode(QtmDecoder* d, const unsigned char* in, std::size_t inLen, unsigned char* out,
              std::size_t outLen);

void qtmDestroy(QtmDecoder* d);

}  // namespace cabinet
