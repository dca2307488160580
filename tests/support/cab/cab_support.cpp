#include "cab_support.h"

#include "TestData.h"
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <utility>

namespace cabtest {

namespace {

void put16(Bytes& b, unsigned v)
{
    b.insert(b.end(), {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)});
}
void put32(Bytes& b, std::uint32_t v) { put16(b, v & 0xFFFF), put16(b, v >> 16); }
void set32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The documented checksum, written plainly: whole words, then the tail high byte first.
std::uint32_t checksum(const std::uint8_t* p, std::size_t n, std::uint32_t seed)
{
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4)
        seed ^= p[i] | (p[i + 1] << 8) | (p[i + 2] << 16) | (std::uint32_t{p[i + 3]} << 24);
    std::uint32_t tail = 0;
    for (; i < n; ++i)
        tail = (tail << 8) | p[i];
    return seed ^ tail;
}

constexpr std::uint32_t kK[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

std::uint32_t rotr(std::uint32_t x, unsigned n) { return (x >> n) | (x << (32 - n)); }

void block(std::uint32_t h[8], const std::uint8_t* p)
{
    std::uint32_t w[64], v[8];
    for (int i = 0; i < 16; ++i)
        w[i] = (std::uint32_t{p[4 * i]} << 24) | (p[4 * i + 1] << 16) | (p[4 * i + 2] << 8) | p[4 * i + 3];
    for (int i = 16; i < 64; ++i)
        w[i] = w[i - 16] + (rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3)) + w[i - 7] +
               (rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10));
    std::copy(h, h + 8, v);
    for (int i = 0; i < 64; ++i) {
        const std::uint32_t t1 =
            v[7] + (rotr(v[4], 6) ^ rotr(v[4], 11) ^ rotr(v[4], 25)) + ((v[4] & v[5]) ^ (~v[4] & v[6])) + kK[i] + w[i];
        const std::uint32_t t2 =
            (rotr(v[0], 2) ^ rotr(v[0], 13) ^ rotr(v[0], 22)) + ((v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]));
        std::copy_backward(v, v + 7, v + 8);
        v[4] += t1;
        v[0] = t1 + t2;
    }
    for (int i = 0; i < 8; ++i)
        h[i] += v[i];
}

union Header
{ // before each block, so the block keeps malloc's alignment
    std::size_t bytes;
    std::max_align_t align;
};

struct Handle
{
    std::shared_ptr<const Bytes> input; // null for an output
    std::size_t position = 0;
    long output = -1;
    bool open = true;
};

std::map<std::string, std::shared_ptr<const Bytes>> g_files;
std::vector<Handle> g_handles;
std::vector<Output> g_outputs;
FileCounters g_counters;
std::size_t g_written = 0;
Handler g_handler;
int g_decryptAnswer = 0;
CopyResult* g_run = nullptr;
constexpr FDI_INT_PTR kFirstHandle = 3;

Handle* handleOf(FDI_INT_PTR hf)
{
    const FDI_INT_PTR i = hf - kFirstHandle;
    return i >= 0 && static_cast<std::size_t>(i) < g_handles.size() && g_handles[i].open ? &g_handles[i] : nullptr;
}

FDI_INT_PTR newHandle(Handle h)
{
    g_handles.push_back(std::move(h));
    return kFirstHandle + static_cast<FDI_INT_PTR>(g_handles.size() - 1);
}

FNALLOC(testAlloc) { return fdiHeap().allocate(cb); }
FNFREE(testFree) { fdiHeap().release(pv); }

FNOPEN(testOpen)
{
    (void)oflag, (void)pmode;
    g_counters.opened.push_back(pszFile);
    const auto it = g_files.find(pszFile);
    std::shared_ptr<const Bytes> data = it != g_files.end() ? it->second : nullptr;
    if (!data) {
        const std::string s = ravel::test::readFile(pszFile);
        if (s.empty())
            return -1;
        data = std::make_shared<const Bytes>(s.begin(), s.end());
    }
    ++g_counters.openHandles;
    return newHandle(Handle{data});
}

