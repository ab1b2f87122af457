// SPDX-License-Identifier: MIT
// Damaged, cut and oversized files of today's formats: each is reported with the
// loader's error numbers before the memory its header asks for is taken.
#include "engine/photo_metadata.h"
#include "engine/picture_loader.h"
#include "engine/save_modern_picture.h"
#include "engine/reference_tools.h"
#include "support/raised.h"
#include "support/test_images.h"
#include "engine/engine_start.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <jxl/encode.h>
#include <jxl/encode_cxx.h>
#include <webp/encode.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

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


// A still JPEG XL picture made of `layers` flat layers of side x side pixels, each
// replacing the one before: cheap to store, and each layer decoded and blended in full.
QByteArray LayeredJxl(int layers, int side) {
    const JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = info.ysize = uint32_t(side);
    info.bits_per_sample = 8;
    info.num_color_channels = 3;
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    if (JxlEncoderSetBasicInfo(encoder.get(), &info) != JXL_ENC_SUCCESS ||
        JxlEncoderSetColorEncoding(encoder.get(), &srgb) != JXL_ENC_SUCCESS) {
        return {};
    }
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
    JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, 1);
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    QByteArray file;
    // Each layer is coded as it comes, so the encoder never queues them all.
    const auto drain = [&] {
        for (;;) {
            const qsizetype done = file.size();
            file.resize(done + 64 * 1024);
            auto* next = reinterpret_cast<uint8_t*>(file.data() + done);
            size_t left = 64 * 1024;
            const JxlEncoderStatus status = JxlEncoderProcessOutput(encoder.get(), &next, &left);
            file.truncate(file.size() - qsizetype(left));
            if (status != JXL_ENC_NEED_MORE_OUTPUT) {
                return status == JXL_ENC_SUCCESS;
            }
        }
    };
    for (int layer = 0; layer < layers; ++layer) {
        const QByteArray pixels(qsizetype(side) * side * 3, char(layer * 7));
        if (JxlEncoderAddImageFrame(settings, &format, pixels.constData(),
                                    size_t(pixels.size())) != JXL_ENC_SUCCESS) {
            return {};
        }
        if (layer + 1 == layers) {
            JxlEncoderCloseInput(encoder.get());
        }
        if (!drain()) {
            return {};
        }
    }
    return file;
}

// `bytes` may be wider than the value (a 48-bit field): its upper bytes are 0.
void AppendLe(QByteArray& data, quint64 value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        data.append(char(i < 8 ? (value >> (8 * i)) & 0xFF : 0));
    }
}

void AppendChunk(QByteArray& data, const char* fourcc, const QByteArray& payload) {
    data.append(fourcc, 4);
    AppendLe(data, quint32(payload.size()), 4);
    data.append(payload);
    if (payload.size() % 2 != 0) {
        data.append('\0');
    }
}

// An animated WebP of `frames` frames of one lossless pixel each, with an EXIF chunk.
QByteArray ManyFramesWebP(int frames) {
    const uint8_t pixel[4] = {10, 20, 30, 255};
    uint8_t* encoded = nullptr;
    const size_t size = WebPEncodeLosslessBGRA(pixel, 1, 1, 4, &encoded);
    // The simple file's one chunk, after the 12-byte RIFF header.
    const QByteArray vp8l(reinterpret_cast<const char*>(encoded) + 12, qsizetype(size) - 12);
    WebPFree(encoded);
    QByteArray header;
    header.append(char(0x02 | 0x08));  // an animation with EXIF
    AppendLe(header, 0, 3);
    AppendLe(header, 0, 3);  // a canvas of 1 x 1
    AppendLe(header, 0, 3);
    QByteArray body("WEBP");
    AppendChunk(body, "VP8X", header);
    QByteArray animation;
    AppendLe(animation, 0, 4);
    AppendLe(animation, 0, 2);
    AppendChunk(body, "ANIM", animation);
    QByteArray frame;
    AppendLe(frame, 0, 12);  // at 0, 0 and 1 x 1
    AppendLe(frame, 100, 3);
    frame.append('\0');
    frame.append(vp8l);
    for (int i = 0; i < frames; ++i) {
        AppendChunk(body, "ANMF", frame);
    }
    AppendChunk(body, "EXIF", QByteArray("II*\0\x08\0\0\0\0\0", 10));
    QByteArray file("RIFF");
    AppendLe(file, quint32(body.size()), 4);
    return file + body;
}

// Runs `work` in a child process held to `seconds` of CPU time; true when it returned
// true there before the limit ended it.
bool WithinCpuSeconds(int seconds, const std::function<bool()>& work) {
    const pid_t child = fork();
    if (child == 0) {
        const rlimit limit{rlim_t(seconds), rlim_t(seconds)};
        setrlimit(RLIMIT_CPU, &limit);
        _exit(work() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
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
        // 400 MB, most of it a hole: refused by the header in its first megabyte.
        QTest::addRow("a.webp huge, 400 MB") << "a.webp" << "cwebp" << "huge, 400 MB" << 7;
        QTest::addRow("a.jxl huge, 400 MB") << "a.jxl" << "cjxl" << "huge, 400 MB" << 7;
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
        } else if (damage.startsWith("huge")) {
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
        if (damage.endsWith("400 MB")) {
            QVERIFY(file.resize(400 << 20));
        }
        file.close();

        const qint64 before = PeakMb();
        const VbError error = Raised([&] { LoadPicture(path); });
        QVERIFY2(error.number() == number,
                 qPrintable(QString("%1: %2").arg(error.number()).arg(error.description())));
        QVERIFY(error.description().contains(path));
        QVERIFY2(PeakMb() - before < 64, qPrintable(QString("%1 MB").arg(PeakMb() - before)));
    }

    // Files that ask for far more work than their size: read, or refused, in a few seconds
    // of CPU where the whole work would take minutes.
    void workBoundedBySize_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("number");  // of the load; 0 when it loads
        // 600 layers covering the canvas: refused from their headers before one is decoded.
        QTest::newRow("jxl of 600 layers") << "layers.jxl" << LayeredJxl(600, 512) << 7;
        // A picture of a few layers is still what it always was.
        QTest::newRow("jxl of 3 layers") << "three.jxl" << LayeredJxl(3, 1024) << 0;
        // 100,000 frames: the first decoded and the metadata found without a walk per chunk.
        QTest::newRow("webp of 100,000 frames") << "frames.webp" << ManyFramesWebP(100000) << 0;
    }
    void workBoundedBySize() {
        QFETCH(QString, name);
        QFETCH(QByteArray, data);
        QFETCH(int, number);
        QVERIFY(!data.isEmpty());
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(data) == data.size());
        file.close();
        const QString copy = dir.filePath("copy-" + name);
        QVERIFY(WithinCpuSeconds(10, [&] {
            const VbError error = Raised([&] {
                SaveModernPicture(LoadPicture(path), ReadSourceMetadata(path), copy, 80);
            });
            return number == 0 ? error.number() == -1 && QFileInfo(copy).size() > 0
                               : error.number() == number && error.description().contains(
                                                                 "more layers than a file");
        }));
    }
};

QTEST_MAIN(ModernFormatsHostileTest)
#include "modern_formats_hostile_test.moc"
