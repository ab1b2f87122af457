// SPDX-License-Identifier: MIT
// "Start Stamping": stamps every file of the list and writes each copy into the output
// folder under the source's name and in the source's format.
#include "batch/bitmap_writer.h"
#include "batch/converter.h"
#include "batch/decode_ahead.h"
#include "batch/input_conversion.h"
#include "batch/photo_metadata.h"
#include "batch/picture_loader.h"
#include "batch/progress_bar_text.h"
#include "batch/save_jpeg.h"
#include "core/overlay_text.h"
#include "filelist/file_list_view.h"
#include "modern_formats/modern_format.h"
#include "modern_formats/run_while_yielding.h"
#include "modern_formats/save_modern_picture.h"
#include "ui/form1.h"
#include "ui/stamp_text_box.h"
#include "util/descriptor_path.h"
#include "util/error_trap.h"
#include "util/file_ops.h"
#include "util/message_box.h"
#include "util/paths.h"
#include "util/result_file.h"
#include "util/vb_error.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QScopeGuard>
#include <QSlider>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

// True when writing the copy of a source into the output folder would replace the
// source itself.
bool ReplacesSource(const QString& source, const QString& outputFolder) {
    const QFileInfo out(outputFolder + QLatin1Char('/') + FileNamePart(source));
    const QFileInfo in(source);
    return out.exists() && in.exists() && out.canonicalFilePath() == in.canonicalFilePath();
}

bool AnyReplacesSource(const FileListView& list, const QString& outputFolder) {
    for (const QString& source : list.Texts()) {
        if (ReplacesSource(source, outputFolder)) {
            return true;
        }
    }
    return false;
}

// The workers of the run in progress (the busy flag keeps runs from overlapping).
DecodeAhead* runDecoder = nullptr;

// Starts decoding the next entries' pictures that the loader reads straight from their
// sources; those through the converter are read from its output only when their turn comes.
// Decoding ahead is only a head start: whatever goes wrong here, the load step still reads
// the file and reports its errors.
void DecodeAfter(DecodeAhead& decoder, const FileListView& list, int i, int n) noexcept {
    try {
        const int last = std::min(n, list.Count());
        QStringList upcoming;
        for (int j = i + 1; j <= last && upcoming.size() < decoder.workers(); ++j) {
            const QString path = list.ItemText(j);
            if (!NeedsInputConversion(LowerExtension(path))) {
                upcoming << path;
            }
        }
        // A source through the converter is read late, from the converter's output: the
        // workers need not wait for that.
        const QString current = i <= last ? list.ItemText(i) : QString();
        decoder.Prefetch(NeedsInputConversion(LowerExtension(current)) ? QString() : current,
                         upcoming);
    } catch (...) {
    }
}

// The picture decoded ahead when the file is still the one decoded, else a load as usual,
// with the workers waiting until it is over.
QImage LoadForStamping(const QString& path) {
    if (runDecoder == nullptr) {
        return LoadPicture(path);
    }
    if (std::optional<QImage> picture = runDecoder->Take(path)) {
        return std::move(*picture);
    }
    const auto resume = qScopeGuard([] { runDecoder->Loaded(); });
    return LoadPicture(path);
}

}  // namespace

void Form1::PushButton2_Click() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.PushButton2_Click"));
    if (trap.Test(100, [&] { return busy; })) {
        return;
    }
    trap.Do(102, [&] { busy = true; });

    enum class End { Done, NoFolder, NoFiles, Declined };
    End end = End::Done;
    if (trap.Test(104, [&] { return ListView1->Count() == 0; })) {
        end = End::NoFiles;
    } else if (trap.Test(106, [&] { return !IsFolder(Text1->text()); })) {
        end = End::NoFolder;
    } else if (trap.Test(106, [&] { return AnyReplacesSource(*ListView1, Text1->text()); })) {
        // The default output folder is easily the photos' own folder: ask before any
        // original is overwritten.
        const auto answer = MsgBox(
            dialogs,
            QStringLiteral("Some stamped copies would replace their original files in \"%1\"."
                           "\r\rReplace the original files?")
                .arg(Text1->text()),
            Dialogs::Buttons::YesNo, Dialogs::Icon::Question);
        if (answer != Dialogs::Button::Yes) {
            end = End::Declined;
        }
    }

    if (end == End::Done) {
        CopyStampFontToCanvas(trap, 108);
        QString savedText;
        trap.Do(122, [&] { savedText = Text4->Text(); });
        int n = 0;
        trap.Do(124, [&] { n = ListView1->Count(); });
        {
            // Ends with the loop, so no picture is held while "Done." shows.
            DecodeAhead decoder(DecodeAhead::WorkersForThisMachine());
            runDecoder = &decoder;
            const auto noDecoder = qScopeGuard([] { runDecoder = nullptr; });
            for (int i = 1; i <= n; ++i) {
                DecodeAfter(decoder, *ListView1, i, n);
                StampEntry(trap, i);
            }
        }
        trap.Do(212, [&] { Text4->SetText(savedText); });
        trap.Do(214, [&] { SetMousePointer(kPointerDefault); });
        trap.Do(216, [&] { ProgressBar1->setValue(0); });
        trap.Do(218, [&] { SetProgressBarText(ProgressBar1, QStringLiteral("Progress Bar")); });
        trap.Do(220, [&] { MsgBox(dialogs, QStringLiteral("Done.")); });
    } else if (end == End::NoFolder) {
        trap.Do(222, [&] {
            MsgBox(dialogs, QStringLiteral("Folder does not exist. Please select another folder."));
        });
    } else if (end == End::NoFiles) {
        trap.Do(224, [&] { MsgBox(dialogs, QStringLiteral("No files added.")); });
    }
    trap.Do(226, [&] { busy = false; });
}

