// SPDX-License-Identifier: MIT
#pragma once

// Camera photos beyond 34 megapixels exceed Qt's default 128 MB image allocation
// limit; raise it to 1024 MB so they load, and bigger ones are reported as too large.
inline constexpr int kImageAllocationLimitMb = 1024;
void RaiseImageAllocationLimit();
