// SPDX-License-Identifier: MIT
#pragma once

// Code that ran earlier on a thread (seen after Qt's start-up and a picture's load) can
// leave the upper halves of the AVX registers in use, without the vzeroupper that should
// end it. Every legacy-SSE instruction of libwebp and libm then pays a transition
// penalty: the lossless WebP encode took twice cwebp's CPU time for the same bytes.
// Clearing that state before a codec runs costs one instruction.
inline void ClearUpperVectorState() {
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("avx")) {
        __asm__ volatile("vzeroupper");
    }
#endif
}
