// SPDX-License-Identifier: MIT
// The road itself, not its agreement with the window: the JPEG copies carry libjpeg's
// tables for the chosen quality, and the stamp's place, size and colour measured in the
// copies' pixels match what the placement rule and the font's metrics give.
#include "engine/road_truth.h"
#include "engine/engine_start.h"
#include "engine/stamp_source.h"

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QtTest>

using namespace road_truth;

namespace {

quint32 Bgr(QColor color) {
    return quint32(color.red()) | quint32(color.green()) << 8 | quint32(color.blue()) << 16;
}

StampSettings SettingsOf(const Stamp& stamp, const QString& outputFolder, int quality = 95) {
    StampSettings settings;
    settings.text = stamp.text;
    settings.position = stamp.position;
    settings.fontFamily = stamp.family;
    settings.fontSize = stamp.points;
    settings.fontBold = stamp.bold;
    settings.color = Bgr(stamp.color);
    settings.quality = quality;
    settings.outputFolder = outputFolder;
    return settings;
}

// Stamps each source into `out` with one stamper; the failures' messages, if any.
QStringList StampAll(const QStringList& sources, const StampSettings& settings,
                     const QString& tempFolder) {
    SourceStamper stamper(tempFolder);
    QStringList failures;
    for (const QString& source : sources) {
        for (const SourceStamper::Failure& failure : stamper.Stamp(source, settings)) {
            failures << failure.BoxText(QStringLiteral("Form1.PushButton2_Click"));
        }
    }
    return failures;
}

}  // namespace

class EntryRoadTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString temp_;
    QStringList sources_;

    QString freshOutput() {
        static int count = 0;
        const QString out = dir_.path() + "/out" + QString::number(++count);
        QDir().mkpath(out);
        return out;
    }

private slots:
    void initTestCase() {
        StartEngine();
        temp_ = dir_.path() + "/temp";
        QVERIFY(QDir().mkpath(temp_) && QDir().mkpath(dir_.path() + "/in"));
        sources_ = WriteFlatSources(dir_.path() + "/in");
        QCOMPARE(sources_.size(), 3);
    }

    // The slider reaches 0, which libjpeg (and so the window) takes as 1.
    void jpegCopyHasLibjpegTables_data() {
        QTest::addColumn<int>("quality");
        QTest::addColumn<int>("libjpegQuality");
        QTest::newRow("slider at 0") << 0 << 1;
        QTest::newRow("20") << 20 << 20;
        QTest::newRow("85") << 85 << 85;
        QTest::newRow("100") << 100 << 100;
    }
    void jpegCopyHasLibjpegTables() {
        QFETCH(int, quality);
        QFETCH(int, libjpegQuality);
        const QString out = freshOutput();
        const Stamp stamp{"q", "Center", "DejaVu Sans", 12, false, Qt::white};
        QCOMPARE(StampAll({sources_.last()}, SettingsOf(stamp, out, quality), temp_),
                 QStringList());
        const std::optional<QuantTables> tables = FileTables(out + "/flat.jpg");
        QVERIFY(tables.has_value());
        QVERIFY2(
            *tables == LibjpegTables(libjpegQuality),
            qPrintable(
                QString("the copy has the tables of quality %1").arg(QualityOfTables(*tables))));
    }

    void stampSitsWhereTheRulePutsIt_data() {
        QTest::addColumn<QString>("position");
        for (const char* position :
             {"Upper-left", "Upper-right", "Lower-left", "Lower-right", "Center-top", "Center-left",
              "Center-right", "Center-bottom", "Center"}) {
            QTest::newRow(position) << QString(position);
        }
    }
    // Two lines of unequal width, so the block's alignment and the later line's start
    // show as well as the block's place.
    void stampSitsWhereTheRulePutsIt() {
        QFETCH(QString, position);
        const Stamp stamp{"Tellwick\r\nHy 2026 Mj", position, "DejaVu Serif", 20, true,
                          QColor(240, 200, 40)};
        const QString out = freshOutput();
        QCOMPARE(StampAll(sources_, SettingsOf(stamp, out), temp_), QStringList());
        for (const QString& source : sources_) {
            const QString fault = StampFault(out + '/' + QFileInfo(source).fileName(), stamp);
            QVERIFY2(fault.isEmpty(), qPrintable(fault));
        }
    }

    // Capitals without overshoot: their ink is as tall as the family's cap height at the
    // point size on a 96-DPI picture, and as wide as that family draws them.
    void capitalsHaveTheChosenFontAndSize_data() {
        QTest::addColumn<QString>("family");
        QTest::addColumn<double>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QColor>("color");
        QTest::newRow("sans bold 36") << "DejaVu Sans" << 36.0 << true << QColor(250, 250, 250);
        QTest::newRow("serif 48") << "Liberation Serif" << 48.0 << false << QColor(230, 30, 20);
        QTest::newRow("mono bold 30.5")
            << "DejaVu Sans Mono" << 30.5 << true << QColor(20, 220, 60);
    }
    void capitalsHaveTheChosenFontAndSize() {
        QFETCH(QString, family);
        QFETCH(double, points);
        QFETCH(bool, bold);
        QFETCH(QColor, color);
        const Stamp stamp{"HEH", "Center", family, points, bold, color};
        const QString out = freshOutput();
        QCOMPARE(StampAll(sources_, SettingsOf(stamp, out), temp_), QStringList());
        for (const QString& source : sources_) {
            const QString copy = out + '/' + QFileInfo(source).fileName();
            for (const QString& fault : {StampFault(copy, stamp), CapHeightFault(copy, stamp)}) {
                QVERIFY2(fault.isEmpty(), qPrintable(fault));
            }
        }
    }
};

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    EntryRoadTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "entry_road_test.moc"
