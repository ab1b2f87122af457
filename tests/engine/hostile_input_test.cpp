// SPDX-License-Identifier: MIT
// The picture loader against damaged, hostile and special files; a hang fails by time-out.

#include "batch/gif_bytes.h"
#include "engine/picture_loader.h"
#include "support/jpeg_rows.h"
#include "support/raised.h"
#include "support/test_environment.h"
#include "support/test_images.h"
#include "engine/engine_start.h"

#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <jpeglib.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Flat areas and a few colours, so RLE and GIF data are small and exact.
QImage Poster(int width = 48, int height = 32) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.fillRect(0, 0, width, height, Qt::darkCyan);
    painter.fillRect(width / 4, height / 4, width / 2, height / 2, Qt::yellow);
    painter.fillRect(0, height - 4, width, 4, Qt::red);
    return image;
}

// A bottom-up RLE8 bitmap: Qt's 8-bit bitmap with its rows replaced by runs.
QByteArray Rle8Bitmap(const QImage& image) {
    const QImage indexed = image.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
    QByteArray bmp = Encoded(indexed, "bmp");
    bmp.truncate(qFromLittleEndian<quint32>(bmp.constData() + 10));
    for (int y = indexed.height() - 1; y >= 0; --y) {
        const uchar* row = indexed.constScanLine(y);
        for (int x = 0, run = 1; x < indexed.width(); x += run, run = 1) {
            while (x + run < indexed.width() && run < 255 && row[x + run] == row[x]) {
                ++run;
            }
            bmp.append(char(run)).append(char(row[x]));
        }
        bmp.append(QByteArray("\0\0", 2));
    }
    bmp.append(QByteArray("\0\1", 2));
    qToLittleEndian<quint16>(8, bmp.data() + 28);  // Qt may have chosen fewer bits
    qToLittleEndian<quint32>(1, bmp.data() + 30);  // RLE8
    qToLittleEndian<quint32>(quint32(bmp.size()) - qFromLittleEndian<quint32>(bmp.constData() + 10),
                             bmp.data() + 34);
    qToLittleEndian<quint32>(quint32(bmp.size()), bmp.data() + 2);
    return bmp;
}

// A progressive JPEG; with `manyScans` a valid file of 568 scans (one per coefficient).
QByteArray ProgressiveJpeg(const QImage& image, bool cmyk, bool manyScans) {
    JpegRecipe recipe{image.width(), image.height(), cmyk, -1, true, {}};
    if (manyScans) {
        recipe.scans.push_back({3, {0, 1, 2, 0}, 0, 0, 0, 0});
        for (int c = 0; c < 3; ++c) {
            for (int k = 1; k < 64; ++k) {
                recipe.scans.push_back({1, {c, 0, 0, 0}, k, k, 0, 2});
                recipe.scans.push_back({1, {c, 0, 0, 0}, k, k, 2, 1});
                recipe.scans.push_back({1, {c, 0, 0, 0}, k, k, 1, 0});
            }
        }
    }
    // CMYK takes red, green and blue as its first three inks and a full fourth.
    const QImage samples =
        image.convertToFormat(cmyk ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    const size_t rowBytes = size_t(image.width()) * (cmyk ? 4 : 3);
    return EncodeJpegRows(recipe, [&](int y, JSAMPLE* row) {
        std::memcpy(row, samples.constScanLine(y), rowBytes);
    });
}

// The JPEG with the size in its frame header replaced: a small file declaring a huge picture.
QByteArray WithJpegSize(QByteArray jpeg, int width, int height) {
    for (qsizetype at = 2; at + 9 < jpeg.size();) {
        const uchar marker = uchar(jpeg[at + 1]);
        if (marker >= 0xC0 && marker <= 0xC2) {
            qToBigEndian<quint16>(quint16(height), jpeg.data() + at + 5);
            qToBigEndian<quint16>(quint16(width), jpeg.data() + at + 7);
            return jpeg;
        }
        at += 2 + qFromBigEndian<quint16>(jpeg.constData() + at + 2);
    }
    return jpeg;
}

QByteArray ReferencingSvg(const QString& photo) {
    return QStringLiteral(
               "<svg xmlns=\"http://www.w3.org/2000/svg\" "
               "xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"64\" height=\"48\">"
               "<image xlink:href=\"file://%1\" width=\"64\" height=\"48\"/></svg>")
        .arg(photo)
        .toUtf8();
}

long PeakResidentMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// The process's resident peak (VmHWM) after a reset to what it holds now; -1 when the
// kernel offers no reset.
bool ResetPeakResident() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}
long PeakResidentSinceResetMb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) {
            return line.mid(6).trimmed().split(' ').first().toLong() / 1024;
        }
    }
    return -1;
}

