// The arithmetic behind a painted row (wrapping, tab stops, the positions
// remembered along long lines, the visible part and the highlight runs),
// checked against a fixed-advance font model, and a few painted rows
// checked pixel by pixel with the list's real font.
#include <QImage>
#include <QtTest>
#include <memory>
#include <string>
#include <vector>

#include "../core/test_files.h"
#include "document/text_document.h"
#include "qt_text.h"
#include "views/char_advances.h"
#include "views/line_geometry.h"
#include "views/line_list_view.h"
#include "views/list_font.h"
#include "views/long_line_wraps.h"
#include "views/row_painter.h"
#include "views/word_wrap.h"

using namespace linesift;

Q_DECLARE_METATYPE(std::vector<uint32_t>)
Q_DECLARE_METATYPE(std::vector<HighlightRun>)

namespace {

// Every character 10 wide, 'W' 20 and 'i' 4; tab stops every 80.
CharAdvances& Fixed() {
    static CharAdvances advances(std::make_unique<FixedFontModel>(
        10, std::unordered_map<char16_t, double>{{u'W', 20}, {u'i', 4}}));
    return advances;
}

std::u16string U16(const QString& text) {
    return ToU16(text);
}

std::u16string Repeat(std::u16string_view piece, size_t units) {
    std::u16string text;
    while (text.size() < units) {
        text += piece;
    }
    text.resize(units);
    return text;
}

const QColor kYellow(0xFE, 0xE3, 0x00);
const QColor kBlue(0x40, 0x80, 0xFF);

// The ops of a layout as "text 0-3 @8 | fill 1-2 @18 w10 #fee300".
QString Describe(const RowTextLayout& layout) {
    QStringList out;
    for (const RowTextOp& op : layout.ops) {
        QString s = QStringLiteral("%1 %2-%3 @%4")
                        .arg(op.kind == RowTextOp::kFill ? "fill" : "text")
                        .arg(op.begin)
                        .arg(op.end)
                        .arg(op.x);
        if (op.kind == RowTextOp::kFill) {
            s += QStringLiteral(" w%1 %2").arg(op.width).arg(op.color.name());
        } else if (op.color != kListText) {
            s += QStringLiteral(" pen %1").arg(op.color.name());
        }
        out << s;
    }
    return out.join(QStringLiteral(" | "));
}

struct Ink {
    int left = -1;  // the leftmost and rightmost columns holding dark pixels
    int right = -1;
    int pixels = 0;
};

Ink DarkInk(const QImage& image) {
    Ink ink;
    for (int x = 0; x < image.width(); ++x) {
        // Ink covers more than half of a pixel, on whatever background the
        // column has (white or a highlight).
        const int background = qGray(image.pixel(x, 1));
        for (int y = 2; y < image.height() - 1; ++y) {
            if (qGray(image.pixel(x, y)) * 2 < background) {
                ink.left = ink.left < 0 ? x : ink.left;
                ink.right = x;
                ++ink.pixels;
            }
        }
    }
    return ink;
}

QImage PaintedRow(std::u16string_view text, std::vector<HighlightRun> runs, int width = 400) {
    QImage image(width, 20, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(ListFont());
    RowPaintInput input{.text = text,
                        .runs = runs,
                        .rect = QRect(0, 0, width, 20),
                        .visible_left = 0,
                        .visible_width = static_cast<double>(width),
                        .advances = &ListFontAdvances()};
    PaintRow(painter, input);
    return image;
}

}  // namespace

class RowPainterTest : public QObject {
    Q_OBJECT
  private slots:
    void wrapping_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("width");
        QTest::addColumn<std::vector<uint32_t>>("starts");
        auto row = [](const char* name, const QString& text, double width,
                      std::vector<uint32_t> starts) {
            QTest::newRow(name) << text << width << starts;
        };
        row("empty line", "", 50, {0});
        row("fits exactly", "abc de", 60, {0});
        row("breaks after the space", "abc def", 50, {0, 4});
        row("wide characters count wide", "WW ab", 55, {0, 3});
        row("narrow characters count narrow", "iiiii ab", 55, {0});
        row("a word alone too wide breaks anywhere", "abcdefgh", 35, {0, 3, 6});
        row("white space hangs past the edge", "abc    def", 30, {0, 7});
        row("after the last space of the row", "ab cd ef gh", 55, {0, 6});
        row("a tab advances to its stop", "ab\tcd", 85, {0, 3});
        row("a tab in the second row counts from its start", "abcdef gh\tij", 70, {0, 7, 10});
        row("a word too wide for a row breaks anywhere", "a bbbbbbb", 40, {0, 2, 6});
        row("a carried-over word that still does not fit breaks again", "i iiiW", 30, {0, 2, 5});
        row("a surrogate pair stays whole", QString::fromUtf16(u"ab\U0001F600cd"), 25, {0, 2, 5});
        row("ideographic space is a break", QString::fromUtf16(u"ab\u3000cd"), 35, {0, 3});
    }
    void wrapping() {
        QFETCH(QString, text);
        QFETCH(double, width);
        QFETCH(std::vector<uint32_t>, starts);
        std::vector<uint32_t> got;
        WrapLine(U16(text), width, Fixed(), got);
        QCOMPARE(got, starts);
        QCOMPARE(CountWrappedRows(U16(text), width, Fixed()), static_cast<uint32_t>(starts.size()));
        // Wrapping stopped after any character and taken up again gives the same rows.
        for (size_t piece : {size_t{1}, size_t{2}, size_t{3}, size_t{7}}) {
            std::vector<uint32_t> resumed = {0};
            WrapCursor cursor;
            const std::u16string units = U16(text);
            while (!WrapOn(units, width, Fixed(), cursor, piece, UINT32_MAX,
                           [&](uint32_t row, size_t start) {
                               QCOMPARE(row, static_cast<uint32_t>(resumed.size()));
                               resumed.push_back(static_cast<uint32_t>(start));
                           })) {
            }
            QCOMPARE(resumed, starts);
            QCOMPARE(cursor.rows, static_cast<uint32_t>(starts.size()));
        }
    }

