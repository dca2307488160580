// FDICopy over an in-memory cabinet. The input is the first cabinet; a second "MSCF" signature in
// it starts the cabinet served for any other name, so set spanning is reached too.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fdi.h"

namespace {

struct Input {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
};
Input g_first, g_next;

struct Open {
    bool used = false;
    Input file;
    std::size_t position = 0;
};
constexpr int kHandles = 16;
Open g_open[kHandles];
constexpr FDI_INT_PTR kOutput = 100;

// Nothing the engine asks for may exceed the largest legitimate need (an LZX window and a block).
constexpr FDI_ULONG kLargestAllocation = 4u * 1024u * 1024u;

FNALLOC(fuzzAlloc)
{
    if (cb > kLargestAllocation) std::abort();
    return std::malloc(cb);
}
FNFREE(fuzzFree) { std::free(pv); }

FNOPEN(fuzzOpen)
{
    (void)oflag;
    (void)pmode;
    const char* slash = std::strrchr(pszFile, '/');
    const char* name = slash ? slash + 1 : pszFile;
    const Input file = std::strcmp(name, "first.cab") == 0 ? g_first : g_next;
    if (file.data == nullptr) return -1;
    for (int i = 0; i < kHandles; ++i)
        if (!g_open[i].used) {
            g_open[i] = Open{true, file, 0};
            return i;
        }
    return -1;
}

Open* handle(FDI_INT_PTR hf) { return hf >= 0 && hf < kHandles && g_open[hf].used ? &g_open[hf] : nullptr; }

FNREAD(fuzzRead)
{
    Open* h = handle(hf);
    if (h == nullptr) return static_cast<FDI_UINT>(-1);
    std::size_t n = 0;
    if (h->position < h->file.size) n = h->file.size - h->position < cb ? h->file.size - h->position : cb;
    if (n != 0) std::memcpy(pv, h->file.data + h->position, n);
    h->position += n;
    return static_cast<FDI_UINT>(n);
}

FNWRITE(fuzzWrite)
{
    (void)pv;
    return hf == kOutput ? cb : 0;
}

FNCLOSE(fuzzClose)
{
    if (hf == kOutput) return 0;
    Open* h = handle(hf);
    if (h == nullptr) return -1;
    h->used = false;
    return 0;
}

FNSEEK(fuzzSeek)
{
    Open* h = handle(hf);
    if (h == nullptr || seektype != 0 || dist < 0) return -1;
    h->position = static_cast<std::size_t>(dist);
    return dist;
}

FNFDINOTIFY(fuzzNotify)
{
    switch (fdint) {
    case fdintCOPY_FILE: return kOutput;
    case fdintCLOSE_FILE_INFO: return 1;
    case fdintNEXT_CABINET: return pfdin->fdie == FDIERROR_NONE ? 0 : -1;
    default: return 0;
    }
}

FNFDIDECRYPT(fuzzDecrypt)
{
    (void)pfdid;
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    g_first = Input{data, size};
    g_next = Input{};
    for (std::size_t i = 4; i + 4 <= size; ++i)
        if (std::memcmp(data + i, "MSCF", 4) == 0) {
            g_first.size = i;
            g_next = Input{data + i, size - i};
            break;
        }
    for (Open& o : g_open) o.used = false;

    ERF erf{};
    HFDI hfdi = FDICreate(fuzzAlloc, fuzzFree, fuzzOpen, fuzzRead, fuzzWrite, fuzzClose, fuzzSeek, cpu80386, &erf);
    if (hfdi == nullptr) return 0;
    char name[] = "first.cab";
    char path[] = "/fuzz/";
    FDICopy(hfdi, name, path, 0, fuzzNotify, (size & 1) ? fuzzDecrypt : nullptr, nullptr);
    FDIDestroy(hfdi);
    for (const Open& o : g_open)
        if (o.used) std::abort();  // every cabinet handle is closed on every way out
    return 0;
}
