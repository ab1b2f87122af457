// SPDX-License-Identifier: MIT
#include "settings_rate.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

namespace {

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

// True when both pictures hold the same colours in every pixel (whatever their profiles).
bool SamePixels(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (int y = 0; y < a.height(); ++y) {
        const auto* left = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* right = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if ((left[x] & 0xffffff) != (right[x] & 0xffffff)) {
                return false;
            }
        }
    }
    return true;
}

// PSNR over the three colour channels, where a loss in chroma shows that the luma hides.
double PsnrOfRgb(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* left = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* right = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            for (int d : {qRed(left[x]) - qRed(right[x]), qGreen(left[x]) - qGreen(right[x]),
                          qBlue(left[x]) - qBlue(right[x])}) {
                sum += double(d) * d;
            }
        }
    }
    const double mse = std::max(sum / (3.0 * a.width() * a.height()), 1e-10);
    return 10 * std::log10(255.0 * 255.0 / mse);
}

struct Point {
    double bytes, psnr, ssimDb, psnrRgb;
};

// The mean over the pictures of each setting's BD-rate against the first setting.
void PrintBdRates(const QStringList& settings, const QStringList& pictures,
                  const std::vector<std::vector<std::vector<Point>>>& curves,
                  const std::vector<double>& cpuTotal, const std::vector<double>& wallTotal) {
    std::printf(
        "\nBD-rate against \"%s\" (negative: fewer bytes for the same quality); "
        "encode time relative to it\n",
        qPrintable(settings[0]));
    std::printf("%-40s %10s %10s %10s %8s %8s\n", "setting", "BD psnr-y", "BD ssim-y",
                "BD psnr-rgb", "cpu", "wall");
    for (qsizetype s = 1; s < settings.size(); ++s) {
        double sumPsnr = 0, sumSsim = 0, sumRgb = 0;
        for (qsizetype p = 0; p < pictures.size(); ++p) {
            std::vector<double> refRate, refPsnr, refSsim, refRgb, rate, psnr, ssim, rgb;
            for (const Point& point : curves[0][size_t(p)]) {
                refRate.push_back(point.bytes);
                refPsnr.push_back(point.psnr);
                refSsim.push_back(point.ssimDb);
                refRgb.push_back(point.psnrRgb);
            }
            for (const Point& point : curves[size_t(s)][size_t(p)]) {
                rate.push_back(point.bytes);
                psnr.push_back(point.psnr);
                ssim.push_back(point.ssimDb);
                rgb.push_back(point.psnrRgb);
            }
            const double bdPsnr = BdRate(refRate, refPsnr, rate, psnr);
            const double bdSsim = BdRate(refRate, refSsim, rate, ssim);
            const double bdRgb = BdRate(refRate, refRgb, rate, rgb);
            sumPsnr += bdPsnr;
            sumSsim += bdSsim;
            sumRgb += bdRgb;
            std::printf("  %-38s %+9.1f%% %+9.1f%% %+9.1f%%\n",
                        qPrintable(QFileInfo(pictures[p]).fileName()), bdPsnr, bdSsim, bdRgb);
        }
        const double count = double(pictures.size());
        std::printf("%-40s %+9.1f%% %+9.1f%% %+9.1f%% %7.2fx %7.2fx\n", qPrintable(settings[s]),
                    sumPsnr / count, sumSsim / count, sumRgb / count,
                    cpuTotal[size_t(s)] / cpuTotal[0], wallTotal[size_t(s)] / wallTotal[0]);
    }
}

// Each setting's total size and time against the first setting's, for lossless copies.
void PrintSizes(const QStringList& settings,
                const std::vector<std::vector<std::vector<Point>>>& curves,
                const std::vector<double>& cpuTotal, const std::vector<double>& wallTotal) {
    std::vector<double> bytes(size_t(settings.size()));
    for (size_t s = 0; s < bytes.size(); ++s) {
        for (const std::vector<Point>& curve : curves[s]) {
            for (const Point& point : curve) {
                bytes[s] += point.bytes;
            }
        }
    }
    std::printf("\nAgainst \"%s\": total size and encode time\n", qPrintable(settings[0]));
    std::printf("%-40s %10s %8s %8s\n", "setting", "size", "cpu", "wall");
    for (qsizetype s = 1; s < settings.size(); ++s) {
        std::printf("%-40s %+9.1f%% %7.2fx %7.2fx\n", qPrintable(settings[s]),
                    (bytes[size_t(s)] / bytes[0] - 1) * 100, cpuTotal[size_t(s)] / cpuTotal[0],
                    wallTotal[size_t(s)] / wallTotal[0]);
    }
}

}  // namespace

int RateSettings(const std::vector<int>& qualities, const QStringList& settings,
                 const QStringList& pictures, const SettingsCodec& codec) {
    const bool curvesFit = qualities.size() >= 4;
    // curves[setting][picture] = points in quality order
    std::vector<std::vector<std::vector<Point>>> curves(size_t(settings.size()));
    std::vector<double> cpuTotal(size_t(settings.size())), wallTotal(size_t(settings.size()));
    std::printf("%-18s %-40s %4s %9s %7s %7s %8s %8s %7s %7s\n", "picture", "setting", "q",
                "bytes", "bpp", "psnr-y", "ssim-y", "psnr-rgb", "cpu-s", "wall-s");
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
                const double cpu0 = CpuSeconds();
                QElapsedTimer wall;
                wall.start();
                const QByteArray bytes = codec.encode(picture, quality, settings[s]);
                const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
                const double cpuSeconds = CpuSeconds() - cpu0;
                cpuTotal[size_t(s)] += cpuSeconds;
                wallTotal[size_t(s)] += wallSeconds;
                const QImage copy = codec.decode(bytes);
                if (copy.size() != picture.size()) {
                    std::fprintf(stderr, "the copy of %s does not decode\n", qPrintable(path));
                    return 1;
                }
                if (!curvesFit && !SamePixels(copy, picture)) {
                    std::fprintf(stderr, "the lossless copy of %s with %s differs\n",
                                 qPrintable(path), qPrintable(settings[s]));
                    return 1;
                }
                const std::vector<double> copyLuma = Luma(copy);
                const double psnr = PsnrOfLuma(sourceLuma, copyLuma);
                const double ssim =
                    SsimOfLuma(sourceLuma, copyLuma, picture.width(), picture.height());
                const double psnrRgb = PsnrOfRgb(picture, copy);
                curve.push_back({double(bytes.size()), psnr,
                                 -10 * std::log10(std::max(1 - ssim, 1e-10)), psnrRgb});
                std::printf("%-18s %-40s %4d %9lld %7.3f %7.2f %8.5f %8.2f %7.2f %7.2f\n",
                            qPrintable(QFileInfo(path).fileName()), qPrintable(settings[s]),
                            quality, qlonglong(bytes.size()),
                            double(bytes.size()) * 8 / (double(picture.width()) * picture.height()),
                            psnr, ssim, psnrRgb, cpuSeconds, wallSeconds);
                std::fflush(stdout);
            }
            curves[size_t(s)].push_back(curve);
        }
    }
    if (curvesFit) {
        PrintBdRates(settings, pictures, curves, cpuTotal, wallTotal);
    } else {
        PrintSizes(settings, curves, cpuTotal, wallTotal);
    }
    return 0;
}
