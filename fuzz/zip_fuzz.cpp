// The zip reader over untrusted bytes: open, then every entry into a sink that only counts (and
// stops an entry past 64 MiB, so a run stays short whatever the archive declares).
#include <cstddef>
#include <cstdint>

#include "ZipArchive.h"

namespace {
class CappedSink : public ravelzip::ZipSink
{
public:
    std::size_t bytes = 0;
    bool write(const std::uint8_t*, std::size_t size) override
    {
        bytes += size;
        return bytes <= (std::size_t{64} << 20);
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ravelzip::ZipArchive archive;
    if (archive.open(data, size) != ravelzip::ZipResult::kOk)
        return 0;
    for (std::size_t i = 0; i < archive.count(); ++i) {
        CappedSink sink;
        archive.extract(i, sink);
    }
    return 0;
}
