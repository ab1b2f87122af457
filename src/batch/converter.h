// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// The converter program the application carries inside itself, and the command lines
// that run it from the temporary folder.

inline constexpr char kConverterName[] = "velloran-convert";
inline constexpr char kStampTmpName[] = "StampTmp.jpg";

// The converter's bytes, as carried in the program's resources.
QByteArray ConverterBytes();
// <temp>/velloran-convert
QString ConverterPath(const QString& tempFolder);
// <temp>/StampTmp.jpg
QString StampTmpPath(const QString& tempFolder);
// Writes the converter into the temporary folder, runnable by the user alone.
void WriteConverter(const QByteArray& bytes, const QString& tempFolder);

// "<conv>" -out jpeg -o "<temp>/StampTmp.jpg"  "<source>"
QString InputConversionCommand(const QString& tempFolder, const QString& source);
// "<conv>" -out <format part>"<output>" with the format part chosen by the lower-cased
// extension: "gif  -dither -colors 256 ", "png ", "tiff " (tif), "ico ", or nothing.
QString OutputConversionCommand(const QString& tempFolder, const QString& outputPath,
                                const QString& extension);
// A path in double quotes. A double quote inside it is written as three, which the
// command-line splitter reads back as one, so no file name can add arguments.
QString Quoted(const QString& path);
