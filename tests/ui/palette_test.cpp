// SPDX-License-Identifier: MIT
// Every caption of the main window, as drawn, stays readable under any colour scheme.

#include "support/form_fixture.h"

#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>
#include <QtTest>

#include <cmath>

namespace {

// A dark scheme: light text on dark windows, buttons and fields.
QPalette DarkPalette() {
    const QColor text(0xee, 0xee, 0xee);
    QPalette p(text, QColor(0x3c, 0x3c, 0x3c), QColor(0x50, 0x50, 0x50), QColor(0x20, 0x20, 0x20),
               QColor(0x30, 0x30, 0x30), text, Qt::white, QColor(0x1e, 0x1e, 0x1e),
               QColor(0x2b, 0x2b, 0x2b));
    p.setColor(QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
    p.setColor(QPalette::HighlightedText, Qt::black);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x80));
    }
    return p;
}

// A high-contrast scheme: white and yellow on black.
QPalette HighContrastPalette() {
    QPalette p(Qt::white, Qt::black);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Button, Qt::black);
        p.setColor(group, QPalette::ButtonText, Qt::yellow);
        p.setColor(group, QPalette::Highlight, Qt::cyan);
        p.setColor(group, QPalette::HighlightedText, Qt::black);
    }
    return p;
}

double Luminance(QRgb rgb) {
    auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(rgb)) + 0.7152 * channel(qGreen(rgb)) +
           0.0722 * channel(qBlue(rgb));
}

double ContrastRatio(QRgb a, QRgb b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The contrast between a region's most common colour and the one standing out most from it.
double RegionContrast(const QImage& image, const QRect& region) {
    QHash<QRgb, int> counts;
    const QRect r = region.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            ++counts[image.pixel(x, y) | 0xFF000000u];
        }
    }
    const QRgb background = std::max_element(counts.cbegin(), counts.cend()).key();
    double best = 1.0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        best = std::max(best, ContrastRatio(background, it.key()));
    }
    return best;
}

QRect InForm(const Form1& form, const QWidget* widget, const QRect& rect) {
    return rect.translated(widget->mapTo(&form, QPoint(0, 0)));
}

QRect CaptionOf(const Form1& form, const QGroupBox* box) {
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.lineWidth = 1;
    option.midLineWidth = 0;
    option.textAlignment = box->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    return InForm(
        form, box,
        box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box));
}

// The inside of a control, where its caption or text is drawn.
QRect Inside(const Form1& form, const QWidget* widget) {
    return InForm(form, widget, widget->rect().adjusted(3, 3, -3, -3));
}

}  // namespace

class PaletteTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion"))); }
    void cleanup() { QApplication::setPalette(QPalette()); }

    void captionsAreReadable_data() {
        QTest::addColumn<QPalette>("scheme");
        QTest::addColumn<bool>("skin");
        for (const bool skin : {false, true}) {
            const char* suffix = skin ? ", skin" : "";
            QTest::addRow("default%s", suffix) << QPalette() << skin;
            QTest::addRow("dark%s", suffix) << DarkPalette() << skin;
            QTest::addRow("high contrast%s", suffix) << HighContrastPalette() << skin;
        }
    }
    void captionsAreReadable() {
        QFETCH(QPalette, scheme);
        QFETCH(bool, skin);
        QApplication::setPalette(scheme);
        FormFixture f({}, Load::Later);
        if (skin) {
            QDir(f.t.programFolder()).mkpath(QStringLiteral("x"));
            WriteFile(f.t.programFolder() + QStringLiteral("/x/o.cjs"), "");
        }
        f.form.Form_Load();
        const Form1& form = f.form;
        form.ListView1->Add(QStringLiteral("/home/user/Pictures/holiday.jpg"));
        form.Text1->setText(QStringLiteral("/home/user/Desktop/"));
        const QImage shot = f.form.grab().toImage();

        // Text needs 4.5 : 1, a control's outline 3 : 1.
        QList<std::tuple<QString, QRect, double>> regions;
        for (const QGroupBox* box :
             {form.Frame1, form.Frame2, form.Frame3, form.Frame4, form.Frame6}) {
            regions.append({box->title(), CaptionOf(form, box), 4.5});
        }
        for (const QWidget* control :
             std::initializer_list<const QWidget*>{
                 form.PushButton1, form.PushButton2, form.PushButton3, form.PushButton4,
                 form.PushButton6, form.PushButton7, form.PushButton8, form.PushButton9,
                 form.PushButton10, form.Combo1, form.Combo2, form.Text1, form.ProgressBar1}) {
            const QString name = control->metaObject()->className();
            regions.append({name + " " + control->property("text").toString(),
                            Inside(form, control), 4.5});
        }
        const QHeaderView* header = form.ListView1->header();
        regions.append({QStringLiteral("list header"),
                        InForm(form, header,
                               QRect(header->sectionViewportPosition(0), 0, header->sectionSize(0),
                                     header->height())),
                        4.5});
        const QWidget* viewport = form.ListView1->viewport();
        regions.append({QStringLiteral("list entry"),
                        InForm(form, viewport,
                               form.ListView1->visualItemRect(form.ListView1->topLevelItem(0))),
                        4.5});
        regions.append({QStringLiteral("stamp text"),
                        InForm(form, form.Text4->viewport(), QRect(0, 0, 300, 60)), 4.5});
        // The white swatch against the frame around it.
        regions.append({QStringLiteral("colour swatch"),
                        InForm(form, form.Picture2, form.Picture2->rect().adjusted(-3, -3, 3, 3)),
                        3.0});

        QStringList faults;
        for (const auto& [name, region, least] : regions) {
            const double ratio = RegionContrast(shot, region);
            if (ratio < least) {
                faults << QStringLiteral("%1: %2 : 1").arg(name).arg(ratio, 0, 'f', 2);
            }
        }
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(PaletteTest)
#include "palette_test.moc"
