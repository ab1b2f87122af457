// SPDX-License-Identifier: MIT
// The converter's LZW coder: libtiff decodes every strip it codes to the bytes given, at
// every length around the table's restarts and code-width changes.

#include "lzw_encoder.h"

#include <QTemporaryDir>
#include <QtTest>

#include <tiffio.h>

#include <random>
#include <vector>

namespace {

// `data` coded by the converter, put as the one strip of a grey TIFF one row high, and
// decoded by libtiff; empty when libtiff refuses it.
QByteArray RoundTrip(const QByteArray& data, const QString& path) {
    QByteArray coded;
    velloran::convert::appendLzwStrip(reinterpret_cast<const unsigned char*>(data.constData()),
                                      size_t(data.size()), &coded);
    TIFF* out = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!out)
        return {};
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, uint32_t(data.size()));
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, uint32_t(1));
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, uint32_t(1));
    const bool written = TIFFWriteRawStrip(out, 0, coded.data(), tmsize_t(coded.size())) >= 0;
    TIFFClose(out);
    TIFF* in = written ? TIFFOpen(QFile::encodeName(path).constData(), "r") : nullptr;
    if (!in)
        return {};
    QByteArray decoded(data.size(), '\0');
    const tmsize_t n = TIFFReadEncodedStrip(in, 0, decoded.data(), tmsize_t(decoded.size()));
    TIFFClose(in);
    return n == tmsize_t(data.size()) ? decoded : QByteArray();
}

}  // namespace

class ConverterLzwEncoderTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void decodesToItsBytes_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("shortest");  // every length of `data` from this one
        QTest::addColumn<int>("longest");   // to this one; 0: all of it
        std::mt19937 random(11);
        QByteArray noise(200000, '\0');
        for (char& byte : noise)
            byte = char(random());
        // Few distinct bytes: long strings, codes far above 512 before the table fills.
        QByteArray smooth(200000, '\0');
        for (qsizetype i = 0; i < smooth.size(); ++i)
            smooth[i] = char((i / 7) % 5 + (random() % 2));
        QTest::newRow("one byte") << QByteArray("x") << 0 << 0;
        QTest::newRow("one value repeated") << QByteArray(100000, 'a') << 0 << 0;
        QTest::newRow("noise") << noise << 0 << 0;
        QTest::newRow("few values") << smooth << 0 << 0;
        // Noise makes about a code per byte: every length across the first widening (512
        // codes) and the first restart (4094), where the last code may fill the table.
        QTest::newRow("noise of 500-530") << noise << 500 << 530;
        QTest::newRow("noise of 3800-4400") << noise << 3800 << 4400;
    }
    void decodesToItsBytes() {
        QFETCH(QByteArray, data);
        QFETCH(int, shortest);
        QFETCH(int, longest);
        for (int length = shortest; length <= longest; ++length) {
            const QByteArray part = length > 0 ? data.left(length) : data;
            const QByteArray decoded = RoundTrip(part, dir_.filePath("strip.tif"));
            QVERIFY2(!decoded.isEmpty() && decoded == part,
                     qPrintable(QStringLiteral("%1 bytes").arg(part.size())));
        }
    }
};

QTEST_GUILESS_MAIN(ConverterLzwEncoderTest)
#include "converter_lzw_encoder_test.moc"
