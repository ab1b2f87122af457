// SPDX-License-Identifier: MIT
// Black-box tests for velloran-convert: run the built binary and inspect what it wrote.

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

#include <unistd.h>

#include <tiffio.h>

#include <algorithm>
#include <memory>

namespace {

struct Result {
    int exitCode = -1;  // also when the converter crashed or hung
    QByteArray out;
    QByteArray err;
};

Result runConverter(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral(VELLORAN_CONVERT_PATH), arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        return {};
    }
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// Decodes by content, never by name, with stored orientation applied.
QImage readBack(const QString& path, QByteArray* format = nullptr) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (format)
        *format = reader.format();  // only known before reading
    return reader.read().convertToFormat(QImage::Format_ARGB32);
}

qsizetype colourCount(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    }
    return colours.size();
}

// %1 stands for the file, %2 for its folder.
QStringList fill(QStringList arguments, const QString& file, const QString& folder) {
    for (QString& argument : arguments)
        argument.replace("%1", file).replace("%2", folder);
    return arguments;
}

// The photo with an alpha that varies from pixel to pixel.
QImage translucentOf(const QImage& photo) {
    QImage translucent = photo.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < photo.height(); ++y) {
        for (int x = 0; x < photo.width(); ++x) {
            const QRgb p = photo.pixel(x, y);
            translucent.setPixel(x, y, qRgba(qRed(p), qGreen(p), qBlue(p), (x * 8 + y) & 255));
        }
    }
    return translucent;
}

// The photo at 16 bits with alpha; no sample a multiple of 257, so a lost low byte shows.
QImage deepOf(const QImage& photo) {
    QImage deep(photo.size(), QImage::Format_RGBA64);
    for (int y = 0; y < photo.height(); ++y) {
        for (int x = 0; x < photo.width(); ++x) {
            const QRgb p = photo.pixel(x, y);
            deep.setPixelColor(x, y,
                               QColor::fromRgba64(qRed(p) * 256 + x, qGreen(p) * 256 + y,
                                                  qBlue(p) * 256 + 7, 65535 - x * y));
        }
    }
    return deep;
}

const QStringList kToGif{"-out", "gif", "-dither", "-colors", "256", "%1"};

}  // namespace

class ConverterTest : public QObject {
    Q_OBJECT

