// SPDX-License-Identifier: MIT
#include "util/paths.h"
#include "support/raised.h"
#include "support/test_environment.h"
#include "util/app_title.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace Qt::StringLiterals;

class PathsTest : public QObject {
    Q_OBJECT

private slots:
    void fileName_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("full path") << u"/dir/pic.jpg"_s << u"pic.jpg"_s;
        QTest::newRow("bare name") << u"pic.jpg"_s << u"pic.jpg"_s;
        QTest::newRow("trailing separator") << u"/dir/"_s << u""_s;
        QTest::newRow("empty") << u""_s << u""_s;
        QTest::newRow("root file") << u"/a.jpg"_s << u"a.jpg"_s;
    }
    void fileName() {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(FileNameFromPath(path), name);
        QCOMPARE(FileNamePart(path), name);
    }

    void stripExtension_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("stripped");
        QTest::newRow("simple") << u"pic.jpg"_s << u"pic"_s;
        QTest::newRow("two dots") << u"archive.tar.gz"_s << u"archive.tar"_s;
        QTest::newRow("dot first") << u".hidden"_s << u".hidden"_s;
        QTest::newRow("no dot") << u"README"_s << u"README"_s;
        QTest::newRow("ends with dot") << u"name."_s << u"name"_s;
        QTest::newRow("empty") << u""_s << u""_s;
        QTest::newRow("dot at two") << u"a.b"_s << u"a"_s;
    }
    void stripExtension() {
        QFETCH(QString, name);
        QFETCH(QString, stripped);
        QCOMPARE(StripExtension(name), stripped);
    }

    void normalize_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("normalized");
        QTest::newRow("doubled inside") << u"/home//dir//pic.jpg"_s << u"/home/dir/pic.jpg"_s;
        QTest::newRow("leading run") << u"////srv//share"_s << u"/srv/share"_s;
        QTest::newRow("single leading") << u"/dir"_s << u"/dir"_s;
        QTest::newRow("three in a row") << u"/dir///pic.jpg"_s << u"/dir//pic.jpg"_s;
        QTest::newRow("only separators") << u"////"_s << u"/"_s;
        QTest::newRow("relative") << u"a//b"_s << u"a/b"_s;
        QTest::newRow("root folder plus name") << u"//a.jpg"_s << u"/a.jpg"_s;
        QTest::newRow("empty") << u""_s << u""_s;
    }
    void normalize() {
        QFETCH(QString, path);
        QFETCH(QString, normalized);
        QCOMPARE(NormalizeBackslashes(path), normalized);
    }

    void lowerExtension_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("ext");
        QTest::newRow("upper case") << u"/x/PHOTO.JPG"_s << u"jpg"_s;
        QTest::newRow("two dots") << u"/x/a.b.png"_s << u"png"_s;
        QTest::newRow("no dot") << u"/x/README"_s << u"readme"_s;
        QTest::newRow("dot in folder only") << u"/x.y/name"_s << u"name"_s;
    }
    void lowerExtension() {
        QFETCH(QString, path);
        QFETCH(QString, ext);
        QCOMPARE(LowerExtension(path), ext);
    }

    void fileTests() {
        TestEnvironment t;
        const QString file = WriteFile(t.root() + "/f.txt", "");
        QVERIFY(FileExists(file));
        QVERIFY(FileExists(t.root()));
        QVERIFY(!FileExists(t.root() + "/missing"));
        QVERIFY(!FileExists(""));
        QVERIFY(IsFolder(t.root()));
        QVERIFY(!IsFolder(file));
        QVERIFY(!IsFolder(""));
        QVERIFY(!IsFolder(t.root() + "/missing"));
    }

    void desktopFolder() {
        TestEnvironment t;
        QCOMPARE(GetDesktopFolder(t.env), t.desktopFolder() + "/");
        t.env.desktopFolder = [] { return QString(); };
        QCOMPARE(Raised([&] { GetDesktopFolder(t.env); }).number(), 5);
        QCOMPARE(GetSpecialFolderPath(t.env, 12345), QString());
    }

    void applicationTitle_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("title");
        QTest::newRow("one word") << u"Velloran"_s << u"Velloran"_s;
        QTest::newRow("two words lose the last") << u"Velloran Stamper"_s << u"Velloran"_s;
        QTest::newRow("long name cut to 40")
            << u"Alpha Beta Gamma Delta Epsilon Zeta Eta Theta Iota"_s
            << u"Alpha Beta Gamma Delta Epsilon Zeta Eta"_s;
    }
    void applicationTitle() {
        QFETCH(QString, product);
        QFETCH(QString, title);
        QCOMPARE(ApplicationTitleFor(product), title);
        QVERIFY(ApplicationTitleFor(product).size() <= 40);
    }
};

QTEST_MAIN(PathsTest)
#include "paths_test.moc"
