// SPDX-License-Identifier: MIT
#include "engine/bitmap_writer.h"
#include "batch/gif_bytes.h"
#include "engine/engine_start.h"
#include "engine/picture_loader.h"
#include "engine/save_jpeg.h"
#include "support/jpeg_rows.h"
#include "support/raised.h"
#include "support/test_environment.h"
#include "support/test_images.h"

#include <QDataStream>
#include <QDir>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cstdlib>
#include <vector>

#include <jpeglib.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

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
    return EncodeJpegRows({image.width(), image.height(), true, -1, false, {}},
                          [&](int y, JSAMPLE* row) {
                              for (int x = 0; x < image.width(); ++x) {
                                  const QRgb p = image.pixel(x, y);
                                  const JSAMPLE cmyk[4] = {JSAMPLE(qRed(p)), JSAMPLE(qGreen(p)),
                                                           JSAMPLE(qBlue(p)), 255};
                                  std::copy(cmyk, cmyk + 4, row + x * 4);
                              }
                          });
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

}  // namespace

class ImageIoTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { StartEngine(); }

    void saveJpegQualityReachesEncoder() {
        QTemporaryDir dir;
        const QImage source = NoisyImage(320, 240, false);
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
        QCOMPARE(ReadFile(save(0)), ReadFile(save(1)));
        QCOMPARE(ReadFile(save(255)), ReadFile(save(100)));
        // 4:2:0 like the platform's encoder: luma sampled 2 x 2 in the SOF0 segment.
        const QByteArray written = ReadFile(save(85));
        QCOMPARE(uchar(written[written.indexOf(QByteArray("\xFF\xC0", 2)) + 11]), 0x22);
    }

    void writerFailures_data() {
        QTest::addColumn<QString>("relativePath");
        QTest::addColumn<bool>("nullImage");
        QTest::addColumn<bool>("readOnlyFolder");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("description");  // exact for SaveJpeg; "" writes a bitmap
        const QString error7 = QStringLiteral("Cannot save the image. GDI+ Error:7");
        QTest::newRow("jpeg: missing folder") << "missing/a.jpg" << false << false << 5 << error7;
        QTest::newRow("jpeg: path is a folder") << "folder" << false << false << 5 << error7;
        QTest::newRow("jpeg: read-only folder") << "folder/a.jpg" << false << true << 5 << error7;
        QTest::newRow("jpeg: folder nobody may create files in")
            << "/proc/a.jpg" << false << false << 5 << error7;
        QTest::newRow("jpeg: null image")
            << "a.jpg" << true << false << 5 << "Cannot save the image. GDI+ Error:2";
        QTest::newRow("bmp: missing folder") << "missing/a.wmf" << false << false << 76 << "";
        QTest::newRow("bmp: path is a folder") << "folder" << false << false << 75 << "";
        QTest::newRow("bmp: read-only folder") << "folder/a.bmp" << false << true << 70 << "";
        QTest::newRow("bmp: null image") << "a.bmp" << true << false << 481 << "";
    }
    void writerFailures() {
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
        const bool jpeg = !description.isEmpty();
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
        QTest::newRow("300 dpi") << 1 << 300 << 300;
        QTest::newRow("300 x 150 dpi") << 1 << 300 << 150;
        QTest::newRow("turned a quarter: axes swap") << 6 << 150 << 300;
    }
    void resolutionSurvives() {
        QFETCH(int, orientation);
        QFETCH(int, dpiX);  // as the picture is shown
        QFETCH(int, dpiY);
        const auto Dpi = [](int dotsPerMetre) { return qRound(dotsPerMetre * 0.0254); };
        QTemporaryDir dir;
        QImage source = NoisyImage(40, 30, false);
        const bool turned = orientation >= 5;
        source.setDotsPerMeterX(qRound((turned ? dpiY : dpiX) / 0.0254));
        source.setDotsPerMeterY(qRound((turned ? dpiX : dpiY) / 0.0254));
        const QString in = WriteFile(dir.filePath(QStringLiteral("in.jpg")),
                                     WithOrientation(Encoded(source, "jpeg"), orientation, false));
        const QImage loaded = LoadPicture(in);
        QCOMPARE(Dpi(loaded.dotsPerMeterX()), dpiX);
        QCOMPARE(Dpi(loaded.dotsPerMeterY()), dpiY);

        const QString out = dir.filePath(QStringLiteral("out.jpg"));
        SaveJpeg(loaded, out, 85);
        const QImage written = QImageReader(out).read();
        QCOMPARE(Dpi(written.dotsPerMeterX()), dpiX);
        QCOMPARE(Dpi(written.dotsPerMeterY()), dpiY);
        // A loaded picture saves again without losing more than JPEG loses.
        QVERIFY(Psnr(loaded, LoadPicture(out)) > 30);

        const QString bmp = dir.filePath(QStringLiteral("out.bmp"));
        SavePictureAsBitmap(loaded, bmp);
        QCOMPARE(Dpi(qFromLittleEndian<qint32>(ReadFile(bmp).constData() + 38)), dpiX);
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
        SavePictureAsBitmap(source, dir.filePath(name));
        const QByteArray bytes = ReadFile(dir.filePath(name));
        QVERIFY(bytes.startsWith("BM"));
        QCOMPARE(qFromLittleEndian<quint16>(bytes.constData() + 28), 24);  // bits per pixel
        QCOMPARE(QImage::fromData(bytes, "BMP").convertToFormat(QImage::Format_RGB32),
                 source.convertToFormat(QImage::Format_RGB32));
    }

    void loaderTurnsUpright_data() {
        QTest::addColumn<int>("orientation");
        QTest::addColumn<bool>("bigEndian");
        // Colours of the corners as shown: top left, top right, bottom left, bottom right.
        QTest::addColumn<QString>("corners");
        QTest::newRow("1 upright") << 1 << false << "rgby";
        QTest::newRow("2 mirrored") << 2 << false << "gryb";
        QTest::newRow("3 half turn") << 3 << false << "ybgr";
        QTest::newRow("4 flipped") << 4 << false << "byrg";
        QTest::newRow("5 transposed") << 5 << false << "rbgy";
        QTest::newRow("6 quarter turn right") << 6 << false << "bryg";
        QTest::newRow("7 transversed") << 7 << false << "ygbr";
        QTest::newRow("8 quarter turn left") << 8 << false << "gyrb";
        QTest::newRow("6 Motorola order") << 6 << true << "bryg";
        QTest::newRow("8 Motorola order") << 8 << true << "gyrb";
        QTest::newRow("9 unknown, left alone") << 9 << false << "rgby";
    }
    void loaderTurnsUpright() {
        QFETCH(int, orientation);
        QFETCH(bool, bigEndian);
        QFETCH(QString, corners);
        QTemporaryDir dir;
        const QString path =
            WriteFile(dir.filePath(QStringLiteral("photo.jpg")),
                      WithOrientation(Encoded(Quadrants(), "jpeg"), orientation, bigEndian));
        const QImage image = LoadPicture(path);
        QCOMPARE(image.format(), QImage::Format_RGB32);
        const bool turned = orientation >= 5 && orientation <= 8;
        QCOMPARE(image.size(), turned ? QSize(32, 64) : QSize(64, 32));
        const QHash<QChar, QColor> colours = {
            {'r', Qt::red}, {'g', Qt::green}, {'b', Qt::blue}, {'y', Qt::yellow}};
        const int right = image.width() - 4;
        const int bottom = image.height() - 4;
        const QPoint at[] = {{3, 3}, {right, 3}, {3, bottom}, {right, bottom}};
        for (int i = 0; i < 4; ++i) {
            QVERIFY2(Near(image.pixel(at[i]), colours.value(corners[i])), qPrintable(corners));
        }
    }

    void loaderReadsPictures_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");  // "gray": a grayscale JPEG
        QTest::newRow("jpeg") << "a.jpg" << QByteArray("jpeg");
        QTest::newRow("grayscale jpeg") << "a.jpg" << QByteArray("gray");
        QTest::newRow("jpeg named .png") << "a.png" << QByteArray("jpeg");
        QTest::newRow("bmp") << "a.bmp" << QByteArray("bmp");
        QTest::newRow("bitmap named .wmf") << "a.wmf" << QByteArray("bmp");
        QTest::newRow("gif") << "a.gif" << QByteArray("gif");
        QTest::newRow("ico") << "a.ico" << QByteArray("ico");
        QTest::newRow("cmyk jpeg") << "a.jpg" << QByteArray("cmyk");
    }
    void loaderReadsPictures() {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        QTemporaryDir dir;
        QImage source = Quadrants();
        if (format == "gray") {
            source = source.convertToFormat(QImage::Format_Grayscale8);
            format = "jpeg";
        }
        const QString path =
            WriteFile(dir.filePath(name), format == "cmyk"  ? AdobeCmykJpeg(source)
                                          : format == "gif" ? GifBytes(source)
                                                            : Encoded(source, format));
        const QImage image = LoadPicture(path);
        QCOMPARE(image.size(), source.size());
        const QImage expected = source.convertToFormat(QImage::Format_RGB32);
        for (const QPoint p : {QPoint(3, 3), QPoint(60, 3), QPoint(3, 28), QPoint(60, 28)}) {
            QVERIFY(Near(image.pixel(p), expected.pixel(p)));
        }
    }

    void loaderFailures_data() {
        QTest::addColumn<QString>("name");         // "folder.jpg" and "pipe.jpg" are no files
        QTest::addColumn<QByteArray>("contents");  // null: nothing at the path
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("reason");
        const QByteArray jpeg = Encoded(NoisyImage(200, 150, false), "jpeg");
        const QByteArray png = Encoded(NoisyImage(200, 150, false), "png");
        const auto row = [](const char* tag, const QString& name, const QByteArray& contents,
                            int number, const QString& reason) {
            QTest::newRow(tag) << name << contents << number << reason;
        };
        row("missing", "missing.jpg", {}, 53, "File not found");
        row("truncated jpeg", "cut.jpg", jpeg.left(jpeg.size() / 2), 481, "damaged or truncated");
        row("jpeg cut after its header", "head.jpg",
            jpeg.left(jpeg.indexOf(QByteArray("\xFF\xDA", 2)) + 2), 481, "damaged");
        row("png is not read", "a.png", png, 481, "format");
        row("truncated png", "cut.png", png.left(png.size() / 2), 481, "format");
        row("garbage", "noise.jpg", QByteArray(5000, 'x'), 481, "format");
        row("empty", "empty.jpg", QByteArray(""), 481, "empty");
        row("JPEG start, then garbage", "bad.jpg", QByteArray("\xFF\xD8garbage", 9), 481,
            "damaged");
        row("folder", "folder.jpg", {}, 75, "folder");
        row("named pipe, never opened", "pipe.jpg", {}, 75, "not a regular file");
    }
    void loaderFailures() {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        QFETCH(int, number);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        if (!contents.isNull()) {
            WriteFile(path, contents);
        } else if (name == QLatin1String("folder.jpg")) {
            QDir(dir.path()).mkdir(name);
        } else if (name == QLatin1String("pipe.jpg")) {
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
        QVERIFY(NoisyImage(1200, 1000, false).save(path, "JPEG"));
        const int limit = QImageReader::allocationLimit();
        QImageReader::setAllocationLimit(4);  // MB; the picture needs 4.6
        const VbError e = Raised([&] { LoadPicture(path); });
        QImageReader::setAllocationLimit(limit);
        QCOMPARE(e.number(), vberr::kOutOfMemory);
        QVERIFY2(e.description().contains(QStringLiteral("too large")),
                 qPrintable(e.description()));
    }
};

QTEST_GUILESS_MAIN(ImageIoTest)
#include "image_io_test.moc"
