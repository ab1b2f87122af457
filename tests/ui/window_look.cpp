// Shows or grabs the main window under a chosen colour scheme, to judge its look by
// eye. Usage: window_look default|dark|contrast [out.png] [skin]
// With out.png the window is grabbed offscreen into that file; without, it is shown
// until closed (run it under an X server to take a screenshot).

#include "palettes.h"
#include "support/form_fixture.h"

#include <QApplication>
#include <QDir>
#include <QStyleFactory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    const QString scheme = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("dark");
    if (scheme == QLatin1String("dark")) {
        QApplication::setPalette(DarkPalette());
    } else if (scheme == QLatin1String("contrast")) {
        QApplication::setPalette(HighContrastPalette());
    }
    const bool skin = argc > 3 && QString::fromLocal8Bit(argv[3]) == QLatin1String("skin");
    FormFixture f({}, Load::Later);
    if (skin) {
        QDir(f.t.programFolder()).mkpath(QStringLiteral("x"));
        WriteFile(f.t.programFolder() + QStringLiteral("/x/o.cjs"), "");
    }
    f.form.Form_Load();
    f.form.ListView1->Add(QStringLiteral("/home/user/Pictures/holiday.jpg"));
    // The same folder on every run, so grabs compare pixel by pixel.
    f.form.Text1->setText(QStringLiteral("/home/user/Desktop/"));
    f.form.show();
    if (argc > 2) {
        QApplication::processEvents();
        return f.form.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    return QApplication::exec();
}
