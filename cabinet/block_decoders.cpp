#include "block_decoders.h"

namespace cabinet {

FDIERROR BlockDecoders::choose(unsigned typeCompress)
{
    if (m_codec != nullptr && typeCompress == m_type)
        return FDIERROR_NONE;
    release();

    const Codec* codec = codecFor(typeCompress);
    if (codec == nullptr)
        return FDIERROR_BAD_COMPR_TYPE;
    const unsigned window = windowBitsOf(typeCompress);
    if (!codec->windowValid(window))
        return FDIERROR_MDI_FAIL;

    m_input = static_cast<unsigned char*>(allocate(codec->inputSize));
    m_output = static_cast<unsigned char*>(allocate(kOutputSize));
    if (m_input != nullptr && m_output != nullptr)
        m_decoder = codec->create(window, m_memory);
    if (m_decoder == nullptr) {
        release(); // the window was accepted above, so only memory can be missing
        return FDIERROR_ALLOC_FAIL;
    }
    m_inputSize = codec->inputSize;
    m_type = typeCompress;
    m_codec = codec;
    return FDIERROR_NONE;
}

bool BlockDecoders::reset() { return m_codec == nullptr || m_codec->reset(m_decoder); }

FDIERROR BlockDecoders::admit(std::size_t total) const
{
    if (total <= m_inputSize)
        return FDIERROR_NONE;
    return m_codec != nullptr ? m_codec->tooLongBlock : FDIERROR_CORRUPT_CABINET;
}

FDIERROR BlockDecoders::decode(std::size_t inLen, std::size_t expected)
{
    if (m_codec == nullptr || expected == 0 || expected > kOutputSize || inLen > m_inputSize)
        return FDIERROR_MDI_FAIL;
    const BlockResult r = m_codec->decode(m_decoder, m_input, inLen, m_output, expected);
    return r == BlockResult::kOk ? FDIERROR_NONE : FDIERROR_MDI_FAIL;
}

bool BlockDecoders::feed(std::size_t inLen, std::size_t expected)
{
    return m_codec != nullptr && m_codec->feed != nullptr && inLen <= m_inputSize &&
           m_codec->feed(m_decoder, m_input, inLen, expected);
}

FDIERROR BlockDecoders::take(std::size_t expected)
{
    if (m_codec == nullptr || m_codec->take == nullptr || expected == 0 || expected > kOutputSize)
        return FDIERROR_MDI_FAIL;
    return m_codec->take(m_decoder, m_output, expected) == BlockResult::kOk ? FDIERROR_NONE : FDIERROR_MDI_FAIL;
}

void BlockDecoders::release()
{
    if (m_codec != nullptr)
        m_codec->destroy(m_decoder);
    m_decoder = nullptr;
    m_codec = nullptr;
    free(m_input);
    free(m_output);
    m_input = nullptr;
    m_output = nullptr;
    m_inputSize = 0;
    m_type = 0;
}

} // namespace cabinet