FNREAD(testRead)
{
    Handle* h = handleOf(hf);
    if (h == nullptr || !h->input)
        return static_cast<FDI_UINT>(-1);
    const Bytes& d = *h->input;
    const std::size_t n = h->position < d.size() ? std::min<std::size_t>(cb, d.size() - h->position) : 0;
    if (n != 0)
        std::memcpy(pv, d.data() + h->position, n);
    h->position += n;
    return static_cast<FDI_UINT>(n);
}

FNWRITE(testWrite)
{
    Handle* h = handleOf(hf);
    if (h == nullptr || h->output < 0)
        return static_cast<FDI_UINT>(-1);
    const std::size_t limit = static_cast<std::size_t>(g_counters.shortWriteAfter);
    const std::size_t n = g_counters.shortWriteAfter < 0 ? cb
                          : g_written >= limit           ? 0
                                                         : std::min<std::size_t>(cb, limit - g_written);
    Output& out = g_outputs[static_cast<std::size_t>(h->output)];
    const auto* p = static_cast<const std::uint8_t*>(pv);
    if (g_counters.keepOutput)
        out.data.insert(out.data.end(), p, p + n);
    else
        for (std::size_t i = 0; i < n; ++i)
            out.digest = (out.digest ^ p[i]) * 1099511628211ull;
    out.size += n;
    g_written += n;
    return static_cast<FDI_UINT>(n);
}

FNCLOSE(testClose)
{
    Handle* h = handleOf(hf);
    if (h == nullptr)
        return -1;
    h->open = false;
    g_counters.openHandles -= h->input ? 1 : 0;
    if (h->output >= 0)
        g_outputs[static_cast<std::size_t>(h->output)].closed = true;
    return 0;
}

FNSEEK(testSeek)
{
    Handle* h = handleOf(hf);
    if (h == nullptr || !h->input)
        return -1;
    const long long target = dist + (seektype == 1 ? static_cast<long long>(h->position) : 0) +
                             (seektype == 2 ? static_cast<long long>(h->input->size()) : 0);
    if (target < 0)
        return -1;
    h->position = static_cast<std::size_t>(target);
    return static_cast<FDI_LONG>(target);
}

FNFDINOTIFY(testNotify)
{
    auto text = [](const char* p) { return std::string(p != nullptr ? p : ""); };
    g_run->events.push_back({fdint, text(pfdin->psz1), text(pfdin->psz2), text(pfdin->psz3), pfdin->cb, pfdin->date,
                             pfdin->time, pfdin->attribs, pfdin->setID, pfdin->iCabinet, pfdin->iFolder, pfdin->fdie});
    g_run->userPointerRode = g_run->userPointerRode && pfdin->pv == g_run;
    return g_handler(fdint, pfdin);
}

FNFDIDECRYPT(testDecrypt)
{
    g_run->decrypts.push_back(*pfdid);
    g_run->userPointerRode = g_run->userPointerRode && pfdid->pvUser == g_run;
    const auto reserve =
        pfdid->fdidt == fdidtNEW_CABINET ? std::make_pair(pfdid->cabinet.pHeaderReserve, pfdid->cabinet.cbHeaderReserve)
        : pfdid->fdidt == fdidtNEW_FOLDER ? std::make_pair(pfdid->folder.pFolderReserve, pfdid->folder.cbFolderReserve)
                                          : std::make_pair(pfdid->decrypt.pDataReserve, pfdid->decrypt.cbDataReserve);
    const auto* r = static_cast<const std::uint8_t*>(reserve.first);
    g_run->decryptReserves.emplace_back(r, r + (r ? reserve.second : 0));
    return g_decryptAnswer;
}

} // namespace

