// Makes an LZX cabinet for cabbench from any data, with the test encoder (window 2^21, verbatim
// and aligned blocks alternating every MiB): one folder, one file.
//   mklzxcab <data> <cabinet>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "cab_support.h"
#include "test_encoders.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: mklzxcab <data> <cabinet>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "mklzxcab: cannot read %s\n", argv[1]);
        return 1;
    }
    const std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.empty() || data.size() > 0x7FFF8000u) {
        std::fprintf(stderr, "mklzxcab: %s must hold 1 byte to 2 GiB\n", argv[1]);
        return 1;
    }

    cabtest::LzxOptions options;
    options.windowBits = 21;
    options.plan = {{cabtest::LzxBlock::Verbatim, 1u << 20}, {cabtest::LzxBlock::Aligned, 1u << 20}};
    cabtest::CabFolder folder;
    folder.type = 0x1503; // LZX, window 2^21
    for (const auto& frame : cabtest::lzxEncode(data, options))
        folder.blocks.push_back({frame.bytes, static_cast<std::uint16_t>(frame.size)});
    cabtest::CabLayout layout;
    layout.folders = {folder};
    layout.files = {{"data.bin", static_cast<std::uint32_t>(data.size()), 0, 0}};
    const cabtest::Bytes cab = cabtest::buildCabinet(layout);

    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<const char*>(cab.data()), static_cast<std::streamsize>(cab.size()));
    if (!out) {
        std::fprintf(stderr, "mklzxcab: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
