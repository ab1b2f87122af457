// SPDX-License-Identifier: MIT
// HEIC and AVIF pictures stamped in their own planes against the same pictures stamped
// through RGB as a whole: the ink in the same place and colours, the rest of the picture at
// least as close to the source, and the pictures the planes cannot hold read as before.
#include "engine/plane_stamp.h"
#include "engine_fixture.h"
#include "picture_compare.h"
#include "reference_tools.h"

#include "core/canvas.h"
#include "engine/collecting_dialogs.h"
#include "engine/engine_start.h"
#include "engine/photo_metadata.h"
#include "engine/picture_loader.h"
#include "engine/save_modern_picture.h"
#include "engine/stamp_drawing.h"

#include <QtTest>

namespace {

// A 4:4:4 source's copy is coded at 4:2:0 on both roads, by libheif from RGB or from the
// planes: the chroma both lose is the same, a rounding apart.
constexpr double kSameSubsampling = 0.01;

QString Box(const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

}  // namespace

class HeifPlaneStampTest : public QObject {
    Q_OBJECT

    EngineFixture f_;

    // Writes `picture` through a PNG with heif-enc and `options`; the file's path.
    QString made(const QString& name, const QImage& picture, const QStringList& options) {
        const QString png = f_.sources + "/" + name + ".png";
        const QString path = f_.sources + "/" + name;
        if (!picture.save(png) || !RunTool("heif-enc", options + QStringList{png, "-o", path})) {
            return {};
        }
        return path;
    }

private slots:
    void initTestCase() {
        StartEngine();
        if (!HaveTools({"heif-enc"})) {
            QSKIP("heif-enc is not installed");
        }
    }

    // The same picture stamped both ways and copied at the same quality: the ink where the
    // whole picture's road puts it, in its colours within what the chroma allows, and
    // outside the stamp's rectangle no further from the source than the RGB road's copy.
    void planesAgreeWithTheRgbRoad_data() {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QSize>("size");
        for (const QSize size : {QSize(333, 201), QSize(640, 480)}) {
            const QString dims = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
            QTest::addRow("HEIC 4:2:0 %s", qPrintable(dims)) << "heic" << QStringList() << size;
            QTest::addRow("HEIC 4:4:4 %s", qPrintable(dims))
                << "heic" << QStringList{"-p", "chroma=444"} << size;
            QTest::addRow("AVIF 4:2:0 %s", qPrintable(dims)) << "avif" << QStringList{"-A"} << size;
            QTest::addRow("AVIF 4:4:4 %s", qPrintable(dims))
                << "avif" << QStringList{"-A", "-p", "chroma=444"} << size;
        }
    }
    void planesAgreeWithTheRgbRoad() {
        QFETCH(QString, extension);
        QFETCH(QStringList, options);
        QFETCH(QSize, size);
        const QString source =
            made("source." + extension, Scene(size), options + QStringList{"-q", "90"});
        QVERIFY(!source.isEmpty());
        StampSettings stamp = f_.settings;
        stamp.text = QStringLiteral("Stamp 12:34\r\nsecond line");
        stamp.position = QStringLiteral("Lower-right");
        CollectingDialogs dialogs;
        const SourceMetadata metadata = ReadSourceMetadata(source);

        Canvas whole;
        ApplyStampFont(whole, stamp);
        const QImage plain = LoadPicture(source);
        whole.SetPicture(plain);
        DrawStamp(whole, stamp, dialogs);
        const QString rgbPath = f_.output + "/rgb." + extension;
        SaveModernPicture(whole.Image(), metadata, rgbPath, 85);

        const LoadedPicture loaded = LoadPictureOrPlanes(source, true);
        QVERIFY(loaded.heifPlanes.has_value());
        QCOMPARE(loaded.heifPlanes->View().Size(), size);
        Canvas tile;
        ApplyStampFont(tile, stamp);
        const QRect extent = StampExtent(tile, size, stamp);
        // Without a stamp, the planes' own conversion gives libheif's pixels, but where
        // libheif smooths 4:2:0 chroma across samples.
        if (loaded.heifPlanes->chromaAcross == 1) {
            const QImage own = PlanesToRgb(loaded.heifPlanes->View(), QRect(QPoint(), size));
            QVERIFY2(Psnr(own, plain, QRect(), false) > 45, "the planes' colours differ");
        }
        StampPlanes(loaded.heifPlanes->View(), tile, stamp, dialogs);
        const QString planesPath = f_.output + "/planes." + extension;
        SaveModernPlanes(*loaded.heifPlanes, metadata, planesPath, 85);
        QVERIFY(dialogs.failures().isEmpty());

        const QImage rgbCopy = LoadPicture(rgbPath);
        const QImage planesCopy = LoadPicture(planesPath);
        QCOMPARE(planesCopy.size(), size);
        const QImage ideal = whole.Image();
        QVERIFY(extent.contains(Ink(ideal, plain, 0)));
        // The ink in the same place, within a pixel of edge that crosses the threshold.
        const QRect ink = Ink(planesCopy, plain, 100);
        const QRect expected = Ink(rgbCopy, plain, 100);
        QVERIFY(!expected.isEmpty());
        QVERIFY2(
            ink.adjusted(-1, -1, 1, 1).contains(expected) &&
                expected.adjusted(-1, -1, 1, 1).contains(ink),
            qPrintable(QStringLiteral("ink at %1, expected at %2").arg(Box(ink), Box(expected))));
        // The stamp's colours as close to what was drawn as the RGB road's, less what the
        // tile's own chroma (not smoothed across samples) costs.
        const QRect drawn = Ink(ideal, plain, 0);
        const double planesStamp = Psnr(planesCopy, ideal, drawn, true);
        const double rgbStamp = Psnr(rgbCopy, ideal, drawn, true);
        QVERIFY2(planesStamp >= rgbStamp - 1.5,
                 qPrintable(QStringLiteral("%1 dB against %2 dB").arg(planesStamp).arg(rgbStamp)));
        const double planesOutside = Psnr(planesCopy, plain, extent, false);
        const double rgbOutside = Psnr(rgbCopy, plain, extent, false);
        qInfo("outside the stamp: planes %.2f dB, RGB %.2f dB", planesOutside, rgbOutside);
        QVERIFY2(
            planesOutside >= rgbOutside - kSameSubsampling,
            qPrintable(QStringLiteral("%1 dB against %2 dB").arg(planesOutside).arg(rgbOutside)));
        // The copy keeps the source's colour description.
        QCOMPARE(ReadSourceMetadata(planesPath).coding().colourPrimaries,
                 metadata.coding().colourPrimaries);
    }

