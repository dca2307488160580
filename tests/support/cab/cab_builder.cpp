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

void DeflateWriter::bits(std::uint32_t value, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        acc_ |= ((value >> i) & 1u) << count_;
        if (++count_ == 8) {
            out_.push_back(static_cast<std::uint8_t>(acc_));
            acc_ = count_ = 0;
        }
    }
}

void DeflateWriter::code(std::uint32_t value, unsigned length) {
    for (unsigned i = length; i-- > 0;) bits((value >> i) & 1u, 1);
}

// The fixed code: 0-143 eight bits from 0x30, 144-255 nine from 0x190, 256-279 seven, 280-287 eight from 0xC0.
void DeflateWriter::symbol(unsigned sym) {
    if (sym < 144) return code(0x30 + sym, 8);
    if (sym < 256) return code(0x190 + sym - 144, 9);
    if (sym < 280) return code(sym - 256, 7);
    code(0xC0 + sym - 280, 8);
}

void DeflateWriter::begin(bool final) { bits(final ? 1 : 0, 1), bits(1, 2); }
void DeflateWriter::literal(unsigned byte) { symbol(byte); }
void DeflateWriter::end() { symbol(256); }

void DeflateWriter::match(unsigned length, unsigned distance) {
    static const unsigned lbase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                       31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const unsigned dbase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                       33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                       1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    int l = 28, d = 29;
    while (lbase[l] > length) --l;
    while (dbase[d] > distance) --d;
    symbol(257 + static_cast<unsigned>(l));
    bits(length - lbase[l], l < 8 || l == 28 ? 0 : static_cast<unsigned>(l / 4 - 1));
    code(static_cast<unsigned>(d), 5);
    bits(distance - dbase[d], d < 4 ? 0 : static_cast<unsigned>(d / 2 - 1));
}

Bytes DeflateWriter::finish() {
    if (count_ != 0) bits(0, 8 - count_);
    return std::exchange(out_, {});
}

}  // namespace cabtest
