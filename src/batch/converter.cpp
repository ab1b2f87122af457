// SPDX-License-Identifier: MIT
#include "batch/converter.h"

#include "util/file_ops.h"
#include "util/vb_error.h"

#include <QFile>

static void InitConverterResource() {
    Q_INIT_RESOURCE(converter);
}

QByteArray ConverterBytes() {
    InitConverterResource();
    QFile resource(QStringLiteral(":/velloran/") + QString::fromLatin1(kConverterName));
    if (!resource.open(QIODevice::ReadOnly)) {
        Raise(vberr::kFileNotFound, QStringLiteral("The converter is missing from the program"));
    }
    return resource.readAll();
}

QString ConverterPath(const QString& tempFolder) {
    return tempFolder + QLatin1Char('/') + QString::fromLatin1(kConverterName);
}

QString StampTmpPath(const QString& tempFolder) {
    return tempFolder + QLatin1Char('/') + QString::fromLatin1(kStampTmpName);
}

void WriteConverter(const QByteArray& bytes, const QString& tempFolder) {
    const QString path = ConverterPath(tempFolder);
    WriteBytesToFile(bytes, path);
    QFile::setPermissions(path,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QString Quoted(const QString& path) {
    QString inner = path;
    inner.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
    return QLatin1Char('"') + inner + QLatin1Char('"');
}

QString InputConversionCommand(const QString& tempFolder, const QString& source) {
    return Quoted(ConverterPath(tempFolder)) + QStringLiteral(" -out jpeg -o ") +
           Quoted(StampTmpPath(tempFolder)) + QStringLiteral("  ") + Quoted(source);
}

QString OutputConversionCommand(const QString& tempFolder, const QString& outputPath,
                                const QString& extension) {
    QString format;
    if (extension == QLatin1String("gif")) {
        format = QStringLiteral("gif  -dither -colors 256 ");
    } else if (extension == QLatin1String("png")) {
        format = QStringLiteral("png ");
    } else if (extension == QLatin1String("tif")) {
        format = QStringLiteral("tiff ");
    } else if (extension == QLatin1String("ico")) {
        format = QStringLiteral("ico ");
    }
    return Quoted(ConverterPath(tempFolder)) + QStringLiteral(" -out ") + format +
           Quoted(outputPath);
}