    // One empty folder per test row, so listings show exactly what the converter left.
    QString freshFolder() const {
        const QString path = dir_.filePath(
            QStringLiteral("%1/%2").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
        return QDir().mkpath(path) ? path : QString();
    }
    QTemporaryDir dir_;

private slots:
    void inputConversion_data() {
        QTest::addColumn<QByteArray>("sourceFormat");
        QTest::addColumn<int>("transformation");
        QTest::addColumn<bool>("alpha");  // left half fading in over dark blue
        for (const char* format : {"png", "tiff", "jpeg", "bmp", "gif"}) {
            QTest::newRow(format) << QByteArray(format) << 0 << false;
        }
        QTest::newRow("tiff stored rotated")
            << QByteArray("tiff") << int(QImageIOHandler::TransformationRotate90) << false;
        QTest::newRow("png with alpha") << QByteArray("png") << 0 << true;
    }
    // The JPEG holds the source's pixels, upright, flattened on white, with its resolution.
    void inputConversion() {
        QFETCH(QByteArray, sourceFormat);
        QFETCH(int, transformation);
        QFETCH(bool, alpha);
        const QString folder = freshFolder();
        const QString source = folder + "/source." + sourceFormat;
        const QString target = folder + "/StampTmp.jpg";
        QImage image = NoisyImage(320, 240).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; alpha && y < image.height(); ++y) {
            for (int x = 0; x < 160; ++x)
                image.setPixel(x, y, qRgba(0, 0, 90, x * 255 / 160));
        }
        image.setDotsPerMeterX(11811);  // 300 dpi
        image.setDotsPerMeterY(11811);
        if (sourceFormat == "gif") {
            // Qt cannot write GIF; the converter's own GIF output is checked in inPlaceRewrite.
            WriteFile(source, Encoded(image, "png"));
            QCOMPARE(runConverter(fill(kToGif, source, folder)).exitCode, 0);
        } else {
            WriteFile(source, Encoded(image, sourceFormat, transformation));
        }
        const QByteArray sourceBytes = ReadFile(source);

        const Result result = runConverter({"-out", "jpeg", "-o", target, source});
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QByteArray());
        QByteArray format;
        const QImage converted = readBack(target, &format);
        QImage expected(readBack(source).size(), QImage::Format_ARGB32);
        expected.fill(Qt::white);
        QPainter(&expected).drawImage(0, 0, readBack(source));
        QCOMPARE(format, QByteArray("jpeg"));
        QCOMPARE(converted.size(), expected.size());
        QVERIFY2(Psnr(converted, expected) >= 45,
                 qPrintable(QString::number(Psnr(converted, expected))));
        if (sourceFormat != "gif") {
            QCOMPARE(qRound(QImage(target).dotsPerMeterX() * 0.0254), 300);
        }
        QCOMPARE(ReadFile(source), sourceBytes);
    }

    void inPlaceRewrite_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QSize>("sourceSize");
        QTest::addColumn<QByteArray>("expectedFormat");
        QTest::addColumn<QSize>("expectedSize");
        QTest::addColumn<int>("maxColours");
        const QSize standard(320, 240);
        const auto row = [&](const QString& tag, const QStringList& arguments,
                             const QString& fileName, const char* format,
                             QSize sourceSize = {320, 240}, QSize expectedSize = {320, 240},
                             int maxColours = 1 << 24) {
            QTest::newRow(qPrintable(tag)) << arguments << fileName << sourceSize
                                           << QByteArray(format) << expectedSize << maxColours;
        };
        row("gif dithered", kToGif, "p.png", "gif", standard, standard, 256);
        row("gif 16 dithered", {"-out", "gif", "-dither", "-colors", "16", "%1"}, "p.png", "gif",
            standard, standard, 16);
        row("gif undithered", {"-out", "gif", "%1"}, "p.png", "gif", standard, standard, 256);
        for (const char* word : {"png", "tiff", "bmp", "jpeg", "jpg"}) {
            row(word, {"-out", word, "%1"}, "p.png", word == QByteArray("jpg") ? "jpeg" : word);
        }
        row("ico shrinks", {"-out", "ico", "%1"}, "p.png", "ico", {1000, 500}, {256, 128});
        row("ico fits", {"-out", "ico", "%1"}, "p.png", "ico", {200, 100}, {200, 100});
        const std::pair<const char*, const char*> extensions[] = {
            {"tif", "tiff"}, {"TIFF", "tiff"}, {"jpg", "jpeg"}, {"jpeg", "jpeg"},
            {"JPE", "jpeg"}, {"jfif", "jpeg"}, {"png", "png"},  {"gif", "gif"},
            {"bmp", "bmp"},  {"dib", "bmp"},   {"rle", "bmp"},
        };
        for (const auto& [extension, format] : extensions) {
            row(QStringLiteral("by name .%1").arg(extension), {"-out", "%1"},
                QStringLiteral("p.%1").arg(extension), format, standard, standard,
                format == QByteArray("gif") ? 256 : 1 << 24);
        }
        row("by name .ico", {"-out", "%1"}, "p.ico", "ico", standard, {256, 192});
    }
    void inPlaceRewrite() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, fileName);
        QFETCH(QSize, sourceSize);
        QFETCH(QByteArray, expectedFormat);
        QFETCH(QSize, expectedSize);
        QFETCH(int, maxColours);
        const QString folder = freshFolder();
        const QString path = folder + '/' + fileName;
        const QImage source = NoisyImage(sourceSize.width(), sourceSize.height());
        // Content in another format than the target, so every row really converts.
        WriteFile(path, Encoded(source, expectedFormat == "png" ? "bmp" : "png"));

        const Result result = runConverter(fill(arguments, path, folder));
        QCOMPARE(result.exitCode, 0);
        QCOMPARE(result.err, QByteArray());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{fileName});

        QByteArray format;
        const QImage rewritten = readBack(path, &format);
        QCOMPARE(format, expectedFormat);
        QCOMPARE(rewritten.size(), expectedSize);
        QVERIFY(colourCount(rewritten) <= maxColours);
        const QImage expected =
            source.scaled(expectedSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        // GIF is compared in 8 x 8 block averages.
        const QByteArray f = expectedFormat;
        const double minPsnr = f == "jpeg" ? 45 : f == "gif" ? 30 : f == "ico" ? 40 : 99;
        const double measured = Psnr(rewritten, expected, f == "gif" ? 8 : 1);
        QVERIFY2(measured >= minPsnr, qPrintable(QString::number(measured)));
    }

    // The AND mask's row padding past the picture's width is zero, so an icon's bytes
    // depend on its picture alone and carry nothing else of the converter's memory.
    void icoMaskPaddingIsClear_data() {
        QTest::addColumn<int>("width");
        QTest::newRow("one pixel") << 1;
        QTest::newRow("mask row of one byte and padding") << 7;
        QTest::newRow("whole mask word") << 32;
        QTest::newRow("odd width") << 167;
    }
    void icoMaskPaddingIsClear() {
        QFETCH(int, width);
        constexpr int kHeight = 9;
        const QString path =
            WriteFile(dir_.filePath(QString("w%1.ico").arg(width)),
                      Encoded(NoisyImage(width, kHeight), "bmp"));
        QCOMPARE(runConverter(fill({"-out", "ico", "%1"}, path, {})).exitCode, 0);
        const QByteArray ico = ReadFile(path);
        // One 32-bit bitmap entry: header, colour rows, then the mask rows.
        const qsizetype start = qFromLittleEndian<quint32>(ico.constData() + 18);
        QCOMPARE(qFromLittleEndian<quint16>(ico.constData() + start + 14), quint16(32));
        const qsizetype maskRow = (width + 31) / 32 * 4;
        const qsizetype mask = start + 40 + qsizetype(width) * 4 * kHeight;
        QCOMPARE(ico.size(), mask + maskRow * kHeight);
        for (int row = 0; row < kHeight; ++row) {
            for (qsizetype i = (width + 7) / 8; i < maskRow; ++i) {
                QCOMPARE(int(ico.at(mask + row * maskRow + i)), 0);
            }
        }
    }

    void gifKeepsTransparency() {
        QImage source(64, 32, QImage::Format_ARGB32);
        source.fill(qRgb(200, 30, 30));
        for (int y = 0; y < source.height(); ++y) {
            for (int x = 0; x < 32; ++x)
                source.setPixel(x, y, qRgba(0, 0, 0, 0));
        }
        const QString path = WriteFile(dir_.filePath("transparent.png"), Encoded(source, "png"));

        QCOMPARE(runConverter(fill(kToGif, path, {})).exitCode, 0);

        const QImage gif = readBack(path);
        QCOMPARE(qAlpha(gif.pixel(5, 5)), 0);
        QCOMPARE(gif.pixel(40, 5), qRgb(200, 30, 30));
    }

    // Each source layout the PNG writer handles on its own, and the chunks it carries along.
    void pngRewriteIsExact_data() {
        QTest::addColumn<QImage>("source");
        const QImage photo = NoisyImage(96, 64);
        const QImage translucent = translucentOf(photo);
        const QImage deep = deepOf(photo);
        QImage deepGrey(photo.size(), QImage::Format_Grayscale16);
        for (int y = 0; y < photo.height(); ++y) {
            for (int x = 0; x < photo.width(); ++x) {
                // No multiples of 257, so a lost low byte shows.
                reinterpret_cast<quint16*>(deepGrey.scanLine(y))[x] =
                    quint16(qRed(photo.pixel(x, y)) * 256 + x);
            }
        }
        QImage indexed = photo.convertToFormat(QImage::Format_Indexed8);
        indexed.setColor(0, qRgba(10, 20, 30, 128));
        indexed.setPixel(0, 0, 0);  // images compare only the colours in use
        QImage tagged = photo;
        tagged.setDotsPerMeterX(11811);
        tagged.setDotsPerMeterY(5906);
        tagged.setOffset({3, 4});
        tagged.setColorSpace(QColorSpace::DisplayP3);
        tagged.setText("Title", "Holiday");
        tagged.setText("Comment", QString(80, QChar(0xE4)));                   // long: compressed
        tagged.setText("Author", QString::fromUtf8("Zo\u00EB \u65E5\u672C"));  // not Latin-1
        QImage srgb = photo;
        srgb.setColorSpace(QColorSpace::SRgb);

        QTest::newRow("8-bit with alpha") << translucent;
        QTest::newRow("16-bit with alpha") << deep;
        QTest::newRow("16-bit opaque") << deep.convertToFormat(QImage::Format_RGBX64);
        QTest::newRow("16-bit grey") << deepGrey;
        QTest::newRow("8-bit grey") << photo.convertToFormat(QImage::Format_Grayscale8);
        QTest::newRow("palette with a translucent entry") << indexed;
        QTest::newRow("1 bit") << photo.convertToFormat(QImage::Format_Mono);
        QTest::newRow("resolution, offset, profile and text") << tagged;
        QTest::newRow("sRGB") << srgb;
    }
    void pngRewriteIsExact() {
        QFETCH(QImage, source);
        const QString path = WriteFile(freshFolder() + "/p.png", Encoded(source, "png"));
        const QImage expected(path);
        QVERIFY(!expected.isNull());

        QCOMPARE(runConverter({"-out", "png", path}).exitCode, 0);

        const QImage rewritten(path);
        QCOMPARE(rewritten.format(), expected.format());
        QCOMPARE(rewritten, expected);
        QCOMPARE(rewritten.dotsPerMeterX(), expected.dotsPerMeterX());
        QCOMPARE(rewritten.dotsPerMeterY(), expected.dotsPerMeterY());
        QCOMPARE(rewritten.offset(), expected.offset());
        QVERIFY(rewritten.colorSpace() == expected.colorSpace());
        QCOMPARE(rewritten.text(), expected.text());
    }

    // TIFF keeps every sample, alpha, depth, resolution and profile; LZW with the predictor.
    void tiffRewriteIsExact_data() {
        QTest::addColumn<QImage>("source");
        QTest::addColumn<int>("bitsPerSample");
        QTest::addColumn<int>("samples");
        // An odd width, so rows of three bytes a pixel end off a four-byte boundary.
        const QImage photo = NoisyImage(97, 31);
        const QImage translucent = translucentOf(photo);
        const QImage deep = deepOf(photo);
        QImage tagged = photo;
        tagged.setDotsPerMeterX(11811);
        tagged.setDotsPerMeterY(5906);
        tagged.setColorSpace(QColorSpace::DisplayP3);

        QTest::newRow("8-bit opaque") << photo << 8 << 3;
        QTest::newRow("8-bit with alpha") << translucent << 8 << 4;
        QTest::newRow("16-bit with alpha") << deep << 16 << 4;
        QTest::newRow("8-bit grey") << photo.convertToFormat(QImage::Format_Grayscale8) << 8 << 3;
        QTest::newRow("one pixel") << photo.copy(0, 0, 1, 1) << 8 << 3;
        QTest::newRow("resolution and profile") << tagged << 8 << 3;
        // Strips are coded on two threads and joined: an odd count; 16-bit opaque packing.
        QTest::newRow("nine strips") << NoisyImage(700, 250) << 8 << 3;
        QTest::newRow("many 16-bit strips")
            << deepOf(NoisyImage(300, 200)).convertToFormat(QImage::Format_RGBX64) << 16 << 3;
    }
    void tiffRewriteIsExact() {
        QFETCH(QImage, source);
        QFETCH(int, bitsPerSample);
        QFETCH(int, samples);
        const QString path = WriteFile(freshFolder() + "/p.tif", Encoded(source, "png"));
        const QImage expected(path);
        QVERIFY(!expected.isNull());

        QCOMPARE(runConverter({"-out", "tiff", path}).exitCode, 0);

        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), QByteArray("tiff"));
        const QImage rewritten = reader.read();
        QCOMPARE(rewritten.dotsPerMeterX(), expected.dotsPerMeterX());
        QCOMPARE(rewritten.dotsPerMeterY(), expected.dotsPerMeterY());
        QVERIFY(rewritten.colorSpace() == expected.colorSpace());

        std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(TIFFOpen(QFile::encodeName(path), "r"),
                                                     TIFFClose);
        QVERIFY(tiff);
        uint16_t compression = 0, predictor = 0, bits = 0, samplesPerPixel = 0;
        TIFFGetField(tiff.get(), TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(tiff.get(), TIFFTAG_PREDICTOR, &predictor);
        TIFFGetField(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetField(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
        QCOMPARE(compression, uint16_t(COMPRESSION_LZW));
        QCOMPARE(predictor, uint16_t(PREDICTOR_HORIZONTAL));
        QCOMPARE(int(bits), bitsPerSample);
        QCOMPARE(int(samplesPerPixel), samples);

        // The samples as stored, not as a reader composites them: Qt's premultiplies alpha.
        const QImage::Format layout =
            bits == 8 ? (samples == 4 ? QImage::Format_RGBA8888 : QImage::Format_RGB888)
                      : (samples == 4 ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
        const QImage want = expected.convertToFormat(layout);
        const qsizetype rowBytes = qsizetype(want.width()) * samples * bits / 8;
        QCOMPARE(qsizetype(TIFFScanlineSize(tiff.get())), rowBytes);
        QByteArray row(rowBytes, '\0'), wantRow(rowBytes, '\0');
        for (int y = 0; y < want.height(); ++y) {
            QVERIFY(TIFFReadScanline(tiff.get(), row.data(), uint32_t(y), 0) == 1);
            if (layout == QImage::Format_RGBX64) {
                const auto* in = reinterpret_cast<const quint16*>(want.constScanLine(y));
                auto* to = reinterpret_cast<quint16*>(wantRow.data());
                for (int x = 0; x < want.width(); ++x)
                    std::copy(in + 4 * x, in + 4 * x + 3, to + 3 * x);
            } else {
                wantRow = QByteArray(reinterpret_cast<const char*>(want.constScanLine(y)), rowBytes);
            }
            QVERIFY2(row == wantRow, qPrintable(QString("row %1").arg(y)));
        }
    }

    void failureLeavesFilesAlone_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QByteArray>("content");  // null: the file does not exist
        const QByteArray png = Encoded(NoisyImage(64, 48), "png");
        const QByteArray jpeg = Encoded(NoisyImage(320, 240), "jpeg");
        const QByteArray bmp = Encoded(NoisyImage(320, 240), "bmp");
        const QStringList toPng{"-out", "png", "%1"};
        QByteArray gif;  // made by the converter itself, since Qt cannot write GIF
        {
            QTemporaryDir scratch;
            WriteFile(scratch.filePath("g.gif"), Encoded(NoisyImage(320, 240), "png"));
            runConverter(fill(kToGif, scratch.filePath("g.gif"), {}));
            gif = ReadFile(scratch.filePath("g.gif"));
        }
        QTest::newRow("unknown extension") << QStringList{"-out", "%1"} << "p.xyz" << png;
        QTest::newRow("no extension") << QStringList{"-out", "%1"} << "picture" << png;
        QTest::newRow("unknown format word") << QStringList{"-out", "webp", "%1"} << "p.png" << png;
        QTest::newRow("unknown option")
            << QStringList{"-out", "png", "-fast", "%1"} << "p.png" << png;
        QTest::newRow("colours out of range")
            << QStringList{"-out", "gif", "-colors", "300", "%1"} << "p.png" << png;
        QTest::newRow("garbage") << toPng << "p.png" << QByteArray("not an image\n").repeated(40);
        QTest::newRow("empty file") << toPng << "p.png" << QByteArray("");
        QTest::newRow("truncated jpeg") << toPng << "p.jpg" << jpeg.left(jpeg.size() / 2);
        QTest::newRow("truncated jpeg, other output")
            << QStringList{"-out", "jpeg", "-o", "%2/StampTmp.jpg", "%1"} << "p.jpg"
            << jpeg.left(jpeg.size() - 100);
        QTest::newRow("truncated png") << toPng << "p.png" << png.left(png.size() * 2 / 3);
        QTest::newRow("truncated bmp") << toPng << "p.bmp" << bmp.left(bmp.size() * 2 / 3);
        QTest::newRow("truncated gif") << toPng << "p.gif" << gif.left(gif.size() * 2 / 3);
        QTest::newRow("missing file") << toPng << "p.png" << QByteArray();
        QTest::newRow("output folder missing")
            << QStringList{"-out", "jpeg", "-o", "%2/none/StampTmp.jpg", "%1"} << "p.png" << png;
        QTest::newRow("too wide for gif") << QStringList{"-out", "gif", "%1"} << "p.png"
                                          << Encoded(QImage(70000, 1, QImage::Format_RGB32), "png");
        // Past libpng's width limit its error handler, not the image, ends the encoding.
        QTest::newRow("too wide for png")
            << toPng << "p.png" << Encoded(QImage(1000001, 1, QImage::Format_RGB32), "bmp");
    }
    void failureLeavesFilesAlone() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, fileName);
        QFETCH(QByteArray, content);
        const QString folder = freshFolder();
        const QString path = folder + '/' + fileName;
        if (!content.isNull())
            WriteFile(path, content);

        const Result result = runConverter(fill(arguments, path, folder));
        QVERIFY(result.exitCode > 0);
        QVERIFY2(result.err.startsWith("velloran-convert: ") && result.err.count('\n') == 1 &&
                     result.err.endsWith('\n'),
                 result.err.constData());
        const QStringList expectedFiles = content.isNull() ? QStringList() : QStringList{fileName};
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), expectedFiles);
        if (!content.isNull())
            QCOMPARE(ReadFile(path), content);
    }

    // Files handed over as inherited descriptors are read and written through them. A file
    // written by name goes through the program's result writer: a link of the user under
    // the name is followed (its file replaced by a rename, never written through), a link
    // of another user is refused and nothing is written.
    void descriptorsAndLinks_data() {
        QTest::addColumn<QString>("script");  // run by sh with $0 the converter, in the folder
        QTest::addColumn<QString>("output");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("descriptors in and out")
            << "\"$0\" -out png -o /proc/self/fd/5 /proc/self/fd/4 4<in.bmp 5<>out.png"
            << "out.png" << QByteArray("png");
        QTest::newRow("format from the descriptor's file name")
            << "\"$0\" -out -o /proc/self/fd/5 /proc/self/fd/4 4<in.bmp 5<>out.tiff"
            << "out.tiff" << QByteArray("tiff");
        QTest::newRow("one descriptor rewritten in place")
            << "cp in.bmp out.gif && \"$0\" -out gif /proc/self/fd/4 4<>out.gif" << "out.gif"
            << QByteArray("gif");
        QTest::newRow("the user's link under the output name")
            << "ln -s victim.jpg StampTmp.jpg && \"$0\" -out jpeg -o StampTmp.jpg in.bmp"
            << "StampTmp.jpg" << QByteArray("jpeg");
        // The picture is read through the link and written back as its file.
        QTest::newRow("the user's link as the file rewritten")
            << "ln -s victim.jpg link.png && \"$0\" -out png link.png" << "link.png"
            << QByteArray("png");
        if (geteuid() == 0) {
            QTest::newRow("another user's link under the output name")
                << "ln -s victim.jpg StampTmp.jpg && chown -h 65534 StampTmp.jpg && "
                   "\"$0\" -out jpeg -o StampTmp.jpg in.bmp"
                << "StampTmp.jpg" << QByteArray();
        }
    }
    void descriptorsAndLinks() {
        QFETCH(QString, script);
        QFETCH(QString, output);
        QFETCH(QByteArray, format);
        const QString folder = freshFolder();
        WriteFile(folder + "/in.bmp", Encoded(NoisyImage(64, 48), "bmp"));
        const QByteArray victim = Encoded(NoisyImage(32, 24), "jpeg");
        WriteFile(folder + "/victim.jpg", victim);
        // A second name of the victim's bytes: a write through a link would change them too.
        QVERIFY(link(QFile::encodeName(folder + "/victim.jpg").constData(),
                     QFile::encodeName(folder + "/kept.jpg").constData()) == 0);
        WriteFile(folder + "/out.png", "");
        WriteFile(folder + "/out.tiff", "");
        QProcess shell;
        shell.setWorkingDirectory(folder);
        shell.start("sh", {"-c", script, VELLORAN_CONVERT_PATH});
        QVERIFY(shell.waitForFinished(60000));
        const QByteArray err = shell.readAllStandardError();
        QVERIFY(QDir(folder).entryList({".velloran*"}, QDir::Files | QDir::Hidden).isEmpty());
        QCOMPARE(ReadFile(folder + "/kept.jpg"), victim);
        const bool throughLink = script.startsWith("ln -s");
        QCOMPARE(QFileInfo(folder + "/" + output).isSymLink(), throughLink);
        if (format.isEmpty()) {
            QVERIFY2(err.contains("it is a link that belongs to another user"), err.constData());
            QCOMPARE(shell.exitCode(), 1);
            QCOMPARE(ReadFile(folder + "/victim.jpg"), victim);
            return;
        }
        QCOMPARE(err, QByteArray());
        QCOMPARE(shell.exitCode(), 0);
        if (!throughLink)
            QCOMPARE(ReadFile(folder + "/victim.jpg"), victim);
        QByteArray written;
        QCOMPARE(readBack(folder + "/" + output, &written).size(),
                 output == "link.png" ? QSize(32, 24) : QSize(64, 48));
        QCOMPARE(written, format);
    }

    void help() {
        for (const QString option : {"--help", "-h"}) {
            const Result result = runConverter({option});
            QCOMPARE(result.exitCode, 0);
            QVERIFY(result.out.startsWith("Usage: velloran-convert"));
            QCOMPARE(result.err, QByteArray());
        }
    }
};

QTEST_GUILESS_MAIN(ConverterTest)
#include "converter_test.moc"
