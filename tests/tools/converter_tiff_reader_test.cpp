// SPDX-License-Identifier: MIT
// The converter's own TIFF reader against Qt's: the kinds it reads give Qt's pixels,
// resolution and profile; every other kind is left to Qt's reader.

#include "support/test_images.h"
#include "tiff_reader.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

#include <tiffio.h>

#include <vector>

namespace {

struct Kind {
    uint16_t compression = COMPRESSION_LZW;
    uint16_t photometric = PHOTOMETRIC_RGB;
    int samples = 3;
    uint16_t extra = 0;  // the meaning of a fourth sample: EXTRASAMPLE_*
    int bits = 8;
    bool tiled = false;
    bool predictor = false;
    uint16_t orientation = ORIENTATION_TOPLEFT;
    bool tagged = false;  // a resolution in centimetres and a Display P3 profile
};

uint16_t sampleOf(QRgb pixel, int channel, const Kind& kind) {
    if (kind.photometric != PHOTOMETRIC_RGB)
        return uint16_t(qGray(pixel));  // grey, or a palette index below
    return uint16_t(channel == 0 ? qRed(pixel) : channel == 1 ? qGreen(pixel)
                              : channel == 2 ? qBlue(pixel)
                                             : qAlpha(pixel));
}

// `image` written by libtiff as `kind` says.
QByteArray WriteTiff(const QImage& image, const Kind& kind, const QString& path) {
    TIFF* t = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!t)
        return {};
    const int width = image.width(), height = image.height();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(kind.bits));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(kind.samples));
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, kind.photometric);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_COMPRESSION, kind.compression);
    TIFFSetField(t, TIFFTAG_ORIENTATION, kind.orientation);
    if (kind.predictor)
        TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (kind.samples == 4) {
        const uint16_t extras[] = {kind.extra};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), extras);
    }
    std::vector<uint16_t> map(256);
    if (kind.photometric == PHOTOMETRIC_PALETTE) {
        for (int i = 0; i < 256; ++i)
            map[size_t(i)] = uint16_t(i * 257);
        // A reversed green makes the palette more than a grey ramp.
        std::vector<uint16_t> green(map.rbegin(), map.rend());
        TIFFSetField(t, TIFFTAG_COLORMAP, map.data(), green.data(), map.data());
    }
    if (kind.tagged) {
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER);
        TIFFSetField(t, TIFFTAG_XRESOLUTION, 118.11f);
        TIFFSetField(t, TIFFTAG_YRESOLUTION, 59.3f);
        const QByteArray icc = QColorSpace(QColorSpace::DisplayP3).iccProfile();
        TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(icc.size()), icc.constData());
    }
    const int bytes = kind.bits / 8;
    const qsizetype rowBytes = qsizetype(width) * kind.samples * bytes;
    auto fillRow = [&](int y, uchar* row) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < kind.samples; ++c) {
                const uint16_t v = sampleOf(image.pixel(x, y), c, kind);
                if (bytes == 1)
                    row[(x * kind.samples + c)] = uchar(v);
                else
                    reinterpret_cast<uint16_t*>(row)[x * kind.samples + c] = uint16_t(v * 257);
            }
        }
    };
    bool written = true;
    if (kind.tiled) {
        const uint32_t side = 16;
        TIFFSetField(t, TIFFTAG_TILEWIDTH, side);
        TIFFSetField(t, TIFFTAG_TILELENGTH, side);
        const qsizetype tileRow = qsizetype(side) * kind.samples * bytes;
        std::vector<uchar> row(static_cast<size_t>(rowBytes));
        for (uint32_t top = 0; top < uint32_t(height); top += side) {
            for (uint32_t left = 0; left < uint32_t(width); left += side) {
                std::vector<uchar> tile(size_t(tileRow) * side, 0);
                for (uint32_t y = top; y < std::min(top + side, uint32_t(height)); ++y) {
                    fillRow(int(y), row.data());
                    const qsizetype from = qsizetype(left) * kind.samples * bytes;
                    std::memcpy(tile.data() + (y - top) * tileRow, row.data() + from,
                                size_t(std::min<qsizetype>(tileRow, rowBytes - from)));
                }
                written = written && TIFFWriteTile(t, tile.data(), left, top, 0, 0) >= 0;
            }
        }
    } else {
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(7));
        std::vector<uchar> row(static_cast<size_t>(rowBytes));
        for (int y = 0; y < height; ++y) {
            fillRow(y, row.data());
            written = written && TIFFWriteScanline(t, row.data(), uint32_t(y), 0) >= 0;
        }
    }
    TIFFClose(t);
    QFile file(path);
    return written && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A noisy picture whose alpha runs from clear to opaque across it.
