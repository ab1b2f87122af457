// SPDX-License-Identifier: MIT
// Sources of today's formats made by their reference tools, stamped through the window's
// "Start Stamping" and read back by the reference decoders and exiftool.
#include "batch/run_fixture.h"
#include "core/ink.h"
#include "engine/engine_start.h"
#include "imageio/heif_decoder.h"
#include "engine/modern_writers.h"
#include "engine/reference_tools.h"
#include "engine/run_while_yielding.h"
#include "support/photo_image.h"
#include "support/raised.h"
#include "support/test_images.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>

#include <exiv2/exiv2.hpp>

namespace {

constexpr QRgb kStampRed = qRgb(255, 0, 0);

// A photo dimmed so the red stamp stands out of it.
QImage DarkPhoto(int width, int height) {
    QImage image = PhotoLike(width, height);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = qRgb(qRed(line[x]) / 3, qGreen(line[x]) / 3, qBlue(line[x]) / 3);
        }
    }
    return image;
}

// What a camera's JPEG carries: EXIF with a thumbnail, XMP and an Adobe RGB profile.
void WriteCameraJpeg(const QString& path, const QImage& picture) {
    QVERIFY(picture.save(path, "JPEG", 95));
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    exif["Exif.Image.Make"] = "Tellwick Optics";
    exif["Exif.Photo.DateTimeOriginal"] = "2026:12:06 15:04:05";
    const QByteArray thumbnail = Encoded(picture.scaled(32, 24), "jpeg");
    Exiv2::ExifThumb(exif).setJpegThumbnail(
        reinterpret_cast<const Exiv2::byte*>(thumbnail.constData()), long(thumbnail.size()));
    image->xmpData()["Xmp.dc.creator"] = "Jo Photographer";
    const QByteArray icc = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
    Exiv2::DataBuf profile(reinterpret_cast<const Exiv2::byte*>(icc.constData()), long(icc.size()));
    image->setIccProfile(profile);
    image->writeMetadata();
}

// The tags exiftool reads from a file, by name.
QJsonObject ExifTool(const QString& path) {
    QByteArray json;
    if (!RunTool("exiftool",
                 {"-j", "-G0", "-Make", "-Creator", "-Orientation", "-ThumbnailImage",
                  "-ProfileDescription", "-DateTimeOriginal", path},
                 &json)) {
        return {};
    }
    return QJsonDocument::fromJson(json).array().first().toObject();
}

// The bounding box of the pixels where the copy turned red against the source.
QRect RedInk(const QImage& copy, const QImage& source) {
    QImage before = source;
    QImage after = copy;
    for (int y = 0; y < after.height(); ++y) {
        for (int x = 0; x < after.width(); ++x) {
            const QRgb p = after.pixel(x, y);
            const bool red = qRed(p) - qRed(before.pixel(x, y)) > 80 && qRed(p) > 150 &&
                             qGreen(p) < 110 && qBlue(p) < 110;
            after.setPixel(x, y, red ? kStampRed : 0);
            before.setPixel(x, y, 0);
        }
    }
    return InkBox(after, before);
}

}  // namespace

class ModernFormatsRunTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { StartEngine(); }

    void copiesKeepFormatStampAndMetadata_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("arguments");  // %1: the camera JPEG, %2: the source
        QTest::addColumn<int>("magicAt");
        QTest::addColumn<QByteArray>("magic");
        QTest::addColumn<QByteArray>("coding");   // a chunk the copy must hold
        QTest::addColumn<double>("minimumPsnr");  // of the picture outside the stamp
        QTest::addColumn<bool>("exiftoolReadsProfile");
        QTest::newRow("heic") << "phone.heic"
                              << "heif-enc" << QStringList{"-q", "90", "%1", "-o", "%2"} << 4
                              << QByteArray("ftypheic") << QByteArray("hvcC") << 30.0 << true;
        QTest::newRow("avif") << "web.AVIF"
                              << "heif-enc" << QStringList{"-A", "-q", "90", "%1", "-o", "%2"} << 4
                              << QByteArray("ftypavif") << QByteArray("av1C") << 30.0 << true;
        QTest::newRow("webp lossy")
            << "web.webp"
            << "cwebp" << QStringList{"-quiet", "-q", "90", "-metadata", "all", "%1", "-o", "%2"}
            << 8 << QByteArray("WEBPVP8X") << QByteArray("VP8 ") << 30.0 << true;
        QTest::newRow("webp lossless")
            << "drawing.webp"
            << "cwebp" << QStringList{"-quiet", "-lossless", "-metadata", "all", "%1", "-o", "%2"}
            << 8 << QByteArray("WEBPVP8X") << QByteArray("VP8L") << 99.0 << true;
        QTest::newRow("jxl") << "camera.jxl"
                             << "cjxl" << QStringList{"%1", "%2"} << 0
                             << QByteArray("\0\0\0\x0CJXL ", 8) << QByteArray("Exif") << 30.0
                             << false;
    }
    void copiesKeepFormatStampAndMetadata() {
        QFETCH(QString, name);
        QFETCH(QString, tool);
        QFETCH(QStringList, arguments);
        QFETCH(int, magicAt);
        QFETCH(QByteArray, magic);
        QFETCH(QByteArray, coding);
        QFETCH(double, minimumPsnr);
        QFETCH(bool, exiftoolReadsProfile);
        const QString decoder = tool == "cwebp"  ? "dwebp"
                                : tool == "cjxl" ? "djxl"
                                                 : "heif-convert";
        if (!HaveTools({tool, decoder, "exiftool", "jxlinfo"})) {
            QSKIP("the format's reference tools or exiftool are not installed");
        }
        RunFixture f;
        const QString camera = f.t.root() + "/camera.jpg";
        WriteCameraJpeg(camera, DarkPhoto(320, 240));
        const QString source = f.sources + "/" + name;
        arguments.replaceInStrings("%1", camera).replaceInStrings("%2", source);
        QVERIFY(RunTool(tool, arguments));
        const QImage before = ReferenceDecode(source);
        QCOMPARE(before.size(), QSize(320, 240));

        f.form.Text4->SetForeColor(0x0000FF);
        f.form.Combo2->setCurrentText("Upper-left");
        f.form.Slider1->setValue(90);
        f.form.ListView1->Add(source);
        f.form.PushButton2->click();
        QCOMPARE(f.dialogs.errors(), QStringList());
        QCOMPARE(f.dialogs.messages(), QStringList{"Done."});

        const QString output = f.output + "/" + name;
        QFile written(output);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray bytes = written.readAll();
        QCOMPARE(bytes.mid(magicAt, magic.size()), magic);
        QVERIFY(bytes.contains(coding));
        const QImage after = ReferenceDecode(output);
        QCOMPARE(after.size(), before.size());

        // The red stamp stands in the upper-left corner, and nothing else changed beyond
        // the format's own noise.
        const QRect ink = RedInk(after, before);
        QVERIFY2(!ink.isNull(), "no red stamp in the copy");
        QVERIFY2(ink.right() < 160 && ink.bottom() < 80, qPrintable(QString("ink at %1,%2 %3x%4")
                                                                        .arg(ink.x())
                                                                        .arg(ink.y())
                                                                        .arg(ink.width())
                                                                        .arg(ink.height())));
        const QRect rest(0, 100, 320, 140);
        QVERIFY2(Psnr(after.copy(rest), before.copy(rest)) >= minimumPsnr,
                 qPrintable(QString::number(Psnr(after.copy(rest), before.copy(rest)))));

        const QJsonObject tags = ExifTool(output);
        QCOMPARE(tags.value("EXIF:Make").toString(), QString("Tellwick Optics"));
        QCOMPARE(tags.value("EXIF:DateTimeOriginal").toString(), QString("2026:12:06 15:04:05"));
        QCOMPARE(tags.value("XMP:Creator").toString(), QString("Jo Photographer"));
        QVERIFY2(!tags.contains("EXIF:ThumbnailImage"), "the source's thumbnail was kept");
        if (tags.contains("EXIF:Orientation")) {
            QCOMPARE(tags.value("EXIF:Orientation").toString(), QString("Horizontal (normal)"));
        }
        if (exiftoolReadsProfile) {
            QVERIFY2(tags.value("ICC_Profile:ProfileDescription").toString().contains("Adobe"),
                     qPrintable(QJsonDocument(tags).toJson()));
        } else {
            // The profile lives in the codestream, where exiftool does not look.
            QByteArray info;
            QVERIFY(RunTool("jxlinfo", {output}, &info));
            const QByteArray adobe = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
            QVERIFY2(info.contains("Color space: " + QByteArray::number(adobe.size()) +
                                   "-byte ICC profile"),
                     info.constData());
        }
    }

    // A name and a content that disagree are reported, and nothing is written.
    void mismatchedNameAndContent_data() {
        QTest::addColumn<QString>("made");
        QTest::addColumn<QString>("named");
        QTest::newRow("HEIC named .jpg") << "x.heic"
                                         << "x.jpg";
        QTest::newRow("JPEG named .webp") << "x.jpg"
                                          << "x.webp";
        QTest::newRow("AVIF named .heic") << "x.avif"
                                          << "x.heic";
        QTest::newRow("WebP named .jxl") << "x.webp"
                                         << "x.jxl";
    }
    void mismatchedNameAndContent() {
        QFETCH(QString, made);
        QFETCH(QString, named);
        if (!HaveTools({"heif-enc", "cwebp"})) {
            QSKIP("heif-enc or cwebp is not installed");
        }
        RunFixture f;
        const QString jpeg = f.t.root() + "/x.jpg";
        QVERIFY(DarkPhoto(64, 48).save(jpeg, "JPEG"));
        const QString made_path = f.t.root() + "/" + made;
        if (made.endsWith(".heic") || made.endsWith(".avif")) {
            QVERIFY(RunTool("heif-enc", {"-q", "50", jpeg, "-o", made_path}));
        } else if (made.endsWith(".webp")) {
            QVERIFY(RunTool("cwebp", {"-quiet", jpeg, "-o", made_path}));
        }
        const QString source = f.sources + "/" + named;
        QVERIFY(QFile::copy(made_path, source));
        f.form.ListView1->Add(source);
        f.form.PushButton2->click();
        QCOMPARE(f.dialogs.errors().size(), 1);
        QVERIFY2(f.dialogs.errors().first().contains("at line 160"),
                 qPrintable(f.dialogs.errors().first()));
        QVERIFY(!QFile::exists(f.output + "/" + named));
    }

    // A cut file is reported once, the run goes on with the next entry, and nothing
    // stands under the cut file's name.
    void cutFileIsReportedAndTheRunGoesOn() {
        if (!HaveTools({"cwebp"})) {
            QSKIP("cwebp is not installed");
        }
        RunFixture f;
        const QString jpeg = f.t.root() + "/x.jpg";
        QVERIFY(DarkPhoto(320, 240).save(jpeg, "JPEG"));
        const QString whole = f.sources + "/whole.webp";
        QVERIFY(RunTool("cwebp", {"-quiet", jpeg, "-o", whole}));
        QFile file(whole);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QFile cut(f.sources + "/cut.webp");
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(bytes.left(bytes.size() * 2 / 3));
        cut.close();
        f.form.ListView1->Add(cut.fileName());
        f.form.ListView1->Add(whole);
        f.form.PushButton2->click();
        QCOMPARE(f.dialogs.errors().size(), 1);
        QVERIFY2(f.dialogs.errors().first().contains("damaged or truncated"),
                 qPrintable(f.dialogs.errors().first()));
        QVERIFY(!QFile::exists(f.output + "/cut.webp"));
        QCOMPARE(ReferenceDecode(f.output + "/whole.webp").size(), QSize(320, 240));
        // No temporary result file stays behind either.
        QCOMPARE(QDir(f.output).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"whole.webp", "whole.webp.reference.png"}));
    }

    // The slider's quality becomes the distance cjxl gives its -q: the same picture at
    // the same quality and effort (6 for lossy copies, cjxl's default 7 for lossless ones)
    // makes the same coded frame.
    void jxlQualityMatchesTheReferenceEncoder_data() {
        QTest::addColumn<int>("quality");
        for (int quality : {100, 95, 85, 30, 29, 5}) {
            QTest::addRow("%d", quality) << quality;
        }
    }
    void jxlQualityMatchesTheReferenceEncoder() {
        QFETCH(int, quality);
        if (!HaveTools({"cjxl"})) {
            QSKIP("cjxl is not installed");
        }
        QTemporaryDir dir;
        const QImage picture = DarkPhoto(96, 64);
        QVERIFY(picture.save(dir.filePath("p.png"), "PNG"));
        QStringList arguments{dir.filePath("p.png"), dir.filePath("p.jxl"), "-q",
                              QString::number(quality)};
        if (quality < 100) {
            arguments << "-e" << "6";
        }
        QVERIFY(RunTool("cjxl", arguments));
        QFile reference(dir.filePath("p.jxl"));
        QVERIFY(reference.open(QIODevice::ReadOnly));
        QByteArray ours;
        QBuffer buffer(&ours);
        buffer.open(QIODevice::WriteOnly);
        WriteJxl(picture, quality, PictureFacts(), buffer);
        const QByteArray theirs = reference.readAll();
        // cjxl's header records a few more facts of its PNG; the coded frame, which
        // the distance decides, is the same to its last byte.
        const qsizetype frame = ours.size() - 16;
        QVERIFY(frame > 0 && qAbs(ours.size() - theirs.size()) <= 4);
        QCOMPARE(ours.right(frame).toHex(), theirs.right(frame).toHex());
    }

    // Colours named by code points rather than a profile keep their names in the copy.
    void heifCopyKeepsNamedColours() {
        if (!HaveTools({"exiftool"})) {
            QSKIP("exiftool is not installed");
        }
        PictureFacts facts;
        facts.av1 = true;
        facts.colourPrimaries = 12;          // Display P3
        facts.transferCharacteristics = 13;  // sRGB
        QTemporaryDir dir;
        QFile file(dir.filePath("p3.avif"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        WriteHeif(DarkPhoto(64, 48), 50, facts, file);
        file.close();
        QVERIFY(file.open(QIODevice::ReadOnly));
        const PictureFacts read = ReadHeifFacts(file.readAll());
        QCOMPARE(read.colourPrimaries, 12);
        QCOMPARE(read.transferCharacteristics, 13);
        QByteArray json;
        QVERIFY(RunTool("exiftool", {"-j", "-ColorPrimaries", file.fileName()}, &json));
        QVERIFY2(json.contains("SMPTE EG 432-1"), json.constData());
    }

    // The window's events are handled while an encode runs, and what the encode throws
    // reaches the run's error trap: a work that waits for an event would hang otherwise.
    void longEncodeLeavesTheWindowResponsive() {
        std::atomic<bool> eventHandled = false;
        QTimer::singleShot(0, [&] { eventHandled = true; });
        RunWhileYielding([&] {
            QDeadlineTimer deadline(20000);
            while (!eventHandled && !deadline.hasExpired()) {
                QThread::msleep(1);
            }
        }, [] { QCoreApplication::processEvents(); });
        QVERIFY(eventHandled);
        const VbError error =
            Raised([] { RunWhileYielding([] { Raise(vberr::kInvalidCall, "encoder failed"); }, [] {}); });
        QCOMPARE(error.number(), vberr::kInvalidCall);
    }
};

QTEST_MAIN(ModernFormatsRunTest)
#include "modern_formats_run_test.moc"
