// SPDX-License-Identifier: MIT
// The one reading of the stored stamp settings: each stored text's value, or the failure
// that the window's restore step shows for it, number, description and label alike.
#include "engine/stored_stamp_settings.h"
#include "settings/settings_store.h"
#include "support/form_fixture.h"

#include <QtTest>

#include <functional>

namespace {

// A stored value as text ("1" and "0" for flags), or the failure's number and
// description as "!<number> <description>".
template <class T>
QString Shown(const StoredValue<T>& value) {
    try {
        if constexpr (std::is_same_v<T, QString>) {
            return value.Take();
        } else {
            return QString::number(value.Take());
        }
    } catch (const VbError& e) {
        return QStringLiteral("!%1 %2").arg(e.number()).arg(e.description());
    }
}

QString ShownOf(const StoredStampSettings& s, const QString& key) {
    const QMap<QString, std::function<QString()>> values{
        {"Position", [&] { return Shown(s.position); }},
        {"Font Color", [&] { return Shown(s.color); }},
        {"FontName", [&] { return Shown(s.fontFamily); }},
        {"FontBold", [&] { return Shown(s.fontBold); }},
        {"FontSize", [&] { return Shown(s.fontSize); }},
        {"FontStrikethru", [&] { return Shown(s.fontStrikeout); }},
        {"Combo1", [&] { return Shown(s.mode); }},
        {"Slider1", [&] { return Shown(s.quality); }},
        {"Output Folder", [&] { return Shown(s.outputFolder); }},
    };
    return values.value(key)();
}

}  // namespace

class StoredStampSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void valuesAndTheWindowsFailures_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");  // "!<number> <description>" for a failure
        QTest::addColumn<int>("label");      // the window's restore step
        const auto row = [](const QString& key, const QString& stored, const QString& shown,
                            int label) {
            QTest::addRow("%s=%s", qPrintable(key), qPrintable(stored))
                << key << stored << shown << label;
        };
        row("Position", "Center", "Center", 152);
        row("Position", "center", "!383 'Text' property is read-only", 152);
        row("Font Color", "255.5", "256", 154);
        row("Font Color", "16777215", "16777215", 154);
        row("Font Color", "16777216", "!380 Invalid property value", 154);
        row("Font Color", "1e30", "!380 Invalid property value", 154);
        row("Font Color", "red", "!13 Type mismatch", 154);
        row("FontName", "", "", 164);
        row("FontBold", "true", "0", 166);
        row("FontSize", "11.5", "12", 170);
        row("FontSize", "2048", "2048", 170);
        row("FontSize", "2049", "!380 Invalid property value", 170);
        row("FontSize", "0.4", "!380 Invalid property value", 170);
        row("FontSize", "40000", "!6 Overflow", 170);
        row("FontStrikethru", "True", "1", 172);
        row("Combo1", "Stamp date on all images", "Stamp date on all images", 192);
        row("Combo1", "Stamp nothing", "!383 'Text' property is read-only", 192);
        row("Slider1", "0", "0", 196);
        row("Slider1", "100.5", "100", 196);
        row("Slider1", "-1", "!380 Invalid property value", 196);
        row("Slider1", "3000000000", "!6 Overflow", 196);
        row("Output Folder", "/srv/out", "/srv/out", 198);
    }
    void valuesAndTheWindowsFailures() {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QFETCH(int, label);
        FormFixture f({{key, stored}});
        // The window read the store at its load; the same reading, now, gives the same.
        const SettingsStore store(f.t.env.settingsFile);
        QCOMPARE(ShownOf(ReadStoredStampSettings(store, f.t.env), key), shown);
        const QStringList errors = f.dialogs.errors();
        if (!shown.startsWith('!')) {
            QCOMPARE(errors, QStringList());
            return;
        }
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith(shown.section(' ', 1) + "\r\n"),
                 qPrintable(errors.first()));
        QVERIFY(errors.first().contains(QString(" at line %1\r\r").arg(label)));
    }

    // Without a desktop folder the output folder fails whatever is stored, as the
    // window's step asks for the desktop first.
    void noDesktopFailsTheOutputFolder() {
        TestEnvironment t;
        StoreSettings(t.env.settingsFile, {{"Output Folder", "/srv/out"}});
        t.env.desktopFolder = [] { return QString(); };
        const StoredStampSettings stored =
            ReadStoredStampSettings(SettingsStore(t.env.settingsFile), t.env);
        QCOMPARE(Shown(stored.outputFolder), QString("!5 Invalid procedure call or argument"));
        QCOMPARE(stored.outputFolder.Or("fallback"), QString("fallback"));
    }

    // A first start reads every key at its default: the window's first start.
    void defaultsAreTheEmptyStoresValues() {
        FormFixture f;
        const StoredStampSettings d = DefaultStampSettings(f.t.env);
        QCOMPARE(d.position.Take(), f.form.Combo2->currentText());
        QCOMPARE(d.color.Take(), f.form.Text4->ForeColor());
        QCOMPARE(d.fontFamily.Take(), f.form.Text4->FontName());
        QCOMPARE(d.fontBold.Take(), f.form.Text4->FontBold());
        QCOMPARE(double(d.fontSize.Take()), f.form.Text4->FontSize());
        QCOMPARE(d.mode.Take(), f.form.Combo1->currentText());
        QCOMPARE(d.quality.Take(), f.form.Slider1->value());
        QCOMPARE(d.outputFolder.Take(), f.form.Text1->text());
    }
};

QTEST_MAIN(StoredStampSettingsTest)
#include "stored_stamp_settings_test.moc"
