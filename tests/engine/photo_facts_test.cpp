// SPDX-License-Identifier: MIT
// A template's {taken} and {exif:Model} for every format that carries EXIF, against what
// exiftool wrote into the sources; and the copies, read back by exiftool, carry the same.
#include "engine/engine_fixture.h"
#include "engine/engine_start.h"
#include "engine/photo_facts.h"
#include "engine/photo_metadata.h"
#include "engine/reference_tools.h"
#include "engine/stamp_template.h"
#include "support/photo_image.h"

#include <QtTest>

namespace {

constexpr char kTaken[] = "2019:07:14 10:20:30";
constexpr char kTemplate[] = "{taken:yyyy-MM-dd HH:mm:ss}|{exif:Model}";

// What exiftool says of a file's tag, "" when it says nothing.
QString ExifToolTag(const QString& path, const QString& tag) {
    QByteArray out;
    RunTool("exiftool", {"-s3", "-" + tag, path}, &out);
    return QString::fromUtf8(out).trimmed();
}

// Makes `name` in `folder` in its format, from a PNG, with the format's own tool.
bool MakeSource(const QString& folder, const QString& name, const QString& tool,
                const QStringList& options) {
    const QString png = folder + "/plain.png";
    if (!PhotoLike(96, 64).save(png, "PNG")) {
        return false;
    }
    const QString path = folder + '/' + name;
    if (tool.isEmpty()) {
        return PhotoLike(96, 64).save(path);
    }
    QStringList arguments = options;
    arguments.replaceInStrings("IN", png);
    arguments.replaceInStrings("OUT", path);
    return RunTool(tool, arguments);
}

}  // namespace

class PhotoFactsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { StartEngine(); }

    void takenAndModelOfEveryFormat_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("tool");  // empty: Qt writes the source
        QTest::addColumn<QStringList>("options");
        QTest::newRow("HEIC") << "phone.heic" << "heif-enc" << QStringList{"-q", "60", "IN", "-o", "OUT"};
        QTest::newRow("AVIF") << "phone.avif" << "heif-enc"
                              << QStringList{"-A", "-q", "60", "IN", "-o", "OUT"};
        QTest::newRow("WebP") << "web.webp" << "cwebp" << QStringList{"-quiet", "IN", "-o", "OUT"};
        QTest::newRow("JPEG XL") << "new.jxl" << "cjxl" << QStringList{"--quiet", "IN", "OUT"};
        QTest::newRow("PNG") << "drawing.png" << "" << QStringList{};
        QTest::newRow("TIFF") << "scan.tif" << "" << QStringList{};
        QTest::newRow("JPEG") << "camera.jpg" << "" << QStringList{};
    }
    void takenAndModelOfEveryFormat() {
        QFETCH(QString, name);
        QFETCH(QString, tool);
        QFETCH(QStringList, options);
        if (!HaveTools({"exiftool"}) || (!tool.isEmpty() && !HaveTools({tool}))) {
            QSKIP("exiftool or the format's own tool is not installed");
        }
        EngineFixture f;
        QVERIFY(MakeSource(f.sources, name, tool, options));
        const QString source = f.sources + '/' + name;
        const QString model = "Cam " + name;
        // -m: a bare JPEG XL codestream is wrapped in a container to take the EXIF.
        QVERIFY(RunTool("exiftool", {"-q", "-m", "-overwrite_original",
                                     QStringLiteral("-DateTimeOriginal=%1").arg(kTaken),
                                     "-Model=" + model, source}));
        QCOMPARE(ExifToolTag(source, "Model"), model);
        // The file's own time differs from the date taken, so a fallback would show.
        QVERIFY(QFileInfo(source).lastModified().date().year() > 2019);

        const QString expected = "2019-07-14 10:20:30|" + model;
        const StampTemplate stampTemplate(QString::fromLatin1(kTemplate));
        QString text;
        SourceStamper stamper(f.temp);
        const QList<SourceStamper::Failure> failures =
            stamper.Stamp(source, f.settings, 1, [&](const PhotoFacts& facts) {
                StampTemplate::Source parts;
                parts.path = source;
                parts.taken = [&] { return facts.Taken(); };
                parts.exif = [&](const QString& tag) { return facts.Tag(tag); };
                text = stampTemplate.Expand(parts);
                return text;
            });
        QVERIFY2(failures.isEmpty(), qPrintable(failures.value(0).description));
        QCOMPARE(text, expected);
        // The copy's writer took the same reading, corrected for the copy.
        const QString copy = f.output + '/' + name;
        QCOMPARE(ExifToolTag(copy, "Model"), model);
        QCOMPARE(ExifToolTag(copy, "DateTimeOriginal"), QString::fromLatin1(kTaken));
    }

    // exiv2 reads ISO base media files (here a JPEG XL container) only once its reader of
    // them is switched on, which StartEngine does. (Its reading of HEIC and AVIF finds no
    // EXIF where exiftool puts it, at an item location with a base offset: those are read
    // through libheif.)
    void exiv2ReadsIsoMediaContainers() {
        if (!HaveTools({"exiftool", "cjxl"})) {
            QSKIP("exiftool or cjxl is not installed");
        }
        EngineFixture f;
        QVERIFY(MakeSource(f.sources, "new.jxl", "cjxl", {"--quiet", "IN", "OUT"}));
        const QString source = f.sources + "/new.jxl";
        QVERIFY(RunTool("exiftool", {"-q", "-m", "-overwrite_original", "-Model=Phone 9", source}));
        const PhotoMetadata read = ReadPhotoMetadata(source, PhotoLike(96, 64));
        QCOMPARE(PhotoFacts(MetadataOfBlocks(read, true)).Tag("Model"), QString("Phone 9"));
    }
};

// No widget application: the engine stamps with a plain one.
int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    PhotoFactsTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "photo_facts_test.moc"
