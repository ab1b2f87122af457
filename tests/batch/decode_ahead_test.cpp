// SPDX-License-Identifier: MIT
#include "engine/decode_ahead.h"
#include "engine/picture_loader.h"
#include "run_fixture.h"
#include "support/test_images.h"

#include <QPainter>
#include <QThread>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

namespace {

// A decode of a file written within the last clock tick is not trusted: let times fall behind.
void LetFileTimesSettle() {
    QThread::msleep(60);
}

// A photo-like JPEG with its red raised by `tint`, so two versions differ in every pixel.
QString WriteJpeg(const QString& path, int tint, QSize size = {320, 240}) {
    QImage image = NoisyImage(size.width(), size.height());
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_Plus);  // adds, up to 255
    painter.fillRect(image.rect(), QColor(tint, 0, 0));
    painter.end();
    image.save(path, "JPG", 90);
    return path;
}

// Replaces a file the way an editor's save does: a new file renamed over the old one.
void ReplaceByRename(const QString& path, int tint) {
    const QString fresh = path + ".new.jpg";
    WriteJpeg(fresh, tint);
    QVERIFY(::rename(QFile::encodeName(fresh), QFile::encodeName(path)) == 0);
}

// Rewrites a file where it is, keeping its inode and, for a bitmap of the same size, its size.
void OverwriteInPlace(const QString& path, QColor colour) {
    QImage image(160, 120, QImage::Format_RGB32);
    image.fill(colour);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(image.save(&file, "BMP"));
}

// The mean red of a block at the centre, away from the stamp; -1 when there is no picture.
int RedAtCentre(const QString& path) {
    const QImage image(path);
    if (image.isNull()) {
        return -1;
    }
    int sum = 0;
    for (int y = -10; y < 10; ++y) {
        for (int x = -10; x < 10; ++x) {
            sum += qRed(image.pixel(image.width() / 2 + x, image.height() / 2 + y));
        }
    }
    return sum / 400;
}

// What a user sees of a run, and what it leaves on disk.
struct RunRecord {
    QStringList calls;  // kind, title, icon and text of every dialog
    QStringList progress;  // value and text each time the value moves
    QMap<QString, QByteArray> outputs;
};

// Writes the sources a scenario starts from and fills the list with them.
using Setup = std::function<void(RunFixture&)>;
// Runs while the run yields at the start of the entry it names (1-based).
using DuringYield = std::function<void(RunFixture&)>;

RunRecord RunWithThreads(RunFixture& f, const char* threads, const Setup& setup, int yieldAt,
                         const DuringYield& duringYield) {
    QDir(f.sources).removeRecursively();
    QDir(f.output).removeRecursively();
    QDir().mkpath(f.sources);
    QDir().mkpath(f.output);
    f.form.ListView1->Clear();
    setup(f);
    LetFileTimesSettle();
    f.dialogs.clear();
    qputenv("VELLORAN_THREADS", threads);

    RunRecord record;
    int entry = 0;
    const auto connection = QObject::connect(
        f.form.ProgressBar1, &QProgressBar::valueChanged, [&](int value) {
            record.progress << QString::number(value) + " " + f.form.ProgressBar1->text();
            if (++entry == yieldAt && duringYield) {
                // Time for a worker to finish decoding the next entry ahead.
                QThread::msleep(300);
                duringYield(f);
            }
        });
    f.form.PushButton2->click();
    QObject::disconnect(connection);
    qunsetenv("VELLORAN_THREADS");

    for (const FakeDialogs::Call& call : f.dialogs.calls) {
        record.calls << call.kind + "|" + call.title + "|" + QString::number(int(call.icon)) + "|" +
                            call.text;
    }
    for (const QString& name : QDir(f.output).entryList(QDir::Files)) {
        record.outputs.insert(name, ReadFile(f.output + "/" + name));
    }
    return record;
}

void AddJpegs(RunFixture& f, const QStringList& names) {
    for (int i = 0; i < names.size(); ++i) {
        f.form.ListView1->Add(WriteJpeg(f.sources + "/" + names[i], i * 10));
    }
}

}  // namespace

