// Cabinet test support: a cabinet builder and SHA-256; the one counting allocator (the engine's
// callbacks, which carry no context, use fdiHeap()); block decoders through the codec table; and the
// engine as a caller sees it: FDI callbacks over in-memory files and a copy that records every call.
#pragma once

#include "codec.h"
#include "fdi.h"
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace cabtest {

using Bytes = std::vector<std::uint8_t>;

struct CabBlock
{
    Bytes data;
    std::uint16_t uncompressed = 0;
    bool checksum = true;
};
struct CabFolder
{
    std::uint16_t type = 0;
    std::vector<CabBlock> blocks;
};
struct CabFile
{
    std::string name;
    std::uint32_t size = 0, offset = 0;
    std::uint16_t folder = 0, date = 0x226c, time = 0x59ba, attribs = 0x20;
};
struct CabLayout
{
    std::uint16_t version = 0x0103, setID = 0x1234, iCabinet = 0;
    bool reserve = false;
    Bytes headerReserve;
    std::uint8_t folderReserve = 0, dataReserve = 0; // filled with F0 F1 ... and D0 D1 ...
    std::vector<CabFolder> folders;
    std::vector<CabFile> files;
    std::vector<std::string> previous, next; // cabinet and disk name; set the chaining flags when given
};
Bytes buildCabinet(const CabLayout& layout);
Bytes buildCabinet(std::vector<CabFolder> folders, std::vector<CabFile> files); // and the defaults
// A member of a set at `index` with one folder, naming the cabinets before and after it (cabinet
// and disk name, or none).
Bytes setMember(std::uint16_t index, CabFolder folder, std::vector<CabFile> files, std::vector<std::string> previous,
                std::vector<std::string> next, std::uint16_t setID = 0x1234);
// A stored folder holding `content` in blocks of at most `blockSize` bytes.
CabFolder storedFolder(const Bytes& content, std::size_t blockSize = 32768);
// One MSZIP block holding `content` as a single stored deflate block.
CabBlock mszipStoredBlock(const Bytes& content);
std::string sha256Hex(const void* data, std::size_t n); // lower-case hex

struct CountingHeap
{
    std::size_t outstanding = 0, outstandingBytes = 0, peakBytes = 0; // blocks and bytes not yet released
    std::vector<std::size_t> sizes;                                   // every request, refused ones too, in order
    long failAt = -1;                                                 // the request (from 0) that answers null
    void* allocate(std::size_t bytes);
    void release(void* p);
    cabinet::DecoderMemory memory();
};
CountingHeap& fdiHeap();

struct Frame
{
    Bytes bytes;            // a data block's compressed bytes
    std::uint32_t size = 0; // its uncompressed size
};

inline const cabinet::Codec& codecOf(cabinet::Method m) { return cabinet::kCodecs[static_cast<unsigned>(m)]; }

class Decoder
{
public:
    Decoder(cabinet::Method method, unsigned windowBits, const cabinet::DecoderMemory& memory)
        : codec_(codecOf(method)), handle_(codec_.create(windowBits, memory))
    {}
    ~Decoder() { codec_.destroy(handle_); }
    Decoder(const Decoder&) = delete;
    bool reset() { return codec_.reset(handle_); }
    // One block into `out` (resized to outLen).
    cabinet::BlockResult decode(const Bytes& in, std::size_t outLen, Bytes& out)
    {
        out.assign(outLen, 0);
        return codec_.decode(handle_, in.data(), in.size(), out.data(), outLen);
    }
    // Frames in order into `out`; the index of the first one not decoded, or -1 when all are.
    int decodeFrames(const std::vector<Frame>& frames, Bytes& out)
    {
        out.clear();
        Bytes block;
        for (std::size_t i = 0; i < frames.size(); ++i) {
            if (decode(frames[i].bytes, frames[i].size, block) != cabinet::BlockResult::kOk)
                return static_cast<int>(i);
            out.insert(out.end(), block.begin(), block.end());
        }
        return -1;
    }
    // The same through a second thread, handing over up to `depth` frames before taking the
    // oldest; -2 when the method or the machine cannot decode ahead.
    int decodeFramesAhead(const std::vector<Frame>& frames, unsigned depth, Bytes& out);
    // One block handed over and taken back; kBadCall when it cannot be handed over.
    cabinet::BlockResult decodeAhead(const Bytes& in, std::size_t outLen, Bytes& out);

private:
    const cabinet::Codec& codec_;
    void* handle_;
};

// Text-like data with near and far repeats, incompressible stretches and x86 call bytes.
Bytes sampleData(std::size_t n, std::uint32_t seed, std::size_t farthest);

inline std::string sha256Hex(const Bytes& b) { return sha256Hex(b.data(), b.size()); }
std::string cabDir(const std::string& relative); // a folder or file under the cabinet fixtures
Bytes fixture(const std::string& relative);

void putFile(const std::string& path, Bytes bytes); // served instead of the disk file
void resetFiles();                                  // forgets put files, handles and outputs

struct FileCounters
{
    std::size_t openHandles = 0;
    long shortWriteAfter = -1;       // total bytes after which writes come up short
    bool keepOutput = true;          // false: outputs only count and digest what is written
    std::vector<std::string> opened; // every path the engine tried to open, found or not
};
FileCounters& files();
void resetCounters(); // the file counters and fdiHeap()

struct Output
{
    std::string name;
    Bytes data;
    std::uint64_t size = 0, digest = 14695981039346656037ull; // FNV-1a of everything written
    bool closed = false;
};
std::vector<Output>& outputs();
FDI_INT_PTR openInput(const std::string& path); // as the engine opens a cabinet
int& decryptAnswer();                           // what the decryption callback answers (0)

// FDICreate with the test callbacks, destroyed on scope exit.
struct Context
{
    Context();
    ~Context();
    Context(const Context&) = delete;
    HFDI get() const { return hfdi; }
    ERF erf{};
    HFDI hfdi;
};

struct Event
{
    FDINOTIFICATIONTYPE type;
    std::string psz1, psz2, psz3;
    long cb;
    unsigned date, time, attribs, setID, iCabinet, iFolder;
    int fdie;
};
using Handler = std::function<FDI_INT_PTR(FDINOTIFICATIONTYPE, FDINOTIFICATION*)>;

struct CopyResult
{
    bool ok = false;
    ERF erf{};
    std::vector<Event> events;
    std::vector<Output> files; // closed outputs in order
    std::vector<FDIDECRYPT> decrypts;
    std::vector<Bytes> decryptReserves;
    bool userPointerRode = true; // every callback received the copy's user pointer
};
// The default handler: every file into an output, sets followed in the same directory, a failed
// attempt at a next cabinet given up.
FDI_INT_PTR extractAll(FDINOTIFICATIONTYPE type, FDINOTIFICATION* n);
CopyResult copy(Context& context, const std::string& dir, const std::string& name, Handler handler = extractAll,
                bool withDecrypt = false);
CopyResult copy(const std::string& dir, const std::string& name, Handler handler = extractAll,
                bool withDecrypt = false);
std::vector<std::string> names(const CopyResult& run, FDINOTIFICATIONTYPE type);

} // namespace cabtest
