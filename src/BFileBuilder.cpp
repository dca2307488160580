#include "BFileBuilder.h"

BFileBuilder::BFileBuilder() : m_stream(nullptr) {}
BFileBuilder::BFileBuilder(const BFileBuilder&) : m_stream(nullptr) {}
BFileBuilder& BFileBuilder::operator=(const BFileBuilder& other)
{
    if (this != &other && m_stream != nullptr) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
    return *this;
}
BFileBuilder::~BFileBuilder()
{
    if (m_stream != nullptr)
        std::fclose(m_stream);
}

BFileBuilder::teErrors BFileBuilder::init(RWCString path)
{
    if (m_stream != nullptr)
        std::fclose(m_stream);
    m_stream = std::fopen(path.data(), "w");
    return m_stream != nullptr ? BUILD_OK : BUILD_OPEN_FAILED;
}

BFileBuilder::teErrors BFileBuilder::addString(RWCString& text)
{
    if (m_stream == nullptr)
        return BUILD_WRITE_FAILED;
    const std::size_t length = text.length();
    if (length > 0 && std::fwrite(text.data(), 1, length, m_stream) != length)
        return BUILD_WRITE_FAILED;
    return std::fflush(m_stream) == 0 ? BUILD_OK : BUILD_WRITE_FAILED;
}
