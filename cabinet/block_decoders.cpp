#include "block_decoders.h"

#include <cstring>

#include "lzx.h"
#include "mszip.h"
#include "quantum.h"

namespace cabinet {
namespace {

enum Method : unsigned { kStored = 0, kMszip = 1, kQuantum = 2, kLzx = 3 };

constexpr std::size_t kMszipSlack = 12;
constexpr std::size_t kQuantumSlack = 10240;
constexpr std::size_t kLzxSlack = 6144;

unsigned methodOf(unsigned typeCompress) { return typeCompress & 0x000Fu; }
unsigned windowBitsOf(unsigned typeCompress) { return (typeCompress >> 8) & 0x1Fu; }

}  // namespace

int BlockDecoders::choose(unsigned typeCompress)
{
    if (chosen_ && typeCompress == type_) return 0;
    release();

    const unsigned method = methodOf(typeCompress);
    const unsigned window = windowBitsOf(typeCompress);
    std::size_t inputSize = 0;
    switch (method) {
    case kStored: inputSize = kOutputSize; break;
    case kMszip: inputSize = kOutputSize + kMszipSlack; break;
    case kQuantum:
        if (!qtmWindowValid(window)) return 7;
        inputSize = kOutputSize + kQuantumSlack;
        break;
    case kLzx:
        if (!lzxWindowValid(window)) return 7;
        inputSize = kOutputSize + kLzxSlack;
        break;
    default: return 6;
    }

    input_ = static_cast<unsigned char*>(allocate(inputSize));
    output_ = static_cast<unsigned char*>(allocate(kOutputSize));
    if (input_ == nullptr || output_ == nullptr) {
        release();
        return 5;
    }
    inputSize_ = inputSize;
    type_ = typeCompress;

    switch (method) {
    case kMszip: decoder_ = mszipCreate(memory_); break;
    case kQuantum: decoder_ = qtmCreate(window, memory_); break;
    case kLzx: decoder_ = lzxCreate(window, memory_); break;
    default: break;
    }
    if (method != kStored && decoder_ == nullptr) {
        release();  // the window was accepted above, so only memory can be missing
        return 5;
    }
    chosen_ = true;
    return 0;
}

bool BlockDecoders::reset()
{
    if (!chosen_) return true;
    switch (methodOf(type_)) {
    case kMszip: return mszipReset(static_cast<MszipDecoder*>(decoder_));
    case kQuantum: return qtmReset(static_cast<QtmDecoder*>(decoder_));
    case kLzx: return lzxReset(static_cast<LzxDecoder*>(decoder_));
    default: return true;
    }
}

int BlockDecoders::admit(std::size_t total) const
{
    if (chosen_ && methodOf(type_) == kStored && total > kOutputSize) return 7;
    if (total > inputSize_) return 4;
    return 0;
}

int BlockDecoders::decode(std::size_t inLen, std::size_t expected)
{
    if (!chosen_ || expected == 0 || expected > kOutputSize || inLen > inputSize_) return 7;
    int produced = -1;
    switch (methodOf(type_)) {
    case kStored:
        std::memcpy(output_, input_, inLen);
        produced = static_cast<int>(inLen);
        break;
    case kMszip:
        produced = mszipDecode(static_cast<MszipDecoder*>(decoder_), input_, inLen, output_, kOutputSize);
        break;
    case kQuantum: produced = qtmDecode(static_cast<QtmDecoder*>(decoder_), input_, inLen, output_, expected); break;
    case kLzx: produced = lzxDecode(static_cast<LzxDecoder*>(decoder_), input_, inLen, output_, expected); break;
    default: break;
    }
    return produced >= 0 && static_cast<std::size_t>(produced) == expected ? 0 : 7;
}

void BlockDecoders::release()
{
    if (decoder_ != nullptr) {
        switch (methodOf(type_)) {
        case kMszip: mszipDestroy(static_cast<MszipDecoder*>(decoder_)); break;
        case kQuantum: qtmDestroy(static_cast<QtmDecoder*>(decoder_)); break;
        case kLzx: lzxDestroy(static_cast<LzxDecoder*>(decoder_)); break;
        default: break;
        }
    }
    decoder_ = nullptr;
    free(input_);
    free(output_);
    input_ = nullptr;
    output_ = nullptr;
    inputSize_ = 0;
    type_ = kNoType;
    chosen_ = false;
}

}  // namespace cabinet
