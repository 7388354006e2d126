#pragma once
// A short text that one thread may replace while others read it, as a host
// renames a program on one thread and asks for its name on another. There is
// no lock and nothing is allocated: a version counter, odd while a text is
// being written, surrounds the copy, and a reader that sees it change (or
// odd) copies again. The characters themselves are atomics, so even the copy
// that a reader throws away is free of data races.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <thread>

namespace tarnwick {

template <std::size_t Size>
class SharedText {
    static_assert(Size >= 1);

public:
    static constexpr std::size_t kMaxChars = Size - 1;

    SharedText() = default;
    SharedText(const SharedText&) = delete;
    SharedText& operator=(const SharedText&) = delete;

    // Keeps at most kMaxChars characters of text; a longer text is cut. A
    // text set while another is still being written gives way to that one,
    // as if it had been set just before it: the last text stands whole.
    void set(const char* text) {
        std::uint32_t version = version_.load(std::memory_order_relaxed);
        do {
            if (version & 1u) return;
        } while (!version_.compare_exchange_weak(version, version + 1, std::memory_order_acquire,
                                                 std::memory_order_relaxed));
        // Release stores: a reader that sees any of these characters also
        // sees the odd version before them and throws its copy away.
        std::size_t n = 0;
        for (; n < kMaxChars && text[n] != '\0'; ++n)
            chars_[n].store(text[n], std::memory_order_release);
        chars_[n].store('\0', std::memory_order_release);
        version_.store(version + 2, std::memory_order_release);
    }

    // Copies at most maxChars characters (and kMaxChars at most) and a NUL into out.
    void get(char* out, std::size_t maxChars) const {
        if (maxChars > kMaxChars) maxChars = kMaxChars;
        std::array<char, Size> copy;
        std::size_t n;
        for (;;) {
            const std::uint32_t version = version_.load(std::memory_order_acquire);
            if (version & 1u) {
                std::this_thread::yield();  // a writer is at work
                continue;
            }
            // Acquire loads keep the second look at the version after the copy.
            for (n = 0; n < maxChars; ++n) {
                copy[n] = chars_[n].load(std::memory_order_acquire);
                if (copy[n] == '\0') break;
            }
            if (version_.load(std::memory_order_relaxed) == version) break;
        }
        for (std::size_t i = 0; i < n; ++i) out[i] = copy[i];
        out[n] = '\0';
    }

private:
    std::atomic<std::uint32_t> version_{0};
    std::array<std::atomic<char>, Size> chars_{};
};

}  // namespace tarnwick
