// SPDX-License-Identifier: MIT
// "Start Stamping": stamps every file of the list and writes each copy into the output
// folder under the source's name and in the source's format.
#include "batch/bitmap_writer.h"
#include "batch/converter.h"
#include "batch/input_conversion.h"
#include "batch/picture_loader.h"
#include "batch/progress_bar_text.h"
#include "batch/run_and_wait.h"
#include "batch/save_jpeg.h"
#include "core/overlay_text.h"
#include "filelist/file_list_view.h"
#include "ui/form1.h"
#include "ui/stamp_text_box.h"
#include "util/error_trap.h"
#include "util/file_ops.h"
#include "util/message_box.h"
#include "util/paths.h"
#include "util/vb_error.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>

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
        for (int i = 1; i <= n; ++i) {
            StampEntry(trap, i);
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
    const QString extension = LowerExtension(source);
    QString tempFolder;
    if (trap.Test(140, [&] { return NeedsInputConversion(extension); })) {
        trap.Do(142, [&] { tempFolder = env.tempFolder(); });
        loadPath = ConvertForLoading(*this, trap, 144, source, tempFolder);
        if (loadPath.isEmpty()) {
            return;
        }
    }
    // A picture that cannot be read is reported once and nothing is written under its
    // name: the canvas still holds the previous picture.
    if (!trap.Do(160, [&] { Picture1.SetPicture(LoadPicture(loadPath)); })) {
        return;
    }
    trap.Do(162, [&] { OverlayText2(Picture1, Text4->Text(), Combo2->currentText(), dialogs); });
    QString outputFolder;
    QString outputName;
    QString outputPath;
    trap.Do(164, [&] { outputFolder = Text1->text(); });
    trap.Do(166, [&] { outputName = FileNamePart(source); });
    trap.Do(168, [&] { outputPath = outputFolder + QLatin1Char('/') + outputName; });
    if (trap.Test(170, [&] {
            return extension == QLatin1String("jpg") || extension == QLatin1String("jpeg");
        })) {
        trap.Do(172, [&] {
            SaveJpeg(Picture1.Image(), outputPath, static_cast<quint8>(Slider1->value()));
        });
        return;
    }
    if (!trap.Do(176, [&] { SavePictureAsBitmap(Picture1.Image(), outputPath); })) {
        return;
    }
    if (trap.Test(178, [&] {
            return extension == QLatin1String("bmp") || extension == QLatin1String("wmf");
        })) {
        return;
    }
    QByteArray bytes;
    trap.Do(180, [&] {
        bytes = ConverterBytes();
        tempFolder = env.tempFolder();
    });
    trap.Do(182, [&] {
        if (!FileExists(ConverterPath(tempFolder))) {
            WriteConverter(bytes, tempFolder);
        }
    });
    QString command;
    trap.Do(184, [&] { command = OutputConversionCommand(tempFolder, outputPath, extension); });
    if (extension == QLatin1String("png")) {
        trap.Do(194, [&] { DeleteFileForced(StampTmpPath(tempFolder)); });
    }
    trap.Do(206, [&] {
        QString why;
        const int code = RunAndWait(command, 0, ProgressBar1, ProgressBarText(ProgressBar1),
                                    ProgressBar1->value(), ListView1->Count(), &why);
        if (code != 0) {
            // The bitmap under the output name would claim another format than it holds.
            QFile::remove(outputPath);
            Raise(vberr::kConverterFailed,
                  QStringLiteral("Cannot write \"%1\": %2")
                      .arg(outputPath,
                           why.isEmpty()
                               ? QStringLiteral("the converter ended with code %1").arg(code)
                               : why));
        }
    });
    trap.Do(208, [&] { DeleteFileForced(ConverterPath(tempFolder)); });
}
