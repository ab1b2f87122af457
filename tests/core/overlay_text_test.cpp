#include "core/overlay_text.h"
#include "ink.h"
#include "support/fake_dialogs.h"

#include <QPainter>
#include <QtTest>

namespace {

constexpr double kTwips = 15.0;
constexpr int kImageWidth = 400;
constexpr int kImageHeight = 300;

enum class Across { Left, Right, Middle };
enum class Down { Top, Bottom, Middle };

// Where each position puts its block, and whether later lines of a whole-text print fall
// back to the left edge.
struct Anchor {
    Across across;
    Down down;
    bool wholeText;
};

Anchor AnchorOf(const QString& position) {
    static const QHash<QString, Anchor> anchors = {
        {QStringLiteral("Upper-left"), {Across::Left, Down::Top, true}},
        {QStringLiteral("Upper-right"), {Across::Right, Down::Top, false}},
        {QStringLiteral("Lower-left"), {Across::Left, Down::Bottom, true}},
        {QStringLiteral("Lower-right"), {Across::Right, Down::Bottom, false}},
        {QStringLiteral("Center-top"), {Across::Middle, Down::Top, false}},
        {QStringLiteral("Center-left"), {Across::Left, Down::Middle, true}},
        {QStringLiteral("Center-right"), {Across::Right, Down::Middle, false}},
        {QStringLiteral("Center-bottom"), {Across::Middle, Down::Bottom, false}},
        {QStringLiteral("Center"), {Across::Middle, Down::Middle, false}},
    };
    return anchors.value(position);
}

const QStringList kPositions = {
    QStringLiteral("Upper-left"),   QStringLiteral("Upper-right"),   QStringLiteral("Lower-left"),
    QStringLiteral("Lower-right"),  QStringLiteral("Center-top"),    QStringLiteral("Center-left"),
    QStringLiteral("Center-right"), QStringLiteral("Center-bottom"), QStringLiteral("Center"),
};

QFont StampFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(24);
    return font;
}

constexpr quint32 kForeColor = 0x00802010;  // 0x00BBGGRR

// A canvas holding a plain grey picture, with the stamp's font and colour set.
struct Stage {
    explicit Stage(QSize size = QSize(kImageWidth, kImageHeight)) {
        picture = PlainImage(size.width(), size.height());
        canvas.SetPicture(picture);
        canvas.SetFontName(QStringLiteral("Arial"));
        canvas.SetFontSize(24);
        canvas.ForeColor = kForeColor;
    }
    QImage Stamp(const QString& text, const QString& position) {
        OverlayText2(canvas, text, position, dialogs);
        return canvas.Image();
    }
    QImage picture;
    Canvas canvas;
    FakeDialogs dialogs;
};

// The picture with `lines` painted by hand where the anchor puts them: the block's right
// edge 70 twips inside the outer right edge, its bottom 30 twips above the outer bottom
// edge (the frame is one pixel), its centre on the picture's centre, the near margins
// 10 twips.
QImage Expected(const QImage& picture, const QStringList& lines, const Anchor& anchor) {
    const QFontMetricsF m = Metrics96(StampFont());
    double blockWidth = 0;
    for (const QString& line : lines) {
        blockWidth = std::max(blockWidth, m.horizontalAdvance(line) * kTwips);
    }
    const double lineHeight = m.lineSpacing() * kTwips;
    const double blockHeight = lineHeight * static_cast<double>(lines.size());
    const double inner = picture.width() * kTwips;
    const double innerH = picture.height() * kTwips;
    const double frame = 15;

    double x = 10;
    if (anchor.across == Across::Right) {
        x = inner + 2 * frame - 70 - blockWidth;
    } else if (anchor.across == Across::Middle) {
        x = inner / 2 - blockWidth / 2;
    }
    double y = 10;
    if (anchor.down == Down::Bottom) {
        y = innerH + 2 * frame - 30 - blockHeight;
    } else if (anchor.down == Down::Middle) {
        y = innerH / 2 - blockHeight / 2;
    }

    QImage image = picture;
    QPainter painter(&image);
    painter.setFont(StampFont());
    painter.setPen(QColor(0x10, 0x20, 0x80));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const double lineX = (anchor.wholeText && i > 0) ? 0 : x;
        const double lineY = y + lineHeight * static_cast<double>(i);
        painter.drawText(QPointF(static_cast<float>(lineX) / kTwips,
                                 static_cast<float>(lineY) / kTwips + m.ascent()),
                         lines.at(i));
    }
    return image;
}

