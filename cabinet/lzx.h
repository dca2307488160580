// LZX block decoder: one CFDATA block (a 32 KiB frame) per call, state carried through a folder.
// Reached through the codec table (codec.h), whose entry these functions make.
#pragma once

#include <cstddef>

#include "codec.h"

namespace cabinet {

// The longest input of one frame: its output plus what a valid frame can exceed it by.
constexpr std::size_t kLzxInputMax = kBlockOutputMax + 6144;

// Window sizes the cabinet format allows: 2^15 to 2^21 bytes.
bool lzxWindowValid(unsigned windowBits);
void* lzxCreate(unsigned windowBits, const DecoderMemory& mem);
bool lzxReset(void* decoder);
// After kBadData the folder cannot continue until reset.
BlockResult lzxDecode(void* decoder, const unsigned char* in, std::size_t inLen, unsigned char* out,
                      std::size_t outLen);
// Decoding ahead on a second thread, from a folder's first frame on: lzxFeed hands over a frame's
// input (copied) and answers false when the decoder has room for no more or cannot decode ahead;
// lzxTake gives the output of the oldest frame handed over, as lzxDecode would have. A folder
// whose frames are handed over goes on that way until reset; lzxDecode then feeds and takes.
bool lzxFeed(void* decoder, const unsigned char* in, std::size_t inLen, std::size_t outLen);
BlockResult lzxTake(void* decoder, unsigned char* out, std::size_t outLen);
void lzxDestroy(void* decoder);

} // namespace cabinet