    // A line too long to wrap in one step is measured in pieces, and each of
    // its rows is found from a remembered place: the rows are WrapLine's.
    void longLinesAreWrappedInPiecesIntoTheSameRows() {
        const std::u16string line =
            Repeat(u"a word WWWW iiii\ttab then_a_very_long_word_that_breaks_anywhere   ", 300000);
        const double width = 237;
        std::vector<uint32_t> starts;
        WrapLine(line, width, Fixed(), starts);
        LongLineWraps wraps;
        uint32_t rows = 0;
        int pieces = 0;
        for (; rows == 0; ++pieces) {
            rows = wraps.Measure(7, line, width, Fixed(), 10000);
            QVERIFY(wraps.MeasuredShare(7, line.size()) > 0);
        }
        QCOMPARE(rows, static_cast<uint32_t>(starts.size()));
        QCOMPARE(pieces, 30);
        auto expect = [&](uint32_t sub) {
            const auto [start, end] = wraps.RowRange(7, line, width, Fixed(), sub);
            QCOMPARE(start, size_t{starts[sub]});
            QCOMPARE(end, sub + 1 < starts.size() ? size_t{starts[sub + 1]} : line.size());
        };
        for (uint32_t sub = 0; sub < rows; sub += 97) {  // forward, some marks apart
            expect(sub);
        }
        for (uint32_t sub = rows; sub-- > rows - 40;) {  // backward from the last row
            expect(sub);
        }
        for (uint32_t sub = rows / 2; sub < rows / 2 + 40; ++sub) {  // as painting asks
            expect(sub);
        }
        // Rows of a line not measured yet are measured as far as needed.
        wraps.Clear();
        expect(rows / 3);
        // Beyond the last row: nothing.
        const auto [start, end] = wraps.RowRange(7, line, width, Fixed(), rows + 5);
        QCOMPARE(start, end);
    }