QImage Translucent(int width, int height) {
    QImage image = NoisyImage(width, height).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QRgb p = image.pixel(x, y);
            image.setPixel(x, y, qRgba(qRed(p), qGreen(p), qBlue(p), x * 255 / (width - 1)));
        }
    }
    return image;
}

}  // namespace

Q_DECLARE_METATYPE(Kind)

class ConverterTiffReaderTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void readsAsQtDoes_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QSize>("size");  // 97 wide: rows of 3 bytes a pixel end off 4
        QTest::addColumn<bool>("readHere");
        const Kind rgb;
        const QSize odd(97, 31), even(100, 20);
        QTest::newRow("rgb lzw") << rgb << odd << true;
        QTest::newRow("rgb lzw, rows without padding") << rgb << even << true;
        QTest::newRow("rgb lzw predictor") << Kind{.predictor = true} << odd << true;
        QTest::newRow("rgb deflate") << Kind{.compression = COMPRESSION_ADOBE_DEFLATE} << odd
                                     << true;
        QTest::newRow("rgb uncompressed") << Kind{.compression = COMPRESSION_NONE} << even
                                          << true;
        QTest::newRow("rgb packbits") << Kind{.compression = COMPRESSION_PACKBITS} << odd << true;
        QTest::newRow("rgb tiled") << Kind{.tiled = true} << odd << true;
        QTest::newRow("grey") << Kind{.photometric = PHOTOMETRIC_MINISBLACK, .samples = 1} << odd
                              << true;
        QTest::newRow("grey tiled")
            << Kind{.photometric = PHOTOMETRIC_MINISBLACK, .samples = 1, .tiled = true} << even
            << true;
        QTest::newRow("unassociated alpha")
            << Kind{.samples = 4, .extra = EXTRASAMPLE_UNASSALPHA} << odd << true;
        QTest::newRow("associated alpha")
            << Kind{.samples = 4, .extra = EXTRASAMPLE_ASSOCALPHA} << odd << true;
        QTest::newRow("alpha tiled")
            << Kind{.samples = 4, .extra = EXTRASAMPLE_UNASSALPHA, .tiled = true} << odd << true;
        QTest::newRow("resolution and profile") << Kind{.tagged = true} << odd << true;
        // Left to Qt's reader.
        QTest::newRow("alpha of no stated meaning")
            << Kind{.samples = 4, .extra = EXTRASAMPLE_UNSPECIFIED} << odd << false;
        QTest::newRow("palette") << Kind{.photometric = PHOTOMETRIC_PALETTE, .samples = 1} << odd
                                 << false;
        QTest::newRow("grey, white is 0")
            << Kind{.photometric = PHOTOMETRIC_MINISWHITE, .samples = 1} << odd << false;
        QTest::newRow("16-bit") << Kind{.bits = 16} << odd << false;
        QTest::newRow("stored bottom up") << Kind{.orientation = ORIENTATION_BOTLEFT} << odd
                                          << false;
    }
    void readsAsQtDoes() {
        QFETCH(Kind, kind);
        QFETCH(QSize, size);
        QFETCH(bool, readHere);
        const QImage source = kind.samples == 4 ? Translucent(size.width(), size.height())
                                                : NoisyImage(size.width(), size.height());
        const QByteArray data =
            WriteTiff(source, kind, dir_.filePath(QString::fromLatin1(QTest::currentDataTag())));
        QVERIFY(!data.isEmpty());

        const QImage ours = velloran::convert::readPlainTiff(data, qint64(64) << 20);
        QCOMPARE(!ours.isNull(), readHere);
        if (!readHere)
            return;
        QByteArray copy = data;
        QBuffer buffer(&copy);
        QImageReader reader(&buffer, "tiff");
        const QImage qt = reader.read();
        QVERIFY2(!qt.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(ours.size(), qt.size());
        QCOMPARE(ours.dotsPerMeterX(), qt.dotsPerMeterX());
        QCOMPARE(ours.dotsPerMeterY(), qt.dotsPerMeterY());
        QVERIFY(ours.colorSpace() == qt.colorSpace());
        QCOMPARE(ours.hasAlphaChannel(), qt.hasAlphaChannel());
        // Both premultiplied: no rounding of the comparison's own.
        const QImage a = ours.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        const QImage b = qt.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < a.height(); ++y) {
            QVERIFY2(std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(a.width()) * 4) ==
                         0,
                     qPrintable(QStringLiteral("row %1").arg(y)));
        }
    }
};

QTEST_GUILESS_MAIN(ConverterTiffReaderTest)
#include "converter_tiff_reader_test.moc"
