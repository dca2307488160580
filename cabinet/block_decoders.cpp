#include "block_decoders.h"

namespace cabinet {

FDIERROR BlockDecoders::choose(unsigned typeCompress)
{
    if (codec_ != nullptr && typeCompress == type_)
        return FDIERROR_NONE;
    release();

    const Codec* codec = codecFor(typeCompress);
    if (codec == nullptr)
        return FDIERROR_BAD_COMPR_TYPE;
    const unsigned window = windowBitsOf(typeCompress);
    if (!codec->windowValid(window))
        return FDIERROR_MDI_FAIL;

    input_ = static_cast<unsigned char*>(allocate(codec->inputSize));
    output_ = static_cast<unsigned char*>(allocate(kOutputSize));
    if (input_ != nullptr && output_ != nullptr)
        decoder_ = codec->create(window, memory_);
    if (decoder_ == nullptr) {
        release(); // the window was accepted above, so only memory can be missing
        return FDIERROR_ALLOC_FAIL;
    }
    inputSize_ = codec->inputSize;
    type_ = typeCompress;
    codec_ = codec;
    return FDIERROR_NONE;
}

bool BlockDecoders::reset() { return codec_ == nullptr || codec_->reset(decoder_); }

FDIERROR BlockDecoders::admit(std::size_t total) const
{
    if (total <= inputSize_)
        return FDIERROR_NONE;
    return codec_ != nullptr ? codec_->tooLongBlock : FDIERROR_CORRUPT_CABINET;
}

FDIERROR BlockDecoders::decode(std::size_t inLen, std::size_t expected)
{
    if (codec_ == nullptr || expected == 0 || expected > kOutputSize || inLen > inputSize_)
        return FDIERROR_MDI_FAIL;
    const BlockResult r = codec_->decode(decoder_, input_, inLen, output_, expected);
    return r == BlockResult::kOk ? FDIERROR_NONE : FDIERROR_MDI_FAIL;
}

void BlockDecoders::release()
{
    if (codec_ != nullptr)
        codec_->destroy(decoder_);
    decoder_ = nullptr;
    codec_ = nullptr;
    free(input_);
    free(output_);
    input_ = nullptr;
    output_ = nullptr;
    inputSize_ = 0;
    type_ = 0;
}

} // namespace cabinet
