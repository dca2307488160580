#include "cab_harness.h"
#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include "TestData.h"

namespace cabtest {

std::string cabDir(const std::string& relative) { return ravel::test::dataPath("cab/" + relative); }

Bytes fixture(const std::string& relative) {
    const std::string s = ravel::test::readFile(cabDir(relative));
    return Bytes(s.begin(), s.end());
}

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
FileCounters g_counters;
std::size_t g_written = 0;
Handler g_handler;
int g_decryptAnswer = 0;
CopyResult* g_run = nullptr;
constexpr FDI_INT_PTR kFirstHandle = 3;

Handle* handleOf(FDI_INT_PTR hf) {
    const FDI_INT_PTR i = hf - kFirstHandle;
    return i >= 0 && static_cast<std::size_t>(i) < g_handles.size() && g_handles[i].open ? &g_handles[i] : nullptr;
}

FDI_INT_PTR newHandle(Handle h) {
    g_handles.push_back(std::move(h));
    return kFirstHandle + static_cast<FDI_INT_PTR>(g_handles.size() - 1);
}

FNALLOC(testAlloc) { return fdiHeap().allocate(cb); }
FNFREE(testFree) { fdiHeap().release(pv); }

FNOPEN(testOpen) {
    (void)oflag, (void)pmode;
    const auto it = g_files.find(pszFile);
    std::shared_ptr<const Bytes> data = it != g_files.end() ? it->second : nullptr;
    if (!data) {
        const std::string s = ravel::test::readFile(pszFile);
        if (s.empty()) return -1;
        data = std::make_shared<const Bytes>(s.begin(), s.end());
    }
    ++g_counters.openHandles;
    return newHandle(Handle{data});
}

FNREAD(testRead) {
    Handle* h = handleOf(hf);
    if (h == nullptr || !h->input) return static_cast<FDI_UINT>(-1);
    const Bytes& d = *h->input;
    const std::size_t n = h->position < d.size() ? std::min<std::size_t>(cb, d.size() - h->position) : 0;
    if (n != 0) std::memcpy(pv, d.data() + h->position, n);
    h->position += n;
    return static_cast<FDI_UINT>(n);
}

FNWRITE(testWrite) {
    Handle* h = handleOf(hf);
    if (h == nullptr || h->output < 0) return static_cast<FDI_UINT>(-1);
    const std::size_t limit = static_cast<std::size_t>(g_counters.shortWriteAfter);
    const std::size_t n = g_counters.shortWriteAfter < 0 ? cb : g_written >= limit ? 0 : std::min<std::size_t>(cb, limit - g_written);
    Output& out = g_outputs[static_cast<std::size_t>(h->output)];
    const auto* p = static_cast<const std::uint8_t*>(pv);
    if (g_counters.keepOutput)
        out.data.insert(out.data.end(), p, p + n);
    else
        for (std::size_t i = 0; i < n; ++i) out.digest = (out.digest ^ p[i]) * 1099511628211ull;
    out.size += n;
    g_written += n;
    return static_cast<FDI_UINT>(n);
}

FNCLOSE(testClose) {
    Handle* h = handleOf(hf);
    if (h == nullptr) return -1;
    h->open = false;
    g_counters.openHandles -= h->input ? 1 : 0;
    if (h->output >= 0) g_outputs[static_cast<std::size_t>(h->output)].closed = true;
    return 0;
}

FNSEEK(testSeek) {
    Handle* h = handleOf(hf);
    if (h == nullptr || !h->input) return -1;
    const long long target = dist + (seektype == 1 ? static_cast<long long>(h->position) : 0) +
                             (seektype == 2 ? static_cast<long long>(h->input->size()) : 0);
    if (target < 0) return -1;
    h->position = static_cast<std::size_t>(target);
    return static_cast<FDI_LONG>(target);
}

FNFDINOTIFY(testNotify) {
    auto text = [](const char* p) { return std::string(p != nullptr ? p : ""); };
    g_run->events.push_back({fdint, text(pfdin->psz1), text(pfdin->psz2), text(pfdin->psz3), pfdin->cb, pfdin->date,
                             pfdin->time, pfdin->attribs, pfdin->setID, pfdin->iCabinet, pfdin->iFolder, pfdin->fdie});
    g_run->userPointerRode = g_run->userPointerRode && pfdin->pv == g_run;
    return g_handler(fdint, pfdin);
}

FNFDIDECRYPT(testDecrypt) {
    g_run->decrypts.push_back(*pfdid);
    g_run->userPointerRode = g_run->userPointerRode && pfdid->pvUser == g_run;
    const auto reserve = pfdid->fdidt == fdidtNEW_CABINET ? std::make_pair(pfdid->cabinet.pHeaderReserve, pfdid->cabinet.cbHeaderReserve)
                         : pfdid->fdidt == fdidtNEW_FOLDER ? std::make_pair(pfdid->folder.pFolderReserve, pfdid->folder.cbFolderReserve)
                                                           : std::make_pair(pfdid->decrypt.pDataReserve, pfdid->decrypt.cbDataReserve);
    const auto* r = static_cast<const std::uint8_t*>(reserve.first);
    g_run->decryptReserves.emplace_back(r, r + (r ? reserve.second : 0));
    return g_decryptAnswer;
}

}  // namespace

