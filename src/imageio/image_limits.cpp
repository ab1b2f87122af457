// SPDX-License-Identifier: MIT
#include "imageio/image_limits.h"

#include <QImageReader>

void RaiseImageAllocationLimit() {
    QImageReader::setAllocationLimit(kImageAllocationLimitMb);
}
