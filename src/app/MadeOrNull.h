#pragma once
// An object the viewer makes when a file is opened or the window comes up:
// without the memory for it that one file (or the start) is refused, and the
// viewer goes on.

#include <memory>
#include <new>
#include <utility>

namespace veskar {

template <typename T, typename... Args>
std::unique_ptr<T> madeOrNull(Args&&... args) noexcept
{
    try {
        return std::make_unique<T>(std::forward<Args>(args)...);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace veskar
