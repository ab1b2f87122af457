// SPDX-License-Identifier: MIT
// A JPEG stamped in its own planes against the same JPEG stamped through RGB as a whole:
// the stamp's ink in the same place and colours, the rest of the picture at least as close
// to the source, and the files that cannot be held in planes read as before.
#include "engine/plane_stamp.h"
#include "engine_fixture.h"
#include "jpeg_source.h"
#include "picture_compare.h"

#include "core/canvas.h"
#include "engine/collecting_dialogs.h"
#include "engine/decode_ahead.h"
#include "engine/engine_start.h"
#include "engine/picture_loader.h"
#include "engine/save_jpeg.h"
#include "engine/stamp_drawing.h"
#include "imageio/jpeg_decoder.h"
#include "util/vb_error.h"

#include <QFile>
#include <QThread>
#include <QtTest>

#include <cmath>
#include <tuple>

namespace {

using Kind = JpegKind;

bool WriteJpeg(const QString& path, const QImage& image, Kind kind, int h, int v) {
    JpegSource source;
    source.kind = kind;
    source.h = h;
    source.v = v;
    return WriteJpeg(path, image, source);
}

}  // namespace

class PlaneStampTest : public QObject {
    Q_OBJECT

    EngineFixture f_;

    StampSettings settings(bool styled) const { return PlaneRoadStamp(f_.settings, styled); }

private slots:
    void initTestCase() { StartEngine(); }

