// SPDX-License-Identifier: MIT
// Large copies of today's formats within the picture limit and 300 MB: each copy is made
// by this program started again in an address space of that size, so that overcommit
// cannot hide a peak, and the copy must come out whole.
#include "engine/modern_writers.h"
#include "engine/photo_metadata.h"
#include "engine/picture_loader.h"
#include "engine/save_modern_picture.h"
#include "imageio/image_limits.h"
#include "support/raised.h"
#include "support/test_images.h"
#include "util/vb_error.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <jxl/encode.h>
#include <jxl/encode_cxx.h>

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

namespace {

constexpr qint64 kBoundMb = kImageAllocationLimitMb + 300;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

// A JPEG XL source made by libjxl itself at a quick effort, lossy at distance 1.
QByteArray JxlSource(const QImage& picture) {
    const QImage rows = picture.convertToFormat(QImage::Format_RGB888);
    const JxlEncoderPtr encoder = JxlEncoderMake(nullptr);
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = uint32_t(rows.width());
    info.ysize = uint32_t(rows.height());
    info.bits_per_sample = 8;
    info.num_color_channels = 3;
    JxlColorEncoding srgb;
    JxlColorEncodingSetToSRGB(&srgb, JXL_FALSE);
    JxlEncoderFrameSettings* settings = JxlEncoderFrameSettingsCreate(encoder.get(), nullptr);
    const JxlPixelFormat format{3, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN,
                                size_t(rows.bytesPerLine())};
    if (JxlEncoderSetBasicInfo(encoder.get(), &info) != JXL_ENC_SUCCESS ||
        JxlEncoderSetColorEncoding(encoder.get(), &srgb) != JXL_ENC_SUCCESS ||
        JxlEncoderFrameSettingsSetOption(settings, JXL_ENC_FRAME_SETTING_EFFORT, 3) !=
            JXL_ENC_SUCCESS ||
        JxlEncoderAddImageFrame(settings, &format, rows.constBits(),
                                size_t(rows.sizeInBytes())) != JXL_ENC_SUCCESS) {
        return {};
    }
    JxlEncoderCloseInput(encoder.get());
    QByteArray file;
    for (;;) {
        const qsizetype done = file.size();
        file.resize(done + 4 * 1024 * 1024);
        auto* next = reinterpret_cast<uint8_t*>(file.data() + done);
        size_t left = 4 * 1024 * 1024;
        const JxlEncoderStatus status = JxlEncoderProcessOutput(encoder.get(), &next, &left);
        file.truncate(file.size() - qsizetype(left));
        if (status != JXL_ENC_NEED_MORE_OUTPUT) {
            return status == JXL_ENC_SUCCESS ? file : QByteArray();
        }
    }
}

// The picture size a JPEG XL file's header declares; empty when it cannot be read.
QSize JxlSize(const QByteArray& data) {
    const JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    JxlBasicInfo info;
    if (JxlDecoderSubscribeEvents(decoder.get(), JXL_DEC_BASIC_INFO) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(decoder.get(), reinterpret_cast<const uint8_t*>(data.constData()),
                           size_t(data.size())) != JXL_DEC_SUCCESS ||
        JxlDecoderProcessInput(decoder.get()) != JXL_DEC_BASIC_INFO ||
        JxlDecoderGetBasicInfo(decoder.get(), &info) != JXL_DEC_SUCCESS) {
        return {};
    }
    return QSize(int(info.xsize), int(info.ysize));
}

// The child's part: the batch's load and copy of one source; prints its resident peak.
int CopyWithin(const char* source, const char* copy, int quality) {
    RaiseImageAllocationLimit();
    try {
        const QString path = QString::fromLocal8Bit(source);
        SaveModernPicture(LoadPicture(path), ReadSourceMetadata(path), QString::fromLocal8Bit(copy),
                          quality);
    } catch (const VbError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    // VmHWM starts afresh at exec; getrusage's peak would carry the parent's over.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:")) {
                std::printf("%lld\n", line.mid(6).trimmed().split(' ').value(0).toLongLong() / 1024);
            }
        }
    }
    return 0;
}

}  // namespace

class ModernCopyMemoryTest : public QObject {
    Q_OBJECT

private slots:
    void jxlCopyWithinBound_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("quality");
        QTest::newRow("9 MP") << 3000 << 3000 << 85;
        QTest::newRow("36 MP") << 6000 << 6000 << 85;
    }
    void jxlCopyWithinBound() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, quality);
        if (kAddressSanitizer) {
            QSKIP("the address sanitizer cannot run in a limited address space");
        }
        QTemporaryDir dir;
        const QString source = dir.filePath("source.jxl");
        const QString copy = dir.filePath("copy.jxl");
        {
            const QByteArray data = JxlSource(NoisyImage(width, height));
            QFile file(source);
            QVERIFY(!data.isEmpty() && file.open(QIODevice::WriteOnly) &&
                    file.write(data) == data.size());
        }
        QProcess child;
        // The address space counts the 64 MB each malloc arena reserves for a thread
        // without using it; the bound is on memory, not on reservations.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("MALLOC_ARENA_MAX", "2");
        child.setProcessEnvironment(environment);
        child.setChildProcessModifier([] {
            const rlimit limit{rlim_t(kBoundMb) << 20, rlim_t(kBoundMb) << 20};
            setrlimit(RLIMIT_AS, &limit);
        });
        child.start(QCoreApplication::applicationFilePath(),
                    {"--copy", source, copy, QString::number(quality)});
        QVERIFY(child.waitForFinished(240000));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 child.readAllStandardError().constData());
        qInfo("resident peak %s MB", child.readAllStandardOutput().trimmed().constData());
        QFile written(copy);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QCOMPARE(JxlSize(written.readAll()), QSize(width, height));
    }

    // A lossless JPEG XL copy too large to be coded whole is refused before encoding.
    void jxlLosslessTooLargeRefusedFirst() {
        const QImage picture(6000, 6000, QImage::Format_RGB32);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        const VbError error = Raised([&] { WriteJxl(picture, 100, PictureFacts(), out); });
        QCOMPARE(error.number(), 5);
        QVERIFY2(error.description().contains("too large to be encoded losslessly"),
                 qPrintable(error.description()));
        QCOMPARE(out.size(), 0);
    }

    // libwebp codes a picture whole: a copy it cannot code within the bound is refused
    // before the encoder takes anything or a byte is written.
    void webpTooLargeRefusedFirst_data() {
        QTest::addColumn<bool>("lossless");
        QTest::newRow("lossless 36 MP") << true;
        QTest::newRow("lossy 110 MP") << false;
    }
    void webpTooLargeRefusedFirst() {
        QFETCH(bool, lossless);
        const QImage picture(lossless ? 6000 : 11000, lossless ? 6000 : 10000,
                             QImage::Format_RGB32);
        QVERIFY(!picture.isNull());
        PictureFacts facts;
        facts.lossless = lossless;
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        const VbError error = Raised([&] { WriteWebP(picture, 80, facts, out); });
        QCOMPARE(error.number(), 5);
        QVERIFY2(error.description().contains("too large to be encoded"),
                 qPrintable(error.description()));
        QCOMPARE(out.size(), 0);
    }
};

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc == 5 && std::strcmp(argv[1], "--copy") == 0) {
        return CopyWithin(argv[2], argv[3], std::atoi(argv[4]));
    }
    ModernCopyMemoryTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "modern_copy_memory_test.moc"
