#include "cab_reader.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "lzx.h"
#include "mszip.h"
#include "quantum.h"

namespace cabtest {
namespace {

uint16_t u16(const std::vector<uint8_t>& b, size_t p) { return static_cast<uint16_t>(b[p] | (b[p + 1] << 8)); }
uint32_t u32(const std::vector<uint8_t>& b, size_t p) { return u16(b, p) | (static_cast<uint32_t>(u16(b, p + 2)) << 16); }

bool skipString(const std::vector<uint8_t>& b, size_t& p, std::string* s = nullptr) {
    while (p < b.size() && b[p]) {
        if (s) s->push_back(static_cast<char>(b[p]));
        ++p;
    }
    if (p >= b.size()) return false;
    ++p;
    return true;
}

}  // namespace

bool readCabinet(const std::string& path, CabImage& image) {
    std::ifstream f(path, std::ios::binary);
    if (!f) return false;
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    return readCabinet(b, image);
}

bool readCabinet(const std::vector<uint8_t>& b, CabImage& image) {
    if (b.size() < 36 || b[0] != 'M' || b[1] != 'S' || b[2] != 'C' || b[3] != 'F') return false;
    uint32_t coffFiles = u32(b, 16);
    uint16_t cFolders = u16(b, 26), cFiles = u16(b, 28), flags = u16(b, 30);
    size_t p = 36;
    unsigned folderReserve = 0, dataReserve = 0;
    if (flags & 4) {
        if (p + 4 > b.size()) return false;
        p += 4 + u16(b, 36);
        folderReserve = b[38];
        dataReserve = b[39];
    }
    for (int names = ((flags & 1) ? 2 : 0) + ((flags & 2) ? 2 : 0); names > 0; --names)
        if (!skipString(b, p)) return false;
    image = CabImage{};
    for (unsigned i = 0; i < cFolders; ++i, p += 8 + folderReserve) {
        if (p + 8 > b.size()) return false;
        CabFolder folder{u16(b, p + 6), {}};
        size_t q = u32(b, p);
        for (unsigned k = u16(b, p + 4); k > 0; --k) {
            if (q + 8 + dataReserve > b.size()) return false;
            uint16_t cbData = u16(b, q + 4), cbUncomp = u16(b, q + 6);
            q += 8 + dataReserve;
            if (q + cbData > b.size()) return false;
            folder.blocks.push_back({std::vector<uint8_t>(b.begin() + q, b.begin() + q + cbData), cbUncomp});
            q += cbData;
        }
        image.folders.push_back(std::move(folder));
    }
    p = coffFiles;
    for (unsigned i = 0; i < cFiles; ++i) {
        if (p + 16 > b.size()) return false;
        CabFile file{{}, u32(b, p), u32(b, p + 4), u16(b, p + 8)};
        p += 16;
        if (!skipString(b, p, &file.name)) return false;
        image.files.push_back(std::move(file));
    }
    return true;
}

bool decodeFolderBlocks(const CabFolder& folder, const cabinet::DecoderMemory& mem,
                        const std::function<void(const uint8_t*, size_t)>& sink) {
    const unsigned method = folder.typeCompress & 15, bits = (folder.typeCompress >> 8) & 31;
    std::vector<uint8_t> frame(32768);
    std::function<int(const CabBlock&)> decode;
    std::function<void()> destroy;
    if (method == 3) {
        cabinet::LzxDecoder* d = cabinet::lzxCreate(bits, mem);
        if (!d) return false;
        decode = [&, d](const CabBlock& b) { return cabinet::lzxDecode(d, b.data.data(), b.data.size(), frame.data(), b.uncompressed); };
        destroy = [d] { cabinet::lzxDestroy(d); };
    } else if (method == 2) {
        cabinet::QtmDecoder* d = cabinet::qtmCreate(bits, mem);
        if (!d) return false;
        decode = [&, d](const CabBlock& b) { return cabinet::qtmDecode(d, b.data.data(), b.data.size(), frame.data(), b.uncompressed); };
        destroy = [d] { cabinet::qtmDestroy(d); };
    } else if (method == 1) {
        cabinet::MszipDecoder* d = cabinet::mszipCreate(mem);
        if (!d) return false;
        decode = [&, d](const CabBlock& b) { return cabinet::mszipDecode(d, b.data.data(), b.data.size(), frame.data(), frame.size()); };
        destroy = [d] { cabinet::mszipDestroy(d); };
    } else {
        return false;
    }
    bool ok = true;
    for (const auto& blk : folder.blocks) {
        int n = decode(blk);
        if (n != blk.uncompressed) {
            ok = false;
            break;
        }
        sink(frame.data(), static_cast<size_t>(n));
    }
    destroy();
    return ok;
}

bool decodeFolder(const CabFolder& folder, const cabinet::DecoderMemory& mem, std::vector<uint8_t>& out) {
    out.clear();
    return decodeFolderBlocks(folder, mem, [&](const uint8_t* p, size_t n) { out.insert(out.end(), p, p + n); });
}

std::string sharedCabDir() {
    if (const char* s = std::getenv("RAVEL_DATA_DIR")) return std::string(s) + "/cab";
    if (const char* s = std::getenv("RAVEL_SOURCE_DIR")) return std::string(s) + "/tests/data/cab";
    return "tests/data/cab";
}

std::vector<ExpectedFile> expectedFiles(const std::string& cabRelative) {
    std::vector<ExpectedFile> rows;
    std::ifstream f(sharedCabDir() + "/EXPECTED.tsv");
    std::string line;
    while (std::getline(f, line)) {
        std::vector<std::string> col;
        std::stringstream ss(line);
        std::string c;
        while (std::getline(ss, c, '\t')) col.push_back(c);
        if (col.size() < 11 || col[0] != cabRelative) continue;
        rows.push_back({col[1], std::strtoull(col[2].c_str(), nullptr, 10), col[3], col[10]});
    }
    return rows;
}

}  // namespace cabtest
