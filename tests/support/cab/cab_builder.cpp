#include "cab_builder.h"

#include <algorithm>
#include <utility>

namespace cabtest {
namespace {

void put16(Bytes& b, unsigned v) { b.insert(b.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)}); }
void put32(Bytes& b, std::uint32_t v) { put16(b, v & 0xFFFF), put16(b, v >> 16); }
void set32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The documented checksum, written plainly: whole words, then the tail high byte first.
std::uint32_t checksum(const std::uint8_t* p, std::size_t n, std::uint32_t seed) {
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) seed ^= p[i] | (p[i + 1] << 8) | (p[i + 2] << 16) | (std::uint32_t{p[i + 3]} << 24);
    std::uint32_t tail = 0;
    for (; i < n; ++i) tail = (tail << 8) | p[i];
    return seed ^ tail;
}

}  // namespace

Bytes buildCabinet(const CabLayout& layout) {
    Bytes b = {'M', 'S', 'C', 'F'};
    for (int i = 0; i < 5; ++i) put32(b, 0);  // cbCabinet and coffFiles are patched below
    for (unsigned v : {unsigned{layout.version}, static_cast<unsigned>(layout.folders.size()),
                       static_cast<unsigned>(layout.files.size()), layout.reserve ? 4u : 0u, unsigned{layout.setID},
                       unsigned{layout.iCabinet}})
        put16(b, v);
    if (layout.reserve) {
        put16(b, static_cast<unsigned>(layout.headerReserve.size()));
        b.insert(b.end(), {layout.folderReserve, layout.dataReserve});
        b.insert(b.end(), layout.headerReserve.begin(), layout.headerReserve.end());
    }
    std::vector<std::size_t> folderAt;
    for (const CabFolder& f : layout.folders) {
        folderAt.push_back(b.size());
        put32(b, 0);
        put16(b, static_cast<unsigned>(f.blocks.size()));
        put16(b, f.type);
        for (unsigned i = 0; i < layout.folderReserve; ++i) b.push_back(static_cast<std::uint8_t>(0xF0 + i));
    }
    set32(b, 16, static_cast<std::uint32_t>(b.size()));
    for (const CabFile& f : layout.files) {
        put32(b, f.size);
        put32(b, f.offset);
        for (unsigned v : {f.folder, f.date, f.time, f.attribs}) put16(b, v);
        b.insert(b.end(), f.name.c_str(), f.name.c_str() + f.name.size() + 1);
    }
    for (std::size_t i = 0; i < layout.folders.size(); ++i) {
        set32(b, folderAt[i], static_cast<std::uint32_t>(b.size()));
        for (const CabBlock& block : layout.folders[i].blocks) {
            Bytes header(4, 0);
            put16(header, static_cast<unsigned>(block.data.size()));
            put16(header, block.uncompressed);
            for (unsigned r = 0; r < layout.dataReserve; ++r) header.push_back(static_cast<std::uint8_t>(0xD0 + r));
            const std::uint32_t sum = checksum(block.data.data(), block.data.size(), 0);
            if (block.checksum) set32(header, 0, checksum(header.data() + 4, header.size() - 4, sum));
            b.insert(b.end(), header.begin(), header.end());
            b.insert(b.end(), block.data.begin(), block.data.end());
        }
    }
    set32(b, 8, static_cast<std::uint32_t>(b.size()));
    return b;
}

CabFolder storedFolder(const Bytes& content, std::size_t blockSize) {
    CabFolder f;
    for (std::size_t at = 0; at < content.size(); at += blockSize) {
        const auto from = content.begin() + static_cast<long>(at);
        const std::size_t n = std::min(blockSize, content.size() - at);
        f.blocks.push_back({Bytes(from, from + static_cast<long>(n)), static_cast<std::uint16_t>(n)});
    }
    return f;
}

CabBlock mszipStoredBlock(const Bytes& content) {
    CabBlock block{{'C', 'K', 0x01}, static_cast<std::uint16_t>(content.size())};
    put16(block.data, static_cast<unsigned>(content.size()));
    put16(block.data, ~static_cast<unsigned>(content.size()) & 0xFFFF);
    block.data.insert(block.data.end(), content.begin(), content.end());
    return block;
}

Bytes pattern(std::size_t length, unsigned seed) {
    Bytes b(length);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < length; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = static_cast<std::uint8_t>("abcdefgh \n"[(x >> 16) % 10]);
    }
    return b;
}

}  // namespace cabtest
