#pragma once

#include <cstddef>
#include <cstdint>

// The SHA-1 compression function over whole 64-byte blocks, in a portable and an x86 SHA
// instruction form. Used by the hash class only.
namespace RepositoryAccess::hash::blocks {

// Processes theCount consecutive blocks into theState (h0..h4).
void compressPortable(std::uint32_t* theState, const unsigned char* theBlocks,
                      std::size_t theCount);

// Same with the SHA instructions; call only when acceleratedSupported().
void compressAccelerated(std::uint32_t* theState, const unsigned char* theBlocks,
                         std::size_t theCount);

// The processor has the SHA and SSE4.1 instructions.
bool acceleratedSupported();

} // namespace RepositoryAccess::hash::blocks
