// The heap of a long ingest on huge pages.
//
// An ingest fills a page cache of tens of MiB as it goes. On pages of 4 KiB
// every page of it is a page fault, and on a virtual machine those faults
// were most of the kernel's share of an ingest (10 000 for 20 000 alarms).
// A heap grown once and advised to use huge pages takes a few hundred.
#pragma once

#include <cstddef>
#include <string>

namespace nxtools {

// Grows the heap by `bytes` (address space only: memory is taken as pages
// are touched) and advises the kernel to back it with huge pages. The heap
// then grows in steps of `bytes` and keeps what it frees; blocks of up to
// 32 MiB come from it instead of from mappings of their own. False with why
// set when the allocator or the kernel does not allow it: the process runs
// on as before.
bool heap_on_huge_pages(std::size_t bytes, std::string& why);

}  // namespace nxtools
