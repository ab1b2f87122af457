// SPDX-License-Identifier: MIT
#include "imageio/heif_planes.h"

#include <libheif/heif.h>

YcbcrPlaneView HeifPlanes::View() const {
    YcbcrPlaneView view;
    view.width = width;
    view.height = height;
    view.chromaAcross = chromaAcross;
    view.chromaDown = chromaDown;
    view.coding = coding;
    const heif_channel channels[] = {heif_channel_Y, heif_channel_Cb, heif_channel_Cr};
    for (size_t c = 0; c < 3; ++c) {
        int stride = 0;
        view.samples[c] = heif_image_get_plane(image.get(), channels[c], &stride);
        view.strides[c] = stride;
    }
    return view;
}

qint64 HeifPlanes::Bytes() const {
    const qint64 chroma = qint64((width + chromaAcross - 1) / chromaAcross) *
                          ((height + chromaDown - 1) / chromaDown);
    return qint64(width) * height + 2 * chroma;
}

std::optional<YcbcrCoding> CodingOfDescription(const HeifColourDescription& description) {
    YcbcrCoding coding;
    coding.fullRange = description.fullRange;
    switch (description.matrixCoefficients) {
        case 1:  // BT.709
            coding.kr = 0.2126;
            coding.kb = 0.0722;
            return coding;
        case 2:  // unspecified
        case 5:  // BT.470 B/G
        case 6:  // BT.601
            return coding;
        case 4:  // FCC
            coding.kr = 0.30;
            coding.kb = 0.11;
            return coding;
        case 7:  // SMPTE 240M
            coding.kr = 0.212;
            coding.kb = 0.087;
            return coding;
        case 9:  // BT.2020 without constant luminance
            coding.kr = 0.2627;
            coding.kb = 0.0593;
            return coding;
        default:
            return std::nullopt;
    }
}

bool WrittenAsTheyStand(const HeifColourDescription& description) {
    return description.fullRange &&
           (description.matrixCoefficients == 5 || description.matrixCoefficients == 6);
}
