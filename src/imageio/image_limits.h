// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

// Camera photos beyond 34 megapixels exceed Qt's default 128 MB image allocation
// limit; raise it to 1024 MB so they load, and bigger ones are reported as too large.
// The one bound on a picture in both programs: the window's loader reads it back from Qt,
// the converter holds a file, its decoded picture and the decoders' buffers to it.
inline constexpr int kImageAllocationLimitMb = 1024;
inline constexpr qint64 kImageAllocationLimitBytes = qint64(kImageAllocationLimitMb) * 1024 * 1024;
void RaiseImageAllocationLimit();