    void tabStops_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("from");
        QTest::addColumn<double>("to");
        QTest::newRow("a tab at the origin goes to the first stop") << "\t" << 0.0 << 80.0;
        QTest::newRow("a tab on a stop goes to the next") << "\t" << 80.0 << 160.0;
        QTest::newRow("a tab just before a stop") << "\t" << 79.5 << 80.0;
        QTest::newRow("text then a tab") << "abc\t" << 0.0 << 80.0;
        QTest::newRow("a tab then text") << "\tab" << 0.0 << 100.0;
        QTest::newRow("two tabs") << "a\t\tb" << 0.0 << 170.0;
        QTest::newRow("text filling a stop exactly") << "abcdefgh\tx" << 0.0 << 170.0;
        QTest::newRow("mixed widths in the four-lane sum")
            << QString::fromUtf16(u"abcd\u00e9fWhiijk") << 0.0 << 118.0;
        QTest::newRow("a surrogate pair counts once")
            << QString::fromUtf16(u"\U0001F600a") << 0.0 << 20.0;
    }
    void tabStops() {
        QFETCH(QString, text);
        QFETCH(double, from);
        QFETCH(double, to);
        QCOMPARE(Fixed().Advance(U16(text), from), to);
    }

    void longLinePositions_data() {
        QTest::addColumn<QString>("piece");
        QTest::addColumn<int>("length");
        QTest::addColumn<double>("x");
        QTest::addColumn<int>("offset");
        QTest::addColumn<double>("at");
        QTest::newRow("short lines are walked from the start") << "a" << 100 << 500.0 << 0 << 0.0;
        QTest::newRow("nothing left of the start") << "a" << 20000 << 0.0 << 0 << 0.0;
        QTest::newRow("inside the first stride") << "a" << 20000 << 5000.0 << 0 << 0.0;
        QTest::newRow("on a remembered position") << "a" << 20000 << 10240.0 << 1024 << 10240.0;
        QTest::newRow("just past it") << "a" << 20000 << 10245.0 << 1024 << 10240.0;
        QTest::newRow("far along") << "a" << 20000 << 150000.0 << 14336 << 143360.0;
        QTest::newRow("beyond the end") << "a" << 20000 << 1e9 << 19456 << 194560.0;
        QTest::newRow("wide characters") << "W" << 20000 << 30000.0 << 1024 << 20480.0;
        QTest::newRow("tabs") << "a\t" << 20000 << 50000.0 << 1024 << 40960.0;
        QTest::newRow("tab stops across remembered positions")
            << "ab\tcd" << 20000 << 50000.0 << 3072 << 49160.0;
    }
    void longLinePositions() {
        QFETCH(QString, piece);
        QFETCH(int, length);
        QFETCH(double, x);
        QFETCH(int, offset);
        QFETCH(double, at);
        const std::u16string text = Repeat(U16(piece), static_cast<size_t>(length));
        LineGeometryCache cache;
        auto [gotOffset, gotAt] = cache.Seek(7, text, x, Fixed());
        QCOMPARE(static_cast<int>(gotOffset), offset);
        QCOMPARE(gotAt, at);
        // Asked again, the remembered positions give the same answer.
        QCOMPARE(cache.Seek(7, text, x, Fixed()).first, gotOffset);
        // Walking on from the remembered position puts the first character
        // that can be seen where measuring from the start puts it. (From the
        // start, a character ending exactly at the left edge counts as seen.)
        VisibleText fromAnchor = FindVisibleText(text, {gotOffset, gotAt}, x, x + 800, Fixed());
        VisibleText fromStart = FindVisibleText(text, {}, x, x + 800, Fixed());
        QCOMPARE(fromAnchor.x,
                 Fixed().Advance(std::u16string_view(text).substr(0, fromAnchor.first), 0));
        QVERIFY(fromAnchor.x <= x);
        QVERIFY(fromAnchor.first - fromStart.first <= 1);
        QCOMPARE(fromAnchor.last, fromStart.last);
    }

    void longLineWidth_data() {
        QTest::addColumn<QString>("piece");
        QTest::addColumn<double>("seekFirst");
        QTest::addColumn<double>("width");
        QTest::newRow("a short line is measured whole") << "W" << 0.0 << 20000.0;
        QTest::newRow("the unmeasured rest is estimated") << "Wa" << 0.0 << 205120.0;
        QTest::newRow("what painting measured is exact") << "Wa" << 1e9 << 300000.0;
    }
    void longLineWidth() {
        QFETCH(QString, piece);
        QFETCH(double, seekFirst);
        QFETCH(double, width);
        const size_t length = piece == "W" ? 1000 : 20000;
        const std::u16string text = Repeat(U16(piece), length);
        LineGeometryCache cache;
        cache.Seek(3, text, seekFirst, Fixed());
        QCOMPARE(cache.Width(3, text, Fixed()), width);
    }

    void visibleText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("anchorOffset");
        QTest::addColumn<double>("anchorX");
        QTest::addColumn<double>("clipLeft");
        QTest::addColumn<double>("clipRight");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::addColumn<double>("x");
        auto row = [](const char* name, const QString& text, int anchorOffset, double anchorX,
                      double clipLeft, double clipRight, int first, int last, double x) {
            QTest::newRow(name) << text << anchorOffset << anchorX << clipLeft << clipRight << first
                                << last << x;
        };
        row("all of it", "abc", 0, 0, 0, 100, 0, 3, 0);
        row("scrolled past two characters", "abcdef", 0, 0, 25, 100, 2, 6, 20);
        row("a character partly in view is drawn", "abcdef", 0, 0, 15, 100, 1, 6, 10);
        row("stops after the right edge", "abcdef", 0, 0, 0, 25, 0, 3, 0);
        row("a tab left of the view", "\tabc", 0, 0, 85, 200, 1, 4, 80);
        row("from an anchor", "abcdefgh", 4, 40, 55, 100, 5, 8, 50);
        row("a pair cut by the right edge stays whole", QString::fromUtf16(u"ab\U0001F600c"), 0, 0,
            0, 25, 0, 4, 0);
        row("an anchor on a trail surrogate steps back to its lead",
            QString::fromUtf16(u"a\U0001F600bc"), 2, 20, 20, 100, 1, 5, 10);
    }
    void visibleText() {
        QFETCH(QString, text);
        QFETCH(int, anchorOffset);
        QFETCH(double, anchorX);
        QFETCH(double, clipLeft);
        QFETCH(double, clipRight);
        QFETCH(int, first);
        QFETCH(int, last);
        QFETCH(double, x);
        const std::u16string t = U16(text);
        VisibleText got = FindVisibleText(t, {static_cast<size_t>(anchorOffset), anchorX}, clipLeft,
                                          clipRight, Fixed());
        QCOMPARE(static_cast<int>(got.first), first);
        QCOMPARE(static_cast<int>(got.last), last);
        QCOMPARE(got.x, x);
    }

    // The row is 400 wide: its text runs from x = 8 to 398.
    void runs_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::vector<HighlightRun>>("runs");
        QTest::addColumn<double>("visibleLeft");
        QTest::addColumn<int>("rowWidth");
        QTest::addColumn<QString>("ops");
        auto row = [](const char* name, const QString& text, std::vector<HighlightRun> runs,
                      double visibleLeft, int rowWidth, const char* ops) {
            QTest::newRow(name) << text << runs << visibleLeft << rowWidth << QString(ops);
        };
        row("plain text", "abc", {}, 0, 400, "text 0-3 @8");
        row("plain text split at tabs", "ab\tc", {}, 0, 400, "text 0-2 @8 | text 3-4 @88");
        row("a match in the middle", "abcde", {{1, 3, kYellow}}, 0, 400,
            "text 0-1 @8 | fill 1-3 @18 w20 #fee300 | text 1-3 @18 | text 3-5 @38");
        row("a match at the end", "abc", {{1, 3, kYellow}}, 0, 400,
            "text 0-1 @8 | fill 1-3 @18 w20 #fee300 | text 1-3 @18");
        row("a match covering the line", "abc", {{0, 3, kYellow}}, 0, 400,
            "fill 0-3 @8 w30 #fee300 | text 0-3 @8");
        row("runs of two colours", "abcd", {{0, 1, kYellow}, {2, 3, kBlue}}, 0, 400,
            "fill 0-1 @8 w10 #fee300 | text 0-1 @8 | text 1-2 @18 | "
            "fill 2-3 @28 w10 #4080ff | text 2-3 @28 | text 3-4 @38");
        row("wide characters move the match", "WWab", {{2, 3, kYellow}}, 0, 400,
            "text 0-2 @8 | fill 2-3 @48 w10 #fee300 | text 2-3 @48 | text 3-4 @58");
        row("a tab inside a match keeps the stops of plain rows", "a\tb", {{0, 3, kYellow}}, 0, 400,
            "fill 0-3 @8 w90 #fee300 | text 0-1 @8 | text 2-3 @88");
        row("a match after a tab", "a\tbc", {{2, 3, kYellow}}, 0, 400,
            "text 0-1 @8 | fill 2-3 @88 w10 #fee300 | text 2-3 @88 | text 3-4 @98");
        row("a match partly scrolled out of view", "abcdefgh", {{1, 5, kYellow}}, 40, 400,
            "fill 3-5 @38 w20 #fee300 | text 3-5 @38 | text 5-8 @58");
        row("a match wholly scrolled out of view", "abcdefgh", {{0, 2, kYellow}}, 40, 400,
            "text 3-8 @38");
        row("the fill stops at the right edge", "abcdef", {{2, 6, kYellow}}, 0, 40,
            "text 0-2 @8 | fill 2-4 @28 w10 #fee300 | text 2-3 @28");
    }
    void runs() {
        QFETCH(QString, text);
        QFETCH(std::vector<HighlightRun>, runs);
        QFETCH(double, visibleLeft);
        QFETCH(int, rowWidth);
        QFETCH(QString, ops);
        const std::u16string t = U16(text);
        RowPaintInput input{.text = t,
                            .runs = runs,
                            .rect = QRect(0, 0, rowWidth, 20),
                            .visible_left = visibleLeft,
                            .visible_width = 400,
                            .advances = &Fixed()};
        RowTextLayout layout;
        LayoutRowText(input, QRectF(8, 0, rowWidth - 10, 20), layout);
        QCOMPARE(Describe(layout), ops);
        QCOMPARE(layout.clip.has_value(), !runs.empty());
    }

    void textColours_data() {
        QTest::addColumn<std::vector<HighlightRun>>("runs");
        QTest::addColumn<bool>("dimmed");
        QTest::addColumn<QString>("ops");
        auto row = [](const char* name, std::vector<HighlightRun> runs, bool dimmed,
                      const char* ops) { QTest::newRow(name) << runs << dimmed << QString(ops); };
        row("a context line is dimmed", {}, true, "text 0-4 @8 pen #808080");
        row("a run with a text colour and no fill", {{1, 3, QColor(), kBlue}}, false,
            "text 0-1 @8 | text 1-3 @18 pen #4080ff | text 3-4 @38");
        row("a run with both colours", {{0, 2, kYellow, kBlue}}, false,
            "fill 0-2 @8 w20 #fee300 | text 0-2 @8 pen #4080ff | text 2-4 @28");
        row("a run's text colour stays on a dimmed line", {{2, 4, kYellow, kBlue}}, true,
            "text 0-2 @8 pen #808080 | fill 2-4 @28 w20 #fee300 | text 2-4 @28 pen #4080ff");
        row("a fill without a text colour takes the pen that reads on it", {{2, 4, kYellow}}, true,
            "text 0-2 @8 pen #808080 | fill 2-4 @28 w20 #fee300 | text 2-4 @28");
    }
    void textColours() {
        QFETCH(std::vector<HighlightRun>, runs);
        QFETCH(bool, dimmed);
        QFETCH(QString, ops);
        const std::u16string text = u"abcd";
        RowPaintInput input{.text = text,
                            .runs = runs,
                            .rect = QRect(0, 0, 400, 20),
                            .visible_left = 0,
                            .visible_width = 400,
                            .dimmed = dimmed,
                            .advances = &Fixed()};
        RowTextLayout layout;
        LayoutRowText(input, QRectF(8, 0, 390, 20), layout);
        QCOMPARE(Describe(layout), ops);
    }

    void aGroupStartDrawsALineOnTop() {
        QImage image(200, 20, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setFont(ListFont());
        RowPaintInput input{.rect = QRect(0, 0, 200, 20),
                            .visible_width = 200,
                            .group_start = true,
                            .advances = &ListFontAdvances()};
        PaintRow(painter, input);
        painter.end();
        int marked = 0;
        for (int x = kRowBackgroundInset; x < 200; ++x) {
            marked += image.pixelColor(x, 0) == RowColors{}.group_separator;
        }
        QVERIFY(marked > 50);  // dashed
        QCOMPARE(image.pixelColor(2, 0), QColor(Qt::white));
    }

    void highlightLiesUnderTheMatch() {
        const std::u16string text = u"hello world error end";
        const QImage shot = PaintedRow(text, {{12, 17, kYellow}});
        const QFontMetricsF metrics(ListFont());
        const int from = qCeil(8 + metrics.horizontalAdvance(QStringLiteral("hello world ")));
        const int to = qFloor(8 + metrics.horizontalAdvance(QStringLiteral("hello world error")));
        QVERIFY(to - from > 10);
        // The top pixel row holds no ink: only the fill shows there.
        for (int x = from + 1; x < to - 1; ++x) {
            QCOMPARE(shot.pixelColor(x, 1), kYellow);
        }
        QCOMPARE(shot.pixelColor(from - 2, 1), QColor(Qt::white));
        QCOMPARE(shot.pixelColor(to + 2, 1), QColor(Qt::white));
        // Below the fill, the separator of the line.
        QCOMPARE(shot.pixelColor(from + 2, 19), kLineSeparator);
    }

    void specialCharactersAreDrawnAsTheyAre_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("markup characters") << QStringLiteral("a&b<c> d \"q\"");
        QTest::newRow("non-breaking spaces") << QString::fromUtf16(u"x\u00a0\u00a0y\u00a0z");
        QTest::newRow("what markup would escape to") << QStringLiteral("&amp; &nbsp;");
    }
    void specialCharactersAreDrawnAsTheyAre() {
        QFETCH(QString, text);
        const std::u16string t = U16(text);
        // The same text drawn in one piece by Qt, as the reference.
        QImage reference(400, 20, QImage::Format_ARGB32_Premultiplied);
        reference.fill(Qt::white);
        {
            QPainter painter(&reference);
            painter.setFont(ListFont());
            painter.setPen(Qt::black);
            const QFontMetricsF metrics(ListFont());
            painter.drawText(QPointF(8, (20 - metrics.height()) / 2 + metrics.ascent()), text);
        }
        const Ink want = DarkInk(reference);
        QVERIFY(want.pixels > 0);
        for (bool highlighted : {false, true}) {
            std::vector<HighlightRun> runs;
            if (highlighted) {
                runs.push_back({1, static_cast<int64_t>(t.size()) - 1, kYellow});
            }
            const Ink got = DarkInk(PaintedRow(t, runs));
            QVERIFY2(std::abs(got.left - want.left) <= 1, highlighted ? "lit" : "plain");
            QVERIFY2(std::abs(got.right - want.right) <= 1, highlighted ? "lit" : "plain");
            QVERIFY2(std::abs(got.pixels - want.pixels) <= want.pixels / 10,
                     highlighted ? "lit" : "plain");
        }
    }

    // The list hands each row of a wrapped line its own piece, with the
    // runs moved to the piece's offsets.
    void aWrappedMatchIsHighlightedInItsOwnRow() {
        std::string line;
        for (int i = 0; i < 30; ++i) {
            line += "word ";
        }
        line += "needle end\n";
        test::TempDir dir;
        TextDocument document;
        QVERIFY(document.LoadFromFile(FromNativePath(dir.Write("wrapped.txt", line))));
        LineListView list(document);
        list.resize(300, 200);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        list.SetWordWrap(true, true, true);
        list.SetFilter({.text = u"needle", .filter_mode = FilterMode::ShowAll});
        QVERIFY(list.ShownRowCount() > 1);
        const QImage shot = list.viewport()->grab().toImage();
        const QFontMetricsF metrics(ListFont());
        int lit = 0;
        for (int64_t i = 0; i < list.ShownRowCount(); ++i) {
            int64_t start = 0;
            int64_t end = 0;
            const QString piece = ToQString(list.RowDisplayText(*list.ShownRow(i), start, end));
            const int y = static_cast<int>(i) * LineListView::kRowHeight + 1;
            const qsizetype at = piece.indexOf(QStringLiteral("needle"));
            const double from = 8 + metrics.horizontalAdvance(piece.left(at));
            const double to = from + metrics.horizontalAdvance(QStringLiteral("needle"));
            for (int x = 0; x < shot.width(); ++x) {
                const bool yellow = shot.pixelColor(x, y) == kYellow;
                const QString where = QStringLiteral("row %1 x %2").arg(i).arg(x);
                if (at >= 0 && x > from + 1 && x < to - 1) {
                    QVERIFY2(yellow, qPrintable(where));
                } else if (at < 0 || x < from - 2 || x > to + 2) {
                    QVERIFY2(!yellow, qPrintable(where));
                }
                lit += yellow;
            }
        }
        QVERIFY(lit > 0);
    }
};

QTEST_MAIN(RowPainterTest)
#include "row_painter_test.moc"
