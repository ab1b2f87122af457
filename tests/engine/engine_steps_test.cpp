// SPDX-License-Identifier: MIT
// The engine's small steps that the window's handlers call: the stamp text of an entry, the
// replace-originals check, the folder scan's yields and a converter wait without a window.
#include "engine/add_folder_tree.h"
#include "engine/collecting_dialogs.h"
#include "engine/converter_progress.h"
#include "engine/engine_start.h"
#include "engine/entry_stamp_text.h"
#include "engine/folder_scan.h"
#include "engine/replace_check.h"
#include "engine/run_and_wait.h"
#include "support/fake_dialogs.h"
#include "support/test_environment.h"
#include "util/error_trap.h"
#include "util/vb_error.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Records what a wait shows; the bar "closes" after a number of yields.
class RecordingProgress final : public ConverterProgress {
public:
    void Yield() override { ++yields; }
    bool Shows() const override { return closeAfterYields < 0 || yields < closeAfterYields; }
    QString Text() const override { return text; }
    int Value() const override { return value; }
    void SetText(const QString& t) override { texts << (text = t); }
    void SetValue(int v) override { values << (value = v); }

    int yields = 0;
    int closeAfterYields = -1;
    QString text;
    int value = 0;
    QStringList texts;
    QList<int> values;
};

}  // namespace

class EngineStepsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { StartEngine(); }

    void entryStampText_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("perEntry");
        QTest::newRow("own text") << 0 << "/p/a.jpg" << "current" << false;
        QTest::newRow("time") << 1 << "/p/a.jpg" << "current" << false;
        QTest::newRow("date and time") << 3 << "/p/a.jpg" << "current" << false;
        QTest::newRow("file name") << 4 << "/p/a.b.jpg" << "a.b.jpg" << true;
        QTest::newRow("without extension") << 5 << "/p/a.b.jpg" << "a.b" << true;
        QTest::newRow("no extension to strip") << 5 << "/p/README" << "README" << true;
        QTest::newRow("full path") << 6 << "/p/q/a.jpg" << "/p/q/a.jpg" << true;
        QTest::newRow("unknown mode keeps the text") << 9 << "/p/a.jpg" << "current" << false;
    }
    void entryStampText() {
        QFETCH(int, mode);
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QFETCH(bool, perEntry);
        QCOMPARE(EntryStampText(mode, path, "current"), expected);
        QCOMPARE(StampsEntryName(mode), perEntry);
    }

    void replaceCheck() {
        TestEnvironment t;
        const QString a = WriteFile(t.root() + "/a.jpg");
        const QString other = t.root() + "/other";
        QVERIFY(QDir().mkpath(other));
        WriteFile(other + "/b.jpg");
        QVERIFY(QFile::link(t.root(), t.root() + "/via-link"));

        QVERIFY(ReplacesSource(a, t.root()));
        // The same folder by another name is still the same file.
        QVERIFY(ReplacesSource(a, t.root() + "/via-link"));
        QVERIFY(!ReplacesSource(a, other));
        // A copy that does not exist yet replaces nothing.
        QVERIFY(!ReplacesSource(t.root() + "/gone.jpg", t.root()));
        QVERIFY(!AnyReplacesSource({other + "/b.jpg", t.root() + "/gone.jpg"}, t.root()));
        QVERIFY(AnyReplacesSource({other + "/b.jpg", a}, t.root()));
        QVERIFY(!AnyReplacesSource({}, t.root()));
    }

    // The scan and the listing call the caller's yield instead of an event loop.
    void folderScanYieldsThroughTheCallback() {
        QTemporaryDir dir;
        for (const char* folder : {"a", "a/b", "c"}) {
            QVERIFY(QDir(dir.path()).mkpath(folder));
        }
        WriteFile(dir.path() + "/a/b/x.jpg");
        WriteFile(dir.path() + "/c/y.jpg");
        FakeDialogs dialogs;
        int yields = 0;
        QStringList folders{dir.path() + "/"};
        GetSubDirectories2016(folders, true, dialogs, [&] { ++yields; });
        QCOMPARE(folders.size(), 4);
        // At least once per folder examined and once per subfolder seen.
        QVERIFY(yields >= 6);

        QStringList added;
        ErrorTrap trap(dialogs, "Test");
        AddFolderTreeFiles(
            trap, 120, folders, "*.jpg", [&](const QString& path) { added << path; }, [] {});
        added.sort();
        QCOMPARE(added, QStringList({dir.path() + "/a/b/x.jpg", dir.path() + "/c/y.jpg"}));
        QCOMPARE(dialogs.errors(), QStringList());
    }

    // Boxes are kept in order as values: every trap of the thread gives its routine, label
    // and error number; a plain notice keeps its text.
    void collectingDialogsKeepEveryBox() {
        CollectingDialogs dialogs;
        ErrorTrap run(dialogs, "Form1.PushButton2_Click");
        ErrorTrap other(dialogs, "Form1.OverlayText2");
        run.Do(160, [] { Raise(481, "Cannot read \"a.jpg\": it is damaged\r\nsee here"); });
        other.Do(112, [] { Raise(5, "Invalid procedure call"); });
        QCOMPARE(dialogs.messageBox("Done.", "Velloran", Dialogs::Icon::None,
                                    Dialogs::Buttons::Ok),
                 Dialogs::Button::Ok);
        QCOMPARE(dialogs.inputBox("Extension?", "Velloran", "*"), QString());

        const QList<StepFailure>& boxes = dialogs.failures();
        QCOMPARE(boxes.size(), 3);
        QCOMPARE(boxes[0].label, 160);
        QCOMPARE(boxes[0].number, 481);
        QCOMPARE(boxes[0].description, QString("Cannot read \"a.jpg\": it is damaged\r\nsee here"));
        QCOMPARE(boxes[0].routine, QString("Form1.PushButton2_Click"));
        QCOMPARE(boxes[0].BoxText("Form1.Other"),
                 ErrorTrap::MessageText(boxes[0].description, run.LocationText(), 160));
        QCOMPARE(boxes[1].routine, QString("Form1.OverlayText2"));
        QCOMPARE(boxes[1].label, 112);
        QCOMPARE(boxes[1].number, 5);
        QCOMPARE(boxes[1].BoxText("Form1.PushButton2_Click"),
                 ErrorTrap::MessageText("Invalid procedure call", other.LocationText(), 112));
        QCOMPARE(boxes[1].description, QString("Invalid procedure call"));
        QCOMPARE(boxes[2].description, QString("Done."));
        QCOMPARE(boxes[2].label, 0);
    }

    // A wait yields through the progress; what it shows stops when the bar goes away.
    void converterWaitShowsThroughTheInterface() {
        RecordingProgress progress;
        QCOMPARE(RunAndWait("/bin/true", 0, progress, "a.png", 40, 2), 0);
        QVERIFY(progress.yields >= 2);
        // A short wait never shows the counter, only the text it leaves behind.
        QCOMPARE(progress.texts, QStringList{"a.png"});

        RecordingProgress closing;
        closing.closeAfterYields = 1;
        QCOMPARE(RunAndWait("/bin/sh -c \"exit 3\"", 0, closing, "b.png", 0, 1), 3);
        QCOMPARE(closing.texts, QStringList());

        NoConverterProgress none;
        QCOMPARE(RunAndWait("/bin/sh -c \"exit 5\"", 0, none, QString(), 0, 0), 5);
    }
};

QTEST_GUILESS_MAIN(EngineStepsTest)
#include "engine_steps_test.moc"