Bytes buildCabinet(const CabLayout& layout)
{
    Bytes b = {'M', 'S', 'C', 'F'};
    for (int i = 0; i < 5; ++i)
        put32(b, 0); // cbCabinet and coffFiles are patched below
    for (unsigned v :
         {unsigned{layout.version}, static_cast<unsigned>(layout.folders.size()),
          static_cast<unsigned>(layout.files.size()),
          (layout.reserve ? 4u : 0u) | (layout.previous.empty() ? 0u : 1u) | (layout.next.empty() ? 0u : 2u),
          unsigned{layout.setID}, unsigned{layout.iCabinet}})
        put16(b, v);
    if (layout.reserve) {
        put16(b, static_cast<unsigned>(layout.headerReserve.size()));
        b.insert(b.end(), {layout.folderReserve, layout.dataReserve});
        b.insert(b.end(), layout.headerReserve.begin(), layout.headerReserve.end());
    }
    for (const auto* names : {&layout.previous, &layout.next})
        for (const std::string& name : *names)
            b.insert(b.end(), name.c_str(), name.c_str() + name.size() + 1);
    std::vector<std::size_t> folderAt;
    for (const CabFolder& f : layout.folders) {
        folderAt.push_back(b.size());
        put32(b, 0);
        put16(b, static_cast<unsigned>(f.blocks.size()));
        put16(b, f.type);
        for (unsigned i = 0; i < layout.folderReserve; ++i)
            b.push_back(static_cast<std::uint8_t>(0xF0 + i));
    }
    set32(b, 16, static_cast<std::uint32_t>(b.size()));
    for (const CabFile& f : layout.files) {
        put32(b, f.size);
        put32(b, f.offset);
        for (unsigned v : {f.folder, f.date, f.time, f.attribs})
            put16(b, v);
        b.insert(b.end(), f.name.c_str(), f.name.c_str() + f.name.size() + 1);
    }
    for (std::size_t i = 0; i < layout.folders.size(); ++i) {
        set32(b, folderAt[i], static_cast<std::uint32_t>(b.size()));
        for (const CabBlock& block : layout.folders[i].blocks) {
            Bytes header(4, 0);
            put16(header, static_cast<unsigned>(block.data.size()));
            put16(header, block.uncompressed);
            for (unsigned r = 0; r < layout.dataReserve; ++r)
                header.push_back(static_cast<std::uint8_t>(0xD0 + r));
            const std::uint32_t sum = checksum(block.data.data(), block.data.size(), 0);
            if (block.checksum)
                set32(header, 0, checksum(header.data() + 4, header.size() - 4, sum));
            b.insert(b.end(), header.begin(), header.end());
            b.insert(b.end(), block.data.begin(), block.data.end());
        }
    }
    set32(b, 8, static_cast<std::uint32_t>(b.size()));
    return b;
}

Bytes buildCabinet(std::vector<CabFolder> folders, std::vector<CabFile> files)
{
    CabLayout layout;
    layout.folders = std::move(folders);
    layout.files = std::move(files);
    return buildCabinet(layout);
}

Bytes setMember(std::uint16_t index, CabFolder folder, std::vector<CabFile> files, std::vector<std::string> previous,
                std::vector<std::string> next, std::uint16_t setID)
{
    CabLayout layout;
    layout.setID = setID;
    layout.iCabinet = index;
    layout.folders = {std::move(folder)};
    layout.files = std::move(files);
    layout.previous = std::move(previous);
    layout.next = std::move(next);
    return buildCabinet(layout);
}

CabFolder storedFolder(const Bytes& content, std::size_t blockSize)
{
    CabFolder f;
    for (std::size_t at = 0; at < content.size(); at += blockSize) {
        const auto from = content.begin() + static_cast<long>(at);
        const std::size_t n = std::min(blockSize, content.size() - at);
        f.blocks.push_back({Bytes(from, from + static_cast<long>(n)), static_cast<std::uint16_t>(n)});
    }
    return f;
}

