#pragma once

namespace RepositoryAccess::heappages {

// Prepares the main heap for a run that may hold tens of megabytes (an archive and its frame, a
// status of 100,000 files, the repository file's page cache): the heap grows by 64 MiB of address
// space at a time, and the kernel may back it with large pages. Each first touch of a small page
// is a fault of its own, and an import of 10,000 objects took over 13,000 of them; with large
// pages it takes about a thousand. Memory is still taken only where the run writes. Harmless
// where large pages are not available; does nothing under the address sanitizer, whose
// allocator has no such heap.
void prepare();

} // namespace RepositoryAccess::heappages
