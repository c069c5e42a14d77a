#pragma once
// SLK_SANITIZED is 1 in builds with ASan, TSan or MSan: they reserve a vast
// address space (no address space limit fits) and make large copies and
// fork slower.

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SLK_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define SLK_SANITIZED 1
#endif
#endif
#ifndef SLK_SANITIZED
#define SLK_SANITIZED 0
#endif
