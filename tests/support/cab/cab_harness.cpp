#include "cab_support.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <stdexcept>

namespace cabtest {

Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string sharedDir()
{
    if (const char* d = std::getenv("RAVEL_DATA_DIR")) return d;
    if (const char* s = std::getenv("RAVEL_SOURCE_DIR")) return std::string(s) + "/tests/data";
    return "tests/data";
}

std::string cabDataDir() { return sharedDir() + "/cab/"; }

// ---------------------------------------------------------------- files and memory
namespace {

struct Handle {
    std::shared_ptr<const Bytes> input;  // null for an output
    std::size_t position = 0;
    long output = -1;
    bool open = true;
};

std::map<std::string, std::shared_ptr<const Bytes>> g_files;
std::vector<Handle> g_handles;
std::vector<Output> g_outputs;
Counters g_counters;
std::size_t g_written = 0;
constexpr FDI_INT_PTR kFirstHandle = 3;

Handle* handleOf(FDI_INT_PTR hf)
{
    const FDI_INT_PTR i = hf - kFirstHandle;
    if (i < 0 || static_cast<std::size_t>(i) >= g_handles.size() || !g_handles[i].open) return nullptr;
    return &g_handles[i];
}

struct Block {
    std::size_t size;
};

FNALLOC(testAlloc)
{
    const long index = static_cast<long>(g_counters.allocations++);
    g_counters.sizes.push_back(cb);
    if (index == g_counters.failAllocationAt) return nullptr;
    auto* b = static_cast<Block*>(std::malloc(sizeof(Block) * 2 + cb));
    if (b == nullptr) return nullptr;
    b->size = cb;
    g_counters.outstandingBytes += cb;
    if (g_counters.outstandingBytes > g_counters.peakBytes) g_counters.peakBytes = g_counters.outstandingBytes;
    return b + 2;
}

FNFREE(testFree)
{
    if (pv == nullptr) return;
    Block* b = static_cast<Block*>(pv) - 2;
    g_counters.outstandingBytes -= b->size;
    std::free(b);
}

FNOPEN(testOpen)
{
    (void)oflag;
    (void)pmode;
    ++g_counters.opens;
    std::shared_ptr<const Bytes> data;
    auto it = g_files.find(pszFile);
    if (it != g_files.end()) {
        data = it->second;
    } else {
        std::ifstream probe(pszFile, std::ios::binary);
        if (!probe) return -1;
        data = std::make_shared<const Bytes>(readFile(pszFile));
    }
    Handle h;
    h.input = data;
    g_handles.push_back(h);
    ++g_counters.openHandles;
    return kFirstHandle + static_cast<FDI_INT_PTR>(g_handles.size() - 1);
}

FNREAD(testRead)
{
    Handle* h = handleOf(hf);
    if (h == nullptr || !h->input) return static_cast<FDI_UINT>(-1);
    const Bytes& d = *h->input;
    std::size_t n = 0;
    if (h->position < d.size()) n = std::min<std::size_t>(cb, d.size() - h->position);
    if (n != 0) std::memcpy(pv, d.data() + h->position, n);
    h->position += n;
    g_counters.bytesRead += n;
    return static_cast<FDI_UINT>(n);
}

FNWRITE(testWrite)
{
    Handle* h = handleOf(hf);
    if (h == nullptr || h->output < 0) return static_cast<FDI_UINT>(-1);
    std::size_t n = cb;
    if (g_counters.shortWriteAfter >= 0) {
        const std::size_t limit = static_cast<std::size_t>(g_counters.shortWriteAfter);
        n = g_written >= limit ? 0 : std::min<std::size_t>(cb, limit - g_written);
    }
    Bytes& out = g_outputs[static_cast<std::size_t>(h->output)].data;
    out.insert(out.end(), static_cast<const std::uint8_t*>(pv), static_cast<const std::uint8_t*>(pv) + n);
    g_written += n;
    return static_cast<FDI_UINT>(n);
}

FNCLOSE(testClose)
{
    Handle* h = handleOf(hf);
    if (h == nullptr) return -1;
    h->open = false;
    if (h->input) --g_counters.openHandles;
    if (h->output >= 0) g_outputs[static_cast<std::size_t>(h->output)].closed = true;
    return 0;
}

FNSEEK(testSeek)
{
    Handle* h = handleOf(hf);
    if (h == nullptr || !h->input) return -1;
    long long target = dist;
    if (seektype == 1) target += static_cast<long long>(h->position);
    if (seektype == 2) target += static_cast<long long>(h->input->size());
    if (target < 0) return -1;
    h->position = static_cast<std::size_t>(target);
    return static_cast<FDI_LONG>(target);
}

Handler g_handler;
int g_decryptAnswer = 0;
CopyResult* g_run = nullptr;

FNFDINOTIFY(testNotify)
{
    Event e;
    e.type = fdint;
    if (pfdin->psz1) e.psz1 = pfdin->psz1;
    if (pfdin->psz2) e.psz2 = pfdin->psz2;
    if (pfdin->psz3) e.psz3 = pfdin->psz3;
    e.cb = pfdin->cb;
    e.date = pfdin->date;
    e.time = pfdin->time;
    e.attribs = pfdin->attribs;
    e.setID = pfdin->setID;
    e.iCabinet = pfdin->iCabinet;
    e.iFolder = pfdin->iFolder;
    e.fdie = pfdin->fdie;
    if (pfdin->pv != g_run) g_run->userPointerRode = false;
    g_run->events.push_back(e);
    return g_handler(fdint, pfdin);
}

FNFDIDECRYPT(testDecrypt)
{
    g_run->decrypts.push_back(*pfdid);
    if (pfdid->pvUser != g_run) g_run->userPointerRode = false;
    const void* reserve = nullptr;
    std::size_t size = 0;
    if (pfdid->fdidt == fdidtNEW_CABINET) {
        reserve = pfdid->cabinet.pHeaderReserve;
        size = pfdid->cabinet.cbHeaderReserve;
    } else if (pfdid->fdidt == fdidtNEW_FOLDER) {
        reserve = pfdid->folder.pFolderReserve;
        size = pfdid->folder.cbFolderReserve;
    } else {
        reserve = pfdid->decrypt.pDataReserve;
        size = pfdid->decrypt.cbDataReserve;
    }
    const auto* r = static_cast<const std::uint8_t*>(reserve);
    g_run->decryptReserves.emplace_back(r, r + (r ? size : 0));
    return g_decryptAnswer;
}

}  // namespace

void putFile(const std::string& path, Bytes bytes) { g_files[path] = std::make_shared<const Bytes>(std::move(bytes)); }

void resetFiles()
{
    g_files.clear();
    g_handles.clear();
    g_outputs.clear();
}

Counters& counters() { return g_counters; }

void resetCounters()
{
    g_counters = Counters{};
    g_written = 0;
}

FDI_INT_PTR newOutput(const std::string& name)
{
    Output o;
    o.name = name;
    g_outputs.push_back(o);
    Handle h;
    h.output = static_cast<long>(g_outputs.size() - 1);
    g_handles.push_back(h);
    return kFirstHandle + static_cast<FDI_INT_PTR>(g_handles.size() - 1);
}

FDI_INT_PTR openInput(const std::string& path)
{
    std::string name = path;
    return testOpen(name.data(), FDI_OPEN_READ_BINARY, FDI_OPEN_PERMISSION);
}

int& decryptAnswer() { return g_decryptAnswer; }

Output& outputOf(FDI_INT_PTR hf)
{
    Handle* h = handleOf(hf);
    if (h == nullptr || h->output < 0) throw std::runtime_error("not an output handle");
    return g_outputs[static_cast<std::size_t>(h->output)];
}

std::vector<Output>& outputs() { return g_outputs; }

Context::Context()
    : hfdi_(FDICreate(testAlloc, testFree, testOpen, testRead, testWrite, testClose, testSeek, cpu80386, &erf_))
{
}

Context::~Context()
{
    if (hfdi_ != nullptr) FDIDestroy(hfdi_);
}

FDI_INT_PTR extractAll(FDINOTIFICATIONTYPE type, FDINOTIFICATION* n)
{
    switch (type) {
    case fdintCOPY_FILE: return newOutput(n->psz1);
    case fdintCLOSE_FILE_INFO: return testClose(n->hf) == 0 ? 1 : 0;
    case fdintNEXT_CABINET: return n->fdie == FDIERROR_NONE ? 0 : -1;
    default: return 0;
    }
}

CopyResult copy(Context& context, const std::string& dir, const std::string& name, Handler handler, bool withDecrypt)
{
    CopyResult run;
    g_run = &run;
    if (context.get() == nullptr) {
        run.erf = context.erf();
        return run;
    }
    g_handler = std::move(handler);
    const std::size_t firstOutput = g_outputs.size();
    std::string path = dir;
    std::string cabinet = name;
    run.ok = FDICopy(context.get(), cabinet.data(), path.data(), 0, testNotify, withDecrypt ? testDecrypt : nullptr,
                     &run) != 0;
    run.erf = context.erf();
    for (std::size_t i = firstOutput; i < g_outputs.size(); ++i)
        if (g_outputs[i].closed) run.files.push_back(g_outputs[i]);
    g_run = nullptr;
    return run;
}

CopyResult copy(const std::string& dir, const std::string& name, Handler handler, bool withDecrypt)
{
    Context context;
    return copy(context, dir, name, std::move(handler), withDecrypt);
}

std::vector<std::string> names(const CopyResult& run, FDINOTIFICATIONTYPE type)
{
    std::vector<std::string> out;
    for (const Event& e : run.events)
        if (e.type == type) out.push_back(e.psz1);
    return out;
}

// ---------------------------------------------------------------- building cabinets
namespace {

void put16(Bytes& b, unsigned v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(Bytes& b, std::uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void set32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void putString(Bytes& b, const std::string& s)
{
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
}

std::uint32_t blockChecksum(const Bytes& header, const Bytes& data)
{
    // The documented algorithm, written plainly: whole words, then the tail high byte first.
    auto sum = [](const std::uint8_t* p, std::size_t n, std::uint32_t seed) {
        std::size_t i = 0;
        for (; i + 4 <= n; i += 4)
            seed ^= std::uint32_t{p[i]} | (std::uint32_t{p[i + 1]} << 8) | (std::uint32_t{p[i + 2]} << 16) |
                    (std::uint32_t{p[i + 3]} << 24);
        std::uint32_t t = 0;
        for (; i < n; ++i) t = (t << 8) | p[i];
        return seed ^ t;
    };
    return sum(header.data() + 4, header.size() - 4, sum(data.data(), data.size(), 0));
}

}  // namespace

Bytes buildCabinet(const CabLayout& layout)
{
    const bool hasPrevious = !layout.previousCabinet.empty() || !layout.previousDisk.empty();
    const bool hasNext = !layout.nextCabinet.empty() || !layout.nextDisk.empty();
    Bytes b = {'M', 'S', 'C', 'F'};
    put32(b, 0);
    put32(b, 0);  // cbCabinet, patched below
    put32(b, 0);
    put32(b, 0);  // coffFiles, patched below
    put32(b, 0);
    put16(b, layout.version);
    put16(b, static_cast<unsigned>(layout.folders.size()));
    put16(b, static_cast<unsigned>(layout.files.size()));
    put16(b, (hasPrevious ? 1u : 0u) | (hasNext ? 2u : 0u) | (layout.reserve ? 4u : 0u));
    put16(b, layout.setID);
    put16(b, layout.iCabinet);
    if (layout.reserve) {
        put16(b, static_cast<unsigned>(layout.headerReserve.size()));
        b.push_back(layout.folderReserve);
        b.push_back(layout.dataReserve);
        b.insert(b.end(), layout.headerReserve.begin(), layout.headerReserve.end());
    }
    if (hasPrevious) {
        putString(b, layout.previousCabinet);
        putString(b, layout.previousDisk);
    }
    if (hasNext) {
        putString(b, layout.nextCabinet);
        putString(b, layout.nextDisk);
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
        put16(b, f.folder);
        put16(b, f.date);
        put16(b, f.time);
        put16(b, f.attribs);
        putString(b, f.name);
    }
    for (std::size_t i = 0; i < layout.folders.size(); ++i) {
        set32(b, folderAt[i], static_cast<std::uint32_t>(b.size()));
        for (const CabBlock& block : layout.folders[i].blocks) {
            Bytes header;
            put32(header, 0);
            put16(header, static_cast<unsigned>(block.data.size()));
            put16(header, block.uncompressed);
            for (unsigned r = 0; r < layout.dataReserve; ++r) header.push_back(static_cast<std::uint8_t>(0xD0 + r));
            if (block.checksum) set32(header, 0, blockChecksum(header, block.data));
            b.insert(b.end(), header.begin(), header.end());
            b.insert(b.end(), block.data.begin(), block.data.end());
        }
    }
    set32(b, 8, static_cast<std::uint32_t>(b.size()));
    return b;
}

CabFolder storedFolder(const Bytes& content, std::size_t blockSize)
{
    CabFolder f;
    f.type = 0;
    for (std::size_t at = 0; at < content.size(); at += blockSize) {
        const std::size_t n = std::min(blockSize, content.size() - at);
        CabBlock block;
        block.data.assign(content.begin() + static_cast<long>(at), content.begin() + static_cast<long>(at + n));
        block.uncompressed = static_cast<std::uint16_t>(n);
        f.blocks.push_back(block);
    }
    return f;
}

CabBlock mszipStoredBlock(const Bytes& content)
{
    CabBlock block;
    block.data = {'C', 'K', 0x01};
    put16(block.data, static_cast<unsigned>(content.size()));
    put16(block.data, ~static_cast<unsigned>(content.size()) & 0xFFFF);
    block.data.insert(block.data.end(), content.begin(), content.end());
    block.uncompressed = static_cast<std::uint16_t>(content.size());
    return block;
}

Bytes pattern(std::size_t length, unsigned seed)
{
    Bytes b(length);
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < length; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = static_cast<std::uint8_t>("abcdefgh \n"[(x >> 16) % 10]);
    }
    return b;
}

// ---------------------------------------------------------------- deflate writer
void DeflateWriter::bits(std::uint32_t value, unsigned count)
{
    for (unsigned i = 0; i < count; ++i) {
        acc_ |= ((value >> i) & 1u) << count_;
        if (++count_ == 8) {
            out_.push_back(static_cast<std::uint8_t>(acc_));
            acc_ = 0;
            count_ = 0;
        }
    }
}

void DeflateWriter::code(std::uint32_t value, unsigned length)
{
    for (unsigned i = length; i-- > 0;) bits((value >> i) & 1u, 1);
}

void DeflateWriter::symbol(unsigned sym)
{
    if (sym < 144)
        code(0x30 + sym, 8);
    else if (sym < 256)
        code(0x190 + sym - 144, 9);
    else if (sym < 280)
        code(sym - 256, 7);
    else
        code(0xC0 + sym - 280, 8);
}

void DeflateWriter::begin(bool final)
{
    bits(final ? 1 : 0, 1);
    bits(1, 2);
}

void DeflateWriter::literal(unsigned byte) { symbol(byte); }

void DeflateWriter::match(unsigned length, unsigned distance)
{
    static const unsigned lbase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                       31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const unsigned lextra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                        2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    static const unsigned dbase[30] = {1,    2,    3,    4,    5,    7,    9,    13,   17,    25,
                                       33,   49,   65,   97,   129,  193,  257,  385,  513,   769,
                                       1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    int l = 28;
    while (lbase[l] > length) --l;
    symbol(257 + static_cast<unsigned>(l));
    bits(length - lbase[l], lextra[l]);
    int d = 29;
    while (dbase[d] > distance) --d;
    code(static_cast<unsigned>(d), 5);
    bits(distance - dbase[d], d < 4 ? 0 : static_cast<unsigned>(d / 2 - 1));
}

void DeflateWriter::end() { symbol(256); }

Bytes DeflateWriter::finish()
{
    if (count_ != 0) bits(0, 8 - count_);
    Bytes out;
    out.swap(out_);
    return out;
}

}  // namespace cabtest
