// SPDX-License-Identifier: MIT
// "Add Image File(s)": the files picked in the open-file dialog.
#include "ui/file_list_view.h"
#include "ui/form1.h"
#include "util/error_trap.h"
#include "util/message_box.h"
#include "util/paths.h"
#include "util/vb_error.h"

namespace {

// The dialog's answer did not fit its file-name buffer.
constexpr int kBufferTooSmall = 20476;
constexpr qsizetype kFileNameBufferSize = 30000;

const char* const kPicturePatterns[] = {"*.emf", "*.wmf", "*.jpg", "*.jpeg", "*.jfif", "*.jpe",
                                        "*.png", "*.bmp", "*.dib", "*.rle",  "*.bmz",  "*.gif",
                                        "*.gfa", "*.emz", "*.wmz", "*.pcz",  "*.tif",  "*.tiff",
                                        "*.cgm", "*.eps", "*.pct", "*.pict", "*.wpg"};

// Qt reads the patterns of a filter from between its parentheses, separated by blanks
// (a ";" would become part of one long pattern), so the blank takes the place of the
// ";" of the Windows filter text.
QString PictureFilter() {
    QStringList patterns;
    for (const char* pattern : kPicturePatterns) {
        patterns << QString::fromLatin1(pattern);
    }
    return QStringLiteral("All Pictures (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

QString ParentFolder(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

bool InFolder(const QString& path, const QString& folder) {
    return folder == QLatin1String("/") ? path.startsWith(QLatin1Char('/'))
                                        : path.startsWith(folder + QLatin1Char('/'));
}

// The dialog's classic answer: the path of a single file, or the folder followed by
// each chosen name behind a NUL. Raises error 20476 when it is longer than the
// dialog's file-name buffer; "" when nothing was chosen.
QString ClassicFileName(const QStringList& paths) {
    QString result;
    if (paths.size() == 1) {
        result = paths.first();
    } else if (paths.size() > 1) {
        QString folder = ParentFolder(paths.first());
        for (const QString& path : paths) {
            while (!InFolder(path, folder) && folder != QLatin1String("/")) {
                folder = ParentFolder(folder);
            }
        }
        const qsizetype skip = folder == QLatin1String("/") ? 1 : folder.size() + 1;
        result = folder;
        for (const QString& path : paths) {
            result += QChar(0) + path.mid(skip);
        }
    }
    if (result.size() > kFileNameBufferSize) {
        Raise(kBufferTooSmall, QStringLiteral("The file name buffer is too small"));
    }
    return result;
}

}  // namespace

void Form1::PushButton1_Click() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.PushButton1_Click"));
    QString fileName;
    QStringList parts;
    bool tooMany = false;

    trap.Do(100, [&] {
        try {
            fileName = ClassicFileName(dialogs.openFileNames(
                QStringLiteral("Add File(s) - Hold Ctrl or Shift to select multiple files"),
                PictureFilter()));
        } catch (const VbError& e) {
            if (e.number() != kBufferTooSmall) {
                throw;
            }
            tooMany = true;
        }
    });
    if (tooMany) {
        MsgBox(dialogs, QStringLiteral("You've selected too many files to add.") +
                            QStringLiteral("\r\r") +
                            QStringLiteral("Please try adding via the \"Add All\" button."));
        return;
    }
    if (trap.Test(102, [&] { return fileName.isEmpty(); })) {
        return;
    }
    trap.Do(104, [&] { parts = fileName.split(QChar(0)); });
    if (trap.Test(106, [&] { return parts.size() == 1; })) {
        trap.Do(106, [&] { ListView1->Add(parts.value(0)); });
        return;
    }
    for (qsizetype i = 1; i < parts.size(); ++i) {
        QString path;
        trap.Do(108,
                [&] { path = NormalizeBackslashes(parts.at(0) + QLatin1Char('/') + parts.at(i)); });
        trap.Do(110, [&] { ListView1->Add(path); });
    }
}
