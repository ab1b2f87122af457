// SPDX-License-Identifier: MIT
// What velloran-convert reads: hostile files refused in bounded time and memory; pixels kept.

#include "batch/gif_bytes.h"
#include "converter_within.h"
#include "support/photo_image.h"
#include "support/test_environment.h"
#include "support/test_images.h"

#include <QColorSpace>
#include <QDir>
#include <QImageReader>
#include <QPainter>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <array>

#include <sys/resource.h>
#include <sys/stat.h>

#include <zlib.h>

namespace {

// The converter in 1.5 GB of address space (unbounded under ASan).
ConverterOutcome runConverter(const QStringList& arguments) {
    return RunConverterWithin(kAddressSanitizer ? 0 : 1536, arguments);
}

QByteArray Chunk(const char* type, const QByteArray& body) {
    QByteArray chunk(4, '\0');
    qToBigEndian<quint32>(quint32(body.size()), chunk.data());
    const QByteArray typed = QByteArray(type, 4) + body;
    QByteArray crc(4, '\0');
    qToBigEndian<quint32>(
        quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))),
        crc.data());
    return chunk + typed + crc;
}

QByteArray BigEndian32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

// What most tools write for sRGB pixels: gAMA 1/2.2 and sRGB chromaticities.
QByteArray WithGammaChunks(const QByteArray& png) {
    QByteArray chrm;
    for (const quint32 v : {31270u, 32900u, 64000u, 33000u, 30000u, 60000u, 15000u, 6000u}) {
        chrm += BigEndian32(v);
    }
    return png.left(33) + Chunk("gAMA", BigEndian32(45455)) + Chunk("cHRM", chrm) + png.mid(33);
}

// A PNG whose zTXt chunk unpacks to `megabytes` of zeros.
QByteArray PngWithTextBomb(int megabytes) {
    z_stream stream{};
    deflateInit(&stream, 9);
    const QByteArray zeros(1 << 20, '\0');
    QByteArray packed;
    QByteArray buffer(1 << 16, '\0');
    for (int i = 0; i < megabytes; ++i) {
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.constData()));
        stream.avail_in = uInt(zeros.size());
        const int flush = i + 1 == megabytes ? Z_FINISH : Z_NO_FLUSH;
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
            stream.avail_out = uInt(buffer.size());
            deflate(&stream, flush);
            packed.append(buffer.constData(), buffer.size() - qsizetype(stream.avail_out));
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    const QByteArray png = Encoded(NoisyImage(16, 16), "png");
    return png.left(33) + Chunk("zTXt", QByteArray("Comment\0\0", 9) + packed) + png.mid(33);
}

// A grey TIFF of `side` x `side` 16-bit pixels in one strip that holds 16 bytes.
QByteArray TiffDeclaring(quint32 side) {
    const QList<std::array<quint32, 3>> tags = {
        {256, 4, side}, {257, 4, side}, {258, 3, 16},  {259, 3, 1},         {262, 3, 1},
        {273, 4, 0},    {277, 3, 1},    {278, 4, side}, {279, 4, 16}};
    QByteArray tiff("II*\0\x08\0\0\0", 8);
    const quint32 dataAt = 8 + 2 + 12 * quint32(tags.size()) + 4;
    QByteArray entry(2, '\0');
    qToLittleEndian<quint16>(quint16(tags.size()), entry.data());
    tiff += entry;
    for (const auto& [tag, type, value] : tags) {
        QByteArray field(12, '\0');
        qToLittleEndian<quint16>(quint16(tag), field.data());
        qToLittleEndian<quint16>(quint16(type), field.data() + 2);
        qToLittleEndian<quint32>(1, field.data() + 4);
        const quint32 stored = tag == 273 ? dataAt : value;
        if (type == 3) {
            qToLittleEndian<quint16>(quint16(stored), field.data() + 8);
        } else {
            qToLittleEndian<quint32>(stored, field.data() + 8);
        }
        tiff += field;
    }
    return tiff + QByteArray(4, '\0') + QByteArray(16, '\x40');
}

