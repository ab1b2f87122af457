// SPDX-License-Identifier: MIT
// Quality per byte per second of the HEIC and AVIF writer's encoder settings, on the
// writer's own road (WriteHeifWithParameters), against libheif's defaults (heif-enc's).
//
//   velloran_bench_heif_settings rate <heic|avif> <q,q,...> <settings>... -- <picture>...
//     Encodes every picture at every quality with every setting, decodes the copy and
//     prints its size, PSNR and SSIM of the luma, and the encode's CPU and wall time; then
//     the BD-rate of each setting against the first (per picture and the mean), on PSNR and
//     on SSIM (as dB). A setting is "default" (libheif's), "chosen" (the writer's), or
//     name=value pairs joined by ';' (e.g. "preset=fast;tune=ssim").
//   velloran_bench_heif_settings write <picture> <copy.heic|copy.avif> <quality> [settings]
//     One copy, as the batch writes it (timed and measured as a process by the script).
//
// Pictures are read with Qt (PNG, JPEG); the metric is computed here so the benchmark
// needs nothing beyond the project's own libraries.
#include "engine/heif_encoder_settings.h"
#include "engine/modern_writers.h"
#include "imageio/image_limits.h"
#include "imageio/libheif_session.h"
#include "util/vb_error.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

HeifEncoderParameters ParseSettings(const QString& text, bool av1, int quality) {
    if (text == QLatin1String("chosen")) {
        return ChosenHeifParameters(av1, quality);
    }
    HeifEncoderParameters parameters;
    if (text == QLatin1String("default")) {
        return parameters;
    }
    for (const QString& pair : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        parameters.emplace_back(pair.left(equals).toUtf8(), pair.mid(equals + 1).toUtf8());
    }
    return parameters;
}

// The copy's picture as libheif decodes it, as RGB32.
QImage Decode(const QByteArray& data) {
    EnsureLibheif();
    const HeifContext context;
    if (heif_context_read_from_memory_without_copy(context.get(), data.constData(),
                                                   size_t(data.size()), nullptr)
            .code != heif_error_Ok) {
        return {};
    }
    HeifHandle handle;
    heif_context_get_primary_image_handle(context.get(), handle.out());
    HeifImage image;
    if (heif_decode_image(handle.get(), image.out(), heif_colorspace_RGB,
                          heif_chroma_interleaved_RGB, nullptr)
            .code != heif_error_Ok) {
        return {};
    }
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    QImage result(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = plane + qsizetype(y) * stride;
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < width; ++x, in += 3) {
            out[x] = qRgb(in[0], in[1], in[2]);
        }
    }
    return result;
}

// Luma (BT.601) of a picture, as doubles.
std::vector<double> Luma(const QImage& picture) {
    std::vector<double> luma(size_t(picture.width()) * size_t(picture.height()));
    for (int y = 0; y < picture.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            luma[size_t(y) * size_t(picture.width()) + size_t(x)] =
                0.299 * qRed(in[x]) + 0.587 * qGreen(in[x]) + 0.114 * qBlue(in[x]);
        }
    }
    return luma;
}

double PsnrOfLuma(const std::vector<double>& a, const std::vector<double>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        sum += (a[i] - b[i]) * (a[i] - b[i]);
    }
    const double mse = std::max(sum / double(a.size()), 1e-10);
    return 10 * std::log10(255.0 * 255.0 / mse);
}

// SSIM of the luma over 8x8 windows every 4 pixels (the windows of libvpx's SSIM).
double SsimOfLuma(const std::vector<double>& a, const std::vector<double>& b, int width,
                  int height) {
    const double c1 = (0.01 * 255) * (0.01 * 255);
    const double c2 = (0.03 * 255) * (0.03 * 255);
    double total = 0;
    int windows = 0;
    for (int y = 0; y + 8 <= height; y += 4) {
        for (int x = 0; x + 8 <= width; x += 4) {
            double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
            for (int j = 0; j < 8; ++j) {
                for (int i = 0; i < 8; ++i) {
                    const size_t at = size_t(y + j) * size_t(width) + size_t(x + i);
                    sa += a[at];
                    sb += b[at];
                    saa += a[at] * a[at];
                    sbb += b[at] * b[at];
                    sab += a[at] * b[at];
                }
            }
            const double n = 64;
            const double ma = sa / n, mb = sb / n;
            const double va = saa / n - ma * ma, vb = sbb / n - mb * mb, cov = sab / n - ma * mb;
            total +=
                ((2 * ma * mb + c1) * (2 * cov + c2)) / ((ma * ma + mb * mb + c1) * (va + vb + c2));
            ++windows;
        }
    }
    return windows > 0 ? total / windows : 1.0;
}

