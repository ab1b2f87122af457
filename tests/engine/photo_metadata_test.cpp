// SPDX-License-Identifier: MIT
#include "engine/engine_start.h"
#include "engine/photo_metadata.h"
#include "engine/save_jpeg.h"
#include "engine_fixture.h"
#include "support/test_environment.h"
#include "support/test_images.h"

#include <QColorSpace>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QtTest>

#include <exiv2/exiv2.hpp>

namespace {

const QString kCopyright = QStringLiteral("(c) 2026 Jo Photographer");

QByteArray AdobeRgbProfile() {
    return QColorSpace(QColorSpace::AdobeRgb).iccProfile();
}

// A red block at the stored upper-left: shown with orientation 6, at the upper-right.
QImage SidewaysPicture() {
    QImage image(160, 120, QImage::Format_RGB32);
    image.fill(QColor(50, 60, 70));
    QPainter(&image).fillRect(0, 0, 40, 30, Qt::red);
    return image;
}

Exiv2::Image::AutoPtr Opened(const QString& path) {
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    return image;
}

// What a camera writes: EXIF (orientation 6, GPS, thumbnail), XMP, IPTC, an ICC profile.
void AddCameraMetadata(const QString& path) {
    Exiv2::Image::AutoPtr image = Opened(path);
    Exiv2::ExifData& exif = image->exifData();
    exif["Exif.Image.Make"] = "Tellwick Optics";
    exif["Exif.Image.Orientation"] = uint16_t(6);
    exif["Exif.Photo.PixelXDimension"] = uint32_t(160);
    exif["Exif.Photo.PixelYDimension"] = uint32_t(120);
    exif["Exif.GPSInfo.GPSLatitude"].setValue("48/1 51/1 2976/100");
    const QByteArray thumbnail = Encoded(SidewaysPicture().scaled(32, 24), "jpeg");
    Exiv2::ExifThumb(exif).setJpegThumbnail(
        reinterpret_cast<const Exiv2::byte*>(thumbnail.constData()), long(thumbnail.size()));
    Exiv2::XmpData& xmp = image->xmpData();
    xmp["Xmp.dc.creator"] = "Jo Photographer";
    xmp["Xmp.tiff.Orientation"] = "6";
    Exiv2::XmpTextValue thumbnails;
    thumbnails.setXmpArrayType(Exiv2::XmpValue::xaAlt);
    xmp.add(Exiv2::XmpKey("Xmp.xmp.Thumbnails"), &thumbnails);
    xmp["Xmp.xmp.Thumbnails[1]/xmpGImg:image"] = thumbnail.toBase64().toStdString();
    image->iptcData()["Iptc.Application2.Copyright"] = kCopyright.toStdString();
    const QByteArray icc = AdobeRgbProfile();
    Exiv2::DataBuf profile(reinterpret_cast<const Exiv2::byte*>(icc.constData()), long(icc.size()));
    image->setIccProfile(profile);
    image->writeMetadata();
}

std::string Tag(const Exiv2::ExifData& exif, const char* key) {
    const auto it = exif.findKey(Exiv2::ExifKey(key));
    return it == exif.end() ? std::string() : it->toString();
}

std::string Tag(const Exiv2::XmpData& xmp, const char* key) {
    const auto it = xmp.findKey(Exiv2::XmpKey(key));
    return it == xmp.end() ? std::string() : it->toString();
}

bool IsRed(QRgb pixel) {
    return qRed(pixel) > 180 && qGreen(pixel) < 90 && qBlue(pixel) < 90;
}

// A JPEG segment with the given marker byte and payload.
QByteArray Segment(char marker, const QByteArray& payload) {
    const int length = int(payload.size()) + 2;
    return QByteArray("\xFF", 1) + marker + char(length >> 8) + char(length & 0xFF) + payload;
}

}  // namespace

class PhotoMetadataTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { StartEngine(); }

    void cameraPhotoKeepsItsMetadata_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<bool>("turned");
        QTest::newRow("jpeg road") << "camera.jpg" << QByteArray("jpeg") << true;
        // The PNG road keeps the stored pixels, and the orientation that says how to show them.
        QTest::newRow("png road") << "camera.png" << QByteArray("png") << false;
        QTest::newRow("tiff road") << "camera.tif" << QByteArray("tiff") << true;
    }
    void cameraPhotoKeepsItsMetadata() {
        QFETCH(QString, name);
        QFETCH(QByteArray, format);
        QFETCH(bool, turned);
        EngineFixture f;
        const QString source = f.sources + "/" + name;
        QVERIFY(SidewaysPicture().save(source, format, 100));
        AddCameraMetadata(source);
        QCOMPARE(f.stamp(source), QStringList());

        const QString output = f.output + "/" + name;
        const QImage picture(output);
        QCOMPARE(picture.colorSpace().iccProfile(), AdobeRgbProfile());
        QCOMPARE(picture.size(), turned ? QSize(120, 160) : QSize(160, 120));
        QVERIFY(IsRed(picture.pixel(turned ? QPoint(110, 10) : QPoint(20, 2))));
        QVERIFY(!IsRed(picture.pixel(turned ? QPoint(10, 150) : QPoint(150, 10))));
        const std::string orientation = turned ? "1" : "6";

        Exiv2::Image::AutoPtr copy = Opened(output);
        const Exiv2::ExifData& exif = copy->exifData();
        QCOMPARE(Tag(exif, "Exif.Image.Make"), std::string("Tellwick Optics"));
        QCOMPARE(Tag(exif, "Exif.GPSInfo.GPSLatitude"), std::string("48/1 51/1 2976/100"));
        QCOMPARE(Tag(exif, "Exif.Image.Orientation"), orientation);
        QCOMPARE(Tag(exif, "Exif.Photo.PixelXDimension"), std::to_string(picture.width()));
        QCOMPARE(Tag(exif, "Exif.Photo.PixelYDimension"), std::to_string(picture.height()));
        for (const Exiv2::Exifdatum& datum : exif) {
            QVERIFY2(datum.groupName() != "Thumbnail", datum.key().c_str());
        }
        for (const Exiv2::Xmpdatum& datum : copy->xmpData()) {
            QVERIFY2(datum.key().find("Thumbnails") == std::string::npos, datum.key().c_str());
        }
        QCOMPARE(Tag(copy->xmpData(), "Xmp.dc.creator"), std::string("Jo Photographer"));
        QCOMPARE(Tag(copy->xmpData(), "Xmp.tiff.Orientation"), orientation);
        const auto iptc = copy->iptcData().findKey(Exiv2::IptcKey("Iptc.Application2.Copyright"));
        QVERIFY(iptc != copy->iptcData().end());
        QCOMPARE(iptc->toString(), kCopyright.toStdString());
    }

    // A camera's damaged EXIF block costs the metadata, never the stamped copy.
    void damagedExifStillStamped_data() {
        QTest::addColumn<QByteArray>("tiff");
        QTest::newRow("entries beyond the block")
            << QByteArray("II*\0\x08\0\0\0\xFF\x7F\x0F\x01\x02\0", 14);
        QTest::newRow("unknown byte order") << QByteArray("XX*\0\x08\0\0\0\x01\0", 10);
        QTest::newRow("directory beyond the block") << QByteArray("MM\0*\x7F\xFF\xFF\xF0", 8);
        QTest::newRow("empty") << QByteArray();
    }
    void damagedExifStillStamped() {
        QFETCH(QByteArray, tiff);
        EngineFixture f;
        QImage picture = SidewaysPicture();
        picture.setColorSpace(QColorSpace::AdobeRgb);
        QByteArray jpeg = Encoded(picture, "jpeg");
        jpeg.insert(2, Segment('\xE1', QByteArray("Exif\0\0", 6) + tiff));
        const QString source = f.sources + "/damaged.jpg";
        WriteFile(source, jpeg);
        QCOMPARE(f.stamp(source), QStringList());
        const QImage copy(f.output + "/damaged.jpg");
        QCOMPARE(copy.size(), QSize(160, 120));
        QCOMPARE(copy.colorSpace().iccProfile(), AdobeRgbProfile());
    }

    // The metadata step leaves a file it cannot write into exactly as it was.
    void unwritableFileIsLeftAlone_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("gif") << QByteArray("GIF89a\x01\0\x01\0\0\0\0;", 14);
        QTest::newRow("truncated png") << QByteArray("\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0", 18);
        QTest::newRow("truncated jpeg") << QByteArray("\xFF\xD8\xFF\xE1\x40\x00Exif", 10);
        QTest::newRow("not a picture") << QByteArray("plain text");
    }
    void unwritableFileIsLeftAlone() {
        QFETCH(QByteArray, bytes);
        QTemporaryDir folder;
        const QString path = folder.filePath("copy");
        WriteFile(path, bytes);
        PhotoMetadata metadata;
        metadata.icc = AdobeRgbProfile();
        metadata.xmp = "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>";
        QVERIFY(!WritePhotoMetadata(path, metadata));
        QCOMPARE(ReadFile(path), bytes);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"copy"});
    }

    // A block too large for one JPEG marker is left out; the file stays a whole JPEG.
    void oversizedBlockIsLeftOut_data() {
        QTest::addColumn<int>("exifSize");
        QTest::addColumn<int>("xmpSize");
        QTest::newRow("exif") << 70000 << 0;
        QTest::newRow("xmp") << 0 << 70000;
    }
    void oversizedBlockIsLeftOut() {
        QFETCH(int, exifSize);
        QFETCH(int, xmpSize);
        QTemporaryDir folder;
        const QString path = folder.filePath("big.jpg");
        PhotoMetadata metadata;
        metadata.exif = QByteArray(exifSize, 'e');
        metadata.xmp = QByteArray(xmpSize, 'x');
        metadata.icc = AdobeRgbProfile();
        const QImage picture = SidewaysPicture();
        SaveJpeg(picture, path, 90, metadata);
        QImageReader reader(path);
        const QImage copy = reader.read();
        QCOMPARE(copy.size(), picture.size());
        QCOMPARE(copy.colorSpace().iccProfile(), AdobeRgbProfile());
        QVERIFY(ReadFile(path).size() < 20000);
    }
};

// No widget application: the engine stamps with a plain one.
int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    PhotoMetadataTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "photo_metadata_test.moc"
