// The cabinet engine seen from a caller: FDI callbacks over in-memory files (disk files read on
// demand), memory from fdiHeap(), and a copy that records every notification and decryption call.
#pragma once

#include <functional>
#include <string>
#include "cab_builder.h"
#include "codec_support.h"
#include "fdi.h"

namespace cabtest {

inline std::string sha256Hex(const Bytes& b) { return sha256Hex(b.data(), b.size()); }
std::string cabDir(const std::string& relative);  // a folder or file under the cabinet fixtures
Bytes fixture(const std::string& relative);

void putFile(const std::string& path, Bytes bytes);  // served instead of the disk file
void resetFiles();                                   // forgets put files, handles and outputs

struct FileCounters {
    std::size_t openHandles = 0;
    long shortWriteAfter = -1;  // total bytes after which writes come up short
    bool keepOutput = true;     // false: outputs only count and digest what is written
};
FileCounters& files();
void resetCounters();  // the file counters and fdiHeap()

struct Output {
    std::string name;
    Bytes data;
    std::uint64_t size = 0, digest = 14695981039346656037ull;  // FNV-1a of everything written
    bool closed = false;
};
std::vector<Output>& outputs();
FDI_INT_PTR openInput(const std::string& path);  // as the engine opens a cabinet
int& decryptAnswer();                            // what the decryption callback answers (0)

// FDICreate with the test callbacks, destroyed on scope exit.
class Context {
public:
    Context();
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    HFDI get() const { return hfdi_; }
    ERF& erf() { return erf_; }
private:
    ERF erf_{};
    HFDI hfdi_;
};

struct Event {
    FDINOTIFICATIONTYPE type;
    std::string psz1, psz2, psz3;
    long cb;
    unsigned date, time, attribs, setID, iCabinet, iFolder;
    int fdie;
};
using Handler = std::function<FDI_INT_PTR(FDINOTIFICATIONTYPE, FDINOTIFICATION*)>;

struct CopyResult {
    bool ok = false;
    ERF erf{};
    std::vector<Event> events;
    std::vector<Output> files;  // closed outputs in order
    std::vector<FDIDECRYPT> decrypts;
    std::vector<Bytes> decryptReserves;
    bool userPointerRode = true;  // every callback received the copy's user pointer
};
// The default handler: every file into an output, sets followed in the same directory, a failed
// attempt at a next cabinet given up.
FDI_INT_PTR extractAll(FDINOTIFICATIONTYPE type, FDINOTIFICATION* n);
CopyResult copy(Context& context, const std::string& dir, const std::string& name, Handler handler = extractAll,
                bool withDecrypt = false);
CopyResult copy(const std::string& dir, const std::string& name, Handler handler = extractAll, bool withDecrypt = false);
std::vector<std::string> names(const CopyResult& run, FDINOTIFICATIONTYPE type);

}  // namespace cabtest
