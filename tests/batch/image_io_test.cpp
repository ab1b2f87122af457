#include "batch/bitmap_writer.h"
#include "batch/picture_loader.h"
#include "batch/save_jpeg.h"
#include "util/vb_error.h"

#include <QBuffer>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

int DotsPerMetre(int dpi) {
    return qRound(dpi / 0.0254);
}
int Dpi(int dotsPerMetre) {
    return qRound(dotsPerMetre * 0.0254);
}

// A gradient with noise: compresses like a photo, so quality shows in size and PSNR.
QImage PhotoLike(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int n = int(random.bounded(17)) - 8;
            image.setPixel(x, y,
                           qRgb(qBound(0, 40 + 180 * x / width + n, 255),
                                qBound(0, 200 - 150 * y / height + n, 255), 120 + n));
        }
    }
    return image;
}

double Psnr(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return 0;
    }
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)}) {
                sum += d * d;
            }
        }
    }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

QByteArray QtJpeg(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(95);
    writer.write(image);
    return bytes;
}

// The JPEG with an APP1 Exif segment, whose IFD0 holds only the Orientation tag, after
// its JFIF segment.
QByteArray WithOrientation(const QByteArray& jpeg, int orientation, bool bigEndian) {
    QByteArray tiff(bigEndian ? "MM" : "II");
    QDataStream out(&tiff, QIODevice::Append);
    out.setByteOrder(bigEndian ? QDataStream::BigEndian : QDataStream::LittleEndian);
    out << quint16(42) << quint32(8) << quint16(1) << quint16(0x0112) << quint16(3) << quint32(1)
        << quint16(orientation) << quint16(0) << quint32(0);
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    const int length = int(payload.size()) + 2;
    const QByteArray segment =
        QByteArray("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + payload;
    const int at = 4 + (uchar(jpeg[4]) << 8 | uchar(jpeg[5]));
    return jpeg.left(at) + segment + jpeg.mid(at);
}

// Print shops send CMYK JPEGs, stored inverted as Adobe writes them (255 = no ink).
QByteArray AdobeCmykJpeg(const QImage& image) {
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &bytes, &size);
    info.image_width = JDIMENSION(image.width());
    info.image_height = JDIMENSION(image.height());
    info.input_components = 4;
    info.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(size_t(image.width()) * 4);
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, int(info.next_scanline));
            const JSAMPLE cmyk[4] = {JSAMPLE(qRed(p)), JSAMPLE(qGreen(p)), JSAMPLE(qBlue(p)), 255};
            std::copy(cmyk, cmyk + 4, row.begin() + x * 4);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    const QByteArray result(reinterpret_cast<const char*>(bytes), qsizetype(size));
    std::free(bytes);
    return result;
}

QString Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
    }
    return path;
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Runs the statement and returns the VbError it raised (number -1 when none).
template <class F>
VbError Raised(F&& statement) {
    try {
        statement();
    } catch (const VbError& e) {
        return e;
    }
    return VbError(-1, QString());
}

// Four solid quadrants, big enough to survive JPEG: red, green / blue, yellow.
QImage Quadrants() {
    QImage image(64, 32, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, 32, 16, Qt::red);
    painter.fillRect(32, 0, 32, 16, Qt::green);
    painter.fillRect(0, 16, 32, 16, Qt::blue);
    painter.fillRect(32, 16, 32, 16, Qt::yellow);
    return image;
}

bool Near(QRgb pixel, QColor expected) {
    return std::abs(qRed(pixel) - expected.red()) < 24 &&
           std::abs(qGreen(pixel) - expected.green()) < 24 &&
           std::abs(qBlue(pixel) - expected.blue()) < 24;
}

// A little-endian header field.
int FieldAt(const QByteArray& bytes, int offset, int size) {
    int value = 0;
    for (int i = size - 1; i >= 0; --i) {
        value = value << 8 | uchar(bytes[offset + i]);
    }
    return value;
}

}  // namespace

class ImageIoTest : public QObject {
    Q_OBJECT

private slots:
    void saveJpegQualityReachesEncoder() {
        QTemporaryDir dir;
        const QImage source = PhotoLike(320, 240);
        const auto save = [&](int quality) {
            const QString path = dir.filePath(QStringLiteral("q%1.jpg").arg(quality));
            SaveJpeg(source, path, quint8(quality));
            return path;
        };
        qint64 lastSize = 0;
        double lastPsnr = 0;
        for (const int quality : {0, 10, 50, 85, 100}) {
            const QString path = save(quality);
            const double psnr = Psnr(source, LoadPicture(path));
            QVERIFY2(QFileInfo(path).size() > lastSize && psnr > lastPsnr, qPrintable(path));
            lastSize = QFileInfo(path).size();
            lastPsnr = psnr;
        }
        QVERIFY(lastPsnr > 38);
        // The encoder's range: 0 gives what 1 gives, above 100 what 100 gives.
        QCOMPARE(Read(save(0)), Read(save(1)));
        QCOMPARE(Read(save(255)), Read(save(100)));
        // 4:2:0 like the platform's encoder: luma sampled 2 x 2 in the SOF0 segment.
        const QByteArray written = Read(save(85));
        QCOMPARE(uchar(written[written.indexOf(QByteArray("\xFF\xC0", 2)) + 11]), 0x22);
    }

