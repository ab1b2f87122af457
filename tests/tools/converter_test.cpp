// Black-box tests for velloran-convert: run the built binary and inspect what it wrote.

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <random>

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

// Gradients plus strong per-channel noise: fine detail in every channel, like a photo.
QImage noisyImage(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-24, 24);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixel(x, y,
                           qRgb(qBound(0, 40 + x * 180 / width + noise(random), 255),
                                qBound(0, 220 - y * 180 / height + noise(random), 255),
                                qBound(0, 128 + noise(random) * 3, 255)));
        }
    }
    return image;
}

QByteArray encoded(const QImage& image, const char* format, int transformation = 0) {
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setTransformation(QImageIOHandler::Transformations(transformation));
    writer.setQuality(100);
    return writer.write(image) ? data : QByteArray();
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString& path, const QByteArray& data) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
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

// With block > 1, compares block averages: dithering trades per-pixel error for right averages.
double psnr(const QImage& a, const QImage& b, int block = 1) {
    const QSize size = a.size() / block;
    const QImage sa = a.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QImage sb = b.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    double squares = 0;
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const QRgb p = sa.pixel(x, y), q = sb.pixel(x, y);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                squares += d * d;
            }
        }
    }
    const double mse = squares / (3.0 * size.width() * size.height());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
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

}  // namespace

class ConverterTest : public QObject {
    Q_OBJECT

private slots:
    void inputConversion_data();
    void inputConversion();
    void inputConversionFlattensAlphaAndKeepsResolution();
    void inPlaceRewrite_data();
    void inPlaceRewrite();
    void gifKeepsTransparency();
    void failureLeavesFilesAlone_data();
    void failureLeavesFilesAlone();
    void help_data();
    void help();

private:
    // One empty folder per test row, so listings show exactly what the converter left.
    QString freshFolder() const {
        const QString path = dir_.filePath(
            QStringLiteral("%1/%2").arg(QTest::currentTestFunction(), QTest::currentDataTag()));
        return QDir().mkpath(path) ? path : QString();
    }

    QTemporaryDir dir_;
};

void ConverterTest::inputConversion_data() {
    QTest::addColumn<QByteArray>("sourceFormat");
    QTest::addColumn<int>("transformation");
    for (const char* format : {"png", "tiff", "jpeg", "bmp", "gif"}) {
        QTest::newRow(format) << QByteArray(format) << 0;
    }
    QTest::newRow("tiff stored rotated")
        << QByteArray("tiff") << int(QImageIOHandler::TransformationRotate90);
}

void ConverterTest::inputConversion() {
    QFETCH(QByteArray, sourceFormat);
    QFETCH(int, transformation);
    const QString folder = freshFolder();
    const QString source = folder + "/source." + sourceFormat;
    const QString target = folder + "/StampTmp.jpg";
    if (sourceFormat == "gif") {
        // Qt cannot write GIF; the converter's own GIF output is checked in inPlaceRewrite.
        QVERIFY(writeBytes(source, encoded(noisyImage(320, 240), "png")));
        QCOMPARE(runConverter({"-out", "gif", "-dither", "-colors", "256", source}).exitCode, 0);
    } else {
        QVERIFY(writeBytes(source, encoded(noisyImage(320, 240), sourceFormat, transformation)));
    }
    const QByteArray sourceBytes = fileBytes(source);

    const Result result = runConverter({"-out", "jpeg", "-o", target, source});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, QByteArray());

    QByteArray format;
    const QImage converted = readBack(target, &format);
    const QImage expected = readBack(source);
    QCOMPARE(format, QByteArray("jpeg"));
    QCOMPARE(converted.size(), expected.size());
    QVERIFY2(psnr(converted, expected) >= 45,
             qPrintable(QString::number(psnr(converted, expected))));
    QCOMPARE(fileBytes(source), sourceBytes);
}

void ConverterTest::inputConversionFlattensAlphaAndKeepsResolution() {
    QImage source = noisyImage(320, 240).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < 160; ++x)
            source.setPixel(x, y, qRgba(0, 0, 90, x * 255 / 160));
    }
    source.setDotsPerMeterX(11811);  // 300 dpi
    source.setDotsPerMeterY(11811);
    const QString sourcePath = dir_.filePath("alpha.png");
    const QString target = dir_.filePath("alpha.jpg");
    QVERIFY(writeBytes(sourcePath, encoded(source, "png")));

    QCOMPARE(runConverter({"-out", "jpeg", "-o", target, sourcePath}).exitCode, 0);

    QImage expected(source.size(), QImage::Format_ARGB32);
    expected.fill(Qt::white);
    QPainter(&expected).drawImage(0, 0, source);
    QVERIFY(psnr(readBack(target), expected) >= 45);
    QCOMPARE(qRound(QImage(target).dotsPerMeterX() * 0.0254), 300);
}