// Least-squares cubic through (x, y).
std::array<double, 4> FitCubic(const std::vector<double>& x, const std::vector<double>& y) {
    double m[4][5] = {};
    for (size_t k = 0; k < x.size(); ++k) {
        double powers[7];
        powers[0] = 1;
        for (int p = 1; p < 7; ++p) {
            powers[p] = powers[p - 1] * x[k];
        }
        for (int r = 0; r < 4; ++r) {
            for (int c = 0; c < 4; ++c) {
                m[r][c] += powers[r + c];
            }
            m[r][4] += powers[r] * y[k];
        }
    }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r) {
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) {
                pivot = r;
            }
        }
        std::swap(m[col], m[pivot]);
        for (int r = 0; r < 4; ++r) {
            if (r != col && m[col][col] != 0) {
                const double f = m[r][col] / m[col][col];
                for (int c = col; c < 5; ++c) {
                    m[r][c] -= f * m[col][c];
                }
            }
        }
    }
    return {m[0][4] / m[0][0], m[1][4] / m[1][1], m[2][4] / m[2][2], m[3][4] / m[3][3]};
}

double IntegralOfCubic(const std::array<double, 4>& p, double from, double to) {
    const auto primitive = [&](double x) {
        return p[0] * x + p[1] * x * x / 2 + p[2] * x * x * x / 3 + p[3] * x * x * x * x / 4;
    };
    return primitive(to) - primitive(from);
}

// Bjøntegaard's rate difference of test against reference, in percent: the mean gap of the
// log-rate curves (cubic in the metric) over the metric range both cover.
double BdRate(const std::vector<double>& refRate, const std::vector<double>& refMetric,
              const std::vector<double>& testRate, const std::vector<double>& testMetric) {
    std::vector<double> refLog, testLog;
    for (double r : refRate)
        refLog.push_back(std::log(r));
    for (double r : testRate)
        testLog.push_back(std::log(r));
    const double low = std::max(*std::min_element(refMetric.begin(), refMetric.end()),
                                *std::min_element(testMetric.begin(), testMetric.end()));
    const double high = std::min(*std::max_element(refMetric.begin(), refMetric.end()),
                                 *std::max_element(testMetric.begin(), testMetric.end()));
    if (high <= low) {
        return NAN;
    }
    const double gap = (IntegralOfCubic(FitCubic(testMetric, testLog), low, high) -
                        IntegralOfCubic(FitCubic(refMetric, refLog), low, high)) /
                       (high - low);
    return (std::exp(gap) - 1) * 100;
}

struct Point {
    double bytes, psnr, ssimDb;
};