void Form1::StampEntry(ErrorTrap& trap, int i) {
    QString source;
    trap.Do(126, [&] { SetMousePointer(kPointerBusy); });
    // An entry removed during the run leaves nothing to stamp at its position.
    if (!trap.Do(128, [&] { source = ListView1->ItemText(i); })) {
        return;
    }
    trap.Do(130, [&] {
        ProgressBar1->setValue(qRound(static_cast<double>(i) / ListView1->Count() * 100.0));
    });
    trap.Do(132, [&] {
        SetProgressBarText(ProgressBar1, QStringLiteral("Processing: ") + FileNamePart(source));
    });
    trap.Do(134, [&] { QCoreApplication::processEvents(); });
    trap.Do(136, [&] { StampFilename(i); });
    QString loadPath;
    trap.Do(138, [&] { loadPath = source; });
    // The last entry's picture goes before this one is converted or loaded, so the two are
    // never held at once. Nothing reads the canvas between here and a successful load: an
    // entry whose picture cannot be read writes nothing.
    Picture1.ReleasePicture();
    const QString extension = LowerExtension(source);
    QString tempFolder;
    if (trap.Test(140, [&] { return NeedsInputConversion(extension); })) {
        // Without its private temporary folder the entry has nothing to load.
        if (!trap.Do(142, [&] { tempFolder = env.tempFolder(); })) {
            return;
        }
        loadPath = ConvertForLoading(*this, trap, 144, source, tempFolder);
        if (loadPath.isEmpty()) {
            return;
        }
    }
    // A picture that cannot be read is reported once and nothing is written under its
    // name: the canvas still holds the previous picture.
    if (!trap.Do(160, [&] { Picture1.SetPicture(LoadForStamping(loadPath)); })) {
        return;
    }
    trap.Do(162, [&] { OverlayText2(Picture1, Text4->Text(), Combo2->currentText(), dialogs); });
    QString outputFolder;
    QString outputName;
    QString outputPath;
    trap.Do(164, [&] { outputFolder = Text1->text(); });
    trap.Do(166, [&] { outputName = FileNamePart(source); });
    trap.Do(168, [&] { outputPath = outputFolder + QLatin1Char('/') + outputName; });
    // Today's formats are written by their own libraries at the slider's quality; the
    // encode runs beside the window, which stays usable through a long HEIC.
    if (trap.Test(170, [&] { return ModernFormatOfName(source).has_value(); })) {
        trap.Do(172, [&] {
            RunWhileYielding([picture = Picture1.Image(), source, outputPath,
                              quality = Slider1->value()] {
                SaveModernPicture(picture, source, outputPath, quality);
            });
        });
        return;
    }
    if (trap.Test(170, [&] {
            return extension == QLatin1String("jpg") || extension == QLatin1String("jpeg");
        })) {
        trap.Do(172, [&] {
            // The source's metadata goes in with the encoded picture.
            SaveJpeg(Picture1.Image(), outputPath, static_cast<quint8>(Slider1->value()),
                     ReadPhotoMetadata(source, Picture1.Image()));
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
                SavePictureAsBitmap(Picture1.Image(), outputPath);
                return;
            }
            pending = std::make_unique<ResultFile>(outputPath);
            WritePictureAsBitmap(Picture1.Image(), *pending);
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
            tempFolder = env.tempFolder();
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
        trap.Do(194, [&] { DeleteFileForced(StampTmpPath(tempFolder)); });
    }
    trap.Do(206, [&] {
        QString why;
        const qint32 code =
            RunConverter(command, tempFolder, ProgressBar1, ProgressBarText(ProgressBar1),
                         ProgressBar1->value(), ListView1->Count(), &why);
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
        KeepPhotoMetadata(source, converted, Picture1.Image());
        converted->Commit();
    });
    trap.Do(208, [&] { DeleteFileForced(ConverterPath(tempFolder)); });
}