    void writerFailures_data() {
        QTest::addColumn<bool>("jpeg");
        QTest::addColumn<QString>("relativePath");
        QTest::addColumn<bool>("nullImage");
        QTest::addColumn<bool>("readOnlyFolder");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");  // exact for SaveJpeg
        const QString error7 = QStringLiteral("Cannot save the image. GDI+ Error:7");
        QTest::newRow("jpeg: missing folder")
            << true << "missing/a.jpg" << false << false << 5 << error7;
        QTest::newRow("jpeg: path is a folder")
            << true << "folder" << false << false << 5 << error7;
        QTest::newRow("jpeg: read-only folder")
            << true << "folder/a.jpg" << false << true << 5 << error7;
        QTest::newRow("jpeg: folder nobody may create files in")
            << true << "/proc/a.jpg" << false << false << 5 << error7;
        QTest::newRow("jpeg: null image")
            << true << "a.jpg" << true << false << 5 << "Cannot save the image. GDI+ Error:2";
        QTest::newRow("bmp: missing folder")
            << false << "missing/a.wmf" << false << false << 76 << "";
        QTest::newRow("bmp: path is a folder") << false << "folder" << false << false << 75 << "";
        QTest::newRow("bmp: read-only folder")
            << false << "folder/a.bmp" << false << true << 70 << "";
        QTest::newRow("bmp: null image") << false << "a.bmp" << true << false << 481 << "";
    }
    void writerFailures() {
        QFETCH(bool, jpeg);
        QFETCH(QString, relativePath);
        QFETCH(bool, nullImage);
        QFETCH(bool, readOnlyFolder);
        QFETCH(int, number);
        QFETCH(QString, description);
        if (readOnlyFolder && ::geteuid() == 0) {
            QSKIP("root may write into any folder");
        }
        QTemporaryDir dir;
        QDir(dir.path()).mkdir(QStringLiteral("folder"));
        const QString folder = dir.filePath(QStringLiteral("folder"));
        if (readOnlyFolder) {
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        }
        const QImage picture = nullImage ? QImage() : Quadrants();
        const QString path =
            relativePath.startsWith(QLatin1Char('/')) ? relativePath : dir.filePath(relativePath);
        const VbError e = Raised(
            [&] { jpeg ? SaveJpeg(picture, path, 85) : SavePictureAsBitmap(picture, path); });
        QFile::setPermissions(
            folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QCOMPARE(e.number(), number);
        if (jpeg) {
            QCOMPARE(e.description(), description);
        } else {
            QVERIFY2(e.description().contains(QLatin1Char('"') + path + QLatin1Char('"')),
                     qPrintable(e.description()));
        }
        QVERIFY(QDir(folder).isEmpty());
    }

    void resolutionSurvives_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<int>("dpiX");
        QTest::addColumn<int>("dpiY");
        QTest::addColumn<int>("expectedX");
        QTest::addColumn<int>("expectedY");
        QTest::newRow("300 dpi") << 1 << 300 << 300 << 300 << 300;
        QTest::newRow("300 x 150 dpi") << 1 << 300 << 150 << 300 << 150;
        QTest::newRow("turned a quarter: axes swap") << 6 << 300 << 150 << 150 << 300;
    }
    void resolutionSurvives() {
        QFETCH(int, orientation);
        QFETCH(int, dpiX);
        QFETCH(int, dpiY);
        QFETCH(int, expectedX);
        QFETCH(int, expectedY);
        QTemporaryDir dir;
        QImage source = PhotoLike(40, 30);
        source.setDotsPerMeterX(DotsPerMetre(dpiX));
        source.setDotsPerMeterY(DotsPerMetre(dpiY));
        const QString in = Write(dir.filePath(QStringLiteral("in.jpg")),
                                 WithOrientation(QtJpeg(source), orientation, false));
        const QImage loaded = LoadPicture(in);
        QCOMPARE(Dpi(loaded.dotsPerMeterX()), expectedX);
        QCOMPARE(Dpi(loaded.dotsPerMeterY()), expectedY);

        const QString out = dir.filePath(QStringLiteral("out.jpg"));
        SaveJpeg(loaded, out, 85);
        const QImage written = QImageReader(out).read();
        QCOMPARE(Dpi(written.dotsPerMeterX()), expectedX);
        QCOMPARE(Dpi(written.dotsPerMeterY()), expectedY);

        const QString bmp = dir.filePath(QStringLiteral("out.bmp"));
        SavePictureAsBitmap(loaded, bmp);
        QCOMPARE(Dpi(FieldAt(Read(bmp), 38, 4)), expectedX);
    }