int Rate(const QStringList& arguments) {
    const bool av1 = arguments.value(0) == QLatin1String("avif");
    std::vector<int> qualities;
    for (const QString& q : arguments.value(1).split(QLatin1Char(','))) {
        qualities.push_back(q.toInt());
    }
    const qsizetype dashes = arguments.indexOf(QStringLiteral("--"));
    const QStringList settings = arguments.mid(2, dashes - 2);
    const QStringList pictures = arguments.mid(dashes + 1);
    if (qualities.size() < 4 || settings.isEmpty() || dashes < 0 || pictures.isEmpty()) {
        std::fprintf(stderr, "rate needs four qualities or more, settings, -- and pictures\n");
        return 2;
    }
    // curves[setting][picture] = points in quality order
    std::vector<std::vector<std::vector<Point>>> curves(size_t(settings.size()));
    std::vector<double> cpuTotal(size_t(settings.size())), wallTotal(size_t(settings.size()));
    std::printf("%-18s %-40s %4s %9s %7s %7s %8s %7s %7s\n", "picture", "setting", "q", "bytes",
                "bpp", "psnr-y", "ssim-y", "cpu-s", "wall-s");
    for (const QString& path : pictures) {
        const QImage picture = QImage(path).convertToFormat(QImage::Format_RGB32);
        if (picture.isNull()) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            return 1;
        }
        const std::vector<double> sourceLuma = Luma(picture);
        for (qsizetype s = 0; s < settings.size(); ++s) {
            std::vector<Point> curve;
            for (int quality : qualities) {
                QBuffer buffer;
                buffer.open(QIODevice::WriteOnly);
                PictureFacts facts;
                facts.av1 = av1;
                const double cpu0 = CpuSeconds();
                QElapsedTimer wall;
                wall.start();
                WriteHeifWithParameters(picture, quality, facts, buffer,
                                        ParseSettings(settings[s], av1, quality));
                const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
                const double cpuSeconds = CpuSeconds() - cpu0;
                cpuTotal[size_t(s)] += cpuSeconds;
                wallTotal[size_t(s)] += wallSeconds;
                const QImage copy = Decode(buffer.data());
                if (copy.size() != picture.size()) {
                    std::fprintf(stderr, "the copy of %s does not decode\n", qPrintable(path));
                    return 1;
                }
                const std::vector<double> copyLuma = Luma(copy);
                const double psnr = PsnrOfLuma(sourceLuma, copyLuma);
                const double ssim =
                    SsimOfLuma(sourceLuma, copyLuma, picture.width(), picture.height());
                const double bytes = double(buffer.data().size());
                curve.push_back({bytes, psnr, -10 * std::log10(std::max(1 - ssim, 1e-10))});
                std::printf("%-18s %-40s %4d %9.0f %7.3f %7.2f %8.5f %7.2f %7.2f\n",
                            qPrintable(QFileInfo(path).fileName()), qPrintable(settings[s]),
                            quality, bytes,
                            bytes * 8 / (double(picture.width()) * picture.height()), psnr, ssim,
                            cpuSeconds, wallSeconds);
                std::fflush(stdout);
            }
            curves[size_t(s)].push_back(curve);
        }
    }
    std::printf(
        "\nBD-rate against \"%s\" (negative: fewer bytes for the same quality); "
        "encode time relative to it\n",
        qPrintable(settings[0]));
    std::printf("%-40s %10s %10s %8s %8s\n", "setting", "BD psnr-y", "BD ssim-y", "cpu", "wall");
    for (qsizetype s = 1; s < settings.size(); ++s) {
        double sumPsnr = 0, sumSsim = 0;
        for (qsizetype p = 0; p < pictures.size(); ++p) {
            std::vector<double> refRate, refPsnr, refSsim, rate, psnr, ssim;
            for (const Point& point : curves[0][size_t(p)]) {
                refRate.push_back(point.bytes);
                refPsnr.push_back(point.psnr);
                refSsim.push_back(point.ssimDb);
            }
            for (const Point& point : curves[size_t(s)][size_t(p)]) {
                rate.push_back(point.bytes);
                psnr.push_back(point.psnr);
                ssim.push_back(point.ssimDb);
            }
            const double bdPsnr = BdRate(refRate, refPsnr, rate, psnr);
            const double bdSsim = BdRate(refRate, refSsim, rate, ssim);
            sumPsnr += bdPsnr;
            sumSsim += bdSsim;
            std::printf("  %-38s %+9.1f%% %+9.1f%%\n",
                        qPrintable(QFileInfo(pictures[p]).fileName()), bdPsnr, bdSsim);
        }
        std::printf("%-40s %+9.1f%% %+9.1f%% %7.2fx %7.2fx\n", qPrintable(settings[s]),
                    sumPsnr / double(pictures.size()), sumSsim / double(pictures.size()),
                    cpuTotal[size_t(s)] / cpuTotal[0], wallTotal[size_t(s)] / wallTotal[0]);
    }
    return 0;
}

int Write(const QStringList& arguments) {
    const QString target = arguments.value(1);
    const bool av1 = target.endsWith(QLatin1String(".avif"), Qt::CaseInsensitive);
    const int quality = arguments.value(2).toInt();
    const QImage picture = QImage(arguments.value(0)).convertToFormat(QImage::Format_RGB32);
    if (picture.isNull()) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(arguments.value(0)));
        return 1;
    }
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(target));
        return 1;
    }
    PictureFacts facts;
    facts.av1 = av1;
    if (arguments.size() > 3) {
        WriteHeifWithParameters(picture, quality, facts, file,
                                ParseSettings(arguments.value(3), av1, quality));
    } else {
        WriteHeif(picture, quality, facts, file);
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    RaiseImageAllocationLimit();
    const QStringList arguments = app.arguments().mid(1);
    try {
        if (arguments.value(0) == QLatin1String("rate") && arguments.size() >= 5) {
            return Rate(arguments.mid(1));
        }
        if (arguments.value(0) == QLatin1String("write") && arguments.size() >= 4) {
            return Write(arguments.mid(1));
        }
    } catch (const VbError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: %s rate <heic|avif> <q,q,q,q> <settings>... -- <picture>...\n"
                 "       %s write <picture> <copy.heic|copy.avif> <quality> [settings]\n",
                 argv[0], argv[0]);
    return 2;
}
