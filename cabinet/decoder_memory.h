// Memory for the block decoders. Every byte the cabinet engine uses comes from the allocation
// callbacks its caller handed to FDICreate; the decoders receive them through this record.
#pragma once

#include <cstddef>

namespace cabinet {

struct DecoderMemory
{
    void* (*alloc)(void* ctx, std::size_t bytes); // nullptr when the memory cannot be had
    void (*release)(void* ctx, void* p);
    void* ctx;
};

} // namespace cabinet
