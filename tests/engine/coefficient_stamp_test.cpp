// SPDX-License-Identifier: MIT
// A JPEG copied from its own quantised blocks against the same JPEG copied from its planes:
// the stamp's ink in the same place and colours, the rest of the picture the source's own
// blocks (exactly so at the source's quality), and what the blocks cannot hold left to the
// planes or the picture road.
#include "engine/coefficient_stamp.h"
#include "engine_fixture.h"
#include "jpeg_source.h"
#include "picture_compare.h"

#include "core/canvas.h"
#include "engine/collecting_dialogs.h"
#include "engine/engine_start.h"
#include "engine/picture_loader.h"
#include "engine/plane_stamp.h"
#include "engine/save_jpeg.h"
#include "engine/stamp_drawing.h"
#include "imageio/jpeg_decoder.h"
#include "util/vb_error.h"

#include <QFile>
#include <QFileInfo>
#include <QtTest>


namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The blocks of a file, as libjpeg reads them.
std::optional<JpegCoefficients> BlocksOf(const QString& path) {
    return DecodeJpegCoefficients(ReadAll(path), 0);
}

}  // namespace

class CoefficientStampTest : public QObject {
    Q_OBJECT

    EngineFixture f_;

    StampSettings settings(bool styled) const { return PlaneRoadStamp(f_.settings, styled); }

private slots:
    void initTestCase() { StartEngine(); }