class DecodeAheadTest : public QObject {
    Q_OBJECT

private slots:
    // Several threads show and write exactly what one thread does, whatever the files undergo.
    void severalThreadsRunAsOne_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<int>("yieldAt");
        QTest::addColumn<DuringYield>("duringYield");
        QTest::addColumn<int>("errors");
        QTest::addColumn<QString>("checkName");  // an output whose picture is checked
        QTest::addColumn<int>("checkRed");       // its red at the centre, -1: not written

        const Setup damagedInTheMiddle = [](RunFixture& f) {
            AddJpegs(f, {"a.jpg", "b.jpg"});
            const QByteArray whole = ReadFile(WriteJpeg(f.sources + "/cut.jpg", 0));
            f.form.ListView1->Add(WriteFile(f.sources + "/cut.jpg", whole.left(whole.size() / 2)));
            f.form.ListView1->Add(WriteFile(f.sources + "/text.jpg", "this is no picture"));
            f.form.ListView1->Add(f.sources + "/missing.jpg");
            f.add("d.bmp", "BMP");
            f.form.ListView1->Add(WriteFile(f.sources + "/empty.gif", ""));
            AddJpegs(f, {"e.jpg", "f.jpg"});
        };
        QTest::newRow("damaged files in the middle")
            << damagedInTheMiddle << 0 << DuringYield() << 4 << "e.jpg" << 130;

        const Setup four = [](RunFixture& f) { AddJpegs(f, {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}); };
        QTest::newRow("replaced by a rename while the run yields")
            << four << 2 << DuringYield([](RunFixture& f) {
                   ReplaceByRename(f.sources + "/c.jpg", 200);
               })
            << 0 << "c.jpg" << 255;
        QTest::newRow("removed while the run yields")
            << four << 2 << DuringYield([](RunFixture& f) {
                   QVERIFY(QFile::remove(f.sources + "/c.jpg"));
               })
            << 1 << "c.jpg" << -1;
        QTest::newRow("entry pointed at another file while the run yields")
            << four << 2 << DuringYield([](RunFixture& f) {
                   f.form.ListView1->SetItemText(3, WriteJpeg(f.sources + "/other.jpg", 200));
                   LetFileTimesSettle();
               })
            << 0 << "other.jpg" << 255;

        // The second entry is the first one's output: it must be read again once written.
        const Setup overwrittenByTheRun = [](RunFixture& f) {
            f.form.ListView1->Add(WriteJpeg(f.sources + "/a.jpg", 0));
            f.form.ListView1->Add(WriteJpeg(f.output + "/a.jpg", 200));
            f.dialogs.buttonAnswers.enqueue(Dialogs::Button::Yes);
        };
        QTest::newRow("an entry that an earlier entry overwrites")
            << overwrittenByTheRun << 0 << DuringYield() << 0 << "a.jpg" << 130;

