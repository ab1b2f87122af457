// SPDX-License-Identifier: MIT
// Damaged, cut and oversized files of today's formats: each is reported with the
// loader's error numbers before the memory its header asks for is taken.
#include "engine/picture_loader.h"
#include "engine/reference_tools.h"
#include "support/raised.h"
#include "support/test_images.h"
#include "engine/engine_start.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <sys/resource.h>

namespace {

// The most memory the process has held so far, in MB.
qint64 PeakMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// A small picture in the format, made by its reference encoder.
QByteArray ReferenceFile(const QString& folder, const QString& name) {
    const QString png = folder + "/small.png";
    NoisyImage(96, 64).save(png, "PNG");
    const QString path = folder + "/" + name;
    bool made = false;
    if (name.endsWith(".webp")) {
        made = RunTool("cwebp", {"-quiet", "-q", "80", png, "-o", path});
    } else if (name.endsWith(".jxl")) {
        made = RunTool("cjxl", {png, path, "-d", "1"});
    } else {
        QStringList arguments{"-q", "60", png, "-o", path};
        if (name.endsWith(".avif")) {
            arguments.prepend("-A");
        }
        made = RunTool("heif-enc", arguments);
    }
    QFile file(path);
    return made && file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Writes bits from the lowest up, as a JPEG XL codestream orders them.
class BitWriter {
public:
    void Write(quint64 value, int bits) {
        for (int i = 0; i < bits; ++i, ++count_) {
            if (count_ % 8 == 0) {
                bytes_.append('\0');
            }
            if (value >> i & 1) {
                bytes_[bytes_.size() - 1] = char(uchar(bytes_.back()) | 1 << (count_ % 8));
            }
        }
    }
    QByteArray bytes() const { return bytes_; }

private:
    QByteArray bytes_;
    int count_ = 0;
};

// A JPEG XL codestream whose header declares `side` x `side` pixels and nothing more.
QByteArray JxlHeaderOfSide(quint32 side) {
    BitWriter bits;
    bits.Write(0, 1);  // not a small picture
    bits.Write(3, 2);  // height: 30 bits follow
    bits.Write(side - 1, 30);
    bits.Write(0, 3);  // no ratio: the width follows
    bits.Write(3, 2);
    bits.Write(side - 1, 30);
    bits.Write(1, 1);  // all image metadata at its defaults
    return QByteArray("\xFF\x0A", 2) + bits.bytes() + QByteArray(64, '\0');
}

// A two-frame animated WebP made by img2webp, its canvas (VP8X) then set to width x height.
QByteArray AnimatedWebPWithCanvas(const QString& folder, quint32 width, quint32 height) {
    const QString first = folder + "/first.png";
    const QString second = folder + "/second.png";
    const QString path = folder + "/animated.webp";
    NoisyImage(32, 24).save(first, "PNG");
    NoisyImage(32, 24).mirrored().save(second, "PNG");
    QFile file(path);
    if (!RunTool("img2webp", {"-loop", "0", first, second, "-o", path}) ||
        !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArray data = file.readAll();
    if (data.mid(12, 4) != "VP8X") {
        return {};
    }
    for (int i = 0; i < 3; ++i) {
        data[24 + i] = char((width - 1) >> (8 * i) & 0xFF);
        data[27 + i] = char((height - 1) >> (8 * i) & 0xFF);
    }
    return data;
}

// The file with its header declaring a picture far beyond the limit.
QByteArray DeclaringHugeSize(QByteArray data, const QString& name) {
    if (name.endsWith(".jxl")) {
        return JxlHeaderOfSide(1u << 20);
    }
    if (name.endsWith(".webp")) {
        // The VP8 frame header: 14 bits of width and of height after the start code.
        const qsizetype start = data.indexOf("\x9D\x01\x2A");
        qToLittleEndian<quint16>(0x3FFF, data.data() + start + 3);
        qToLittleEndian<quint16>(0x3FFF, data.data() + start + 5);
        return data;
    }
    // HEIF: the primary picture's ispe property.
    const qsizetype ispe = data.indexOf("ispe");
    qToBigEndian<quint32>(60000, data.data() + ispe + 8);
    qToBigEndian<quint32>(60000, data.data() + ispe + 12);
    return data;
}

}  // namespace

class ModernFormatsHostileTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { StartEngine(); }

    void reportedWithBoundedMemory_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<int>("number");
        for (const auto& [name, tool] : {std::pair{"a.heic", "heif-enc"},
                                         {"a.avif", "heif-enc"},
                                         {"a.webp", "cwebp"},
                                         {"a.jxl", "cjxl"}}) {
            QTest::addRow("%s cut", name) << name << tool << "cut" << 481;
            QTest::addRow("%s huge", name) << name << tool << "huge" << 7;
            QTest::addRow("%s header only", name) << name << tool << "header only" << 481;
        }
        // Sides whose product with the bytes per pixel does not fit 63 bits.
        QTest::addRow("a.jxl largest sides") << "a.jxl" << "cjxl" << "largest" << 7;
        // An animation's canvas of 65536 x 65535, which libwebp would try to allocate.
        QTest::addRow("a.webp animated, huge canvas") << "a.webp" << "img2webp" << "animated" << 7;
    }
    void reportedWithBoundedMemory() {
        QFETCH(QString, name);
        QFETCH(QString, tool);
        QFETCH(QString, damage);
        QFETCH(int, number);
        if (!HaveTools({tool})) {
            QSKIP("the format's reference encoder is not installed");
        }
        QTemporaryDir dir;
        QByteArray data = ReferenceFile(dir.path(), name);
        QVERIFY(!data.isEmpty());
        if (damage == "cut") {
            data.truncate(data.size() * 2 / 3);
        } else if (damage == "huge") {
            data = DeclaringHugeSize(data, name);
        } else if (damage == "largest") {
            data = JxlHeaderOfSide(1u << 30);
        } else if (damage == "animated") {
            data = AnimatedWebPWithCanvas(dir.path(), 65536, 65535);
            QVERIFY(!data.isEmpty());
        } else {
            data.truncate(40);
        }
        const QString path = dir.path() + "/damaged-" + name;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(data);
        file.close();

        const qint64 before = PeakMb();
        const VbError error = Raised([&] { LoadPicture(path); });
        QVERIFY2(error.number() == number,
                 qPrintable(QString("%1: %2").arg(error.number()).arg(error.description())));
        QVERIFY(error.description().contains(path));
        QVERIFY2(PeakMb() - before < 64, qPrintable(QString("%1 MB").arg(PeakMb() - before)));
    }
};

QTEST_MAIN(ModernFormatsHostileTest)
#include "modern_formats_hostile_test.moc"