    // The same source copied from its blocks and from its planes, at a coarser, the same
    // and a finer quality: the ink where the planes road puts it and in its colours, and
    // outside the stamp's rectangle at least as close to the source.
    void blocksAgreeWithThePlanesRoad_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("v");
        QTest::addColumn<int>("sourceKind");
        QTest::addColumn<int>("quality");
        QTest::addColumn<bool>("styled");
        const struct {
            const char* name;
            int h, v;
        } samplings[] = {{"4:4:4", 1, 1}, {"4:2:2", 2, 1}, {"4:2:0", 2, 2}, {"4:4:0", 1, 2}};
        const char* kinds[] = {"baseline", "progressive", "restarts", "own Cr table"};
        for (const auto& s : samplings) {
            for (const QSize size : {QSize(1, 1), QSize(17, 9), QSize(333, 201)}) {
                for (int kind = 0; kind < 4; ++kind) {
                    for (const int quality : {50, 92, 100}) {
                        QTest::addRow("%s %dx%d %s at %d", s.name, size.width(), size.height(),
                                      kinds[kind], quality)
                            << size << s.h << s.v << kind << quality << (kind == 1);
                    }
                }
            }
        }
    }
    void blocksAgreeWithThePlanesRoad() {
        QFETCH(QSize, size);
        QFETCH(int, h);
        QFETCH(int, v);
        QFETCH(int, sourceKind);
        QFETCH(int, quality);
        QFETCH(bool, styled);
        JpegSource made;
        made.h = h;
        made.v = v;
        made.progressive = sourceKind == 1;
        made.restartRows = sourceKind == 2 ? 1 : 0;
        made.ownCrTable = sourceKind == 3;
        const QString source = f_.sources + "/source.jpg";
        QVERIFY(WriteJpeg(source, Scene(size), made));
        const StampSettings stamp = settings(styled);
        CollectingDialogs dialogs;
        const QImage plain = LoadPicture(source);

        LoadedPicture fromPlanes = LoadPictureOrPlanes(source, true);
        QVERIFY(fromPlanes.planes);
        Canvas planesCanvas;
        ApplyStampFont(planesCanvas, stamp);
        const QRect extent = StampExtent(planesCanvas, size, stamp);
        StampPlanes(*fromPlanes.planes, planesCanvas, stamp, dialogs);
        SaveJpegPlanes(*fromPlanes.planes, f_.output + "/planes.jpg", quality);

        LoadedPicture fromBlocks = LoadForCopy(source, true);
        QVERIFY(fromBlocks.coefficients && !fromBlocks.planes);
        Canvas blocksCanvas;
        ApplyStampFont(blocksCanvas, stamp);
        StampCoefficients(*fromBlocks.coefficients, blocksCanvas, stamp, dialogs);
        SaveJpegCoefficients(*fromBlocks.coefficients, f_.output + "/blocks.jpg", quality);
        QVERIFY(dialogs.failures().isEmpty());

        const QImage planesCopy = LoadPicture(f_.output + "/planes.jpg");
        const QImage blocksCopy = LoadPicture(f_.output + "/blocks.jpg");
        QCOMPARE(blocksCopy.size(), size);
        const QRect ink = Ink(blocksCopy, plain, 100);
        const QRect expected = Ink(planesCopy, plain, 100);
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
        if (!ink.isEmpty()) {
            // Both roads against the tile the planes road drew.
            const QImage drawn = planesCanvas.Image();
            const auto inTile = [&](const QImage& copy) {
                return copy.copy(WholeMcus(QSize(h * 8, v * 8), size, extent));
            };
            const double blocksStamp = Psnr(inTile(blocksCopy), drawn, QRect(), false);
            const double planesStamp = Psnr(inTile(planesCopy), drawn, QRect(), false);
            QVERIFY2(blocksStamp >= planesStamp - 0.5,
                     qPrintable(QStringLiteral("%1 dB against %2 dB")
                                    .arg(blocksStamp)
                                    .arg(planesStamp)));
        }
        Canvas whole;
        ApplyStampFont(whole, stamp);
        whole.SetPicture(plain);
        DrawStamp(whole, stamp, dialogs);
        SaveJpeg(whole.Image(), f_.output + "/rgb.jpg", quality);
        // Outside the MCUs the stamp reaches, the blocks are the source's own.
        const QRect reached = WholeMcus(QSize(h * 8, v * 8), size, extent);
        const double rgbOutside = Psnr(LoadPicture(f_.output + "/rgb.jpg"), plain, reached, false);
        const double blocksOutside = Psnr(blocksCopy, plain, reached, false);
        const double planesOutside = Psnr(planesCopy, plain, reached, false);
        // Requantised blocks keep what the source's clipped pixels drop, so at a coarser
        // quality they may measure a hair below re-encoded planes, never below the RGB road.
        QVERIFY2(blocksOutside >= rgbOutside && blocksOutside >= planesOutside - 0.1,
                 qPrintable(QStringLiteral("%1 dB against %2 dB (planes) and %3 dB (RGB)")
                                .arg(blocksOutside)
                                .arg(planesOutside)
                                .arg(rgbOutside)));
    }

    // Copied at the steps the source was written with, every block the stamp does not
    // cover is the source's own: a photo stamped again and again loses nothing outside it.
    void theSourceQualityKeepsEveryOtherBlock() {
        const QString source = f_.sources + "/keep.jpg";
        JpegSource made;
        made.quality = 85;
        QVERIFY(WriteJpeg(source, Scene(QSize(333, 201)), made));
        StampSettings stamp = settings(false);
        stamp.quality = 85;
        const StampSettings kept = f_.settings;
        f_.settings = stamp;
        const QStringList errors = f_.stamp(source);
        f_.settings = kept;
        QVERIFY2(errors.isEmpty(), qPrintable(errors.join(QLatin1Char('\n'))));
        std::optional<JpegCoefficients> was = BlocksOf(source);
        std::optional<JpegCoefficients> now = BlocksOf(f_.output + "/keep.jpg");
        QVERIFY(was && now);
        Canvas canvas;
        ApplyStampFont(canvas, stamp);
        const QRect area =
            WholeMcus(was->McuSize(), was->Size(), StampExtent(canvas, was->Size(), stamp));
        QVERIFY(!area.isEmpty());
        int changed = 0;
        for (int c = 0; c < 3; ++c) {
            QCOMPARE(now->Steps(c), was->Steps(c));
            const JpegCoefficients::Component& component = was->component(c);
            const int blockWidth = 8 * was->McuSize().width() / 8 / component.hSamp;
            const int blockHeight = 8 * was->McuSize().height() / 8 / component.vSamp;
            for (int row = 0; row < component.heightInBlocks; ++row) {
                const int16_t* a = was->BlockRow(c, row);
                const int16_t* b = now->BlockRow(c, row);
                QVERIFY(a && b);
                for (int column = 0; column < component.widthInBlocks; ++column) {
                    const QRect block(column * blockWidth, row * blockHeight, blockWidth,
                                      blockHeight);
                    const bool same = std::equal(a + column * 64, a + column * 64 + 64,
                                                 b + column * 64);
                    if (!block.intersects(area)) {
                        QVERIFY2(same, qPrintable(QStringLiteral("component %1 block %2,%3")
                                                      .arg(c)
                                                      .arg(column)
                                                      .arg(row)));
                    } else if (!same) {
                        ++changed;
                    }
                }
            }
        }
        QVERIFY(changed > 0);
    }

    // Blocks beyond what the budget holds are left for the planes, which take less; a
    // greyscale picture is always copied from its planes, with coloured chroma for the
    // stamp; what neither holds is read as a picture, failing with the picture road's error.
    void whatTheBlocksCannotHold() {
        const QString wide = f_.sources + "/wide.jpg";
        JpegSource full;
        full.h = 1;
        full.v = 1;
        QVERIFY(WriteJpeg(wide, Scene(QSize(640, 480)), full));
        const qint64 fileBytes = QFileInfo(wide).size();
        // 4:4:4 blocks take 6 bytes a pixel, planes 3.
        const qint64 between = fileBytes + 640 * 480 * 4;
        const LoadedPicture tight = LoadForCopy(wide, between, true);
        QVERIFY(!tight.coefficients && tight.planes);
        QVERIFY(LoadForCopy(wide, between + 640 * 480 * 3, true).coefficients);
        // A copy that is not a JPEG's (the name decides) is never held as blocks.
        QVERIFY(!LoadForCopy(wide, false).HasPlanes());

        const QString cut = f_.sources + "/cut.jpg";
        const QByteArray bytes = ReadAll(wide);
        QFile file(cut);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes.left(bytes.size() / 2));
        file.close();
        QVERIFY(!DecodeJpegCoefficients(ReadAll(cut), 0));
        QString blocksError;
        QString pictureError;
        try {
            LoadForCopy(cut, true);
        } catch (const VbError& e) {
            blocksError = e.description();
        }
        try {
            LoadPicture(cut);
        } catch (const VbError& e) {
            pictureError = e.description();
        }
        QVERIFY(!pictureError.isEmpty());
        QCOMPARE(blocksError, pictureError);
    }
};

QTEST_MAIN(CoefficientStampTest)
#include "coefficient_stamp_test.moc"
