// SPDX-License-Identifier: MIT
// velloran-stamp as a black box against expectations worked out apart from the road: the
// JPEG copies carry libjpeg's tables for --quality, and the stamp's place, size and colour
// measured in the copies match the placement rule and the font's metrics.
#include "engine/road_truth.h"

#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace road_truth;

namespace {

// The stamp's choices as the companion's options.
QStringList Options(const Stamp& stamp) {
    QString text = stamp.text;
    return {"--text",
            text.replace("\r\n", "\n"),
            "--position",
            stamp.position.toLower(),
            "--font",
            QString("%1,%2%3").arg(stamp.family).arg(stamp.points).arg(stamp.bold ? ",bold" : ""),
            "--color",
            stamp.color.name()};
}

}  // namespace

class StampRoadTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QStringList sources_;

    // Runs the companion with a settings folder, home and temporary folder of its own;
    // the copies go to a fresh folder, whose path it returns (empty on failure).
    QString run(const QStringList& options) {
        static int count = 0;
        const QString out = dir_.path() + "/out" + QString::number(++count);
        QDir().mkpath(out);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", dir_.path() + "/config");
        env.insert("HOME", dir_.path() + "/home");
        env.insert("TEMP", dir_.path() + "/temp");
        env.insert("LC_ALL", "C.UTF-8");
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(VELLORAN_STAMP_PATH, QStringList{"--quiet", "-o", out} + options + sources_);
        if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0) {
            qWarning("%s", p.readAllStandardError().constData());
            return {};
        }
        return out;
    }

private slots:
    void initTestCase() {
        for (const char* sub : {"config", "home", "temp", "in"}) {
            QVERIFY(QDir().mkpath(dir_.path() + '/' + sub));
        }
        sources_ = WriteFlatSources(dir_.path() + "/in");
        QCOMPARE(sources_.size(), 3);
    }

    void jpegCopyHasLibjpegTables_data() {
        QTest::addColumn<int>("quality");
        for (const int quality : {1, 20, 85, 100}) {
            QTest::addRow("%d", quality) << quality;
        }
    }
    void jpegCopyHasLibjpegTables() {
        QFETCH(int, quality);
        const Stamp stamp{"q", "Center", "DejaVu Sans", 12, false, Qt::white};
        const QString out =
            run(Options(stamp) + QStringList{"--quality", QString::number(quality)});
        QVERIFY(!out.isEmpty());
        const std::optional<QuantTables> tables = FileTables(out + "/flat.jpg");
        QVERIFY(tables.has_value());
        QVERIFY2(
            *tables == LibjpegTables(quality),
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
    void stampSitsWhereTheRulePutsIt() {
        QFETCH(QString, position);
        const Stamp stamp{"Tellwick\r\nHy 2026 Mj", position, "DejaVu Serif", 20, true,
                          QColor(240, 200, 40)};
        const QString out = run(Options(stamp) + QStringList{"--quality", "95"});
        QVERIFY(!out.isEmpty());
        for (const QString& source : sources_) {
            const QString fault = StampFault(out + '/' + QFileInfo(source).fileName(), stamp);
            QVERIFY2(fault.isEmpty(), qPrintable(fault));
        }
    }

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
        const QString out = run(Options(stamp) + QStringList{"--quality", "95"});
        QVERIFY(!out.isEmpty());
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
    StampRoadTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "stamp_road_test.moc"
