// SPDX-License-Identifier: MIT
#include "engine/engine_start.h"

#include "engine/photo_metadata.h"
#include "imageio/image_limits.h"

void StartEngine() {
    RaiseImageAllocationLimit();
    SetUpMetadataLibrary();
}
