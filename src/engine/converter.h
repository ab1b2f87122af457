// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

class ConverterProgress;

// The converter program the application carries inside itself, the command lines that
// run it from the temporary folder, and running it.

inline constexpr char kConverterName[] = "velloran-convert";
inline constexpr char kStampTmpName[] = "StampTmp.jpg";

// The converter's bytes, as carried in the program's resources.
QByteArray ConverterBytes();
// <temp>/velloran-convert; throws VbError for an empty folder.
QString ConverterPath(const QString& tempFolder);
// <temp>/StampTmp.jpg; throws VbError for an empty folder.
QString StampTmpPath(const QString& tempFolder);
// Makes sure the temporary folder holds the converter, runnable by the user alone. A file
// already there is used only when it is a regular file of the user holding exactly these
// bytes; anything else (another user's program, a link) is removed and written afresh.
void PrepareConverter(const QByteArray& bytes, const QString& tempFolder);

// "<conv>" -out jpeg -o "<temp>/StampTmp.jpg"  "<source>"
QString InputConversionCommand(const QString& tempFolder, const QString& source);
// "<conv>" -out <format part>"<output>" with the format part chosen by the lower-cased
// extension: "gif  -dither -colors 256 ", "png ", "tiff " (tif), "ico ", or nothing.
// With a bitmap path, "<conv>" -out <format part>-o "<output>"  "<bitmap>": the run hands
// both files over as descriptors, so the converter reopens no name another user could
// have replaced.
QString OutputConversionCommand(const QString& tempFolder, const QString& outputPath,
                                const QString& extension, const QString& bitmapPath = QString());
// A path in double quotes. A double quote inside it is written as three, which the
// command-line splitter reads back as one, so no file name can add arguments.
QString Quoted(const QString& path);

// Runs a converter command line through RunAndWait, the wait shown on `progress`, and
// returns its result. When the temporary folder forbids running programs (a noexec mount), the same
// bytes run once more from an anonymous memory file.
qint32 RunConverter(const QString& commandLine, const QString& tempFolder,
                    ConverterProgress& bar, const QString& barText, int barValue, int fileCount,
                    QString* childError);

// Why a conversion failed, in words for the user: the converter's message without its
// program name and its hints, the temporary path shown as the path the user knows.
QString ConversionFailureReason(qint32 code, QString why, const QString& temporaryPath,
                                const QString& shownPath);
// Raises the failure of an output conversion: 61 when the disk is full, else 1001
// "Cannot write "<output>" as <FORMAT>: <reason>".
[[noreturn]] void RaiseOutputConversionFailure(qint32 code, const QString& why,
                                               const QString& temporaryPath,
                                               const QString& outputPath, const QString& extension);
