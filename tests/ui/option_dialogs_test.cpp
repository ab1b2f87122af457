#include "support/fake_dialogs.h"
#include "support/test_environment.h"
#include "ui/color_swatch.h"
#include "ui/form1.h"
#include "ui/stamp_text_box.h"
#include "util/vb_convert.h"

#include <QDir>
#include <QLineEdit>
#include <QSettings>
#include <QtTest>

Q_DECLARE_METATYPE(Dialogs::Font)

namespace {

using Values = QMap<QString, QString>;

// The stored values under their spelling in the file; only keys starting with prefix.
Values Stored(const QString& file, const QString& prefix = QString()) {
    QSettings raw(file, QSettings::IniFormat);
    raw.beginGroup("Velloran");
    Values values;
    for (const QString& key : raw.childKeys()) {
        if (key.startsWith(prefix) && key != "Font Color") {
            values.insert(key, raw.value(key).toString());
        }
    }
    return values;
}

void Store(const QString& file, const Values& values) {
    QSettings raw(file, QSettings::IniFormat);
    for (auto it = values.begin(); it != values.end(); ++it) {
        raw.setValue("Velloran/" + it.key(), it.value());
    }
}

Dialogs::Font MakeFont(QString name, bool bold, bool italic, double size, bool strike, bool under) {
    return Dialogs::Font{std::move(name), bold, italic, size, strike, under};
}

}  // namespace

class OptionDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void folderChoice_data() {
        QTest::addColumn<QString>("chosen");  // "" stands for the test's own folder
        QTest::addColumn<QString>("suffix");
        QTest::newRow("folder") << ""
                                << "/";
        QTest::newRow("file-system root") << "/"
                                          << "";
    }
    void folderChoice() {
        QFETCH(QString, chosen);
        QFETCH(QString, suffix);
        TestEnvironment t;
        if (chosen.isEmpty()) {
            chosen = t.root() + "/Pictures";
            QDir().mkpath(chosen);
        }
        {
            FakeDialogs dialogs;
            Form1 form(dialogs, t.env);
            form.Form_Load();
            dialogs.folderAnswers << chosen;
            form.PushButton4_Click();

            QCOMPARE(dialogs.calls.last().text, QString("Please select folder:"));
            QCOMPARE(dialogs.calls.last().argument.toString(), QString());
            QCOMPARE(form.Text1->text(), chosen + suffix);
            QCOMPARE(Stored(t.env.settingsFile).value("Output Folder"), chosen + suffix);
            QCOMPARE(Stored(t.env.settingsFile).value("LastFolderDot"), chosen);
        }
        // After a restart the browser opens on the last choice, not on a typed folder;
        // a cancel then changes nothing.
        FakeDialogs dialogs;
        Form1 form(dialogs, t.env);
        form.Form_Load();
        form.Text1->setText(t.root() + "/typed/");
        const Values before = Stored(t.env.settingsFile);

        form.PushButton4_Click();

        QCOMPARE(dialogs.calls.last().kind, QString("folder"));
        QCOMPARE(dialogs.calls.last().argument.toString(), chosen);
        QCOMPARE(form.Text1->text(), t.root() + "/typed/");
        QCOMPARE(Stored(t.env.settingsFile), before);
    }

    void fontDialog_data() {
        QTest::addColumn<Values>("preset");
        QTest::addColumn<QList<Dialogs::Font>>("answer");  // empty: cancelled
        QTest::addColumn<Dialogs::Font>("shown");
        QTest::addColumn<Dialogs::Font>("applied");
        QTest::addColumn<Values>("stored");

        const auto arial9 = MakeFont("Arial", false, false, 9, false, false);
        QTest::newRow("empty store, cancel")
            << Values() << QList<Dialogs::Font>() << arial9 << arial9
            << Values{{"FontName", "Arial"},       {"FontBold", "False"},
                      {"FontItalic", "False"},     {"FontSize", "9"},
                      {"FontStrikethru", "False"}, {"FontUnderline", "False"}};
        const auto chosen = MakeFont("Courier New", true, true, 10.5, false, true);
        QTest::newRow("empty store, OK, fractional size")
            << Values() << QList<Dialogs::Font>{chosen} << arial9 << chosen
            << Values{{"FontName", "Courier New"}, {"FontBold", "True"},
                      {"FontItalic", "True"},      {"FontSize", "10.5"},
                      {"FontStrikethru", "False"}, {"FontUnderline", "True"}};
        // The dialog's writes land on the entries spelled as the restore reads them.
        const Values filled = {{"FontName", "Times New Roman"}, {"FontBold", "True"},
                               {"FontItalic", "True"},          {"FontSize", "11.5"},
                               {"FontStrikeThru", "True"},      {"FontUnderLine", "True"}};
        const auto fromFilled = MakeFont("Times New Roman", true, true, 12, true, true);
        QTest::newRow("filled store, cancel")
            << filled << QList<Dialogs::Font>() << fromFilled << fromFilled
            << Values{{"FontName", "Times New Roman"}, {"FontBold", "True"},
                      {"FontItalic", "True"},          {"FontSize", "12"},
                      {"FontStrikeThru", "True"},      {"FontUnderLine", "True"}};
        const auto plain = MakeFont("Arial", false, false, 20, false, false);
        QTest::newRow("filled store, OK")
            << filled << QList<Dialogs::Font>{plain} << fromFilled << plain
            << Values{{"FontName", "Arial"},       {"FontBold", "False"},
                      {"FontItalic", "False"},     {"FontSize", "20"},
                      {"FontStrikeThru", "False"}, {"FontUnderLine", "False"}};
    }
    void fontDialog() {
        QFETCH(Values, preset);
        QFETCH(QList<Dialogs::Font>, answer);
        QFETCH(Dialogs::Font, shown);
        QFETCH(Dialogs::Font, applied);
        QFETCH(Values, stored);
        TestEnvironment t;
        Store(t.env.settingsFile, preset);
        FakeDialogs dialogs;
        Form1 form(dialogs, t.env);
        form.Form_Load();
        dialogs.fontAnswers.append(answer);

        form.PushButton6_Click();

        QCOMPARE(dialogs.errors(), QStringList());
        QVERIFY(dialogs.lastFontShown == shown);
        const Dialogs::Font onText4 = MakeFont(
            form.Text4->FontName(), form.Text4->FontBold(), form.Text4->FontItalic(),
            form.Text4->FontSize(), form.Text4->FontStrikethru(), form.Text4->FontUnderline());
        QVERIFY(onText4 == applied);
        QCOMPARE(Stored(t.env.settingsFile, "Font"), stored);
        // The stored size reads back through the restore's whole-number conversion.
        QCOMPARE(ToInt16(stored.value("FontSize")), qint16(RoundHalfEven(applied.size)));
    }

    void fontSizeThatIsNoNumberIsReported() {
        TestEnvironment t;
        Store(t.env.settingsFile, {{"FontSize", "big"}});
        FakeDialogs dialogs;
        Form1 form(dialogs, t.env);
        form.Form_Load();
        dialogs.clear();

        form.PushButton6_Click();

        QCOMPARE(dialogs.errors().size(), 1);
        QVERIFY(dialogs.errors().first().contains(
            "in Pellinor2021/08/31.Form1.PushButton6_Click at line 108"));
        // The dialog keeps its own size and the handler carries on to the end.
        QCOMPARE(dialogs.lastFontShown.size, 9.0);
        QCOMPARE(form.Text4->FontSize(), 9.0);
    }

    void colourDialog_data() {
        QTest::addColumn<QString>("storedColour");
        QTest::addColumn<QList<quint32>>("answer");  // empty: cancelled
        QTest::addColumn<quint32>("colour");
        QTest::addColumn<quint32>("background");
        QTest::newRow("white") << "255" << QList<quint32>{0xFFFFFF} << 0xFFFFFFu << 0u;
        QTest::newRow("red") << "16777215" << QList<quint32>{0x0000FF} << 0x0000FFu << 0xFFFFFFu;
        QTest::newRow("one bit off white")
            << "16777215" << QList<quint32>{0xFFFFFE} << 0xFFFFFEu << 0xFFFFFFu;
        QTest::newRow("cancel") << "65280" << QList<quint32>() << 0x00FF00u << 0xFFFFFFu;
    }
    void colourDialog() {
        QFETCH(QString, storedColour);
        QFETCH(QList<quint32>, answer);
        QFETCH(quint32, colour);
        QFETCH(quint32, background);
        TestEnvironment t;
        Store(t.env.settingsFile, {{"Font Color", storedColour}});
        FakeDialogs dialogs;
        Form1 form(dialogs, t.env);
        form.Form_Load();
        dialogs.colorAnswers.append(answer);
        // Proves that a cancel stores the colour again.
        QFile::remove(t.env.settingsFile);

        form.PushButton10_Click();

        QCOMPARE(dialogs.calls.last().argument.value<quint32>(), storedColour.toUInt());
        QCOMPARE(form.Picture2->BackColor(), colour);
        QCOMPARE(form.Text4->ForeColor(), colour);
        QCOMPARE(form.Text4->BackColor(), background);
        QSettings raw(t.env.settingsFile, QSettings::IniFormat);
        QCOMPARE(raw.value("Velloran/Font Color").toString(), QString::number(colour));
    }

    void qualityHelp() {
        TestEnvironment t;
        FakeDialogs dialogs;
        Form1 form(dialogs, t.env);
        form.Form_Load();
        dialogs.clear();

        form.PushButton9_Click();

        QCOMPARE(dialogs.calls.size(), 1);
        const FakeDialogs::Call& call = dialogs.calls.first();
        QCOMPARE(call.text, QString("If any of the images you are going to stamp are JPG, you can "
                                    "set the quality of the output here. 85% is the usual value."));
        QCOMPARE(call.title, QString("Velloran"));
        QCOMPARE(call.icon, Dialogs::Icon::None);
        QCOMPARE(call.buttons, Dialogs::Buttons::Ok);
    }
};

QTEST_MAIN(OptionDialogsTest)
#include "option_dialogs_test.moc"