    // What the planes cannot hold is read as a picture, exactly as before.
    void othersKeepThePictureRoad_data() {
        QTest::addColumn<QString>("source");
        QImage alpha = Scene(QSize(64, 48)).convertToFormat(QImage::Format_ARGB32);
        alpha.fill(qRgba(20, 80, 40, 128));
        QImage deep = Scene(QSize(64, 48)).convertToFormat(QImage::Format_RGBX64);
        QImage profiled = Scene(QSize(64, 48));
        profiled.setColorSpace(QColorSpace(QColorSpace::DisplayP3));
        QTest::newRow("alpha") << made("alpha.heic", alpha, {});
        QTest::newRow("10 bits") << made("deep.heic", deep, {"-b", "10"});
        QTest::newRow("ICC profile") << made("profiled.avif", profiled, {"-A"});
    }
    void othersKeepThePictureRoad() {
        QFETCH(QString, source);
        QVERIFY(!source.isEmpty());
        const LoadedPicture loaded = LoadPictureOrPlanes(source, true);
        QVERIFY(!loaded.HasPlanes());
        QCOMPARE(loaded.image, LoadPicture(source));
    }

    // The road of an entry copies from the planes, and its copy is the same file every time.
    void theRoadCopiesFromThePlanes() {
        const QString source = made("road.heic", Scene(QSize(48, 32)), {});
        QVERIFY(!source.isEmpty());
        const LoadedPicture loaded = LoadPictureOrPlanes(source, true);
        QVERIFY(loaded.heifPlanes);
        Canvas tile;
        ApplyStampFont(tile, f_.settings);
        CollectingDialogs dialogs;
        StampPlanes(loaded.heifPlanes->View(), tile, f_.settings, dialogs);
        const QString direct = f_.dir.path() + "/direct.heic";
        SaveModernPlanes(*loaded.heifPlanes, ReadSourceMetadata(source), direct,
                         f_.settings.quality);
        QFile directFile(direct);
        QVERIFY(directFile.open(QIODevice::ReadOnly));
        const QByteArray expected = directFile.readAll();
        for (int run = 0; run < 2; ++run) {
            QVERIFY(f_.stamp(source).isEmpty());
            QFile copy(f_.output + "/road.heic");
            QVERIFY(copy.open(QIODevice::ReadOnly));
            QCOMPARE(copy.readAll(), expected);
        }
    }
};

QTEST_MAIN(HeifPlaneStampTest)
#include "heif_plane_stamp_test.moc"