// The ink box of line i of a stamp whose first line's top is at `top` pixels.
QRect LineInk(const QImage& stamped, const QImage& picture, double top, int i) {
    const double ls = Metrics96(StampFont()).lineSpacing();
    return InkBox(stamped, picture, Band(stamped, top + ls * i, ls));
}

double BlockTop(const QString& position, int lineCount) {
    const double ls = Metrics96(StampFont()).lineSpacing();
    switch (AnchorOf(position).down) {
        case Down::Top:
            return 10 / kTwips;
        case Down::Bottom:
            return kImageHeight - ls * lineCount;
        case Down::Middle:
            return kImageHeight / 2.0 - ls * lineCount / 2;
    }
    return 0;
}

QString Boxes(const QImage& a, const QImage& b, const QImage& picture) {
    QString text;
    QDebug(&text) << "got" << InkBox(a, picture) << "expected" << InkBox(b, picture);
    return text;
}

}  // namespace

class OverlayTextTest : public QObject {
    Q_OBJECT

private slots:
    void drawsWhereThePositionAnchorsTheBlock_data();
    void drawsWhereThePositionAnchorsTheBlock();
    void anchoredLinesShareTheirX_data();
    void anchoredLinesShareTheirX();
    void upperLeftStartsLaterLinesAtTheEdge();
    void middleOfThreeLinesSitsOnTheMidLine();
    void textWiderThanThePictureIsClipped();
    void drawsNothingForEmptyTextOrUnknownPosition_data();
    void drawsNothingForEmptyTextOrUnknownPosition();
};

void OverlayTextTest::drawsWhereThePositionAnchorsTheBlock_data() {
    QTest::addColumn<QString>("position");
    QTest::addColumn<QString>("text");
    const QList<std::pair<const char*, QString>> texts = {
        {"one line", QStringLiteral("Stamp 42")},
        {"three lines", QStringLiteral("First\r\nthe widest line\r\nlast")},
        {"empty middle line", QStringLiteral("Wg\r\n\r\nWWg")},
        {"lone LF stays in its line", QStringLiteral("AB\nCD\r\nE")},
    };
    for (const QString& position : kPositions) {
        for (const auto& [name, text] : texts) {
            QTest::addRow("%s, %s", qPrintable(position), name) << position << text;
        }
    }
}

void OverlayTextTest::drawsWhereThePositionAnchorsTheBlock() {
    QFETCH(QString, position);
    QFETCH(QString, text);
    Stage stage;
    const QImage stamped = stage.Stamp(text, position);
    const QImage expected =
        Expected(stage.picture, text.split(QStringLiteral("\r\n")), AnchorOf(position));
    QVERIFY(stamped != stage.picture);
    // A shift of a tenth of a pixel changes edge pixels by far more than this.
    QVERIFY2(MaxChannelDifference(stamped, expected) <= 12,
             qPrintable(Boxes(stamped, expected, stage.picture)));
    QVERIFY(stage.dialogs.calls.isEmpty());
}

void OverlayTextTest::anchoredLinesShareTheirX_data() {
    QTest::addColumn<QString>("position");
    QTest::addColumn<QString>("text");
    for (const QString& position : kPositions) {
        if (AnchorOf(position).wholeText) {
            continue;
        }
        QTest::addRow("%s, long line first", qPrintable(position))
            << position << QStringLiteral("WWW\r\nW");
        QTest::addRow("%s, long line last", qPrintable(position))
            << position << QStringLiteral("W\r\nWWW");
    }
}

void OverlayTextTest::anchoredLinesShareTheirX() {
    QFETCH(QString, position);
    QFETCH(QString, text);
    Stage stage;
    const QImage stamped = stage.Stamp(text, position);
    const double top = BlockTop(position, 2);
    const QRect first = LineInk(stamped, stage.picture, top, 0);
    const QRect second = LineInk(stamped, stage.picture, top, 1);
    QVERIFY(!first.isNull() && !second.isNull());
    QCOMPARE(second.left(), first.left());

    const QRect block = first.united(second);
    if (AnchorOf(position).across == Across::Right) {
        // 70 twips from the outer edge, less the one-pixel frame: 2 2/3 px inside.
        QVERIFY2(block.right() >= kImageWidth - 5 && block.right() <= kImageWidth - 3,
                 qPrintable(QString::number(block.right())));
    } else {
        QVERIFY2(std::abs(block.center().x() - kImageWidth / 2) <= 1,
                 qPrintable(QString::number(block.center().x())));
    }
}

