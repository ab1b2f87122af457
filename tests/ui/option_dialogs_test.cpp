// SPDX-License-Identifier: MIT
#include "support/form_fixture.h"
#include "util/vb_convert.h"

#include <QDir>
#include <QtTest>

Q_DECLARE_METATYPE(Dialogs::Font)

namespace {

// The stored font entries under their spelling in the file.
Settings StoredFont(const FormFixture& f) {
    Settings values = f.stored();
    values.removeIf(
        [](auto it) { return !it.key().startsWith("Font") || it.key() == "Font Color"; });
    return values;
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
        QTest::newRow("folder") << QString() << "/";
        QTest::newRow("file-system root") << "/" << QString();
    }
    void folderChoice() {
        QFETCH(QString, chosen);
        QFETCH(QString, suffix);
        FormFixture f;
        if (chosen.isEmpty()) {
            chosen = f.t.root() + "/Pictures";
            QDir().mkpath(chosen);
        }
        f.dialogs.folderAnswers << chosen;
        f.form.PushButton4_Click();
        QCOMPARE(f.dialogs.calls.last().text, QString("Please select folder:"));
        QCOMPARE(f.dialogs.calls.last().argument.toString(), QString());
        QCOMPARE(f.form.Text1->text(), chosen + suffix);
        QCOMPARE(f.stored().value("Output Folder"), chosen + suffix);
        QCOMPARE(f.stored().value("LastFolderDot"), chosen);

        // After a restart the browser opens on the last choice, not on a typed folder;
        // a cancel then changes nothing.
        FakeDialogs dialogs;
        Form1 form(dialogs, f.t.env);
        form.Form_Load();
        form.Text1->setText(f.t.root() + "/typed/");
        const Settings before = f.stored();
        form.PushButton4_Click();
        QCOMPARE(dialogs.calls.last().kind, QString("folder"));
        QCOMPARE(dialogs.calls.last().argument.toString(), chosen);
        QCOMPARE(form.Text1->text(), f.t.root() + "/typed/");
        QCOMPARE(f.stored(), before);
    }

    void fontDialog_data() {
        QTest::addColumn<Settings>("preset");
        QTest::addColumn<QList<Dialogs::Font>>("answer");  // empty: cancelled
        QTest::addColumn<Dialogs::Font>("shown");
        QTest::addColumn<Dialogs::Font>("applied");
        QTest::addColumn<Settings>("stored");

        const auto arial9 = MakeFont("Arial", false, false, 9, false, false);
        QTest::newRow("empty store, cancel")
            << Settings() << QList<Dialogs::Font>() << arial9 << arial9
            << Settings{{"FontName", "Arial"},       {"FontBold", "False"},
                        {"FontItalic", "False"},     {"FontSize", "9"},
                        {"FontStrikethru", "False"}, {"FontUnderline", "False"}};
        const auto chosen = MakeFont("Courier New", true, true, 10.5, false, true);
        QTest::newRow("empty store, OK, fractional size")
            << Settings() << QList<Dialogs::Font>{chosen} << arial9 << chosen
            << Settings{{"FontName", "Courier New"}, {"FontBold", "True"},
                        {"FontItalic", "True"},      {"FontSize", "10.5"},
                        {"FontStrikethru", "False"}, {"FontUnderline", "True"}};
        // The dialog's writes land on the entries spelled as the restore reads them.
        const Settings filled = {{"FontName", "Times New Roman"}, {"FontBold", "True"},
                                 {"FontItalic", "True"},          {"FontSize", "11.5"},
                                 {"FontStrikeThru", "True"},      {"FontUnderLine", "True"}};
        const auto fromFilled = MakeFont("Times New Roman", true, true, 12, true, true);
        QTest::newRow("filled store, cancel")
            << filled << QList<Dialogs::Font>() << fromFilled << fromFilled
            << Settings{{"FontName", "Times New Roman"}, {"FontBold", "True"},
                        {"FontItalic", "True"},          {"FontSize", "12"},
                        {"FontStrikeThru", "True"},      {"FontUnderLine", "True"}};
        const auto plain = MakeFont("Arial", false, false, 20, false, false);
        QTest::newRow("filled store, OK")
            << filled << QList<Dialogs::Font>{plain} << fromFilled << plain
            << Settings{{"FontName", "Arial"},       {"FontBold", "False"},
                        {"FontItalic", "False"},     {"FontSize", "20"},
                        {"FontStrikeThru", "False"}, {"FontUnderLine", "False"}};
    }
    void fontDialog() {
        QFETCH(Settings, preset);
        QFETCH(QList<Dialogs::Font>, answer);
        QFETCH(Dialogs::Font, shown);
        QFETCH(Dialogs::Font, applied);
        QFETCH(Settings, stored);
        FormFixture f(preset);
        f.dialogs.fontAnswers.append(answer);
        f.form.PushButton6_Click();
        QCOMPARE(f.dialogs.errors(), QStringList());
        QVERIFY(f.dialogs.lastFontShown == shown);
        const StampTextBox& box = *f.form.Text4;
        QVERIFY(MakeFont(box.FontName(), box.FontBold(), box.FontItalic(), box.FontSize(),
                         box.FontStrikethru(), box.FontUnderline()) == applied);
        QCOMPARE(StoredFont(f), stored);
        // The stored size reads back through the restore's whole-number conversion.
        QCOMPARE(ToInt16(stored.value("FontSize")), qint16(RoundHalfEven(applied.size)));
    }

    void fontSizeThatIsNoNumberIsReported() {
        FormFixture f({{"FontSize", "big"}});
        f.dialogs.clear();
        f.form.PushButton6_Click();
        QCOMPARE(f.dialogs.errors().size(), 1);
        QVERIFY(f.dialogs.errors().first().contains(
            "in Pellinor2021/08/31.Form1.PushButton6_Click at line 108"));
        // The dialog keeps its own size and the handler carries on to the end.
        QCOMPARE(f.dialogs.lastFontShown.size, 9.0);
        QCOMPARE(f.form.Text4->FontSize(), 9.0);
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
        FormFixture f({{"Font Color", storedColour}});
        f.dialogs.colorAnswers.append(answer);
        // Proves that a cancel stores the colour again.
        QFile::remove(f.t.env.settingsFile);
        f.form.PushButton10_Click();
        QCOMPARE(f.dialogs.calls.last().argument.value<quint32>(), storedColour.toUInt());
        QCOMPARE(f.form.Picture2->BackColor(), colour);
        QCOMPARE(f.form.Text4->ForeColor(), colour);
        QCOMPARE(f.form.Text4->BackColor(), background);
        QCOMPARE(f.stored().value("Font Color"), QString::number(colour));
    }

    void qualityHelp() {
        FormFixture f;
        f.dialogs.clear();
        f.form.PushButton9_Click();
        QCOMPARE(f.dialogs.calls.size(), 1);
        const FakeDialogs::Call& call = f.dialogs.calls.first();
        QCOMPARE(call.text, QString("If any of the images you are going to stamp are JPG, you can "
                                    "set the quality of the output here. 85% is the usual value."));
        QCOMPARE(call.title, QString("Velloran"));
        QCOMPARE(call.icon, Dialogs::Icon::None);
        QCOMPARE(call.buttons, Dialogs::Buttons::Ok);
    }
};

QTEST_MAIN(OptionDialogsTest)
#include "option_dialogs_test.moc"
