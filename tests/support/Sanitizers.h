#pragma once
// TARNWICK_HAS_ASAN is 1 in a build with AddressSanitizer (GCC or clang), so
// that a test can leave out what the sanitizer itself makes impossible, such
// as a small address-space limit.

#if defined(__SANITIZE_ADDRESS__)
#define TARNWICK_HAS_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TARNWICK_HAS_ASAN 1
#endif
#endif
#ifndef TARNWICK_HAS_ASAN
#define TARNWICK_HAS_ASAN 0
#endif