void ConverterTest::inPlaceRewrite_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QSize>("sourceSize");
    QTest::addColumn<QByteArray>("expectedFormat");
    QTest::addColumn<QSize>("expectedSize");
    QTest::addColumn<double>("minPsnr");  // for GIF, of 8x8 block averages
    QTest::addColumn<int>("maxColours");

    const auto row = [](const QString& tag, const QStringList& arguments, const QString& fileName,
                        const char* format, QSize sourceSize = {320, 240},
                        QSize expectedSize = {320, 240}, int maxColours = 1 << 24) {
        const QByteArray f(format);
        const double minPsnr = f == "jpeg" ? 45 : f == "gif" ? 30 : f == "ico" ? 40 : 99;
        QTest::newRow(qPrintable(tag))
            << arguments << fileName << sourceSize << f << expectedSize << minPsnr << maxColours;
    };
    const QSize standard(320, 240);
    row("gif dithered", {"-out", "gif", "-dither", "-colors", "256", "%1"}, "p.png", "gif",
        standard, standard, 256);
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

void ConverterTest::inPlaceRewrite() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, fileName);
    QFETCH(QSize, sourceSize);
    QFETCH(QByteArray, expectedFormat);
    QFETCH(QSize, expectedSize);
    QFETCH(double, minPsnr);
    QFETCH(int, maxColours);
    const QString folder = freshFolder();
    const QString path = folder + '/' + fileName;
    const QImage source = noisyImage(sourceSize.width(), sourceSize.height());
    // Content in another format than the target, so every row really converts.
    QVERIFY(writeBytes(path, encoded(source, expectedFormat == "png" ? "bmp" : "png")));

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
    const double measured = psnr(rewritten, expected, format == "gif" ? 8 : 1);
    QVERIFY2(measured >= minPsnr, qPrintable(QString::number(measured)));
}

void ConverterTest::gifKeepsTransparency() {
    QImage source(64, 32, QImage::Format_ARGB32);
    source.fill(qRgb(200, 30, 30));
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < 32; ++x)
            source.setPixel(x, y, qRgba(0, 0, 0, 0));
    }
    const QString path = dir_.filePath("transparent.png");
    QVERIFY(writeBytes(path, encoded(source, "png")));

    QCOMPARE(runConverter({"-out", "gif", "-dither", "-colors", "256", path}).exitCode, 0);

    const QImage gif = readBack(path);
    QCOMPARE(qAlpha(gif.pixel(5, 5)), 0);
    QCOMPARE(gif.pixel(40, 5), qRgb(200, 30, 30));
}

void ConverterTest::failureLeavesFilesAlone_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");  // null: the file does not exist

    const QByteArray png = encoded(noisyImage(64, 48), "png");
    const QByteArray jpeg = encoded(noisyImage(320, 240), "jpeg");
    const QByteArray bmp = encoded(noisyImage(320, 240), "bmp");
    const QStringList toPng{"-out", "png", "%1"};
    const QStringList toGif{"-out", "gif", "-dither", "-colors", "256", "%1"};
    QByteArray gif;  // made by the converter itself, since Qt cannot write GIF
    {
        QTemporaryDir scratch;
        writeBytes(scratch.filePath("g.gif"), encoded(noisyImage(320, 240), "png"));
        runConverter(fill(toGif, scratch.filePath("g.gif"), {}));
        gif = fileBytes(scratch.filePath("g.gif"));
    }
    QTest::newRow("unknown extension") << QStringList{"-out", "%1"} << "p.xyz" << png;
    QTest::newRow("no extension") << QStringList{"-out", "%1"} << "picture" << png;
    QTest::newRow("unknown format word") << QStringList{"-out", "webp", "%1"} << "p.png" << png;
    QTest::newRow("unknown option") << QStringList{"-out", "png", "-fast", "%1"} << "p.png" << png;
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
                                      << encoded(QImage(70000, 1, QImage::Format_RGB32), "png");
}

void ConverterTest::failureLeavesFilesAlone() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    const QString folder = freshFolder();
    const QString path = folder + '/' + fileName;
    if (!content.isNull())
        QVERIFY(writeBytes(path, content));

    const Result result = runConverter(fill(arguments, path, folder));
    QVERIFY(result.exitCode > 0);
    QVERIFY2(result.err.startsWith("velloran-convert: ") && result.err.count('\n') == 1 &&
                 result.err.endsWith('\n'),
             result.err.constData());
    const QStringList expectedFiles = content.isNull() ? QStringList() : QStringList{fileName};
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), expectedFiles);
    if (!content.isNull())
        QCOMPARE(fileBytes(path), content);
}

void ConverterTest::help_data() {
    QTest::addColumn<QString>("option");
    QTest::newRow("long") << "--help";
    QTest::newRow("short") << "-h";
}

void ConverterTest::help() {
    QFETCH(QString, option);
    const Result result = runConverter({option});
    QCOMPARE(result.exitCode, 0);
    QVERIFY(result.out.startsWith("Usage: velloran-convert"));
    QCOMPARE(result.err, QByteArray());
}

QTEST_GUILESS_MAIN(ConverterTest)
#include "converter_test.moc"
