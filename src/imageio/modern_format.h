// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The picture formats of today's phones, cameras and web pages. Unlike the older formats,
// which are judged by their content alone, each is read only under its own names and
// only when the content agrees with the name: these readers are large, and a file that
// says it is a JPEG must never reach a HEVC or AV1 decoder.
enum class ModernFormat { Heic, Heif, Avif, WebP, Jxl };

// The format a file name stands for (".heic", ".heif", ".avif", ".webp", ".jxl", in any
// case), or nothing for every other name.
std::optional<ModernFormat> ModernFormatOfName(const QString& path);

// True when the bytes hold what the format's name promises: a HEIF container with HEVC
// pictures for .heic, any HEIF container for .heif, AV1 pictures for .avif, a RIFF WebP
// file, a JPEG XL codestream or container.
bool ContentMatchesFormat(const QByteArray& data, ModernFormat format);

// True when a HEIF container says it holds AV1 pictures: its copy is written with AV1.
bool HoldsAv1(const QByteArray& data);

// The name users know the format by ("HEIC", "AVIF", "WebP", "JPEG XL").
QString ModernFormatName(ModernFormat format);
