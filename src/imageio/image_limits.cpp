// SPDX-License-Identifier: MIT
#include "util/image_limits.h"

#include <QImageReader>

void RaiseImageAllocationLimit() {
    QImageReader::setAllocationLimit(kImageAllocationLimitMb);
}
