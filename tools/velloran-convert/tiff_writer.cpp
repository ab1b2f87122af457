// SPDX-License-Identifier: MIT
#include "tiff_writer.h"

#include "lzw_encoder.h"
#include "tiff_memory.h"

#include <QColorSpace>
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace velloran::convert {

namespace {

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

// What decides the bytes of every strip.
struct Shape {
    int width = 0;
    int bits = 8;
    int samplesInMemory = 3;
    int samplesWritten = 3;  // RGBX64 keeps a fourth, unused sample; it is written as three
    bool rgb32 = false;      // opaque 0xffRRGGBB words, taken apart row by row
    bool bgr = false;        // B, G, R bytes, turned round row by row
    uint32_t rowsPerStrip = 1;
};

// A TIFF of `rows` rows in memory, with the tags that the strips' encoding depends on.
TiffHandle openEncoder(TiffMemoryFile* file, const Shape& shape, int rows) {
    TiffHandle out = openTiffWriter(file);
    if (!out)
        return out;
    TIFF* t = out.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(shape.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(rows));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(shape.bits));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(shape.samplesWritten));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (shape.samplesWritten == 4) {
        const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
    }
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, shape.rowsPerStrip);
    return out;
}

// The compressed strips of some rows, as bytes of the TIFF they were encoded into.
struct EncodedStrips {
    QByteArray file;
    std::vector<std::pair<qsizetype, qsizetype>> strips;  // offset and size in `file`
};

// One row of the picture as the samples written, into `row`.
void rowSamples(const uchar* in, const Shape& shape, uchar* row, qsizetype rowBytes) {
    if (shape.rgb32) {
        const auto* from = reinterpret_cast<const QRgb*>(in);
        for (int x = 0; x < shape.width; ++x, row += 3) {
            row[0] = uchar(qRed(from[x]));
            row[1] = uchar(qGreen(from[x]));
            row[2] = uchar(qBlue(from[x]));
        }
    } else if (shape.bgr) {
        for (int x = 0; x < shape.width; ++x, in += 3, row += 3) {
            row[0] = in[2];
            row[1] = in[1];
            row[2] = in[0];
        }
    } else if (shape.samplesWritten == shape.samplesInMemory) {
        std::memcpy(row, in, size_t(rowBytes));
    } else {
        // Drop the unused fourth sample of each RGBX64 pixel.
        const auto* from = reinterpret_cast<const quint16*>(in);
        auto* to = reinterpret_cast<quint16*>(row);
        for (int x = 0; x < shape.width; ++x, from += 4, to += 3)
            std::memcpy(to, from, 3 * sizeof(quint16));
    }
}

// Encodes `rows` 8-bit rows from `firstRow` (a strip boundary) strip by strip with the
// converter's own LZW coder: each strip's rows with the horizontal predictor applied
// (every sample less the same sample of the pixel before), coded afresh.
bool encodeRows8(const uchar* bits, qsizetype bytesPerLine, const Shape& shape, int firstRow,
                 int rows, EncodedStrips* encoded) {
    const qsizetype rowBytes = qsizetype(shape.width) * shape.samplesWritten;
    const int samples = shape.samplesWritten;
    std::vector<uchar> strip(size_t(rowBytes) * shape.rowsPerStrip);
    // A photo codes to about half its size; room for that spares most regrowing copies.
    encoded->file.reserve(rowBytes * rows / 2 + 4096);
    for (int done = 0; done < rows;) {
        const int count = std::min(int(shape.rowsPerStrip), rows - done);
        for (int y = 0; y < count; ++y) {
            uchar* row = strip.data() + qsizetype(y) * rowBytes;
            rowSamples(bits + qsizetype(firstRow + done + y) * bytesPerLine, shape, row, rowBytes);
            for (qsizetype i = rowBytes - 1; i >= samples; --i)
                row[i] = uchar(row[i] - row[i - samples]);
        }
        const qsizetype offset = encoded->file.size();
        appendLzwStrip(strip.data(), size_t(rowBytes) * size_t(count), &encoded->file);
        encoded->strips.emplace_back(offset, encoded->file.size() - offset);
        done += count;
    }
    return true;
}

// Encodes `rows` rows from `firstRow` (a strip boundary) as a TIFF of their own. LZW and
// the predictor start afresh in every strip, so these strips are byte for byte the ones a
// single pass over the whole picture makes there.
bool encodeRows(const uchar* bits, qsizetype bytesPerLine, const Shape& shape, int firstRow,
                int rows, EncodedStrips* encoded) {
    if (shape.bits == 8)
        return encodeRows8(bits, bytesPerLine, shape, firstRow, rows, encoded);
    TiffMemoryFile file{nullptr, &encoded->file};
    const qsizetype rowBytes = qsizetype(shape.width) * shape.samplesWritten * shape.bits / 8;
    // A photo codes to about half its size; room for that spares most regrowing copies.
    encoded->file.reserve(rowBytes * rows / 2 + 4096);
    const TiffHandle out = openEncoder(&file, shape, rows);
    if (!out)
        return false;
    TIFF* t = out.get();
    QByteArray row(rowBytes, Qt::Uninitialized);
    for (int y = 0; y < rows; ++y) {
        rowSamples(bits + qsizetype(firstRow + y) * bytesPerLine, shape,
                   reinterpret_cast<uchar*>(row.data()), rowBytes);
        // The copy is the encoder's to difference in place.
        if (TIFFWriteScanline(t, row.data(), uint32_t(y), 0) < 0)
            return false;
    }
    if (!TIFFFlushData(t))
        return false;
    uint64_t* offsets = nullptr;
    uint64_t* sizes = nullptr;
    if (!TIFFGetField(t, TIFFTAG_STRIPOFFSETS, &offsets) ||
        !TIFFGetField(t, TIFFTAG_STRIPBYTECOUNTS, &sizes) || !offsets || !sizes)
        return false;
    for (uint32_t i = 0; i < TIFFNumberOfStrips(t); ++i) {
        if (offsets[i] + sizes[i] > uint64_t(encoded->file.size()))
            return false;
        encoded->strips.emplace_back(qsizetype(offsets[i]), qsizetype(sizes[i]));
    }
    return true;
}

