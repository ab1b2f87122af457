// SPDX-License-Identifier: MIT
// The stamp option dialogs: output folder, font, colour and the JPEG quality help.
#include "ui/browse_for_folder.h"
#include "ui/color_swatch.h"
#include "ui/form1.h"
#include "settings/settings_keys.h"
#include "ui/stamp_text_box.h"
#include "util/error_trap.h"
#include "util/message_box.h"
#include "util/vb_convert.h"

#include <QLineEdit>
#include <QLocale>

#include <cmath>

namespace {

QString Key(const char* name) {
    return QString::fromLatin1(name);
}

constexpr quint32 kWhite = 0xFFFFFF;

// The dialog's size as a single-precision number in decimal: a whole size without a
// decimal separator, a fractional one with seven significant digits (10.3, not the
// 10.30000019 it holds) and the decimal separator of the locale the stored values are
// read back with.
QString FontSizeText(double points) {
    const float size = static_cast<float>(points);
    if (std::fabs(size) < 1e9f && std::trunc(size) == size) {
        return QString::number(static_cast<qint64>(size));
    }
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(static_cast<double>(size), 'g', 7);
}

}  // namespace

void Form1::PushButton4_Click() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.PushButton4_Click"));
    QString folder;
    trap.Do(100, [&] { LastFolderDot = store.GetSetting(Key(key::kLastFolderDot), QString()); });
    trap.Do(100, [&] {
        folder = BrowseForFolder(dialogs, QStringLiteral("Please select folder:"), LastFolderDot);
    });
    if (trap.Test(102, [&] { return folder.isEmpty(); })) {
        return;
    }
    trap.Do(104, [&] { LastFolderDot = folder; });
    trap.Do(104, [&] { store.SaveSetting(Key(key::kLastFolderDot), folder); });
    if (trap.Test(104, [&] { return !folder.endsWith(QLatin1Char('/')); })) {
        trap.Do(106, [&] { Text1->setText(folder + QLatin1Char('/')); });
    } else {
        trap.Do(108, [&] { Text1->setText(folder); });
    }
}

void Form1::PushButton6_Click() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.PushButton6_Click"));
    // The dialog starts from the stored keys with its own defaults, not from Text4;
    // whatever it returns, confirmed or cancelled, is stored and applied.
    Dialogs::Font font;
    font.name = QStringLiteral("Arial");
    auto flag = [&](const char* name) {
        return IsTrueText(store.GetSetting(Key(name), QStringLiteral("False")));
    };
    trap.Do(102,
            [&] { font.name = store.GetSetting(Key(key::kFontName), QStringLiteral("Arial")); });
    trap.Do(104, [&] { font.bold = flag(key::kFontBold); });
    trap.Do(106, [&] { font.italic = flag(key::kFontItalic); });
    trap.Do(108, [&] {
        font.size = static_cast<double>(
            ToInt16(store.GetSetting(Key(key::kFontSize), QStringLiteral("9"))));
    });
    trap.Do(110, [&] { font.strikethru = flag(key::kFontStrikeThruRead); });
    trap.Do(112, [&] { font.underline = flag(key::kFontUnderLineRead); });
    trap.Do(114, [&] { font = dialogs.chooseFont(font); });
    trap.Do(116, [&] { store.SaveSetting(Key(key::kFontName), font.name); });
    trap.Do(118, [&] { store.SaveSetting(Key(key::kFontBold), FlagText(font.bold)); });
    trap.Do(120, [&] { store.SaveSetting(Key(key::kFontItalic), FlagText(font.italic)); });
    trap.Do(122, [&] { store.SaveSetting(Key(key::kFontSize), FontSizeText(font.size)); });
    trap.Do(124,
            [&] { store.SaveSetting(Key(key::kFontStrikethruWrite), FlagText(font.strikethru)); });
    trap.Do(126,
            [&] { store.SaveSetting(Key(key::kFontUnderlineWrite), FlagText(font.underline)); });
    trap.Do(128, [&] { Text4->SetFontName(font.name); });
    trap.Do(130, [&] { Text4->SetFontBold(font.bold); });
    trap.Do(132, [&] { Text4->SetFontItalic(font.italic); });
    trap.Do(134, [&] { Text4->SetFontSize(font.size); });
    trap.Do(136, [&] { Text4->SetFontStrikethru(font.strikethru); });
    trap.Do(138, [&] { Text4->SetFontUnderline(font.underline); });
}

void Form1::PushButton10_Click() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.PushButton10_Click"));
    quint32 color = 0;
    trap.Do(102, [&] { color = Picture2->BackColor(); });
    trap.Do(104, [&] { color = dialogs.chooseColor(color); });
    trap.Do(106, [&] { Picture2->SetBackColor(color); });
    trap.Do(108, [&] {
        store.SaveSetting(Key(key::kFontColor), QString::number(Picture2->BackColor()));
    });
    trap.Do(110, [&] {
        Text4->SetForeColor(Picture2->BackColor());
        // Keeps the stamp text readable: white text on black, any other on white.
        Text4->SetBackColor(Text4->ForeColor() == kWhite ? 0 : kWhite);
    });
}

void Form1::PushButton9_Click() {
    ErrorTrap trap(dialogs, QStringLiteral("Form1.PushButton9_Click"));
    trap.Do(100, [&] {
        MsgBox(dialogs,
               QStringLiteral("If any of the images you are going to stamp are JPG, you can set "
                              "the quality of the output here. 85% is the usual value."));
    });
}