CabBlock mszipStoredBlock(const Bytes& content)
{
    CabBlock block{{'C', 'K', 0x01}, static_cast<std::uint16_t>(content.size())};
    put16(block.data, static_cast<unsigned>(content.size()));
    put16(block.data, ~static_cast<unsigned>(content.size()) & 0xFFFF);
    block.data.insert(block.data.end(), content.begin(), content.end());
    return block;
}

std::string sha256Hex(const void* bytes, std::size_t n)
{
    const auto* data = static_cast<const std::uint8_t*>(bytes);
    std::uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                          0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    const std::size_t full = n / 64 * 64;
    for (std::size_t i = 0; i < full; i += 64)
        block(h, data + i);
    std::vector<std::uint8_t> tail(data + full, data + n);
    tail.push_back(0x80);
    tail.resize((tail.size() + 8 + 63) / 64 * 64, 0);
    for (int i = 0; i < 8; ++i)
        tail[tail.size() - 1 - i] = static_cast<std::uint8_t>((std::uint64_t{n} * 8) >> (8 * i));
    for (std::size_t i = 0; i < tail.size(); i += 64)
        block(h, tail.data() + i);
    std::string s;
    for (std::uint32_t v : h)
        for (int i = 28; i >= 0; i -= 4)
            s += "0123456789abcdef"[(v >> i) & 15];
    return s;
}

void* CountingHeap::allocate(std::size_t bytes)
{
    sizes.push_back(bytes);
    auto* h = static_cast<long>(sizes.size() - 1) == failAt ? nullptr
                                                            : static_cast<Header*>(std::malloc(sizeof(Header) + bytes));
    if (h == nullptr)
        return nullptr;
    h->bytes = bytes;
    ++outstanding;
    peakBytes = std::max(peakBytes, outstandingBytes += bytes);
    return h + 1;
}

void CountingHeap::release(void* p)
{
    if (p == nullptr)
        return;
    Header* h = static_cast<Header*>(p) - 1;
    --outstanding;
    outstandingBytes -= h->bytes;
    std::free(h);
}

cabinet::DecoderMemory CountingHeap::memory()
{
    return {[](void* heap, std::size_t n) { return static_cast<CountingHeap*>(heap)->allocate(n); },
            [](void* heap, void* p) { static_cast<CountingHeap*>(heap)->release(p); }, this};
}

CountingHeap& fdiHeap()
{
    static CountingHeap heap;
    return heap;
}

int Decoder::decodeFramesAhead(const std::vector<Frame>& frames, unsigned depth, Bytes& out)
{
    out.clear();
    if (!codec_.feed)
        return -2;
    std::size_t fed = 0;
    Bytes block;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        for (; fed < frames.size() && fed < i + depth; ++fed)
            if (!codec_.feed(handle_, frames[fed].bytes.data(), frames[fed].bytes.size(), frames[fed].size)) {
                if (fed == 0)
                    return -2;
                break; // no room: taken first
            }
        block.assign(frames[i].size, 0);
        if (codec_.take(handle_, block.data(), block.size()) != cabinet::BlockResult::kOk) {
            // Whatever was handed over after it fails too.
            for (std::size_t k = i + 1; k < fed; ++k)
                if (codec_.take(handle_, block.data(), frames[k].size) != cabinet::BlockResult::kBadData)
                    return -3;
            return static_cast<int>(i);
        }
        out.insert(out.end(), block.begin(), block.end());
    }
    return -1;
}

cabinet::BlockResult Decoder::decodeAhead(const Bytes& in, std::size_t outLen, Bytes& out)
{
    out.assign(outLen, 0);
    if (!codec_.feed || !codec_.feed(handle_, in.data(), in.size(), outLen))
        return cabinet::BlockResult::kBadCall;
    return codec_.take(handle_, out.data(), outLen);
}