// encodeRows for either thread: out of memory is a failed encode like any other, never an
// exception that would leave one thread while the other still runs.
bool encodeRowsCaught(const uchar* bits, qsizetype bytesPerLine, const Shape& shape,
                      int firstRow, int rows, EncodedStrips* encoded) noexcept {
    try {
        return encodeRows(bits, bytesPerLine, shape, firstRow, rows, encoded);
    } catch (...) {
        return false;
    }
}

// Joins the thread on every way out of the scope that started it: a joinable thread
// destroyed would end the program.
struct JoinOnExit {
    std::thread& thread;
    ~JoinOnExit() {
        if (thread.joinable())
            thread.join();
    }
};

}  // namespace

bool encodeTiff(const QImage& image, QByteArray* tiff, QString* error) {
    if (image.isNull()) {
        *error = QStringLiteral("there is no picture to write");
        return false;
    }
    const Layout layout = layoutFor(image);
    // The stamped bitmaps come as RGB32, or as the 24-bit bitmap's own B, G, R rows: those
    // are put in R, G, B order on the way, which spares converting (and holding) the whole
    // picture first.
    const bool rgb32 = image.format() == QImage::Format_RGB32;
    const bool bgr = image.format() == QImage::Format_BGR888;
    const QImage pixels = rgb32 || bgr ? image : image.convertToFormat(layout.format);
    if (pixels.isNull()) {
        *error = QStringLiteral("there is not enough memory for the picture");
        return false;
    }
    Shape shape;
    shape.width = pixels.width();
    shape.bits = layout.bits;
    shape.samplesInMemory = rgb32 ? 4 : layout.samples;
    shape.samplesWritten = layout.format == QImage::Format_RGBX64 ? 3 : layout.samples;
    shape.rgb32 = rgb32;
    shape.bgr = bgr;
    // Strips of about 64 KB: few enough to keep the offset tables small, small enough for
    // readers that hold a strip at a time.
    const qsizetype rowBytes = qsizetype(shape.width) * shape.samplesWritten * shape.bits / 8;
    shape.rowsPerStrip =
        uint32_t(std::clamp<qsizetype>((64 << 10) / rowBytes, 1, pixels.height()));

    // LZW is most of the time a TIFF takes: the lower half of the strips is encoded on a
    // second core while this thread encodes the upper half.
    const int height = pixels.height();
    const int strips = int((uint32_t(height) + shape.rowsPerStrip - 1) / shape.rowsPerStrip);
    const int upperRows =
        std::thread::hardware_concurrency() > 1 && strips > 1
            ? int(uint32_t(strips / 2) * shape.rowsPerStrip)
            : height;
    const uchar* bits = pixels.constBits();
    const qsizetype bytesPerLine = pixels.bytesPerLine();
    EncodedStrips upper;
    EncodedStrips lower;
    bool lowerDone = true;
    std::thread second;
    const JoinOnExit joinSecond{second};
    if (upperRows < height) {
        try {
            second = std::thread([&] {
                lowerDone = encodeRowsCaught(bits, bytesPerLine, shape, upperRows,
                                             height - upperRows, &lower);
            });
        } catch (const std::exception&) {
            // No thread to be had (or no memory for one): this thread does both halves.
            lowerDone = encodeRowsCaught(bits, bytesPerLine, shape, upperRows,
                                         height - upperRows, &lower);
        }
    }
    const bool upperDone = encodeRowsCaught(bits, bytesPerLine, shape, 0, upperRows, &upper);
    if (second.joinable())
        second.join();
    if (!upperDone || !lowerDone) {
        *error = QStringLiteral("the TIFF encoder failed");
        return false;
    }

    const QByteArray icc = image.colorSpace().isValid() ? image.colorSpace().iccProfile()
                                                        : QByteArray();
    tiff->clear();
    tiff->reserve(upper.file.size() + lower.file.size() + icc.size() + 4096);
    TiffMemoryFile file{nullptr, tiff};
    const TiffHandle out = openEncoder(&file, shape, height);
    if (!out) {
        *error = QStringLiteral("the TIFF encoder cannot start");
        return false;
    }
    TIFF* t = out.get();
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0) {
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(t, TIFFTAG_XRESOLUTION, float(image.dotsPerMeterX() * 0.0254));
        TIFFSetField(t, TIFFTAG_YRESOLUTION, float(image.dotsPerMeterY() * 0.0254));
    }
    if (!icc.isEmpty())
        TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(icc.size()), icc.constData());
    uint32_t index = 0;
    for (EncodedStrips* part : {&upper, &lower}) {
        for (const auto& [offset, size] : part->strips) {
            if (TIFFWriteRawStrip(t, index++, part->file.data() + offset, tmsize_t(size)) < 0) {
                *error = QStringLiteral("the TIFF encoder failed");
                return false;
            }
        }
    }
    if (!TIFFWriteDirectory(t)) {
        *error = QStringLiteral("the TIFF encoder failed");
        return false;
    }
    return true;
}

}  // namespace velloran::convert
