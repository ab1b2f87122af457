// SPDX-License-Identifier: MIT
#include "core/overlay_text.h"
#include "ink.h"
#include "support/fake_dialogs.h"

#include <QPainter>
#include <QtTest>

namespace {

constexpr double kTwips = 15.0;

// Where a position puts its block across and down ('n'ear edge, 'f'ar edge, 'm'iddle), and
// whether later lines of a whole-text print fall back to the left edge.
struct Anchor {
    char across;
    char down;
    bool wholeText;
};

const QList<std::pair<QString, Anchor>> kAnchors = {
    {"Upper-left", {'n', 'n', true}},    {"Upper-right", {'f', 'n', false}},
    {"Lower-left", {'n', 'f', true}},    {"Lower-right", {'f', 'f', false}},
    {"Center-top", {'m', 'n', false}},   {"Center-left", {'n', 'm', true}},
    {"Center-right", {'f', 'm', false}}, {"Center-bottom", {'m', 'f', false}},
    {"Center", {'m', 'm', false}},
};

Anchor AnchorOf(const QString& position) {
    for (const auto& [name, anchor] : kAnchors) {
        if (name == position) {
            return anchor;
        }
    }
    return {};
}

QFont StampFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(24);
    return font;
}

// A canvas holding a plain grey 400 x 300 picture, with the stamp's font and colour set.
struct Stage {
    Stage() {
        canvas.SetPicture(picture);
        canvas.SetFontName(QStringLiteral("Arial"));
        canvas.SetFontSize(24);
        canvas.ForeColor = 0x00802010;  // 0x00BBGGRR
    }
    QImage Stamp(const QString& text, const QString& position) {
        OverlayText2(canvas, text, position, dialogs);
        return canvas.Image();
    }
    QImage picture = PlainImage(400, 300);
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
    const double x = anchor.across == 'n'   ? 10
                     : anchor.across == 'f' ? inner + 2 * frame - 70 - blockWidth
                                            : inner / 2 - blockWidth / 2;
    const double y = anchor.down == 'n'   ? 10
                     : anchor.down == 'f' ? innerH + 2 * frame - 30 - blockHeight
                                          : innerH / 2 - blockHeight / 2;
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

QString Boxes(const QImage& a, const QImage& b, const QImage& picture) {
    QString text;
    QDebug(&text) << "got" << InkBox(a, picture) << "expected" << InkBox(b, picture);
    return text;
}

}  // namespace

class OverlayTextTest : public QObject {
    Q_OBJECT

private slots:
    // Every line lands where hand-painted text does: a shift of a tenth of a pixel changes
    // edge pixels by far more than the tolerance.
    void drawsWhereThePositionAnchorsTheBlock_data() {
        QTest::addColumn<QString>("position");
        QTest::addColumn<QString>("text");
        const QList<std::pair<const char*, QString>> texts = {
            {"one line", QStringLiteral("Stamp 42")},
            {"three lines", QStringLiteral("First\r\nthe widest line\r\nlast")},
            {"empty middle line", QStringLiteral("Wg\r\n\r\nWWg")},
            {"lone LF stays in its line", QStringLiteral("AB\nCD\r\nE")},
        };
        for (const auto& [position, anchor] : kAnchors) {
            for (const auto& [name, text] : texts) {
                QTest::addRow("%s, %s", qPrintable(position), name) << position << text;
            }
        }
        // The middle of the text is at the middle of the picture: its start is far to the
        // left and the ink is clipped at both edges.
        QTest::newRow("wider than the picture") << "Center" << QStringLiteral("Wide").repeated(40);
    }
    void drawsWhereThePositionAnchorsTheBlock() {
        QFETCH(QString, position);
        QFETCH(QString, text);
        Stage stage;
        const QImage stamped = stage.Stamp(text, position);
        const QImage expected =
            Expected(stage.picture, text.split(QStringLiteral("\r\n")), AnchorOf(position));
        QVERIFY(stamped != stage.picture);
        QVERIFY2(MaxChannelDifference(stamped, expected) <= 12,
                 qPrintable(Boxes(stamped, expected, stage.picture)));
        QCOMPARE(stamped.size(), stage.picture.size());
        QVERIFY(stage.dialogs.calls.isEmpty());
    }

    void drawsNothingForEmptyTextOrUnknownPosition_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("position");
        QTest::newRow("empty text") << QString() << "Upper-left";
        QTest::newRow("position in other case") << "Stamp" << QString("upper-left");
        QTest::newRow("position with a trailing blank") << "Stamp" << QString("Center ");
        QTest::newRow("empty position") << "Stamp" << QString();
    }
    void drawsNothingForEmptyTextOrUnknownPosition() {
        QFETCH(QString, text);
        QFETCH(QString, position);
        Stage stage;
        stage.canvas.CurrentX = 123;
        stage.canvas.CurrentY = 456;
        QCOMPARE(stage.Stamp(text, position), stage.picture);
        QCOMPARE(stage.canvas.CurrentX, 123.0);
        QCOMPARE(stage.canvas.CurrentY, 456.0);
        QVERIFY(stage.dialogs.calls.isEmpty());
    }
};

QTEST_MAIN(OverlayTextTest)
#include "overlay_text_test.moc"
