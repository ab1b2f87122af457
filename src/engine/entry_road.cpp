// SPDX-License-Identifier: MIT
// The road of one entry, from its source file to its stamped copy in the output folder.
#include "engine/entry_road.h"

#include "core/canvas.h"
#include "engine/bitmap_writer.h"
#include "engine/coefficient_stamp.h"
#include "engine/converter.h"
#include "engine/converter_progress.h"
#include "engine/decode_after.h"
#include "engine/input_conversion.h"
#include "engine/photo_facts.h"
#include "engine/photo_metadata.h"
#include "engine/picture_loader.h"
#include "engine/plane_stamp.h"
#include "engine/run_while_yielding.h"
#include "engine/save_jpeg.h"
#include "engine/save_modern_picture.h"
#include "engine/stamp_drawing.h"
#include "imageio/modern_format.h"
#include "imageio/result_file.h"
#include "util/descriptor_path.h"
#include "util/error_trap.h"
#include "util/file_ops.h"
#include "util/paths.h"

#include <memory>
#include <optional>

void StampSourceSteps(ErrorTrap& trap, const EntryRoad& road, const QString& source) {
    Canvas& canvas = road.canvas;
    QString loadPath;
    trap.Do(138, [&] { loadPath = source; });
    // The last entry's picture goes before this one is converted or loaded, so the two are
    // never held at once. Nothing reads the canvas between here and a successful load: an
    // entry whose picture cannot be read writes nothing.
    canvas.ReleasePicture();
    // Read once, whatever the format: the text's facts and every writer take it from here.
    const SourceMetadata metadata = ReadSourceMetadata(source);
    std::optional<QString> ownText;
    if (road.sourceText) {
        ownText = road.sourceText(PhotoFacts(metadata));
    }
    const QString extension = LowerExtension(source);
    QString tempFolder;
    if (trap.Test(140, [&] { return NeedsInputConversion(extension); })) {
        // Without its private temporary folder the entry has nothing to load.
        if (!trap.Do(142, [&] { tempFolder = road.tempFolder(); })) {
            return;
        }
        loadPath = ConvertForLoading(road.progress, road.fileCount, trap, 144, source, tempFolder);
        if (loadPath.isEmpty()) {
            return;
        }
    }
    // A JPEG copied as JPEG is stamped in its own blocks when they can hold it, and
    // otherwise, like a HEIC, HEIF or AVIF copied in its own format, in its own colour
    // planes: only the stamp's rectangle goes through RGB, and the rest of the picture is
    // written as the source holds it (a JPEG's blocks put into the copy's quality).
    std::optional<JpegCoefficients> blocks;
    std::optional<JpegPlanes> planes;
    std::optional<HeifPlanes> heifPlanes;
    // A picture that cannot be read is reported once and nothing is written under its name.
    if (!trap.Do(160, [&] {
            LoadedPicture loaded =
                LoadForStamping(road.ahead, loadPath, loadPath == source && CopiesInPlanes(source));
            blocks = std::move(loaded.coefficients);
            planes = std::move(loaded.planes);
            heifPlanes = std::move(loaded.heifPlanes);
            if (!loaded.HasPlanes()) {
                canvas.SetPicture(std::move(loaded.image));
            }
        })) {
        return;
    }
    trap.Do(162, [&] {
        StampSettings settings = road.settings();
        if (ownText) {
            settings.text = *ownText;
        }
        if (blocks) {
            StampCoefficients(*blocks, canvas, settings, road.dialogs);
        } else if (planes) {
            StampPlanes(*planes, canvas, settings, road.dialogs);
        } else if (heifPlanes) {
            StampPlanes(heifPlanes->View(), canvas, settings, road.dialogs);
        } else {
            DrawStamp(canvas, settings, road.dialogs);
        }
    });
    QString outputFolder;
    QString outputName;
    QString outputPath;
    trap.Do(164, [&] { outputFolder = road.settings().outputFolder; });
    trap.Do(166, [&] { outputName = FileNamePart(source); });
    trap.Do(168, [&] { outputPath = outputFolder + QLatin1Char('/') + outputName; });
    // Today's formats are written by their own libraries at the slider's quality; the
    // encode runs beside the caller, which keeps yielding through a long HEIC.
    if (trap.Test(170, [&] { return ModernFormatOfName(source).has_value(); })) {
        trap.Do(172, [&] {
            if (heifPlanes) {
                RunWhileYielding(
                    [planes = *heifPlanes, metadata, outputPath,
                     quality = road.settings().quality] {
                        SaveModernPlanes(planes, metadata, outputPath, quality);
                    },
                    [&] { road.progress.Yield(); });
                return;
            }
            RunWhileYielding(
                [picture = canvas.Image(), metadata, outputPath,
                 quality = road.settings().quality] {
                    SaveModernPicture(picture, metadata, outputPath, quality);
                },
                [&] { road.progress.Yield(); });
        });
        return;
    }
    if (trap.Test(170, [&] {
            return extension == QLatin1String("jpg") || extension == QLatin1String("jpeg");
        })) {
        trap.Do(172, [&] {
            // The source's metadata goes in with the encoded picture.
            if (blocks) {
                SaveJpegCoefficients(*blocks, outputPath, road.settings().quality,
                                     metadata.ForCopy(JpegCoefficientsShape(*blocks)));
                return;
            }
            if (planes) {
                SaveJpegPlanes(*planes, outputPath, road.settings().quality,
                               metadata.ForCopy(JpegPlanesShape(*planes)));
                return;
            }
            SaveJpeg(canvas.Image(), outputPath, road.settings().quality,
                     metadata.ForCopy(canvas.Image()));
        });
        return;
    }
    // A format the converter writes starts as a bitmap under a temporary name beside the
    // output: only a finished conversion takes the output name, so a failed one leaves
    // whatever stood there (the original itself, when the output folder is the source's).
    const bool bitmapOnly = extension == QLatin1String("bmp") || extension == QLatin1String("wmf");
    std::unique_ptr<ResultFile> pending;
    if (!trap.Do(176, [&] {
            if (bitmapOnly) {
                SavePictureAsBitmap(canvas.Image(), outputPath);
                return;
            }
            pending = std::make_unique<ResultFile>(outputPath);
            WritePictureAsBitmap(canvas.Image(), *pending);
            pending->Finish();
        })) {
        return;
    }
    if (trap.Test(178, [&] { return bitmapOnly; })) {
        return;
    }
    QByteArray bytes;
    // Without the converter's folder or bytes the conversion cannot run; the pending
    // bitmap goes with it.
    if (!trap.Do(180, [&] {
            bytes = ConverterBytes();
            tempFolder = road.tempFolder();
        })) {
        return;
    }
    if (!trap.Do(182, [&] { PrepareConverter(bytes, tempFolder); })) {
        return;
    }
    // The converter reads the bitmap and writes a new file beside it through descriptors
    // this process opened, so no step reopens a name that another user could replace.
    std::unique_ptr<ResultFile> converted;
    QString command;
    if (!trap.Do(184, [&] {
            converted = std::make_unique<ResultFile>(outputPath);
            command = OutputConversionCommand(tempFolder, DescriptorPath(converted->descriptor()),
                                              extension, DescriptorPath(pending->descriptor()));
        })) {
        return;
    }
    if (extension == QLatin1String("png")) {
        trap.Do(194, [&] {
            const QString path = StampTmpPath(tempFolder);
            road.progress.Yield();
            DeleteFileForced(path);
        });
    }
    trap.Do(206, [&] {
        QString why;
        const qint32 code = RunConverter(command, tempFolder, road.progress, road.progress.Text(),
                                         road.progress.Value(), road.fileCount(), &why);
        if (code != 0) {
            // The user knows the files by the output's name.
            for (const int fd : {pending->descriptor(), converted->descriptor()}) {
                why.replace(Quoted(DescriptorPath(fd)), Quoted(outputPath));
            }
            RaiseOutputConversionFailure(code, why, pending->temporaryPath(), outputPath,
                                         extension);
        }
        pending.reset();
        // The source's metadata goes into the converted file before it takes the output
        // name; the step never fails the entry.
        KeepPhotoMetadata(metadata.ForCopy(canvas.Image()), converted);
        converted->Commit();
    });
    trap.Do(208, [&] {
        const QString path = ConverterPath(tempFolder);
        road.progress.Yield();
        DeleteFileForced(path);
    });
}
