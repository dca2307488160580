// Just enough of the cabinet container to feed real folders to the block decoders without the
// copy driver: one cabinet, no spanning, blocks read as stored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "decoder_memory.h"

namespace cabtest {

struct CabBlock {
    std::vector<uint8_t> data;
    uint16_t uncompressed;
};

struct CabFolder {
    uint16_t typeCompress;
    std::vector<CabBlock> blocks;
};

struct CabFile {
    std::string name;
    uint32_t size;
    uint32_t offset;
    uint16_t folder;
};

struct CabImage {
    std::vector<CabFolder> folders;
    std::vector<CabFile> files;
};

// False when the file is not a readable single cabinet.
bool readCabinet(const std::string& path, CabImage& image);
bool readCabinet(const std::vector<uint8_t>& bytes, CabImage& image);

// Decodes an MSZIP (1), Quantum (2) or LZX (3) folder block by block, handing each block's output
// to `sink`; false at the first block the decoder rejects or that comes out at another size than
// cbUncomp.
bool decodeFolderBlocks(const CabFolder& folder, const cabinet::DecoderMemory& mem,
                        const std::function<void(const uint8_t*, size_t)>& sink);
bool decodeFolder(const CabFolder& folder, const cabinet::DecoderMemory& mem, std::vector<uint8_t>& out);

// Where the shared test data lives.
std::string sharedCabDir();

// Rows of the reference table for one cabinet: name, size, sha256, status.
struct ExpectedFile {
    std::string name;
    uint64_t size;
    std::string sha256;
    std::string status;
};
std::vector<ExpectedFile> expectedFiles(const std::string& cabRelative);

}  // namespace cabtest
