#include "tiff_writer.h"

#include <tiffio.h>

#include <QColorSpace>
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

namespace velloran::convert {

namespace {

// libtiff's view of a growing byte array: it seeks back to patch offsets, so the array is
// written at a position rather than appended to.
struct MemoryFile {
    QByteArray* data;
    toff_t position = 0;
};

tsize_t readNothing(thandle_t, tdata_t, tsize_t) {
    return 0;
}

tsize_t writeAt(thandle_t handle, tdata_t buffer, tsize_t size) {
    auto* file = static_cast<MemoryFile*>(handle);
    if (size < 0)
        return -1;
    const toff_t end = file->position + toff_t(size);
    if (end > toff_t(std::numeric_limits<qsizetype>::max() / 2))
        return -1;
    if (qsizetype(end) > file->data->size()) {
        // Doubling keeps the copying linear in the final size.
        if (qsizetype(end) > file->data->capacity())
            file->data->reserve(std::max(qsizetype(end), file->data->capacity() * 2));
        file->data->resize(qsizetype(end));
    }
    std::memcpy(file->data->data() + file->position, buffer, size_t(size));
    file->position = end;
    return size;
}

toff_t seekTo(thandle_t handle, toff_t offset, int whence) {
    auto* file = static_cast<MemoryFile*>(handle);
    const toff_t base = whence == SEEK_CUR ? file->position
                        : whence == SEEK_END ? toff_t(file->data->size())
                                             : 0;
    file->position = base + offset;
    return file->position;
}

int closeNothing(thandle_t) {
    return 0;
}

toff_t sizeOf(thandle_t handle) {
    return toff_t(static_cast<MemoryFile*>(handle)->data->size());
}

int mapNothing(thandle_t, tdata_t*, toff_t*) {
    return 0;
}

void unmapNothing(thandle_t, tdata_t, toff_t) {}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};

// The pixel layout written: samples in R, G, B(, A) order without padding inside a row.
struct Layout {
    QImage::Format format;
    int samples;
    int bits;
};

Layout layoutFor(const QImage& image) {
    const bool alpha = image.hasAlphaChannel();
    if (image.depth() == 64 || image.format() == QImage::Format_Grayscale16)
        return alpha ? Layout{QImage::Format_RGBA64, 4, 16} : Layout{QImage::Format_RGBX64, 4, 16};
    return alpha ? Layout{QImage::Format_RGBA8888, 4, 8} : Layout{QImage::Format_RGB888, 3, 8};
}

}  // namespace

bool encodeTiff(const QImage& image, QByteArray* tiff, QString* error) {
    if (image.isNull()) {
        *error = QStringLiteral("there is no picture to write");
        return false;
    }
    const Layout layout = layoutFor(image);
    // A copy of our own: the predictor may difference the rows in place.
    QImage pixels = image.convertToFormat(layout.format);
    pixels.detach();
    // RGBX64 keeps a fourth, unused sample; it is written as three.
    const int writtenSamples = layout.format == QImage::Format_RGBX64 ? 3 : layout.samples;
    if (pixels.isNull()) {
        *error = QStringLiteral("there is not enough memory for the picture");
        return false;
    }

    tiff->clear();
    MemoryFile file{tiff};
    // "m": no memory mapping of an output.
    std::unique_ptr<TIFF, TiffCloser> out(TIFFClientOpen("velloran-convert", "wm", &file,
                                                         readNothing, writeAt, seekTo,
                                                         closeNothing, sizeOf, mapNothing,
                                                         unmapNothing));
    if (!out) {
        *error = QStringLiteral("the TIFF encoder cannot start");
        return false;
    }
    TIFF* t = out.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(pixels.width()));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(pixels.height()));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(layout.bits));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(writtenSamples));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (writtenSamples == 4) {
        const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
    }
    // Strips of about 64 KB: few enough to keep the offset tables small, small enough for
    // readers that hold a strip at a time.
    const qsizetype rowBytes = qsizetype(pixels.width()) * writtenSamples * layout.bits / 8;
    const uint32_t rowsPerStrip = uint32_t(std::clamp<qsizetype>((64 << 10) / rowBytes, 1,
                                                                 pixels.height()));
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(t, TIFFTAG_XRESOLUTION, float(image.dotsPerMeterX() * 0.0254));
        TIFFSetField(t, TIFFTAG_YRESOLUTION, float(image.dotsPerMeterY() * 0.0254));
    }
    const QByteArray icc = image.colorSpace().isValid() ? image.colorSpace().iccProfile()
                                                        : QByteArray();
    if (!icc.isEmpty())
        TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(icc.size()), icc.constData());

    QByteArray packed;
    if (writtenSamples != layout.samples)
        packed.resize(rowBytes);
    for (int y = 0; y < pixels.height(); ++y) {
        uchar* row = pixels.scanLine(y);
        if (!packed.isEmpty()) {
            // Drop the unused fourth sample of each RGBX64 pixel.
            auto* in = reinterpret_cast<const quint16*>(row);
            auto* to = reinterpret_cast<quint16*>(packed.data());
            for (int x = 0; x < pixels.width(); ++x, in += 4, to += 3)
                std::memcpy(to, in, 3 * sizeof(quint16));
            row = reinterpret_cast<uchar*>(packed.data());
        }
        if (TIFFWriteScanline(t, row, uint32_t(y), 0) < 0) {
            *error = QStringLiteral("the TIFF encoder failed");
            return false;
        }
    }
    if (!TIFFWriteDirectory(t)) {
        *error = QStringLiteral("the TIFF encoder failed");
        return false;
    }
    out.reset();
    return true;
}

}  // namespace velloran::convert
