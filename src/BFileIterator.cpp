#include "BFileIterator.h"

#include <cstdio>
#include <memory>
#include <vector>

BFileIterator::BFileIterator(int bufferSize) : m_bufferSize(bufferSize) {}

BFileIterator::teErrors BFileIterator::iterate(RWCString path, Callback callback, void* data)
{
    // fgets needs room for at least one character and the terminator.
    std::vector<char> buffer(static_cast<std::size_t>(m_bufferSize > 2 ? m_bufferSize : 2));
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.data(), "r"), std::fclose);
    if (!file)
        return ITERATE_OPEN_FAILED;
    for (;;) {
        if (std::fgets(buffer.data(), static_cast<int>(buffer.size()), file.get()) == nullptr)
            return std::ferror(file.get()) ? ITERATE_READ_ERROR : ITERATE_OK;
        RWCString line(buffer.data());
        if (!callback(line, data))
            return ITERATE_STOPPED;
        if (std::feof(file.get()))
            return ITERATE_OK;
    }
}
