#pragma once
// Whether the test is built with AddressSanitizer or ThreadSanitizer. Under
// them every access is checked and long runs of the same work take far
// longer; where the plain build repeats a case many times, a test may run
// fewer there (the sanitizer is the stricter check of each run).

namespace kaltest {

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kUnderSanitizer = true;
#else
inline constexpr bool kUnderSanitizer = false;
#endif
#else
inline constexpr bool kUnderSanitizer = false;
#endif

}  // namespace kaltest