void OverlayTextTest::upperLeftStartsLaterLinesAtTheEdge() {
    Stage stage;
    const QImage stamped = stage.Stamp(QStringLiteral("W\r\nW"), QStringLiteral("Upper-left"));
    const double ls = Metrics96(StampFont()).lineSpacing();
    const double top = 10 / kTwips;
    const QRect secondBand = Band(stamped, top + ls, ls);

    // The second line matches a W drawn at x = 0, not one at the 10-twip margin.
    const auto drawnAt = [&](double x) {
        QImage image = stage.picture;
        QPainter painter(&image);
        painter.setFont(StampFont());
        painter.setPen(QColor(0x10, 0x20, 0x80));
        painter.drawText(QPointF(x, top + ls + Metrics96(StampFont()).ascent()),
                         QStringLiteral("W"));
        return image;
    };
    QCOMPARE(MaxChannelDifference(stamped.copy(secondBand), drawnAt(0).copy(secondBand)), 0);
    QVERIFY(MaxChannelDifference(stamped.copy(secondBand), drawnAt(10 / kTwips).copy(secondBand)) >
            40);
}

void OverlayTextTest::middleOfThreeLinesSitsOnTheMidLine() {
    // The middle line of a three-line block lands exactly where a one-line stamp of the same
    // text does: its top at IH / 2 - LH / 2.
    Stage three;
    const QImage block = three.Stamp(QStringLiteral("A\r\nHHH\r\nB"), QStringLiteral("Center"));
    Stage one;
    const QImage single = one.Stamp(QStringLiteral("HHH"), QStringLiteral("Center"));

    const double ls = Metrics96(StampFont()).lineSpacing();
    const QRect middle = Band(block, kImageHeight / 2.0 - ls / 2, ls);
    QCOMPARE(MaxChannelDifference(block.copy(middle), single.copy(middle)), 0);
    const QRect ink = InkBox(single, one.picture);
    QVERIFY(std::abs(ink.center().x() - kImageWidth / 2) <= 1);
}

void OverlayTextTest::textWiderThanThePictureIsClipped() {
    Stage stage;
    const QString text = QStringLiteral("Wide").repeated(40);
    QVERIFY(stage.canvas.TextWidth(text) > 4 * stage.canvas.ScaleWidth());
    const QImage stamped = stage.Stamp(text, QStringLiteral("Center"));

    // The middle of the text is at the middle of the picture: its start is far to the left.
    const QImage expected = Expected(stage.picture, {text}, AnchorOf(QStringLiteral("Center")));
    QVERIFY2(MaxChannelDifference(stamped, expected) <= 12,
             qPrintable(Boxes(stamped, expected, stage.picture)));
    const QRect ink = InkBox(stamped, stage.picture);
    // Ink reaches both edges (give or take the gap between two letters).
    QVERIFY2(ink.left() <= 2 && ink.right() >= kImageWidth - 3,
             qPrintable(Boxes(stamped, expected, stage.picture)));
    QCOMPARE(stamped.size(), stage.picture.size());
}

void OverlayTextTest::drawsNothingForEmptyTextOrUnknownPosition_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("position");
    QTest::newRow("empty text") << ""
                                << "Upper-left";
    QTest::newRow("position in other case") << "Stamp"
                                            << "upper-left";
    QTest::newRow("position with a trailing blank") << "Stamp"
                                                    << "Center ";
    QTest::newRow("empty position") << "Stamp"
                                    << "";
}

void OverlayTextTest::drawsNothingForEmptyTextOrUnknownPosition() {
    QFETCH(QString, text);
    QFETCH(QString, position);
    Stage stage;
    stage.canvas.CurrentX = 123;
    stage.canvas.CurrentY = 456;
    const QImage stamped = stage.Stamp(text, position);
    QCOMPARE(stamped, stage.picture);
    QCOMPARE(stage.canvas.CurrentX, 123.0);
    QCOMPARE(stage.canvas.CurrentY, 456.0);
    QVERIFY(stage.dialogs.calls.isEmpty());
}

QTEST_MAIN(OverlayTextTest)
#include "overlay_text_test.moc"