void ExpectFailure(const QString& path, int number, const QString& reason) {
    const VbError e = Raised([&] { LoadPicture(path); });
    QCOMPARE(e.number(), number);
    QVERIFY2(e.description().contains(QLatin1Char('"') + path + QLatin1Char('"')),
             qPrintable(e.description()));
    QVERIFY2(e.description().contains(reason), qPrintable(e.description()));
}

}  // namespace

class HostileInputTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    // The limit the program runs with.
    void initTestCase() { StartEngine(); }

    // Each readable format cut at several lengths, and headers promising more than the file.
    void damagedFilesAreReported_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents");
        const QImage photo = NoisyImage(96, 64);
        const QByteArray whole[][2] = {
            {"a.jpg", Encoded(photo, "jpeg")},
            {"progressive.jpg", ProgressiveJpeg(photo, false, false)},
            {"a.bmp", Encoded(photo, "bmp")},
            {"palette.bmp", Encoded(Poster().convertToFormat(QImage::Format_Indexed8), "bmp")},
            {"rle.bmp", Rle8Bitmap(Poster())},
            {"a.gif", GifBytes(Poster())},
            {"interlaced.gif", GifBytes(Poster(), false, true)},
            {"a.ico", Encoded(Poster(), "ico")},
        };
        for (const auto& [name, bytes] : whole) {
            for (const int percent : {30, 60, 90}) {
                QTest::addRow("%s cut at %d%%", name.constData(), percent)
                    << QString::fromLatin1(name) << bytes.left(bytes.size() * percent / 100);
            }
            QTest::addRow("%s without its last byte", name.constData())
                << QString::fromLatin1(name) << bytes.left(bytes.size() - 1);
        }
        QByteArray tallBmp = Encoded(photo, "bmp");
        qToLittleEndian<qint32>(photo.height() * 2, tallBmp.data() + 22);
        QTest::newRow("bmp declaring twice its rows") << "tall.bmp" << tallBmp;
        QByteArray longRle = Rle8Bitmap(Poster());
        longRle.insert(longRle.size() - 2, QByteArray("\0\0\0\0\0\0", 6));
        QTest::newRow("rle rows past the height") << "long.bmp" << longRle;
        QByteArray icon = Encoded(Poster(), "ico");
        qToLittleEndian<quint32>(quint32(icon.size()), icon.data() + 6 + 8);
        QTest::newRow("icon entry past the end") << "a.ico" << icon;
        QTest::newRow("gif bomb") << "bomb.gif" << GifBomb();
        QTest::newRow("jpeg of 568 scans")
            << "scans.jpg" << ProgressiveJpeg(Poster(16, 16), false, true);
    }
    void damagedFilesAreReported() {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        const QString path = WriteFile(dir_.filePath(name), contents);
        ExpectFailure(path, vberr::kInvalidPicture, QStringLiteral("damaged or truncated"));
    }

    // The same files whole load, with their pixels.
    void wholeFilesLoad_data() {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QImage>("expected");
        const QImage poster = Poster();
        QImage framed(64, 40, QImage::Format_RGB32);
        framed.fill(Qt::white);
        QPainter(&framed).drawImage(0, 0, poster);
        QImage holed = poster;
        holed.setPixel(0, 0, qRgb(0, 0, 0));
        QImage holedWhite = holed;
        holedWhite.setPixel(0, 0, qRgb(255, 255, 255));
        QTest::newRow("rle bitmap") << Rle8Bitmap(poster) << poster;
        QTest::newRow("gif") << GifBytes(poster) << poster;
        QTest::newRow("interlaced gif") << GifBytes(poster, false, true) << poster;
        QTest::newRow("gif frame smaller than its screen: white around")
            << GifBytes(poster, false, false, framed.size()) << framed;
        // GifBytes gives black palette entry 0 when it is the first colour met.
        QTest::newRow("transparent gif pixels: white") << GifBytes(holed, true) << holedWhite;
        QTest::newRow("icon") << Encoded(poster, "ico") << poster;
        QTest::newRow("cursor") << Encoded(poster, "cur") << poster;
    }
    void wholeFilesLoad() {
        QFETCH(QByteArray, contents);
        QFETCH(QImage, expected);
        const QString path = WriteFile(dir_.filePath(QStringLiteral("whole")), contents);
        const QImage image = LoadPicture(path);
        QCOMPARE(image.format(), QImage::Format_RGB32);
        QCOMPARE(image, expected.convertToFormat(QImage::Format_RGB32));
    }

    // Whatever the name, only JPEG, bitmaps, GIF and icons are read.
    void otherFormatsFail_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("reason");
        const QImage poster = Poster();
        const QString photo = WriteFile(dir_.filePath(QStringLiteral("private.jpg")),
                                        Encoded(NoisyImage(64, 48), "jpeg"));
        const QString format = QStringLiteral("format that can be read");
        QTest::newRow("svg fetching another photo") << "ref.gif" << ReferencingSvg(photo) << format;
        QTest::newRow("png named .bmp") << "a.bmp" << Encoded(poster, "png") << format;
        QTest::newRow("tiff named .jpg") << "a.jpg" << Encoded(poster, "tiff") << format;
        QTest::newRow("webp named .jpg") << "a.jpg" << Encoded(poster, "webp") << format;
        QTest::newRow("png text bomb named .jpg")
            << "bomb.jpg"
            << Encoded(QImage(1, 1, QImage::Format_RGB32), "png").left(33) +
                   QByteArray("\x7F\xFF\xFF\xF0tEXtComment", 15) + QByteArray(25, 'x')
            << format;
        QTest::newRow("placeable metafile")
            << "a.wmf" << QByteArray("\xD7\xCD\xC6\x9A").append(40, '\0') << "metafile";
    }
    void otherFormatsFail() {
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        QVERIFY(!contents.isEmpty());
        const QString path = WriteFile(dir_.filePath(name), contents);
        ExpectFailure(path, vberr::kInvalidPicture, reason);
    }

    // Memory: a decoder may not take more than the picture limit for its own buffers.
    void bombsStayWithinMemory_data() {
        QTest::addColumn<QByteArray>("contents");
        const QByteArray cmyk =
            WithJpegSize(ProgressiveJpeg(Poster(16, 16), true, false), 16000, 16000);
        QVERIFY(cmyk.size() < 2000);
        QTest::newRow("progressive cmyk jpeg declaring 16000 x 16000") << cmyk;
        QTest::newRow("jpeg declaring 16000 x 16000")
            << WithJpegSize(Encoded(NoisyImage(96, 64), "jpeg"), 16000, 16000);
        QTest::newRow("gif declaring 16000 x 16000") << GifBomb();
    }
    void bombsStayWithinMemory() {
        QFETCH(QByteArray, contents);
        const QString path = WriteFile(dir_.filePath(QStringLiteral("bomb")), contents);
        const VbError e = Raised([&] { LoadPicture(path); });
        QVERIFY2(e.number() == vberr::kOutOfMemory || e.number() == vberr::kInvalidPicture,
                 qPrintable(e.description()));
        QVERIFY2(PeakResidentMb() < 1200, qPrintable(QString::number(PeakResidentMb())));
    }

    // Sizes no file could hold are refused as too large before any row is looked for, and
    // their arithmetic never wraps (a wrapped product would pass the limit, or trip the
    // undefined-behaviour sanitizer).
    void hugeDeclaredSizesAreTooLarge_data() {
        QTest::addColumn<QByteArray>("contents");
        const QByteArray bmp = Encoded(Poster(), "bmp");
        const auto withSize = [](QByteArray bytes, qint32 width, qint32 height) {
            qToLittleEndian<qint32>(width, bytes.data() + 18);
            qToLittleEndian<qint32>(height, bytes.data() + 22);
            return bytes;
        };
        QTest::newRow("bmp 2^31-1 wide, 2^31 rows top down")
            << withSize(bmp, 0x7FFFFFFF, qint32(0x80000000u));
        QTest::newRow("bmp 2^31-1 square") << withSize(bmp, 0x7FFFFFFF, 0x7FFFFFFF);
        QTest::newRow("bmp 20000 square, a few rows held") << withSize(bmp, 20000, 20000);
        QByteArray core = bmp.left(26) + bmp.mid(54);  // a 12-byte header
        qToLittleEndian<quint32>(12, core.data() + 14);
        qToLittleEndian<quint16>(0xFFFF, core.data() + 18);
        qToLittleEndian<quint16>(0xFFFF, core.data() + 20);
        qToLittleEndian<quint16>(1, core.data() + 22);
        qToLittleEndian<quint16>(24, core.data() + 24);
        qToLittleEndian<quint32>(26, core.data() + 10);
        QTest::newRow("os/2 bmp 65535 square") << core;
    }
    void hugeDeclaredSizesAreTooLarge() {
        QFETCH(QByteArray, contents);
        const QString path = WriteFile(dir_.filePath(QStringLiteral("huge.bmp")), contents);
        ExpectFailure(path, vberr::kOutOfMemory, QStringLiteral("too large"));
    }

    // A large file whose header declares a picture beyond the limit is refused for the cost
    // of its head: the rest of the file is never read.
    void largeFilesRefusedByTheirHeader_data() {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("reason");
        QTest::newRow("jpeg declaring 60000 x 60000")
            << WithJpegSize(Encoded(NoisyImage(96, 64), "jpeg"), 60000, 60000)
            << QStringLiteral("too large (60000 x 60000 pixels;");
        QByteArray bmp = Encoded(Poster(), "bmp");
        qToLittleEndian<qint32>(20000, bmp.data() + 18);
        qToLittleEndian<qint32>(20000, bmp.data() + 22);
        QTest::newRow("bmp declaring 20000 x 20000")
            << bmp << QStringLiteral("too large (20000 x 20000 pixels;");
    }
    void largeFilesRefusedByTheirHeader() {
        QFETCH(QByteArray, head);
        QFETCH(QString, reason);
        // 400 MB, most of it a hole: the file is within the 1024 MB file limit.
        const QString path = WriteFile(dir_.filePath(QStringLiteral("large")), head);
        QVERIFY(::truncate(QFile::encodeName(path).constData(), 400 << 20) == 0);
        if (!ResetPeakResident()) {
            QSKIP("the kernel cannot reset the resident peak");
        }
        const long before = PeakResidentSinceResetMb();
        ExpectFailure(path, vberr::kOutOfMemory, reason);
        const long taken = PeakResidentSinceResetMb() - before;
        QVERIFY2(taken < 64, qPrintable(QString("%1 MB").arg(taken)));
    }

    // A load held to a byte budget counts a progressive file's coefficient buffers, not only
    // its pixels: CMYK keeps twice the picture's size in coefficients.
    void budgetCountsTheDecodersBuffers_data() {
        QTest::addColumn<bool>("cmyk");
        QTest::addColumn<qint64>("extraBytes");  // beyond file and pixels
        QTest::addColumn<bool>("loads");
        // 512 x 512: 64 x 64 blocks of 128 bytes per full-size component (RGB is coded 4:2:0,
        // so it needs less than three of them).
        const qint64 coefficientsRgb = 3 * 64 * 64 * 128;
        const qint64 coefficientsCmyk = 4 * 64 * 64 * 128;
        QTest::newRow("rgb, room for pixels only") << false << qint64(0) << false;
        QTest::newRow("rgb, room for its coefficients")
            << false << coefficientsRgb + (1 << 20) << true;
        QTest::newRow("cmyk, room for rgb's coefficients")
            << true << coefficientsRgb << false;
        QTest::newRow("cmyk, room for its coefficients")
            << true << coefficientsCmyk + (1 << 20) << true;
    }
    void budgetCountsTheDecodersBuffers() {
        QFETCH(bool, cmyk);
        QFETCH(qint64, extraBytes);
        QFETCH(bool, loads);
        const QByteArray jpeg = ProgressiveJpeg(NoisyImage(512, 512), cmyk, false);
        const QString path = WriteFile(dir_.filePath(QStringLiteral("budget.jpg")), jpeg);
        const qint64 budget = jpeg.size() + 512 * 512 * 4 + extraBytes;
        if (loads) {
            QCOMPARE(LoadPicture(path, budget).size(), QSize(512, 512));
        } else {
            const VbError e = Raised([&] { LoadPicture(path, budget); });
            QCOMPARE(e.number(), vberr::kOutOfMemory);
        }
    }

    // A FIFO would block a reader for ever: it is never opened, whatever its name.
    void fifosAreRefused_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"x.jpg", "x.gif", "x.bmp", "x.ico", "x.png", "x.tif"}) {
            QTest::newRow(name) << QString::fromLatin1(name);
        }
    }
    void fifosAreRefused() {
        QFETCH(QString, name);
        const QString path = dir_.filePath(QStringLiteral("fifo-") + name);
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        ExpectFailure(path, vberr::kPathFileAccess, QStringLiteral("not a regular file"));
    }

    // Workers load pictures at the same time; each gets its own picture.
    void loadsFromSeveralThreads() {
        const QString paths[] = {
            WriteFile(dir_.filePath(QStringLiteral("t.jpg")), Encoded(NoisyImage(64, 48), "jpeg")),
            WriteFile(dir_.filePath(QStringLiteral("t.gif")), GifBytes(Poster())),
            WriteFile(dir_.filePath(QStringLiteral("t.bmp")), Rle8Bitmap(Poster()))};
        const QImage expected[] = {LoadPicture(paths[0]), LoadPicture(paths[1]),
                                   LoadPicture(paths[2])};
        std::atomic<int> wrong{0};
        {
            std::vector<std::jthread> workers;
            for (int t = 0; t < 4; ++t) {
                workers.emplace_back([&, t] {
                    for (int i = 0; i < 30; ++i) {
                        wrong += LoadPicture(paths[(t + i) % 3]) != expected[(t + i) % 3];
                    }
                });
            }
        }
        QCOMPARE(wrong.load(), 0);
    }
};

QTEST_GUILESS_MAIN(HostileInputTest)
#include "hostile_input_test.moc"
