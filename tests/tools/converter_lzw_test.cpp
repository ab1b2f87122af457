// SPDX-License-Identifier: MIT
// The converter's LZW coder and decoder: strips coded by either coder come back as their
// bytes from either decoder at every length around the code-width changes and the table's
// restarts; hostile strips are refused or decoded without a byte written past the strip.

#include "lzw_decoder.h"
#include "lzw_encoder.h"

#include <QTemporaryDir>
#include <QtTest>

#include <tiffio.h>

#include <random>

namespace {

// `data` as libtiff's LZW coder writes it: the raw strip of a grey TIFF one row high.
QByteArray CodedByLibtiff(const QByteArray& data, const QString& path) {
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
    const bool written = TIFFWriteEncodedStrip(out, 0, const_cast<char*>(data.constData()),
                                               tmsize_t(data.size())) >= 0;
    TIFFClose(out);
    TIFF* in = written ? TIFFOpen(QFile::encodeName(path).constData(), "r") : nullptr;
    if (!in)
        return {};
    QByteArray raw(tmsize_t(TIFFRawStripSize(in, 0)), '\0');
    const tmsize_t n = TIFFReadRawStrip(in, 0, raw.data(), tmsize_t(raw.size()));
    TIFFClose(in);
    return n == tmsize_t(raw.size()) ? raw : QByteArray();
}

// `coded` as the one strip of a grey TIFF one row high, decoded by libtiff; null when it
// refuses the strip.
QByteArray DecodedByLibtiff(const QByteArray& coded, qsizetype size, const QString& path) {
    TIFF* out = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!out)
        return {};
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, uint32_t(size));
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, uint32_t(1));
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, uint16_t(1));
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, uint32_t(1));
    const bool written =
        TIFFWriteRawStrip(out, 0, const_cast<char*>(coded.constData()), tmsize_t(coded.size())) >= 0;
    TIFFClose(out);
    TIFF* in = written ? TIFFOpen(QFile::encodeName(path).constData(), "r") : nullptr;
    if (!in)
        return {};
    QByteArray decoded(size, '\0');
    const tmsize_t n = TIFFReadEncodedStrip(in, 0, decoded.data(), tmsize_t(size));
    TIFFClose(in);
    return n == tmsize_t(size) ? decoded : QByteArray();
}

QByteArray Noise(qsizetype size, unsigned seed) {
    std::mt19937 random(seed);
    QByteArray bytes(size, '\0');
    for (char& byte : bytes)
        byte = char(random());
    return bytes;
}

// Decodes `coded` into `size` bytes followed by a guard; null when the decoder refuses.
// Fails the test when a byte of the guard changed.
QByteArray Decoded(const QByteArray& coded, qsizetype size) {
    constexpr qsizetype kGuard = 64;
    QByteArray out(size + kGuard, '\x5a');
    const bool decoded = velloran::convert::decodeLzwStrip(
        reinterpret_cast<const unsigned char*>(coded.constData()), size_t(coded.size()),
        reinterpret_cast<unsigned char*>(out.data()), size_t(size));
    if (out.mid(size) != QByteArray(kGuard, '\x5a')) {
        qWarning("a byte past the strip was written");
        return QByteArray("overrun");
    }
    return decoded ? out.left(size) : QByteArray();
}

}  // namespace

class ConverterLzwTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;

private slots:
    void decodesBothCoders_data() {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("shortest");  // every length of `data` from this one
        QTest::addColumn<int>("longest");   // to this one; 0: all of it
        const QByteArray noise = Noise(120000, 5);
        QByteArray smooth(120000, '\0');
        for (qsizetype i = 0; i < smooth.size(); ++i)
            smooth[i] = char((i / 9) % 4 + (noise[i] & 1));
        QTest::newRow("one byte") << QByteArray("q") << 0 << 0;
        QTest::newRow("one value repeated") << QByteArray(70000, 'z') << 0 << 0;
        QTest::newRow("noise") << noise << 0 << 0;
        QTest::newRow("few values") << smooth << 0 << 0;
        QTest::newRow("noise of 500-530") << noise << 500 << 530;
        QTest::newRow("noise of 3900-4300") << noise << 3900 << 4300;
    }
    void decodesBothCoders() {
        QFETCH(QByteArray, data);
        QFETCH(int, shortest);
        QFETCH(int, longest);
        for (int length = shortest; length <= longest; ++length) {
            const QByteArray part = length > 0 ? data.left(length) : data;
            QByteArray ours;
            velloran::convert::appendLzwStrip(
                reinterpret_cast<const unsigned char*>(part.constData()), size_t(part.size()),
                &ours);
            const QByteArray theirs = CodedByLibtiff(part, dir_.filePath("strip.tif"));
            QVERIFY(!theirs.isEmpty());
            QVERIFY2(DecodedByLibtiff(ours, part.size(), dir_.filePath("ours.tif")) == part,
                     qPrintable(QStringLiteral("ours by libtiff, %1 bytes").arg(part.size())));
            QVERIFY2(Decoded(ours, part.size()) == part,
                     qPrintable(QStringLiteral("ours, %1 bytes").arg(part.size())));
            QVERIFY2(Decoded(theirs, part.size()) == part,
                     qPrintable(QStringLiteral("libtiff's, %1 bytes").arg(part.size())));
        }
    }

    // What the decoder leaves to libtiff, and strips made to break it: refused, or decoded
    // without writing past the strip.
    void refusesOrStaysInside_data() {
        QTest::addColumn<QByteArray>("coded");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("refused");
        const QByteArray data = Noise(3000, 9);
        QByteArray coded;
        velloran::convert::appendLzwStrip(reinterpret_cast<const unsigned char*>(data.constData()),
                                          size_t(data.size()), &coded);
        QTest::newRow("cut short") << coded.left(coded.size() / 2) << 3000 << true;
        QTest::newRow("more than the strip holds") << coded << 1000 << false;
        QTest::newRow("ends before its bytes") << coded << 4000 << true;
        QTest::newRow("old bit order") << QByteArray("\x00\x01\x40\x80", 4) << 16 << true;
        QTest::newRow("empty") << QByteArray() << 16 << true;
        // A code the table does not hold yet, right after the clear code (256, then 300).
        QTest::newRow("code from nowhere") << QByteArray("\x80\x12\xc0\x00", 4) << 16 << true;
        for (unsigned seed = 1; seed <= 40; ++seed) {
            QByteArray garbage = Noise(4096, seed);
            garbage[0] = char(0x80);  // a clear code first, as real strips begin
            QTest::newRow(qPrintable(QStringLiteral("garbage %1").arg(seed)))
                << garbage << 20000 << false;
        }
    }
    void refusesOrStaysInside() {
        QFETCH(QByteArray, coded);
        QFETCH(int, size);
        QFETCH(bool, refused);
        const QByteArray decoded = Decoded(coded, size);
        QVERIFY(decoded != QByteArray("overrun"));
        if (refused)
            QVERIFY(decoded.isNull());
    }
};

QTEST_GUILESS_MAIN(ConverterLzwTest)
#include "converter_lzw_test.moc"