// The PNG with the sides and depth of its header replaced (the header's CRC made anew).
QByteArray PngDeclaring(quint32 width, quint32 height, int bitDepth) {
    const QByteArray png = Encoded(NoisyImage(16, 16), "png");
    QByteArray header = png.mid(16, 13);
    qToBigEndian(width, header.data());
    qToBigEndian(height, header.data() + 4);
    header[8] = char(bitDepth);
    return png.left(8) + Chunk("IHDR", header) + png.mid(33);
}

// The stored pixel values, with no colour management applied.
QImage RawPixels(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.read().convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class ConverterInputTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QString folder() const {
        const QString path = dir_.filePath(
            QStringLiteral("%1/%2").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
        QDir().mkpath(path);
        return path;
    }

private slots:
    // Every refusal ends promptly with one line and writes nothing.
    void refusedInputs_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents");  // null: a FIFO
        QTest::addColumn<QString>("reason");
        const QString notRegular = QStringLiteral("not a regular file");
        for (const char* name : {"x.png", "x.tif", "x.jpg", "x.gif", "x.bmp"}) {
            QTest::addRow("fifo %s", name)
                << QString::fromLatin1(name) << QByteArray() << notRegular;
        }
        const QString kind = QStringLiteral("not a JPEG, PNG, TIFF, BMP or GIF picture");
        const QImage photo = NoisyImage(64, 48);
        QTest::newRow("svg named .png")
            << "a.png"
            << QByteArray(
                   "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"8\" height=\"8\">"
                   "<image href=\"file:///etc/hostname\" width=\"8\" height=\"8\"/></svg>")
            << kind;
        QTest::newRow("webp named .png") << "a.png" << Encoded(photo, "webp") << kind;
        const QString damaged = QStringLiteral("damaged or truncated");
        const QByteArray tiff = Encoded(photo, "tiff");
        const QByteArray png = Encoded(photo, "png");
        QTest::newRow("tiff cut at 60%") << "a.tif" << tiff.left(tiff.size() * 6 / 10) << damaged;
        QTest::newRow("png cut at 60%") << "a.png" << png.left(png.size() * 6 / 10) << damaged;
        QTest::newRow("png without IEND") << "a.png" << png.left(png.size() - 12) << damaged;
        QTest::newRow("png text chunk declaring 2 GB")
            << "bomb.png"
            << Encoded(QImage(1, 1, QImage::Format_RGB32), "png").left(33) +
                   QByteArray("\x7F\xFF\xFF\xF0tEXtComment", 15) + QByteArray(25, 'x')
            << damaged;
        QTest::newRow("png text unpacking to 1.2 GB")
            << "zbomb.png" << PngWithTextBomb(1200) << QStringLiteral("too large");
        QTest::newRow("gif declaring 16000 x 16000") << "bomb.gif" << GifBomb() << damaged;
        // Sides whose products pass 2^63: refused for their size, never wrapped round.
        const QString tooLarge = QStringLiteral("too large");
        QTest::newRow("16-bit png 2^31-1 square")
            << "huge.png" << PngDeclaring(0x7FFFFFFF, 0x7FFFFFFF, 16) << tooLarge;
        QTest::newRow("png 20000 square") << "huge.png" << PngDeclaring(20000, 20000, 8)
                                          << tooLarge;
        // libtiff opens no larger one: 2^60 pixels of 8 bytes pass 2^63.
        QTest::newRow("16-bit tiff 2^30 square")
            << "huge.tif" << TiffDeclaring(0x40000000) << tooLarge;
        QTest::newRow("16-bit tiff 20000 square") << "huge.tif" << TiffDeclaring(20000)
                                                 << tooLarge;
        QByteArray bmp = Encoded(photo, "bmp");
        qToLittleEndian<qint32>(0x7FFFFFFF, bmp.data() + 18);
        qToLittleEndian<qint32>(qint32(0x80000000u), bmp.data() + 22);
        QTest::newRow("bmp 2^31-1 wide, 2^31 rows top down") << "huge.bmp" << bmp << tooLarge;
    }
    void refusedInputs() {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        const QString where = folder();
        const QString source = where + QLatin1Char('/') + name;
        if (contents.isNull()) {
            QCOMPARE(::mkfifo(QFile::encodeName(source).constData(), 0600), 0);
        } else {
            WriteFile(source, contents);
        }
        const QString target = where + QStringLiteral("/StampTmp.jpg");

        const ConverterOutcome result = runConverter({"-out", "jpeg", "-o", target, source});

        QVERIFY2(result.normalExit, "the converter did not end by itself");
        QCOMPARE(result.exitCode, 1);
        QVERIFY2(result.err.count('\n') == 1 && result.err.contains(reason.toUtf8()),
                 result.err.constData());
        QVERIFY(!QFile::exists(target));
    }

    // The intermediate JPEG holds the stored pixel values within JPEG's own loss.
    void inputConversionKeepsPixelValues_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QImage>("expected");
        QTest::addColumn<double>("leastPsnr");
        QTest::addColumn<bool>("carriesProfile");
        const QImage noisy = NoisyImage(256, 192);
        const QImage deep = noisy.convertToFormat(QImage::Format_RGBX64);
        QImage p3 = noisy;
        p3.setColorSpace(QColorSpace::DisplayP3);
        QTest::newRow("8-bit png with gAMA and cHRM")
            << WithGammaChunks(Encoded(noisy, "png")) << noisy << 45.0 << false;
        QTest::newRow("16-bit png with gAMA and cHRM")
            << WithGammaChunks(Encoded(deep, "png")) << noisy << 45.0 << false;
        QTest::newRow("16-bit tiff") << Encoded(deep, "tiff") << noisy << 45.0 << false;
        QTest::newRow("png with a display P3 profile")
            << Encoded(p3, "png") << noisy << 45.0 << true;
        // 25580 / 257 is 99.53: rounded 100, cut 99; flat grey comes through JPEG exactly.
        QImage level100(32, 16, QImage::Format_RGB32);
        level100.fill(qRgb(100, 100, 100));
        for (const auto& [name, format, layout] :
             {std::tuple{"16-bit png grey rounded", "png", QImage::Format_Grayscale16},
              {"16-bit png colour rounded", "png", QImage::Format_RGBX64},
              {"16-bit tiff colour rounded", "tiff", QImage::Format_RGBX64}}) {
            QImage grey(32, 16, layout);
            grey.fill(QColor::fromRgba64(25580, 25580, 25580));
            QTest::newRow(name) << Encoded(grey, format) << level100 << 99.0 << false;
        }
    }
    void inputConversionKeepsPixelValues() {
        QFETCH(QByteArray, source);
        QFETCH(QImage, expected);
        QFETCH(double, leastPsnr);
        QFETCH(bool, carriesProfile);
        const QString where = folder();
        const QString path = WriteFile(where + QStringLiteral("/source.img"), source);
        const QString target = where + QStringLiteral("/StampTmp.jpg");

        QCOMPARE(runConverter({"-out", "jpeg", "-o", target, path}).exitCode, 0);

        const double psnr = Psnr(RawPixels(target), expected);
        QVERIFY2(psnr >= leastPsnr, qPrintable(QString::number(psnr)));
        const QColorSpace space = QImage(target).colorSpace();
        if (carriesProfile) {
            QVERIFY(space == QColorSpace(QColorSpace::DisplayP3));
        } else {
            QVERIFY(!space.isValid() || space == QColorSpace(QColorSpace::SRgb));
        }
    }

    // A photo as a GIF keeps its colours: an adaptive palette (a fixed cube gives about 22 dB).
    void gifOfAPhoto() {
        const QImage photo = PhotoLike(320, 240);
        const QString path =
            WriteFile(folder() + QStringLiteral("/photo.gif"), Encoded(photo, "png"));

        QCOMPARE(runConverter({"-out", "gif", "-dither", "-colors", "256", path}).exitCode, 0);

        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), QByteArray("gif"));
        const QImage gif = RawPixels(path);
        const auto* pixels = reinterpret_cast<const QRgb*>(gif.constBits());
        const QSet<QRgb> colours(pixels, pixels + gif.width() * gif.height());
        QVERIFY2(colours.size() > 200, qPrintable(QString::number(colours.size())));
        const double psnr = Psnr(gif, photo);
        QVERIFY2(psnr >= 30, qPrintable(QString::number(psnr)));
    }
};

QTEST_GUILESS_MAIN(ConverterInputTest)
#include "converter_input_test.moc"
