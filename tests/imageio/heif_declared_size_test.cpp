// SPDX-License-Identifier: MIT
// HEVC and AV1 streams whose own headers declare a larger picture than their HEIF item:
// refused before a decoder allocates by them, while honest files still load.
#include "imageio/heif_declared_size.h"
#include "engine/engine_start.h"
#include "engine/picture_loader.h"
#include "engine/reference_tools.h"
#include "support/raised.h"
#include "support/test_images.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

QString Bits(const QByteArray& bytes) {
    QString bits;
    for (const char byte : bytes) {
        bits += QStringLiteral("%1").arg(uint(uchar(byte)), 8, 2, QLatin1Char('0'));
    }
    return bits;
}

QByteArray Bytes(const QString& bits) {
    QByteArray bytes;
    for (qsizetype at = 0; at + 8 <= bits.size(); at += 8) {
        bytes.append(char(bits.mid(at, 8).toUInt(nullptr, 2)));
    }
    return bytes;
}

// Replaces the first run of `from` bits found in data[start, start + span) by `to`, of the
// same length; false when it is not there.
bool ReplaceBits(QByteArray& data, qsizetype start, qsizetype span, const QString& from,
                 const QString& to) {
    QString bits = Bits(data.mid(start, span));
    const qsizetype at = bits.indexOf(from);
    if (at < 0) {
        return false;
    }
    bits.replace(at, to.size(), to);
    data.replace(start, span, Bytes(bits));
    return true;
}

// ue(v) of `value`: as many zeros as the bits of value + 1 after its first, then those.
QString ExpGolomb(quint32 value) {
    const QString digits = QString::number(value + 1, 2);
    return QString(digits.size() - 1, QLatin1Char('0')) + digits;
}

constexpr int kWidth = 520;
constexpr int kHeight = 16;

// The file with its picture's coded width raised to the most its header field can hold
// unchanged in length: 1022 in the HEVC SPS of the hvcC box, 1024 in the AV1 sequence
// header at the start of the picture's data.
bool WithWiderStream(QByteArray& file, bool av1) {
    if (av1) {
        const qsizetype data = file.indexOf("mdat") + 4;
        const QString declared = QString::number(kWidth - 1, 2) +  // 10 bits each
                                 QString::number(kHeight - 1, 2);
        return data > 4 &&
               ReplaceBits(file, data, 16, declared, QString(declared.size(), QLatin1Char('1')));
    }
    // The SPS unit (type 33) in the hvcC box.
    const qsizetype sps = file.indexOf(QByteArray("\x42\x01", 2), file.indexOf("hvcC"));
    const QString width = ExpGolomb(kWidth);
    const QString widest =
        width.left(width.size() / 2 + 1) + QString(width.size() / 2, QLatin1Char('1'));
    return sps > 0 && ReplaceBits(file, sps, 48, width, widest);
}

QByteArray Be(quint64 value, int bytes) {
    QByteArray field(bytes, '\0');
    for (int i = 0; i < bytes; ++i) {
        field[bytes - 1 - i] = char(value >> (8 * i) & 0xFF);
    }
    return field;
}

QByteArray Box(const char* type, const QByteArray& payload) {
    return Be(quint64(8 + payload.size()), 4) + QByteArray(type, 4) + payload;
}

// A full box: version and flags (all 0) before its payload.
QByteArray FullBox(const char* type, const QByteArray& payload) {
    return Box(type, Be(0, 4) + payload);
}

// A HEIF file whose primary item is a grid of 64 x 64 by its ispe, its data in idat
// declaring an output of `side` x `side`.
QByteArray GridDeclaring(quint32 side) {
    const QByteArray grid = Be(0, 1) + Be(1, 1) + Be(0, 2) + Be(side, 4) + Be(side, 4);
    const QByteArray infe = Box("infe", Be(2, 1) + Be(0, 3) + Be(1, 2) + Be(0, 2) + "grid");
    // iloc version 1: 4-byte offsets and lengths; item 1 in idat at 0.
    const QByteArray iloc =
        Box("iloc", Be(1, 1) + Be(0, 3) + Be(0x4400, 2) + Be(1, 2) + Be(1, 2) + Be(1, 2) +
                        Be(0, 2) + Be(1, 2) + Be(0, 4) + Be(quint64(grid.size()), 4));
    const QByteArray ipco = Box("ipco", FullBox("ispe", Be(64, 4) + Be(64, 4)));
    const QByteArray ipma = FullBox("ipma", Be(1, 4) + Be(1, 2) + Be(1, 1) + Be(0x81, 1));
    const QByteArray meta =
        FullBox("meta", FullBox("pitm", Be(1, 2)) + FullBox("iinf", Be(1, 2) + infe) + iloc +
                            Box("iprp", ipco + ipma) + Box("idat", grid));
    return Box("ftyp", QByteArray("mif1") + Be(0, 4) + "mif1") + meta;
}

}  // namespace

class HeifDeclaredSizeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { StartEngine(); }

    void streamsLargerThanTheirPictureRefused_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("lie");
        QTest::addColumn<int>("number");  // 0: loads
        for (const char* name : {"a.heic", "a.avif"}) {
            QTest::addRow("%s honest", name) << name << "none" << 0;
            // The item says 96 x 16 while its stream codes 520 x 16.
            QTest::addRow("%s ispe smaller than its stream", name) << name << "ispe" << 7;
            QTest::addRow("%s stream header wider", name) << name << "stream" << 7;
        }
    }
    void streamsLargerThanTheirPictureRefused() {
        QFETCH(QString, name);
        QFETCH(QString, lie);
        QFETCH(int, number);
        if (!HaveTools({"heif-enc"})) {
            QSKIP("heif-enc is not installed");
        }
        QTemporaryDir dir;
        const QString png = dir.filePath("source.png");
        QVERIFY(NoisyImage(kWidth, kHeight).save(png, "PNG"));
        const QString path = dir.filePath(name);
        QStringList arguments{"-q", "60", png, "-o", path};
        if (name.endsWith(".avif")) {
            arguments.prepend("-A");
        }
        QVERIFY(RunTool("heif-enc", arguments));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray data = file.readAll();
        if (lie == "ispe") {
            const qsizetype ispe = data.indexOf("ispe");
            QVERIFY(ispe > 0);
            QCOMPARE(qFromBigEndian<quint32>(data.constData() + ispe + 8), quint32(kWidth));
            qToBigEndian<quint32>(96, data.data() + ispe + 8);
        } else if (lie == "stream") {
            QVERIFY(WithWiderStream(data, name.endsWith(".avif")));
        }
        QVERIFY(file.seek(0) && file.write(data) == data.size());
        file.close();

        const VbError e = Raised([&] {
            const QImage image = LoadPicture(path);
            QCOMPARE(image.size(), QSize(kWidth, kHeight));
        });
        if (number == 0) {
            QVERIFY2(e.number() == -1, qPrintable(e.description()));
        } else {
            QCOMPARE(e.number(), number);
            QVERIFY2(e.description().contains("the picture is too large ("),
                     qPrintable(e.description()));
        }
    }

    // libheif sizes a grid's picture by the output its data declares, not by its ispe.
    void gridOutputBeyondTheLimitRefused() {
        const qint64 limit = qint64(1) << 30;
        QVERIFY(!CheckHeifSize(GridDeclaring(4096), limit).tooLarge);
        QVERIFY(!CheckHeifStreams(GridDeclaring(4096), limit).tooLarge);
        QCOMPARE(CheckHeifSize(GridDeclaring(100000), limit).failure,
                 QStringLiteral("100000 x 100000 pixels"));
        QCOMPARE(CheckHeifStreams(GridDeclaring(100000), limit).failure,
                 QStringLiteral("100000 x 100000 pixels"));
    }

    // Extents whose fields have no width take no bytes: 65535 items of 65535 of them would
    // be four billion entries if each were kept.
    void extentsOfNoWidthCountedOnce() {
        QByteArray entries;
        for (int item = 1; item <= 65535; ++item) {
            entries += Be(quint64(item), 2) + Be(0, 2) + Be(65535, 2);
        }
        const QByteArray meta = FullBox(
            "meta", FullBox("pitm", Be(1, 2)) + FullBox("iloc", Be(0, 2) + Be(65535, 2) + entries));
        QVERIFY(
            !CheckHeifStreams(Box("ftyp", QByteArray("mif1") + Be(0, 4)) + meta, 1 << 30).tooLarge);
    }

    // Every cut of a real file is read within its bytes (run under the sanitizers).
    void cutFilesReadWithinTheirBytes() {
        QList<QByteArray> files{GridDeclaring(100000)};
        QTemporaryDir dir;
        if (HaveTools({"heif-enc"})) {
            QVERIFY(NoisyImage(64, 32).save(dir.filePath("s.png"), "PNG"));
            for (const QString name : {"s.avif", "s.heic"}) {
                QStringList arguments{dir.filePath("s.png"), "-o", dir.filePath(name)};
                if (name.endsWith(".avif")) {
                    arguments.prepend("-A");
                }
                QVERIFY(RunTool("heif-enc", arguments));
                QFile file(dir.filePath(name));
                QVERIFY(file.open(QIODevice::ReadOnly));
                files << file.readAll();
            }
        }
        for (const QByteArray& file : files) {
            for (qsizetype cut = 0; cut < file.size(); ++cut) {
                const QByteArray head = file.left(cut);
                CheckHeifSize(head, 1 << 20);
                CheckHeifStreams(head, 1 << 20);
            }
        }
    }
};

QTEST_GUILESS_MAIN(HeifDeclaredSizeTest)
#include "heif_declared_size_test.moc"