    void bitmapWriter_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("format");
        QTest::newRow("wmf") << "out.wmf" << int(QImage::Format_RGB32);
        QTest::newRow("png") << "out.png" << int(QImage::Format_RGB32);
        QTest::newRow("no extension") << "out" << int(QImage::Format_RGB32);
        QTest::newRow("alpha picture") << "out.bmp" << int(QImage::Format_ARGB32);
        QTest::newRow("palette picture") << "out.gif" << int(QImage::Format_Indexed8);
    }
    void bitmapWriter() {
        QFETCH(QString, name);
        QFETCH(int, format);
        QTemporaryDir dir;
        const QImage source = Quadrants().convertToFormat(QImage::Format(format));
        const QString path = dir.filePath(name);
        SavePictureAsBitmap(source, path);
        const QByteArray bytes = Read(path);
        QVERIFY(bytes.startsWith("BM"));
        QCOMPARE(FieldAt(bytes, 28, 2), 24);
        const QImage back = QImage::fromData(bytes, "BMP");
        QCOMPARE(back.convertToFormat(QImage::Format_RGB32),
                 source.convertToFormat(QImage::Format_RGB32));
    }

    void loaderTurnsUpright_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("bigEndian");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QColor>("topLeft");
        QTest::addColumn<QColor>("topRight");
        QTest::addColumn<QColor>("bottomLeft");
        QTest::addColumn<QColor>("bottomRight");
        const QSize wide(64, 32);
        const QSize tall(32, 64);
        const QColor r = Qt::red, g = Qt::green, b = Qt::blue, y = Qt::yellow;
        QTest::newRow("1 upright") << 1 << false << wide << r << g << b << y;
        QTest::newRow("2 mirrored") << 2 << false << wide << g << r << y << b;
        QTest::newRow("3 half turn") << 3 << false << wide << y << b << g << r;
        QTest::newRow("4 flipped") << 4 << false << wide << b << y << r << g;
        QTest::newRow("5 transposed") << 5 << false << tall << r << b << g << y;
        QTest::newRow("6 quarter turn right") << 6 << false << tall << b << r << y << g;
        QTest::newRow("7 transversed") << 7 << false << tall << y << g << b << r;
        QTest::newRow("8 quarter turn left") << 8 << false << tall << g << y << r << b;
        QTest::newRow("6 Motorola order") << 6 << true << tall << b << r << y << g;
        QTest::newRow("8 Motorola order") << 8 << true << tall << g << y << r << b;
        QTest::newRow("9 unknown, left alone") << 9 << false << wide << r << g << b << y;
    }
    void loaderTurnsUpright() {
        QFETCH(int, orientation);
        QFETCH(bool, bigEndian);
        QFETCH(QSize, size);
        QFETCH(QColor, topLeft);
        QFETCH(QColor, topRight);
        QFETCH(QColor, bottomLeft);
        QFETCH(QColor, bottomRight);
        QTemporaryDir dir;
        const QString path = Write(dir.filePath(QStringLiteral("photo.jpg")),
                                   WithOrientation(QtJpeg(Quadrants()), orientation, bigEndian));
        const QImage image = LoadPicture(path);
        QCOMPARE(image.format(), QImage::Format_RGB32);
        QCOMPARE(image.size(), size);
        const int right = size.width() - 4;
        const int bottom = size.height() - 4;
        QVERIFY(Near(image.pixel(3, 3), topLeft));
        QVERIFY(Near(image.pixel(right, 3), topRight));
        QVERIFY(Near(image.pixel(3, bottom), bottomLeft));
        QVERIFY(Near(image.pixel(right, bottom), bottomRight));
    }

    void loaderReadsPictures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<bool>("grayscale");
        QTest::newRow("jpeg") << "a.jpg" << QByteArray("jpeg") << false;
        QTest::newRow("grayscale jpeg") << "a.jpg" << QByteArray("jpeg") << true;
        QTest::newRow("jpeg named .png") << "a.png" << QByteArray("jpeg") << false;
        QTest::newRow("bmp") << "a.bmp" << QByteArray("bmp") << false;
        QTest::newRow("bitmap named .wmf") << "a.wmf" << QByteArray("bmp") << false;
        QTest::newRow("png") << "a.png" << QByteArray("png") << false;
        QTest::newRow("ico") << "a.ico" << QByteArray("ico") << false;
        QTest::newRow("cmyk jpeg") << "a.jpg" << QByteArray("cmyk") << false;
    }
    void loaderReadsPictures() {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        QFETCH(bool, grayscale);
        QTemporaryDir dir;
        QImage source = Quadrants();
        if (grayscale) {
            source = source.convertToFormat(QImage::Format_Grayscale8);
        }
        const QString path = dir.filePath(name);
        if (format == "cmyk") {
            Write(path, AdobeCmykJpeg(source));
        } else {
            QImageWriter writer(path, format);
            writer.setQuality(95);
            QVERIFY(writer.write(source));
        }
        const QImage image = LoadPicture(path);
        QCOMPARE(image.size(), source.size());
        const QImage expected = source.convertToFormat(QImage::Format_RGB32);
        for (const QPoint p : {QPoint(3, 3), QPoint(60, 3), QPoint(3, 28), QPoint(60, 28)}) {
            QVERIFY(Near(image.pixel(p), expected.pixel(p)));
        }
    }

    void loaderFailures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");  // what to put at the path
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("reason");
        const QByteArray jpeg = QtJpeg(PhotoLike(200, 150));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        PhotoLike(200, 150).save(&buffer, "PNG");
        const QByteArray none;
        QTest::newRow("missing") << "missing.jpg"
                                 << "nothing" << none << 53 << "File not found";
        QTest::newRow("truncated jpeg")
            << "cut.jpg"
            << "file" << jpeg.left(jpeg.size() / 2) << 481 << "damaged or truncated";
        QTest::newRow("jpeg cut after its header")
            << "head.jpg"
            << "file" << jpeg.left(jpeg.indexOf(QByteArray("\xFF\xDA", 2)) + 2) << 481 << "damaged";
        QTest::newRow("truncated png")
            << "cut.png"
            << "file" << png.left(png.size() / 2) << 481 << "damaged or truncated";
        QTest::newRow("garbage") << "noise.jpg"
                                 << "file" << QByteArray(5000, 'x') << 481 << "format";
        QTest::newRow("empty") << "empty.jpg"
                               << "file" << QByteArray("") << 481 << "empty";
        QTest::newRow("JPEG start, then garbage")
            << "bad.jpg"
            << "file" << QByteArray("\xFF\xD8garbage", 9) << 481 << "damaged";
        QTest::newRow("folder") << "folder.jpg"
                                << "folder" << none << 75 << "folder";
        QTest::newRow("named pipe, never opened") << "pipe.jpg"
                                                  << "fifo" << none << 75 << "not a regular file";
    }
    void loaderFailures() {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QByteArray, contents);
        QFETCH(int, number);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (kind == QLatin1String("file")) {
            Write(path, contents);
        } else if (kind == QLatin1String("folder")) {
            QDir(dir.path()).mkdir(name);
        } else if (kind == QLatin1String("fifo")) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        const VbError e = Raised([&] { LoadPicture(path); });
        QCOMPARE(e.number(), number);
        QVERIFY2(e.description().contains(QLatin1Char('"') + path + QLatin1Char('"')),
                 qPrintable(e.description()));
        QVERIFY2(e.description().contains(reason), qPrintable(e.description()));
    }

    void loaderRefusesTooLarge() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.jpg"));
        QVERIFY(PhotoLike(1200, 1000).save(path, "JPEG"));
        const int limit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(4);  // MB; the picture needs 4.6
        const VbError e = Raised([&] { LoadPicture(path); });
        QImageReader::setAllocationLimit(limit);
        QCOMPARE(e.number(), vberr::kOutOfMemory);
        QVERIFY2(e.description().contains(QStringLiteral("too large")),
                 qPrintable(e.description()));
    }

    void roundTripKeepsPixels() {
        QTemporaryDir dir;
        const QImage source = PhotoLike(640, 480);
        const QString path = dir.filePath(QStringLiteral("round.jpg"));
        SaveJpeg(source, path, 85);
        const QImage once = LoadPicture(path);
        QVERIFY(Psnr(source, once) > 30);
        SaveJpeg(once, path, 85);
        QVERIFY(Psnr(source, LoadPicture(path)) > 30);
    }
};

QTEST_GUILESS_MAIN(ImageIoTest)
#include "image_io_test.moc"
