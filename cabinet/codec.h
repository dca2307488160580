// The block codecs of the cabinet format as one table: for each compression method, whether a
// folder's window parameter is acceptable, and the decoder's create, reset, decode and destroy.
// The copy driver, the fuzz targets and the tests all reach the decoders through this table.
#pragma once

#include <cstddef>

#include "decoder_memory.h"
#include "fdi.h"

namespace cabinet {

// The low four bits of a folder's typeCompress.
enum class Method : unsigned { kStored = 0, kMszip = 1, kQuantum = 2, kLzx = 3 };

inline unsigned methodOf(unsigned typeCompress) { return typeCompress & tcompMASK_TYPE; }
inline unsigned windowBitsOf(unsigned typeCompress) { return (typeCompress >> 8) & 0x1Fu; }

// What decoding one block came to.
enum class BlockResult {
    kOk,      // exactly the asked number of bytes was produced
    kBadData, // the block is not valid data of its method; LZX and Quantum refuse the rest of the folder
    kBadCall, // not a decoder of this method, or a buffer or size outside what decode accepts
};

constexpr std::size_t kBlockOutputMax = 32768; // the uncompressed size of a data block at most

struct Codec
{
    Method method;
    const char* name;
    // The input buffer the copy driver keeps for one block of this method, and what a block that
    // does not fit it is reported as.
    std::size_t inputSize;
    FDIERROR tooLongBlock;
    bool (*windowValid)(unsigned windowBits);
    // A decoder in the state of a new folder, its memory from `memory`; nullptr when the memory
    // cannot be had or the window is not valid.
    void* (*create)(unsigned windowBits, const DecoderMemory& memory);
    // Back to the state of a new folder; false for something that is not a decoder of this method.
    bool (*reset)(void* decoder);
    // Decodes one block of inLen bytes into exactly outLen (1..kBlockOutputMax) bytes at out.
    BlockResult (*decode)(void* decoder, const unsigned char* in, std::size_t inLen, unsigned char* out,
                          std::size_t outLen);
    // For methods that decode ahead on a second thread (nullptr for the others): hand over a
    // block's input (copied; false when there is no room or no second thread), and take the
    // oldest handed-over block's output as decode would have made it. A folder whose first block
    // was handed over goes on that way: every later block is handed over and then taken.
    bool (*feed)(void* decoder, const unsigned char* in, std::size_t inLen, std::size_t outLen);
    BlockResult (*take)(void* decoder, unsigned char* out, std::size_t outLen);
    // Releases a decoder; anything else (nullptr, another method's decoder) is left alone.
    void (*destroy)(void* decoder);
};

// The codec of a typeCompress's method; nullptr for a method the format does not define.
const Codec* codecFor(unsigned typeCompress);

// Every codec, in method order.
extern const Codec kCodecs[4];

} // namespace cabinet
