// SPDX-License-Identifier: MIT
// A JPEG's blocks read into memory another picture's blocks held before: the same blocks
// as in fresh memory, whatever that memory held, and spares that stay within their bounds.
#include "imageio/jpeg_block_memory.h"
#include "imageio/jpeg_coefficients.h"
#include "imageio/jpeg_decoder.h"
#include "engine/jpeg_source.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Grain everywhere: nearly every coefficient of every block is set.
QImage Noise(QSize size, quint32 seed) {
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            row[x] = random.generate() | 0xFF000000u;
        }
    }
    return image;
}

// A soft gradient with one sharp line: most coefficients are zero.
QImage Smooth(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width(); ++x) {
            row[x] = qRgb(x * 255 / size.width(), y * 255 / size.height(),
                          x == size.width() / 3 ? 255 : 90);
        }
    }
    return image;
}

// Every block of every component, in order.
QByteArray AllBlocks(JpegCoefficients& blocks) {
    QByteArray all;
    for (int c = 0; c < 3; ++c) {
        const JpegCoefficients::Component& component = blocks.component(c);
        for (int row = 0; row < component.heightInBlocks; ++row) {
            const int16_t* line = blocks.BlockRow(c, row);
            if (line == nullptr) {
                return {};
            }
            all.append(reinterpret_cast<const char*>(line),
                       qsizetype(component.widthInBlocks) * 64 * qsizetype(sizeof(int16_t)));
        }
    }
    return all;
}

}  // namespace

Q_DECLARE_METATYPE(JpegSource)

class JpegBlockMemoryTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

    QByteArray Write(const QString& name, const QImage& image, const JpegSource& source) {
        const QString path = dir_.filePath(name);
        if (!WriteJpeg(path, image, source)) {
            return {};
        }
        return ReadAll(path);
    }

private slots:
    void cleanup() { JpegBlockArrays::DropSpares(); }

    // A picture whose blocks are mostly zero, read where a grainy picture's blocks were:
    // the decoder only writes the coefficients a file sets, so memory that is not cleared
    // again would show the grain through. Progressive files fill their blocks over
    // several scans, restart intervals reset the decoder part-way.
    void reusedMemoryHoldsOnlyThePicturesOwnBlocks_data() {
        QTest::addColumn<JpegSource>("source");
        QTest::newRow("4:2:0") << JpegSource{};
        QTest::newRow("4:4:4") << JpegSource{JpegKind::Colour, 1, 1};
        QTest::newRow("4:2:2 restarts") << JpegSource{JpegKind::Colour, 2, 1, 85, false, 2};
        QTest::newRow("progressive") << JpegSource{JpegKind::Colour, 2, 2, 92, true};
    }
    void reusedMemoryHoldsOnlyThePicturesOwnBlocks() {
        QFETCH(JpegSource, source);
        const QSize size(333, 201);
        const QByteArray grainy = Write(QStringLiteral("grain.jpg"), Noise(size, 7), source);
        const QByteArray smooth = Write(QStringLiteral("smooth.jpg"), Smooth(size), source);
        QVERIFY(!grainy.isEmpty() && !smooth.isEmpty());

        std::optional<JpegCoefficients> fresh = DecodeJpegCoefficients(smooth, 0);
        QVERIFY(fresh);
        const QByteArray expected = AllBlocks(*fresh);
        QVERIFY(!expected.isEmpty());
        fresh.reset();
        JpegBlockArrays::DropSpares();

        {
            std::optional<JpegCoefficients> dirty = DecodeJpegCoefficients(grainy, 0);
            QVERIFY(dirty);
        }
        QCOMPARE(JpegBlockArrays::SpareCount(), size_t(3));
        std::optional<JpegCoefficients> reused = DecodeJpegCoefficients(smooth, 0);
        QVERIFY(reused);
        QCOMPARE(JpegBlockArrays::SpareCount(), size_t(0));  // the grain's memory was taken
        QVERIFY(AllBlocks(*reused) == expected);
    }

    // Spares of another size are freed before a picture takes new memory, and never more
    // than the bounds are kept, however many pictures go at once.
    void sparesStayWithinTheirBounds() {
        const QByteArray small = Write(QStringLiteral("small.jpg"), Smooth(QSize(64, 48)), {});
        const QByteArray large = Write(QStringLiteral("large.jpg"), Smooth(QSize(640, 480)), {});
        QVERIFY(!small.isEmpty() && !large.isEmpty());

        std::vector<JpegCoefficients> held;
        for (int i = 0; i < 4; ++i) {
            std::optional<JpegCoefficients> blocks = DecodeJpegCoefficients(large, 0);
            QVERIFY(blocks);
            held.push_back(std::move(*blocks));
        }
        held.clear();
        QCOMPARE(JpegBlockArrays::SpareCount(), JpegBlockArrays::kMaxSpares);

        // A picture a tenth the size takes none of them and frees them all first.
        std::optional<JpegCoefficients> blocks = DecodeJpegCoefficients(small, 0);
        QVERIFY(blocks);
        QCOMPARE(JpegBlockArrays::SpareCount(), size_t(0));
        blocks.reset();
        QCOMPARE(JpegBlockArrays::SpareCount(), size_t(3));
        QVERIFY(JpegBlockArrays::SpareBytes() <= JpegBlockArrays::kMaxSpareBytes);
        JpegBlockArrays::DropSpares();
        QCOMPARE(JpegBlockArrays::SpareBytes(), size_t(0));
    }
};

QTEST_GUILESS_MAIN(JpegBlockMemoryTest)
#include "jpeg_block_memory_test.moc"
