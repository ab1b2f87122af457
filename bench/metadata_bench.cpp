// SPDX-License-Identifier: MIT
// Times the JPEG road (read the picture, write the copy at quality 85) on a camera-like
// JPEG with and without carrying its metadata, and prints the medians and their ratio.
// The metadata step of the PNG and TIFF roads (a rewrite of the converter's file) is
// timed on its own, on a PNG of the same picture.
//
// Usage: velloran_bench_metadata [--size WIDTHxHEIGHT] [--rounds N]   (default 4000x3000, 7)

#include "engine/engine_start.h"
#include "engine/photo_metadata.h"
#include "engine/picture_loader.h"
#include "engine/save_jpeg.h"

#include <QBuffer>
#include <QColorSpace>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QCoreApplication>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr quint8 kQuality = 85;

// Soft gradients and sensor-like noise, so the file is as large as a photo's.
QImage Photo(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    QLinearGradient sky(0, 0, size.width(), size.height());
    sky.setColorAt(0, QColor(70, 120, 200));
    sky.setColorAt(1, QColor(220, 180, 90));
    QPainter(&image).fillRect(image.rect(), sky);
    QRandomGenerator random(12);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            const int noise = int(random.bounded(17)) - 8;
            row[x] = qRgb(std::clamp(qRed(row[x]) + noise, 0, 255),
                          std::clamp(qGreen(row[x]) - noise, 0, 255),
                          std::clamp(qBlue(row[x]) + noise, 0, 255));
        }
    }
    return image;
}

// What a camera writes: some forty EXIF tags with a 160 x 120 thumbnail, XMP, IPTC and
// an Adobe RGB profile.
void AddCameraMetadata(const QString& path, const QImage& picture) {
    Exiv2::XmpParser::initialize();
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    exif["Exif.Image.Make"] = "Tellwick Optics";
    exif["Exif.Image.Model"] = "TW-1";
    exif["Exif.Image.Orientation"] = uint16_t(1);
    exif["Exif.Image.Software"] = "TW-1 firmware 1.02";
    exif["Exif.Image.DateTime"] = "2026:06:12 15:04:05";
    exif["Exif.Image.Artist"] = "Jo Photographer";
    exif["Exif.Image.Copyright"] = "(c) 2026 Jo Photographer";
    exif["Exif.Photo.DateTimeOriginal"] = "2026:06:12 15:04:05";
    exif["Exif.Photo.DateTimeDigitized"] = "2026:06:12 15:04:05";
    exif["Exif.Photo.ExposureTime"].setValue("1/250");
    exif["Exif.Photo.FNumber"].setValue("56/10");
    exif["Exif.Photo.ISOSpeedRatings"] = uint16_t(200);
    exif["Exif.Photo.FocalLength"].setValue("35/1");
    exif["Exif.Photo.LensModel"] = "TW 35mm F1.8";
    exif["Exif.Photo.PixelXDimension"] = uint32_t(picture.width());
    exif["Exif.Photo.PixelYDimension"] = uint32_t(picture.height());
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    exif["Exif.GPSInfo.GPSLatitude"].setValue("48/1 51/1 2976/100");
    exif["Exif.GPSInfo.GPSLongitudeRef"] = "E";
    exif["Exif.GPSInfo.GPSLongitude"].setValue("2/1 21/1 792/100");
    QByteArray thumbnail;
    QBuffer buffer(&thumbnail);
    buffer.open(QIODevice::WriteOnly);
    picture.scaled(160, 120).save(&buffer, "jpeg", 80);
    Exiv2::ExifThumb(exif).setJpegThumbnail(
        reinterpret_cast<const Exiv2::byte*>(thumbnail.constData()), long(thumbnail.size()));
    image->xmpData()["Xmp.dc.creator"] = "Jo Photographer";
    image->xmpData()["Xmp.xmp.CreateDate"] = "2026-06-12T15:04:05";
    image->xmpData()["Xmp.xmp.Rating"] = "4";
    image->iptcData()["Iptc.Application2.Copyright"] = "(c) 2026 Jo Photographer";
    image->iptcData()["Iptc.Application2.Keywords"] = "harbour";
    const QByteArray icc = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    Exiv2::DataBuf profile(reinterpret_cast<const Exiv2::byte*>(icc.constData()), long(icc.size()));
    image->setIccProfile(profile);
    image->writeMetadata();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double Milliseconds(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    StartEngine();
    QSize size(4000, 3000);
    int rounds = 7;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--size")) {
            const QStringList parts = args[i + 1].split(QLatin1Char('x'));
            size = QSize(parts.value(0).toInt(), parts.value(1).toInt());
        } else if (args[i] == QLatin1String("--rounds")) {
            rounds = std::max(1, args[i + 1].toInt());
        }
    }
    QTemporaryDir folder;
    const QString source = folder.filePath(QStringLiteral("camera.jpg"));
    const QImage photo = Photo(size);
    if (!photo.save(source, "jpeg", 92)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(source));
        return 1;
    }
    AddCameraMetadata(source, photo);

    const QString plainCopy = folder.filePath(QStringLiteral("plain.jpg"));
    const QString keptCopy = folder.filePath(QStringLiteral("kept.jpg"));
    const QString pngCopy = folder.filePath(QStringLiteral("copy.png"));
    if (!photo.save(pngCopy, "png")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(pngCopy));
        return 1;
    }
    std::vector<double> plain, kept, reading, pngMetadata;
    // Alternating the roads spreads any drift of the machine over both.
    for (int round = 0; round < rounds; ++round) {
        plain.push_back(Milliseconds([&] { SaveJpeg(LoadPicture(source), plainCopy, kQuality); }));
        kept.push_back(Milliseconds([&] {
            const QImage picture = LoadPicture(source);
            SaveJpeg(picture, keptCopy, kQuality, ReadPhotoMetadata(source, picture));
        }));
        reading.push_back(Milliseconds([&] { ReadPhotoMetadata(source, photo); }));
        pngMetadata.push_back(Milliseconds([&] { KeepPhotoMetadata(source, pngCopy, photo); }));
    }
    const double without = Median(plain);
    const double with = Median(kept);
    std::printf("picture %dx%d, %d rounds, medians\n", size.width(), size.height(), rounds);
    std::printf("jpeg road without metadata  %8.1f ms\n", without);
    std::printf("jpeg road with metadata     %8.1f ms\n", with);
    std::printf("ratio with / without        %8.3f\n", with / without);
    std::printf("reading the metadata alone  %8.2f ms (%.1f%% of the road)\n", Median(reading),
                100.0 * Median(reading) / without);
    std::printf("metadata step into a png    %8.1f ms (%.1f MB file)\n", Median(pngMetadata),
                double(QFileInfo(pngCopy).size()) / 1e6);
    return 0;
}
