// SPDX-License-Identifier: MIT
#include "imageio/block_dct.h"

#include <algorithm>
#include <cmath>

namespace {

// kBasis[u][x] = C(u) / 2 * cos((2x + 1) u pi / 16), C(0) = 1/sqrt(2), else 1: one
// dimension of JPEG's transform, so the block's is kBasis applied down and across.
struct Basis {
    float at[8][8];
    Basis() {
        const double pi = std::acos(-1.0);
        for (int u = 0; u < 8; ++u) {
            const double scale = u == 0 ? 0.5 / std::sqrt(2.0) : 0.5;
            for (int x = 0; x < 8; ++x) {
                at[u][x] = float(scale * std::cos((2 * x + 1) * u * pi / 16));
            }
        }
    }
};

const Basis& TheBasis() {
    static const Basis basis;
    return basis;
}

}  // namespace

BlockCoefficients ForwardDct(const uint8_t* samples, std::ptrdiff_t stride) {
    const Basis& b = TheBasis();
    float across[8][8];  // [y][u]: each row transformed
    for (int y = 0; y < 8; ++y) {
        const uint8_t* row = samples + y * stride;
        for (int u = 0; u < 8; ++u) {
            float sum = 0;
            for (int x = 0; x < 8; ++x) {
                sum += b.at[u][x] * (float(row[x]) - 128.0f);
            }
            across[y][u] = sum;
        }
    }
    BlockCoefficients out{};
    for (int v = 0; v < 8; ++v) {
        for (int u = 0; u < 8; ++u) {
            float sum = 0;
            for (int y = 0; y < 8; ++y) {
                sum += b.at[v][y] * across[y][u];
            }
            out[size_t(v * 8 + u)] = sum;
        }
    }
    return out;
}

void InverseDct(const int16_t* quantised, const uint16_t* steps, uint8_t* samples,
                std::ptrdiff_t stride) {
    const Basis& b = TheBasis();
    float down[8][8];  // [y][u]: each column of frequencies back to rows
    for (int u = 0; u < 8; ++u) {
        for (int y = 0; y < 8; ++y) {
            float sum = 0;
            for (int v = 0; v < 8; ++v) {
                sum += b.at[v][y] * float(quantised[v * 8 + u]) * float(steps[v * 8 + u]);
            }
            down[y][u] = sum;
        }
    }
    for (int y = 0; y < 8; ++y) {
        uint8_t* row = samples + y * stride;
        for (int x = 0; x < 8; ++x) {
            float sum = 128.0f;
            for (int u = 0; u < 8; ++u) {
                sum += b.at[u][x] * down[y][u];
            }
            row[x] = uint8_t(std::clamp(std::lround(sum), 0L, 255L));
        }
    }
}
