// SPDX-License-Identifier: MIT
// Large files refused by what their heads declare, for the cost of the head (and, for a
// TIFF whose first directory lies at its end, of that directory) rather than of the file.
#include "imageio/whole_file.h"
#include "engine/engine_start.h"
#include "engine/picture_loader.h"
#include "engine/reference_tools.h"
#include "support/raised.h"
#include "support/test_environment.h"
#include "support/test_images.h"
#include "tools/converter_within.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <unistd.h>

namespace {

// The resident peak (VmHWM) is reset to what the process holds now.
bool ResetPeakResident() {
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}
long PeakResidentMb() {
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

// `head` at the start of a file of `size` bytes, `tail` at `tailAt`, and a hole between.
QString SparseFile(const QString& path, const QByteArray& head, qint64 size, qint64 tailAt = 0,
                   const QByteArray& tail = {}) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(head) != head.size() ||
        (!tail.isEmpty() && (!file.seek(tailAt) || file.write(tail) != tail.size())) ||
        !file.resize(size)) {
        return {};
    }
    return path;
}

// A small HEIF file made by heif-enc, its primary picture's ispe set to side x side.
QByteArray HeifDeclaring(const QString& folder, bool av1, quint32 side) {
    const QString png = folder + "/small.png";
    const QString path = folder + (av1 ? "/small.avif" : "/small.heic");
    QStringList arguments{"-q", "60", png, "-o", path};
    if (av1) {
        arguments.prepend("-A");
    }
    QFile file(path);
    if (!NoisyImage(96, 64).save(png, "PNG") || !RunTool("heif-enc", arguments) ||
        !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArray data = file.readAll();
    const qsizetype ispe = data.indexOf("ispe");
    qToBigEndian<quint32>(side, data.data() + ispe + 8);
    qToBigEndian<quint32>(side, data.data() + ispe + 12);
    return data;
}

// An icon file of one entry whose own header (a PNG's or a bitmap's) declares side x side.
QByteArray IconDeclaring(bool png, qint32 side) {
    QByteArray entry;
    if (png) {
        entry = Encoded(NoisyImage(16, 16), "png");
        qToBigEndian<quint32>(quint32(side), entry.data() + 16);
        qToBigEndian<quint32>(quint32(side), entry.data() + 20);
    } else {
        entry = QByteArray(40 + 64, '\0');
        qToLittleEndian<quint32>(40, entry.data());
        qToLittleEndian<qint32>(side, entry.data() + 4);
        qToLittleEndian<qint32>(2 * side, entry.data() + 8);  // colour rows and mask rows
        qToLittleEndian<quint16>(1, entry.data() + 12);
        qToLittleEndian<quint16>(32, entry.data() + 14);
    }
    QByteArray icon(6 + 16, '\0');
    qToLittleEndian<quint16>(1, icon.data() + 2);
    qToLittleEndian<quint16>(1, icon.data() + 4);
    qToLittleEndian<quint32>(quint32(entry.size()), icon.data() + 6 + 8);
    qToLittleEndian<quint32>(6 + 16, icon.data() + 6 + 12);
    return icon + entry;
}

// A TIFF directory of a grey side x side picture in one strip at 16; classic or BigTIFF.
QByteArray TiffDirectory(bool big, quint32 side) {
    const quint32 tags[][3] = {
        {256, 4, side},
        {257, 4, side},
        {258, 3, 8},
        {259, 3, 1},
        {262, 3, 1},
        {273, 4, 16},
        {277, 3, 1},
        {278, 4, side},
        {279, 4, quint32(std::min<quint64>(quint64(side) * side, 1u << 31))}};
    const int countBytes = big ? 8 : 2;
    const int entryBytes = big ? 20 : 12;
    QByteArray directory(countBytes + entryBytes * 9 + countBytes * 2, '\0');
    qToLittleEndian<quint16>(9, directory.data());
    for (int i = 0; i < 9; ++i) {
        char* entry = directory.data() + countBytes + entryBytes * i;
        qToLittleEndian<quint16>(quint16(tags[i][0]), entry);
        qToLittleEndian<quint16>(quint16(tags[i][1]), entry + 2);
        qToLittleEndian<quint32>(1, entry + 4);
        char* value = entry + (big ? 12 : 8);
        if (tags[i][1] == 3) {
            qToLittleEndian<quint16>(quint16(tags[i][2]), value);
        } else {
            qToLittleEndian<quint32>(tags[i][2], value);
        }
    }
    return directory;
}

QByteArray TiffHeader(bool big, quint64 directoryAt) {
    QByteArray header(16, '\0');
    if (big) {
        header.replace(0, 8, QByteArray("II+\0\x08\0\0\0", 8));
        qToLittleEndian<quint64>(directoryAt, header.data() + 8);
    } else {
        header.replace(0, 4, QByteArray("II*\0", 4));
        qToLittleEndian<quint32>(quint32(directoryAt), header.data() + 4);
    }
    return header;
}

}  // namespace

class WholeFileTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { StartEngine(); }

    // 400 MB, nearly all of it a hole: reading it whole would hold 400 MB.
    void largeFilesRefusedByTheirHead_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("reason");
        const QString tooLarge = QStringLiteral("the picture is too large (");
        QTemporaryDir made;
        if (HaveTools({"heif-enc"})) {
            QTest::newRow("heic declaring 100000 x 100000")
                << "a.heic" << HeifDeclaring(made.path(), false, 100000) << 7 << tooLarge;
            QTest::newRow("avif declaring 100000 x 100000")
                << "a.avif" << HeifDeclaring(made.path(), true, 100000) << 7 << tooLarge;
        }
        QTest::newRow("icon holding a PNG of 100000 x 100000")
            << "a.ico" << IconDeclaring(true, 100000) << 7 << tooLarge;
        QTest::newRow("icon holding a bitmap of 40000 x 40000")
            << "a.ico" << IconDeclaring(false, 40000) << 7 << tooLarge;
        // Formats the loader never reads are known by their first bytes.
        QTest::newRow("tiff") << "a.tif" << TiffHeader(false, 8) + TiffDirectory(false, 64) << 481
                              << "not a picture in a format that can be read";
    }
    void largeFilesRefusedByTheirHead() {
        QFETCH(QString, name);
        QFETCH(QByteArray, head);
        QFETCH(int, number);
        QFETCH(QString, reason);
        QVERIFY(!head.isEmpty());
        QTemporaryDir dir;
        const QString path = SparseFile(dir.filePath(name), head, qint64(400) << 20);
        QVERIFY(!path.isEmpty());
        if (!ResetPeakResident()) {
            QSKIP("the kernel cannot reset the resident peak");
        }
        const long before = PeakResidentMb();
        const VbError e = Raised([&] { LoadPicture(path); });
        const long taken = PeakResidentMb() - before;
        QCOMPARE(e.number(), number);
        QVERIFY2(e.description().contains(reason), qPrintable(e.description()));
        QVERIFY2(taken < 64, qPrintable(QStringLiteral("%1 MB").arg(taken)));
    }

    // The converter reads a TIFF's first directory where it lies, and the rest only when
    // that directory allows: within 512 MB of address space, a 900 MB file cannot be read.
    void tiffDirectoryPastTheHeadJudgedWhereItLies_data() {
        QTest::addColumn<bool>("big");
        QTest::addColumn<quint32>("side");
        QTest::addColumn<qint64>("directoryAt");
        QTest::addColumn<QByteArray>("error");  // empty: converted
        const qint64 far = qint64(900) << 20;
        QTest::newRow("100000 square at 900 MB")
            << false << 100000u << far
            << QByteArray("the picture is too large (100000 x 100000 pixels)");
        QTest::newRow("64 square at 2 MB") << false << 64u << (qint64(2) << 20) << QByteArray();
        // BigTIFF is not read: its first bytes say so.
        QTest::newRow("BigTIFF at 900 MB")
            << true << 64u << far << QByteArray("not a JPEG, PNG, TIFF, BMP or GIF picture");
    }
    void tiffDirectoryPastTheHeadJudgedWhereItLies() {
        QFETCH(bool, big);
        QFETCH(quint32, side);
        QFETCH(qint64, directoryAt);
        QFETCH(QByteArray, error);
        QTemporaryDir dir;
        const QByteArray pixels(64 * 64, '\x80');  // the small picture's one strip
        const QByteArray directory = TiffDirectory(big, side);
        const QString source =
            SparseFile(dir.filePath("a.tif"), TiffHeader(big, quint64(directoryAt)) + pixels,
                       directoryAt + directory.size(), directoryAt, directory);
        QVERIFY(!source.isEmpty());
        const QString target = dir.filePath("StampTmp.jpg");
        const ConverterOutcome result =
            RunConverterWithin(kAddressSanitizer ? 0 : 512, {"-out", "jpeg", "-o", target, source});
        QVERIFY2(result.normalExit, "the converter did not end by itself");
        QVERIFY2(result.exitCode == (error.isEmpty() ? 0 : 1), result.err.constData());
        if (!error.isEmpty()) {
            QVERIFY2(result.err.contains(error), result.err.constData());
        } else {
            QCOMPARE(QImage(target).size(), QSize(64, 64));
        }
    }

    // A head check reads past its head only in bounded pieces, never past the file's end.
    void headCheckReadsBoundedRanges() {
        QTemporaryDir dir;
        const qint64 size = qint64(64) << 20;
        const QString path = SparseFile(dir.filePath("a.bin"), "head", size, size - 4, "tail");
        QVERIFY(!path.isEmpty());
        QList<qsizetype> lengths;
        const VbError e = Raised([&] {
            ReadWholeFile(path, 0, 1 << 20, [&](const QByteArray&, const FileRangeReader& file) {
                QCOMPARE(file.fileSize(), size);
                QCOMPARE(file.readAt(size - 4, 100), QByteArray("tail"));
                for (const qint64 offset : {size, size + 1, qint64(-1)}) {
                    lengths << file.readAt(offset, 10).size();
                }
                for (int i = 0; i < 5; ++i) {
                    lengths << file.readAt(qint64(i) << 20, qint64(8) << 20).size();
                }
                throw VbError(1, QStringLiteral("enough"));
            });
        });
        QCOMPARE(e.description(), QStringLiteral("enough"));
        // Each read at most 1 MB, and 4 MB in all (4 bytes of it the tail).
        const qsizetype MB = 1 << 20;
        QCOMPARE(lengths, (QList<qsizetype>{0, 0, 0, MB, MB, MB, MB - 4, 0}));
    }
};

QTEST_GUILESS_MAIN(WholeFileTest)
#include "whole_file_test.moc"
