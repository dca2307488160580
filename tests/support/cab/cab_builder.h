// Cabinets built byte by byte, and the SHA-256 the fixtures' reference table gives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cabtest {

using Bytes = std::vector<std::uint8_t>;

struct CabBlock {
    Bytes data;
    std::uint16_t uncompressed = 0;
    bool checksum = true;
};
struct CabFolder {
    std::uint16_t type = 0;
    std::vector<CabBlock> blocks;
};
struct CabFile {
    std::string name;
    std::uint32_t size = 0, offset = 0;
    std::uint16_t folder = 0, date = 0x226c, time = 0x59ba, attribs = 0x20;
};
struct CabLayout {
    std::uint16_t version = 0x0103, setID = 0x1234, iCabinet = 0;
    bool reserve = false;
    Bytes headerReserve;
    std::uint8_t folderReserve = 0, dataReserve = 0;  // filled with F0 F1 ... and D0 D1 ...
    std::vector<CabFolder> folders;
    std::vector<CabFile> files;
};
Bytes buildCabinet(const CabLayout& layout);
// A stored folder holding `content` in blocks of at most `blockSize` bytes.
CabFolder storedFolder(const Bytes& content, std::size_t blockSize = 32768);
// One MSZIP block holding `content` as a single stored deflate block.
CabBlock mszipStoredBlock(const Bytes& content);
std::string sha256Hex(const void* data, std::size_t n);  // lower-case hex

}  // namespace cabtest
