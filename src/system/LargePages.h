#pragma once
// Large tables that are about to be written for the first time can ask for
// large pages: one fault then fills 2 MiB instead of 4 KiB, and on virtual
// machines the faults, not the writing, are what a fresh table costs.

#include <cstddef>
#include <vector>

namespace veskar {

// A hint only: nothing happens where the system has no such pages, for
// ranges smaller than a large page, or for memory already written.
void preferLargePages(const void* begin, std::size_t bytes);

// The room a vector has reserved.
template <typename T>
void preferLargePages(const std::vector<T>& v)
{
    preferLargePages(v.data(), v.capacity() * sizeof(T));
}

// Room for count elements with a large page inside it: a table of a few MiB
// seldom holds a whole aligned one by chance, so the room grows by one large
// page (address space only: pages never written cost nothing).
template <typename T>
void reserveWithLargePages(std::vector<T>& v, std::size_t count)
{
    constexpr std::size_t kLargePage = std::size_t{2} << 20;
    v.reserve(count * sizeof(T) >= kLargePage / 2 ? count + kLargePage / sizeof(T) : count);
    preferLargePages(v);
}

} // namespace veskar
