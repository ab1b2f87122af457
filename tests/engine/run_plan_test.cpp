// SPDX-License-Identifier: MIT
#include "engine/run_plan.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

void Touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
}

}  // namespace

class RunPlanTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString in() const { return dir_.path() + "/card"; }
    QString out() const { return dir_.path() + "/out"; }

private slots:
    void init() {
        QDir(in()).removeRecursively();
        QDir(out()).removeRecursively();
        QVERIFY(QDir().mkpath(in() + "/100CANON"));
        QVERIFY(QDir().mkpath(in() + "/101CANON"));
        QVERIFY(QDir().mkpath(out()));
    }

    // Two cameras' folders hold IMG_0001.JPG each: flat, the earlier copy would be lost,
    // so the plan says which source takes it; mirrored, each has its own folder.
    void sameNamesClashUnlessMirrored() {
        const std::vector<RunSource> card = {
            {in() + "/100CANON/IMG_0001.JPG", in()},
            {in() + "/101CANON/IMG_0001.JPG", in()},
            {in() + "/101CANON/IMG_0002.JPG", in()},
        };
        const std::vector<PlannedCopy> flat = PlanRun(card, {out(), false, false});
        QCOMPARE(flat.size(), size_t(3));
        QCOMPARE(flat[0].action, CopyAction::Clash);
        QCOMPARE(flat[0].clashWith, 1);
        QCOMPARE(flat[1].action, CopyAction::Stamp);
        QCOMPARE(flat[1].output, out() + "/IMG_0001.JPG");

        const std::vector<PlannedCopy> mirrored = PlanRun(card, {out() + "/", false, true});
        QCOMPARE(mirrored[0].action, CopyAction::Stamp);
        QCOMPARE(mirrored[0].output, out() + "/100CANON/IMG_0001.JPG");
        QCOMPARE(mirrored[1].output, out() + "/101CANON/IMG_0001.JPG");
        // A file named by itself has no folder to keep.
        QCOMPARE(PlanRun({{in() + "/100CANON/IMG_0001.JPG", {}}}, {out(), false, true})[0].output,
                 out() + "/IMG_0001.JPG");
    }

    // Only a regular file of the user's own is a finished copy: a dangling link, a folder
    // or another user's link must not make skip-existing leave a picture unstamped.
    void onlyTheUsersOwnFileIsFinished() {
        Touch(out() + "/own.jpg");
        QVERIFY(QFile::link(out() + "/own.jpg", out() + "/ownlink.jpg"));
        QVERIFY(QFile::link(dir_.path() + "/nowhere.jpg", out() + "/dangling.jpg"));
        QVERIFY(QDir().mkpath(out() + "/folder.jpg"));
        QVERIFY(IsFinishedCopy(out() + "/own.jpg"));
        QVERIFY(IsFinishedCopy(out() + "/ownlink.jpg"));
        QVERIFY(!IsFinishedCopy(out() + "/dangling.jpg"));
        QVERIFY(!IsFinishedCopy(out() + "/folder.jpg"));
        QVERIFY(!IsFinishedCopy(out() + "/missing.jpg"));
        if (::geteuid() == 0) {
            Touch(out() + "/theirs.jpg");
            QVERIFY(::chown(QFile::encodeName(out() + "/theirs.jpg").constData(), 65534, 65534) ==
                    0);
            QVERIFY(QFile::link(out() + "/own.jpg", out() + "/theirlink.jpg"));
            QVERIFY(::lchown(QFile::encodeName(out() + "/theirlink.jpg").constData(), 65534,
                             65534) == 0);
            QVERIFY(!IsFinishedCopy(out() + "/theirs.jpg"));
            QVERIFY(!IsFinishedCopy(out() + "/theirlink.jpg"));
        }

        Touch(in() + "/dangling.jpg");
        Touch(in() + "/own.jpg");
        const std::vector<PlannedCopy> plan =
            PlanRun({{in() + "/dangling.jpg", {}}, {in() + "/own.jpg", {}}}, {out(), true, false});
        QCOMPARE(plan[0].action, CopyAction::Stamp);
        QCOMPARE(plan[1].action, CopyAction::SkipExisting);
    }

    void copyOntoItsSourceIsMarked() {
        Touch(in() + "/a.jpg");
        QVERIFY(PlanRun({{in() + "/a.jpg", {}}}, {in(), false, false})[0].replacesSource);
        QVERIFY(!PlanRun({{in() + "/a.jpg", {}}}, {out(), false, false})[0].replacesSource);
        // Through a link to the source's folder, too.
        QVERIFY(QFile::link(in(), dir_.path() + "/via"));
        QVERIFY(PlanRun({{in() + "/a.jpg", {}}}, {dir_.path() + "/via", false, false})[0]
                    .replacesSource);
    }
};

QTEST_GUILESS_MAIN(RunPlanTest)
#include "run_plan_test.moc"