void putFile(const std::string& path, Bytes bytes) { g_files[path] = std::make_shared<const Bytes>(std::move(bytes)); }
void resetFiles() { g_files.clear(), g_handles.clear(), g_outputs.clear(); }
FileCounters& files() { return g_counters; }
std::vector<Output>& outputs() { return g_outputs; }
int& decryptAnswer() { return g_decryptAnswer; }

void resetCounters() {
    g_counters = FileCounters{};
    g_written = 0;
    fdiHeap() = CountingHeap{};
}

FDI_INT_PTR openInput(const std::string& path) {
    std::string name = path;
    return testOpen(name.data(), FDI_OPEN_READ_BINARY, FDI_OPEN_PERMISSION);
}

Context::Context()
    : hfdi_(FDICreate(testAlloc, testFree, testOpen, testRead, testWrite, testClose, testSeek, cpu80386, &erf_)) {}
Context::~Context() { if (hfdi_ != nullptr) FDIDestroy(hfdi_); }

FDI_INT_PTR extractAll(FDINOTIFICATIONTYPE type, FDINOTIFICATION* n) {
    switch (type) {
    case fdintCOPY_FILE:
        g_outputs.emplace_back();
        g_outputs.back().name = n->psz1;
        return newHandle(Handle{nullptr, 0, static_cast<long>(g_outputs.size() - 1)});
    case fdintCLOSE_FILE_INFO: return testClose(n->hf) == 0 ? 1 : 0;
    case fdintNEXT_CABINET: return n->fdie == FDIERROR_NONE ? 0 : -1;
    default: return 0;
    }
}

CopyResult copy(Context& context, const std::string& dir, const std::string& name, Handler handler, bool withDecrypt) {
    CopyResult run;
    run.erf = context.erf();
    if (context.get() == nullptr) return run;
    g_run = &run;
    g_handler = std::move(handler);
    const std::size_t firstOutput = g_outputs.size();
    std::string path = dir, cabinet = name;
    run.ok = FDICopy(context.get(), cabinet.data(), path.data(), 0, testNotify, withDecrypt ? testDecrypt : nullptr, &run) != 0;
    run.erf = context.erf();
    std::copy_if(g_outputs.begin() + static_cast<long>(firstOutput), g_outputs.end(), std::back_inserter(run.files),
                 [](const Output& o) { return o.closed; });
    g_run = nullptr;
    return run;
}

CopyResult copy(const std::string& dir, const std::string& name, Handler handler, bool withDecrypt) {
    Context context;
    return copy(context, dir, name, std::move(handler), withDecrypt);
}

std::vector<std::string> names(const CopyResult& run, FDINOTIFICATIONTYPE type) {
    std::vector<std::string> out;
    for (const Event& e : run.events)
        if (e.type == type) out.push_back(e.psz1);
    return out;
}

}  // namespace cabtest
