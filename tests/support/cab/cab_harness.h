// Test support for the cabinet engine: FDI callbacks over in-memory files (with files
// read from disk on demand), a notification recorder, and a builder of cabinets byte by byte.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cabcodec/sha256.h"
#include "fdi.h"

namespace cabtest {

using Bytes = std::vector<std::uint8_t>;

inline std::string sha256Hex(const Bytes& b) { return sha256Hex(b.data(), b.size()); }

Bytes readFile(const std::string& path);          // empty when missing
std::string sharedDir();                           // RAVEL_DATA_DIR or tests/data of the source tree
std::string cabDataDir();                          // <data>/cab/

// --- the file system seen through the callbacks ---
void putFile(const std::string& path, Bytes bytes);  // served instead of the disk file
void resetFiles();                                   // forgets put files and open handles

struct Counters {
    std::size_t allocations = 0;
    std::size_t outstandingBytes = 0;
    std::size_t peakBytes = 0;
    std::vector<std::size_t> sizes;  // every allocation's size, in order
    long failAllocationAt = -1;       // the n-th allocation (from 0) answers null
    long shortWriteAfter = -1;        // total bytes after which writes come up short
    std::size_t opens = 0;
    std::size_t openHandles = 0;
    std::size_t bytesRead = 0;
};
Counters& counters();
void resetCounters();

struct Output {
    std::string name;
    Bytes data;
    bool closed = false;
};
FDI_INT_PTR newOutput(const std::string& name);
FDI_INT_PTR openInput(const std::string& path);  // as the engine would open a cabinet
int& decryptAnswer();                            // what the decryption callback answers (0)
Output& outputOf(FDI_INT_PTR hf);
std::vector<Output>& outputs();

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
    long cb = 0;
    unsigned date = 0, time = 0, attribs = 0, setID = 0, iCabinet = 0, iFolder = 0;
    int fdie = 0;
};

using Handler = std::function<FDI_INT_PTR(FDINOTIFICATIONTYPE, FDINOTIFICATION*)>;

// Runs FDICopy with a handler (default: extract every file into an output, follow sets in the
// same directory, give up after one failed attempt at a next cabinet). Records every notification.
struct CopyResult {
    bool ok = false;
    ERF erf{};
    std::vector<Event> events;
    std::vector<Output> files;  // closed outputs in order
    std::vector<FDIDECRYPT> decrypts;
    std::vector<Bytes> decryptReserves;
    bool userPointerRode = true;  // every callback received the copy's user pointer
};
FDI_INT_PTR extractAll(FDINOTIFICATIONTYPE type, FDINOTIFICATION* n);
CopyResult copy(Context& context, const std::string& dir, const std::string& name, Handler handler = extractAll,
         bool withDecrypt = false);
CopyResult copy(const std::string& dir, const std::string& name, Handler handler = extractAll, bool withDecrypt = false);
std::vector<std::string> names(const CopyResult& run, FDINOTIFICATIONTYPE type);

// --- building cabinets ---
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
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
    std::uint16_t folder = 0;
    std::uint16_t date = 0x226c;
    std::uint16_t time = 0x59ba;
    std::uint16_t attribs = 0x20;
};
struct CabLayout {
    std::uint16_t version = 0x0103;
    std::uint16_t setID = 0x1234;
    std::uint16_t iCabinet = 0;
    std::string previousCabinet, previousDisk, nextCabinet, nextDisk;
    bool reserve = false;
    Bytes headerReserve;
    std::uint8_t folderReserve = 0;
    std::uint8_t dataReserve = 0;
    std::vector<CabFolder> folders;
    std::vector<CabFile> files;
};
Bytes buildCabinet(const CabLayout& layout);
// A stored folder holding `content` in blocks of at most `blockSize` bytes.
CabFolder storedFolder(const Bytes& content, std::size_t blockSize = 32768);
// One MSZIP block holding `content` as a single stored deflate block.
CabBlock mszipStoredBlock(const Bytes& content);
Bytes pattern(std::size_t length, unsigned seed);  // compressible, seed-dependent bytes

// A minimal fixed-Huffman deflate writer for decoder tests.
class DeflateWriter {
public:
    void literal(unsigned byte);
    void match(unsigned length, unsigned distance);
    void begin(bool final);           // starts a fixed-Huffman block
    void end();                       // its end-of-block code
    Bytes finish();                   // pads to a byte
private:
    void bits(std::uint32_t value, unsigned count);
    void code(std::uint32_t value, unsigned length);  // Huffman codes go most significant bit first
    void symbol(unsigned sym);
    Bytes out_;
    std::uint32_t acc_ = 0;
    unsigned count_ = 0;
};

}  // namespace cabtest
