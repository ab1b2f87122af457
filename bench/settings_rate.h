// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// The rate study shared by the encoder-settings benchmarks: every picture at every quality
// with every setting, the copy decoded and measured against its picture (size, PSNR and
// SSIM of the luma, PSNR of the colour channels, the encode's CPU and wall time), then each
// setting's BD-rate against the first one, per picture and as a mean, on the luma's PSNR
// and SSIM (as dB) and on the colours' PSNR.
struct SettingsCodec {
    // The copy's bytes of `picture` at `quality` with the setting named `setting`.
    std::function<QByteArray(const QImage& picture, int quality, const QString& setting)> encode;
    // The copy's picture as Format_RGB32; null when it does not decode.
    std::function<QImage(const QByteArray& copy)> decode;
};

// Prints the table and returns the process's exit status. With fewer than four qualities
// (a lossless coding has one) no curve can be fitted: the sizes and times are compared
// instead, and every copy must give its picture back exactly.
int RateSettings(const std::vector<int>& qualities, const QStringList& settings,
                 const QStringList& pictures, const SettingsCodec& codec);

// The process's CPU time (user and system) so far, in seconds.
double CpuSeconds();