    // The same picture stamped both ways: the ink where the whole picture's road puts it,
    // in its colours within what 4:2:0 chroma allows, and outside the stamp's rectangle no
    // further from the source than the RGB road's copy.
    void planesAgreeWithTheRgbRoad_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("v");
        QTest::addColumn<bool>("styled");
        const struct {
            const char* name;
            Kind kind;
            int h, v;
        } samplings[] = {{"4:4:4", Kind::Colour, 1, 1},
                         {"4:2:2", Kind::Colour, 2, 1},
                         {"4:2:0", Kind::Colour, 2, 2},
                         {"4:4:0", Kind::Colour, 1, 2},
                         {"grey", Kind::Grey, 1, 1}};
        for (const auto& s : samplings) {
            for (const QSize size : {QSize(1, 1), QSize(17, 9), QSize(333, 201), QSize(640, 480)}) {
                for (const bool styled : {false, true}) {
                    QTest::addRow("%s %dx%d%s", s.name, size.width(), size.height(),
                                  styled ? " styled" : "")
                        << size << int(s.kind) << s.h << s.v << styled;
                }
            }
        }
    }
    void planesAgreeWithTheRgbRoad() {
        QFETCH(QSize, size);
        QFETCH(int, kind);
        QFETCH(int, h);
        QFETCH(int, v);
        QFETCH(bool, styled);
        const QString source = f_.sources + "/source.jpg";
        QVERIFY(WriteJpeg(source, Scene(size), Kind(kind), h, v));
        const StampSettings stamp = settings(styled);
        CollectingDialogs dialogs;

        Canvas whole;
        ApplyStampFont(whole, stamp);
        const QImage plain = LoadPicture(source);
        whole.SetPicture(plain);
        DrawStamp(whole, stamp, dialogs);
        SaveJpeg(whole.Image(), f_.output + "/rgb.jpg", 85);

        LoadedPicture loaded = LoadPictureOrPlanes(source, true);
        QVERIFY(loaded.planes.has_value());
        Canvas tile;
        ApplyStampFont(tile, stamp);
        const QRect extent = StampExtent(tile, size, stamp);
        StampPlanes(*loaded.planes, tile, stamp, dialogs);
        SaveJpegPlanes(*loaded.planes, f_.output + "/planes.jpg", 85);
        QVERIFY(dialogs.failures().isEmpty());

        const QImage rgbCopy = LoadPicture(f_.output + "/rgb.jpg");
        const QImage planesCopy = LoadPicture(f_.output + "/planes.jpg");
        QCOMPARE(planesCopy.size(), size);
        // Every pixel the whole picture's drawing changed lies in the stamp's rectangle.
        const QImage ideal = whole.Image();
        const QRect drawn = Ink(ideal, plain, 0);
        QVERIFY(drawn.isEmpty() || extent.contains(drawn));
        // The ink in the same place, within a pixel of edge that crosses the threshold.
        const QRect ink = Ink(planesCopy, plain, 100);
        const QRect expected = Ink(rgbCopy, plain, 100);
        QVERIFY2(ink.isEmpty() == expected.isEmpty() &&
                     (ink.isEmpty() || (ink.adjusted(-1, -1, 1, 1).contains(expected) &&
                                        expected.adjusted(-1, -1, 1, 1).contains(ink))),
                 qPrintable(QStringLiteral("ink at %1,%2 %3x%4, expected at %5,%6 %7x%8")
                                .arg(ink.x())
                                .arg(ink.y())
                                .arg(ink.width())
                                .arg(ink.height())
                                .arg(expected.x())
                                .arg(expected.y())
                                .arg(expected.width())
                                .arg(expected.height())));
        // The stamp's colours as close to what was drawn as the RGB road's, less what the
        // tile's own chroma (not smoothed across samples) costs.
        if (!drawn.isEmpty()) {
            const double planesStamp = Psnr(planesCopy, ideal, drawn, true);
            const double rgbStamp = Psnr(rgbCopy, ideal, drawn, true);
            QVERIFY2(
                planesStamp >= rgbStamp - 1.5,
                qPrintable(QStringLiteral("%1 dB against %2 dB").arg(planesStamp).arg(rgbStamp)));
        }
        const double planesOutside = Psnr(planesCopy, plain, extent, false);
        const double rgbOutside = Psnr(rgbCopy, plain, extent, false);
        QVERIFY2(
            planesOutside >= rgbOutside,
            qPrintable(QStringLiteral("%1 dB against %2 dB").arg(planesOutside).arg(rgbOutside)));
    }

    // What the planes cannot hold is read as a picture, exactly as before, or refused
    // with the picture road's own error.
    void othersKeepThePictureRoad_data() {
        QTest::addColumn<QByteArray>("jpeg");
        QTest::addColumn<bool>("readable");
        const QString path = f_.sources + "/made.jpg";
        const auto made = [&](Kind kind, int h, int v) {
            QFile file(path);
            return WriteJpeg(path, Scene(QSize(64, 48)), kind, h, v) &&
                           file.open(QIODevice::ReadOnly)
                       ? file.readAll()
                       : QByteArray();
        };
        const QByteArray plain = made(Kind::Colour, 2, 2);
        // APP1 "Exif" with IFD0's one entry Orientation = 6, right after SOI.
        const QByteArray tiff = QByteArray::fromHex(
            "4d4d002a000000080001011200030000000100060000"
            "000000000000");
        const QByteArray exif = QByteArray("Exif\0\0", 6) + tiff;
        QByteArray app1 = QByteArray::fromHex("ffe1");
        app1.append(char((exif.size() + 2) >> 8)).append(char((exif.size() + 2) & 0xFF));
        QTest::newRow("CMYK") << made(Kind::Cmyk, 1, 1) << true;
        QTest::newRow("4:1:1") << made(Kind::Colour, 4, 1) << true;
        QTest::newRow("turned by EXIF") << plain.left(2) + app1 + exif + plain.mid(2) << true;
        QTest::newRow("cut short") << plain.left(plain.size() / 2) << false;
        QTest::newRow("garbled") << plain.left(plain.size() / 2) + QByteArray(600, '\x55') +
                                        plain.right(2)
                                 << false;
    }
    void othersKeepThePictureRoad() {
        QFETCH(QByteArray, jpeg);
        QFETCH(bool, readable);
        QVERIFY(!jpeg.isEmpty());
        QVERIFY(!DecodeJpegPlanes(jpeg, 0));
        QVERIFY(!DecodeJpegCoefficients(jpeg, 0));
        const QString path = f_.sources + "/other.jpg";
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(jpeg), jpeg.size());
        file.close();
        QString planesError;
        QString pictureError;
        LoadedPicture loaded;
        QImage picture;
        try {
            loaded = LoadPictureOrPlanes(path, true);
        } catch (const VbError& e) {
            planesError = e.description();
        }
        try {
            picture = LoadPicture(path);
        } catch (const VbError& e) {
            pictureError = e.description();
        }
        QCOMPARE(pictureError.isEmpty(), readable);
        QCOMPARE(planesError, pictureError);
        QVERIFY(!loaded.planes);
        QCOMPARE(loaded.image, picture);
    }

    // Decoding ahead for a run hands the stamping road what it would decode itself: a
    // colour JPEG's blocks, a greyscale one's planes.
    void decodedAheadInPlanes() {
        const QString source = f_.sources + "/ahead.jpg";
        const QString grey = f_.sources + "/ahead-grey.jpg";
        QVERIFY(WriteJpeg(source, Scene(QSize(48, 32)), Kind::Colour, 2, 1));
        QVERIFY(WriteJpeg(grey, Scene(QSize(48, 32)), Kind::Grey, 1, 1));
        // A file changed within a clock tick of its reading is never trusted.
        QThread::msleep(60);
        DecodeAhead decoder(1);
        decoder.Prefetch(QString(), {source, grey}, true);
        QTRY_COMPARE(decoder.Queued(), 0);
        std::optional<LoadedPicture> loaded = decoder.TakeLoaded(source);
        QVERIFY(loaded && loaded->coefficients && !loaded->planes);
        std::optional<JpegCoefficients> ownBlocks = LoadForCopy(source, true).coefficients;
        QVERIFY(ownBlocks);
        QCOMPARE(loaded->coefficients->Bytes(), ownBlocks->Bytes());
        for (int c = 0; c < 3; ++c) {
            const int count = ownBlocks->component(c).widthInBlocks * 64;
            for (int row = 0; row < ownBlocks->component(c).heightInBlocks; ++row) {
                const int16_t* a = loaded->coefficients->BlockRow(c, row);
                const int16_t* b = ownBlocks->BlockRow(c, row);
                QVERIFY(a && b && std::equal(a, a + count, b));
            }
        }

        decoder.Prefetch(QString(), {grey}, true);
        QTRY_COMPARE(decoder.Queued(), 0);
        loaded = decoder.TakeLoaded(grey);
        QVERIFY(loaded && loaded->planes && !loaded->coefficients);
        const std::optional<JpegPlanes> own = LoadForCopy(grey, true).planes;
        QVERIFY(own);
        QCOMPARE(loaded->planes->Bytes(), own->Bytes());
        for (size_t c = 0; c < 3; ++c) {
            const JpegPlane& a = loaded->planes->planes[c];
            const JpegPlane& b = own->planes[c];
            QVERIFY(std::equal(a.samples.get(), a.samples.get() + a.samplesAcross * a.rows,
                               b.samples.get()));
        }
    }

    // The copy's bytes depend on the source alone: the padding beyond the picture's edge
    // is never memory nobody wrote, so every program writes the same file.
    void copiesAreTheSameBytesEveryTime() {
        const QString source = f_.sources + "/odd.jpg";
        QVERIFY(WriteJpeg(source, Scene(QSize(37, 23)), Kind::Colour, 2, 2));
        // Beyond the picture, each plane repeats its last real column and row.
        const std::optional<JpegPlanes> planes = LoadPictureOrPlanes(source, true).planes;
        QVERIFY(planes);
        for (const auto& [c, across, down] : {std::tuple{0, 37, 23}, {1, 19, 12}, {2, 19, 12}}) {
            const JpegPlane& plane = planes->planes[size_t(c)];
            QCOMPARE(plane.samplesAcross, c == 0 ? 48 : 24);
            QCOMPARE(plane.rows, c == 0 ? 32 : 16);
            for (int y = 0; y < plane.rows; ++y) {
                for (int x = 0; x < plane.samplesAcross; ++x) {
                    if (x >= across || y >= down) {
                        QCOMPARE(plane.Row(y)[x],
                                 plane.Row(std::min(y, down - 1))[std::min(x, across - 1)]);
                    }
                }
            }
        }
        QByteArray first;
        for (int run = 0; run < 3; ++run) {
            QVERIFY(f_.stamp(source).isEmpty());
            QFile copy(f_.output + "/odd.jpg");
            QVERIFY(copy.open(QIODevice::ReadOnly));
            const QByteArray bytes = copy.readAll();
            if (run == 0) {
                first = bytes;
            }
            QCOMPARE(bytes, first);
        }
    }
};

QTEST_MAIN(PlaneStampTest)
#include "plane_stamp_test.moc"