        const Setup bitmaps = [](RunFixture& f) {
            for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"}) {
                f.add(name, "BMP");
            }
        };
        QTest::newRow("bitmap rewritten in place, same size, while the run yields")
            << bitmaps << 2 << DuringYield([](RunFixture& f) {
                   OverwriteInPlace(f.sources + "/c.bmp", QColor(230, 10, 10));
               })
            << 0 << "c.bmp" << 230;
    }
    void severalThreadsRunAsOne() {
        QFETCH(Setup, setup);
        QFETCH(int, yieldAt);
        QFETCH(DuringYield, duringYield);
        QFETCH(int, errors);
        QFETCH(QString, checkName);
        QFETCH(int, checkRed);
        RunFixture f;
        const RunRecord one = RunWithThreads(f, "1", setup, yieldAt, duringYield);
        QCOMPARE(f.dialogs.errors().size(), errors);
        QCOMPARE(f.dialogs.messages().last(), QString("Done."));
        const int red = RedAtCentre(f.output + "/" + checkName);
        QVERIFY2(checkRed < 0 ? red == -1 : qAbs(red - checkRed) <= 12,
                 qPrintable(QString("red at the centre of %1: %2").arg(checkName).arg(red)));

        const RunRecord several = RunWithThreads(f, "4", setup, yieldAt, duringYield);
        QCOMPARE(several.calls, one.calls);
        QCOMPARE(several.progress, one.progress);
        QCOMPARE(several.outputs.keys(), one.outputs.keys());
        for (const QString& name : one.outputs.keys()) {
            QVERIFY2(several.outputs[name] == one.outputs[name], qPrintable(name));
        }
    }

    // A picture is handed out only while the file is the one decoded.
    void pictureOnlyForTheFileDecoded_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("handedOut");
        QTest::newRow("unchanged") << "none" << true;
        QTest::newRow("made unreadable") << "chmod" << false;
        QTest::newRow("written just now") << "fresh" << false;
        QTest::newRow("a FIFO") << "fifo" << false;
        QTest::newRow("never asked for") << "unasked" << false;
    }
    void pictureOnlyForTheFileDecoded() {
        QFETCH(QString, change);
        QFETCH(bool, handedOut);
        TestEnvironment t;
        const QString path = t.root() + "/p.jpg";
        if (change == "fifo") {
            QVERIFY(::mkfifo(QFile::encodeName(path), 0600) == 0);
        } else {
            WriteJpeg(path, 0);
        }
        if (change != "fresh") {
            LetFileTimesSettle();
        }

        DecodeAhead decoder(1);
        QCOMPARE(decoder.workers(), 1);
        decoder.Prefetch(QString(), {change == "unasked" ? t.root() + "/other.jpg" : path});
        QTRY_COMPARE(decoder.Queued(), 0);
        if (change == "chmod") {
            QVERIFY(::chmod(QFile::encodeName(path), 0) == 0);
        }
        const std::optional<QImage> picture = decoder.Take(path);
        QCOMPARE(picture.has_value(), handedOut);
        if (handedOut) {
            QCOMPARE(*picture, LoadPicture(path));
            // Taken once: a second entry of the same path loads for itself.
            QVERIFY(!decoder.Take(path).has_value());
        }
    }

    // At most one picture per worker is decoded ahead; what is no longer wanted is dropped.
    void decodesOnlyWhatIsWanted() {
        TestEnvironment t;
        QStringList paths;
        for (int i = 0; i < 4; ++i) {
            paths << WriteJpeg(t.root() + QString("/%1.jpg").arg(i), i);
        }
        LetFileTimesSettle();
        DecodeAhead decoder(2);
        decoder.Prefetch(QString(), paths);
        QTRY_COMPARE(decoder.Queued(), 0);
        QVERIFY(decoder.Take(paths[0]).has_value());
        QVERIFY(decoder.Take(paths[1]).has_value());
        QVERIFY(!decoder.Take(paths[2]).has_value());
        decoder.Prefetch(QString(), {paths[2]});
        decoder.Prefetch(QString(), {paths[3]});
        QTRY_COMPARE(decoder.Queued(), 0);
        QVERIFY(decoder.Take(paths[3]).has_value());
    }

    void threadCountFromTheEnvironment_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("workers");
        QTest::newRow("one thread") << QByteArray("1") << 0;
        QTest::newRow("capped") << QByteArray("64") << DecodeAhead::kMaxWorkers;
        QTest::newRow("nonsense: the machine's cores")
            << QByteArray("x")
            << qBound(0, QThread::idealThreadCount() - 1, DecodeAhead::kMaxWorkers);
    }
    void threadCountFromTheEnvironment() {
        QFETCH(QByteArray, value);
        QFETCH(int, workers);
        qputenv("VELLORAN_THREADS", value);
        QCOMPARE(DecodeAhead::WorkersForThisMachine(), workers);
        qunsetenv("VELLORAN_THREADS");
    }
};

QTEST_MAIN(DecodeAheadTest)
#include "decode_ahead_test.moc"
