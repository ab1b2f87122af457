// SPDX-License-Identifier: MIT
#include "settings/settings_store.h"
#include "support/form_fixture.h"

#include <QFile>
#include <QtTest>

class SettingsStoreTest : public QObject {
    Q_OBJECT

private slots:
    void absentKeyGivesDefaultEmptyValueDoesNot() {
        TestEnvironment t;
        SettingsStore store(t.env.settingsFile);
        QCOMPARE(store.GetSetting("Output Folder", "/desk/"), QString("/desk/"));
        store.SaveSetting("Output Folder", "");
        QCOMPARE(store.GetSetting("Output Folder", "/desk/"), QString(""));
    }

    void keysIgnoreCaseAndKeepTheirSpelling() {
        TestEnvironment t;
        {
            SettingsStore store(t.env.settingsFile);
            store.SaveSetting("FontStrikeThru", "False");
            store.SaveSetting("FontStrikethru", "True");
            QCOMPARE(store.GetSetting("FONTSTRIKETHRU", "x"), QString("True"));
        }
        QCOMPARE(StoredSettings(t.env.settingsFile), Settings({{"FontStrikeThru", "True"}}));
    }

    void writesReachTheFileAtOnce() {
        TestEnvironment t;
        SettingsStore store(t.env.settingsFile);
        store.SaveSetting("Font Color", "255");
        // A second reader (another program start) sees the value without any save call.
        SettingsStore other(t.env.settingsFile);
        QCOMPARE(other.GetSetting("font color"), QString("255"));
        QVERIFY(QFile(t.env.settingsFile).exists());
    }

    void valuesRoundTripAsText_data() {
        QTest::addColumn<QString>("value");
        QTest::newRow("path with comma") << "/home/me/a, b/";
        QTest::newRow("latin-1 range") << QString::fromUtf8("\x01\x7f\xc2\x80\xc3\xbf\x25\x40x");
        QTest::newRow("leading at") << "@Variant(x)";
        QTest::newRow("quotes and semicolon") << "a \"q\"; b=c";
        QTest::newRow("non latin") << QString::fromUtf8("/home/\xe5\x86\x99\xe7\x9c\x9f/");
    }
    void valuesRoundTripAsText() {
        QFETCH(QString, value);
        TestEnvironment t;
        {
            SettingsStore store(t.env.settingsFile);
            store.SaveSetting("Key", value);
        }
        SettingsStore reread(t.env.settingsFile);
        QCOMPARE(reread.GetSetting("Key"), value);
    }

    void refusedWriteIsAnError() {
        TestEnvironment t;
        // A folder where the settings file should be makes every write fail.
        QDir().mkpath(t.root() + "/blocked/Tellwick.ini");
        SettingsStore store(t.root() + "/blocked/Tellwick.ini");
        QVERIFY_THROWS_EXCEPTION(std::exception, store.SaveSetting("Key", "v"));
    }
};

QTEST_MAIN(SettingsStoreTest)
#include "settings_store_test.moc"
