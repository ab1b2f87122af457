// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <cstddef>

// The 8x8 discrete cosine transform of JPEG's blocks, in floating point: a block's samples
// (level-shifted by 128) to its coefficients as JPEG defines them, before quantisation, and
// back. Coefficients are in natural order: index = vertical frequency * 8 + horizontal.
using BlockCoefficients = std::array<float, 64>;

// The coefficients of the 8x8 samples at `samples`, rows `stride` bytes apart.
BlockCoefficients ForwardDct(const uint8_t* samples, std::ptrdiff_t stride);

// The samples of a block of quantised coefficients (`quantised[k] * steps[k]`), rounded and
// kept within 0..255, into the 8x8 samples at `samples`.
void InverseDct(const int16_t* quantised, const uint16_t* steps, uint8_t* samples,
                std::ptrdiff_t stride);
