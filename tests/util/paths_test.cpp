#include "util/paths.h"
#include "support/test_environment.h"
#include "util/app_title.h"
#include "util/vb_error.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class PathsTest : public QObject {
    Q_OBJECT

private slots:
    void fileName_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("full path") << "/dir/pic.jpg"
                                   << "pic.jpg";
        QTest::newRow("bare name") << "pic.jpg"
                                   << "pic.jpg";
        QTest::newRow("trailing separator") << "/dir/"
                                            << "";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("root file") << "/a.jpg"
                                   << "a.jpg";
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
        QTest::newRow("simple") << "pic.jpg"
                                << "pic";
        QTest::newRow("two dots") << "archive.tar.gz"
                                  << "archive.tar";
        QTest::newRow("dot first") << ".hidden"
                                   << ".hidden";
        QTest::newRow("no dot") << "README"
                                << "README";
        QTest::newRow("ends with dot") << "name."
                                       << "name";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("dot at two") << "a.b"
                                    << "a";
    }
    void stripExtension() {
        QFETCH(QString, name);
        QFETCH(QString, stripped);
        QCOMPARE(StripExtension(name), stripped);
    }

    void normalize_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("normalized");
        QTest::newRow("doubled inside") << "/home//dir//pic.jpg"
                                        << "/home/dir/pic.jpg";
        QTest::newRow("leading run") << "////srv//share"
                                     << "/srv/share";
        QTest::newRow("single leading") << "/dir"
                                        << "/dir";
        QTest::newRow("three in a row") << "/dir///pic.jpg"
                                        << "/dir//pic.jpg";
        QTest::newRow("only separators") << "////"
                                         << "/";
        QTest::newRow("relative") << "a//b"
                                  << "a/b";
        QTest::newRow("root folder plus name") << "//a.jpg"
                                               << "/a.jpg";
        QTest::newRow("empty") << ""
                               << "";
    }
    void normalize() {
        QFETCH(QString, path);
        QFETCH(QString, normalized);
        QCOMPARE(NormalizeBackslashes(path), normalized);
    }

    void lowerExtension_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("ext");
        QTest::newRow("upper case") << "/x/PHOTO.JPG"
                                    << "jpg";
        QTest::newRow("two dots") << "/x/a.b.png"
                                  << "png";
        QTest::newRow("no dot") << "/x/README"
                                << "readme";
        QTest::newRow("dot in folder only") << "/x.y/name"
                                            << "name";
    }
    void lowerExtension() {
        QFETCH(QString, path);
        QFETCH(QString, ext);
        QCOMPARE(LowerExtension(path), ext);
    }

    void fileTests() {
        TestEnvironment t;
        const QString file = t.root() + "/f.txt";
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
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
        try {
            GetDesktopFolder(t.env);
            QFAIL("no desktop must fail");
        } catch (const VbError& e) {
            QCOMPARE(e.number(), 5);
        }
        QCOMPARE(GetSpecialFolderPath(t.env, 12345), QString());
    }

    void applicationTitle_data() {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("title");
        QTest::newRow("one word") << "Velloran"
                                  << "Velloran";
        QTest::newRow("two words lose the last") << "Velloran Stamper"
                                                 << "Velloran";
        QTest::newRow("long name cut to 40") << "Alpha Beta Gamma Delta Epsilon Zeta Eta Theta Iota"
                                             << "Alpha Beta Gamma Delta Epsilon Zeta Eta";
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