Bytes sampleData(std::size_t n, std::uint32_t seed, std::size_t farthest)
{
    std::mt19937 rng(seed);
    static const char* words[] = {"cabinet ", "folder ", "frame ",  "window ", "printer ",
                                  "route ",   "\r\n",    "0x7FFF ", "install "};
    Bytes d;
    d.reserve(n + 300);
    while (d.size() < n) {
        const unsigned what = rng() % 16;
        if (what < 8) {
            for (const char* w = words[rng() % 9]; *w; ++w)
                d.push_back(static_cast<std::uint8_t>(*w));
        } else if (what < 12 && d.size() > 16) {
            const std::size_t from = d.size() - 1 - rng() % std::min(d.size(), farthest);
            for (std::size_t k = 0, len = 3 + rng() % 300; k < len; ++k)
                d.push_back(d[from + k]);
        } else if (what < 14) {
            for (unsigned k = rng() % 64; k > 0; --k)
                d.push_back(static_cast<std::uint8_t>(rng()));
        } else {
            d.push_back(0xE8);
            const std::uint32_t v = (what & 1) ? rng() % 200000 : 0u - rng() % 5000;
            for (int k = 0; k < 4; ++k)
                d.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
        }
    }
    d.resize(n);
    return d;
}

std::string cabDir(const std::string& relative) { return ravel::test::dataPath("cab/" + relative); }

Bytes fixture(const std::string& relative)
{
    const std::string s = ravel::test::readFile(cabDir(relative));
    return Bytes(s.begin(), s.end());
}

void putFile(const std::string& path, Bytes bytes) { g_files[path] = std::make_shared<const Bytes>(std::move(bytes)); }
void resetFiles() { g_files.clear(), g_handles.clear(), g_outputs.clear(), g_counters.opened.clear(); }
FileCounters& files() { return g_counters; }
std::vector<Output>& outputs() { return g_outputs; }
int& decryptAnswer() { return g_decryptAnswer; }

void resetCounters()
{
    g_counters = FileCounters{};
    g_written = 0;
    fdiHeap() = CountingHeap{};
}

FDI_INT_PTR openInput(const std::string& path)
{
    std::string name = path;
    return testOpen(name.data(), FDI_OPEN_READ_BINARY, FDI_OPEN_PERMISSION);
}

Context::Context()
    : hfdi(FDICreate(testAlloc, testFree, testOpen, testRead, testWrite, testClose, testSeek, cpu80386, &erf))
{}
Context::~Context()
{
    if (hfdi != nullptr)
        FDIDestroy(hfdi);
}

FDI_INT_PTR extractAll(FDINOTIFICATIONTYPE type, FDINOTIFICATION* n)
{
    switch (type) {
    case fdintCOPY_FILE:
        g_outputs.emplace_back();
        g_outputs.back().name = n->psz1;
        return newHandle(Handle{nullptr, 0, static_cast<long>(g_outputs.size() - 1)});
    case fdintCLOSE_FILE_INFO:
        return testClose(n->hf) == 0 ? 1 : 0;
    case fdintNEXT_CABINET:
        return n->fdie == FDIERROR_NONE ? 0 : -1;
    default:
        return 0;
    }
}

CopyResult copy(Context& context, const std::string& dir, const std::string& name, Handler handler, bool withDecrypt)
{
    CopyResult run;
    run.erf = context.erf;
    if (context.get() == nullptr)
        return run;
    g_run = &run;
    g_handler = std::move(handler);
    const std::size_t firstOutput = g_outputs.size();
    std::string path = dir, cabinet = name;
    run.ok = FDICopy(context.get(), cabinet.data(), path.data(), 0, testNotify, withDecrypt ? testDecrypt : nullptr,
                     &run) != 0;
    run.erf = context.erf;
    std::copy_if(g_outputs.begin() + static_cast<long>(firstOutput), g_outputs.end(), std::back_inserter(run.files),
                 [](const Output& o) { return o.closed; });
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
        if (e.type == type)
            out.push_back(e.psz1);
    return out;
}

} // namespace cabtest
