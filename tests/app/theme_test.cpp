// The window's colours follow the palette: View > Theme, and a dark desktop
// palette, give light text on dark rows, in the list and the search box.
#include <QApplication>
#include <QLineEdit>
#include <QtTest>
#include <cmath>
#include <memory>
#include <string>

#include <QComboBox>
#include "../core/test_files.h"
#include "document/clipboard_text.h"
#include "frame_test_doubles.h"
#include "settings/app_settings.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/query_list_pane.h"
#include "shell/status_panes.h"
#include "tester/regex_tester_dialog.h"
#include "tester/results_pane.h"
#include "views/clear_button.h"
#include "views/line_list_view.h"
#include "views/palette_colors.h"
#include "views/search_box.h"
#include "views/suggest_popup.h"

using namespace linesift;
using linesift::test::FakeClipboard;
using linesift::test::ScriptedDialogs;

namespace {

double Luminance(const QColor& c) {
    return 0.2126 * c.redF() + 0.7152 * c.greenF() + 0.0722 * c.blueF();
}

// The WCAG contrast ratio of two colours, 1 to 21.
double Contrast(const QColor& a, const QColor& b) {
    auto linear = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    auto l = [&](const QColor& c) {
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double x = l(a);
    const double y = l(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// What a band of an image shows: its most common colour (the background) and
// the colour that differs most from it (the text's core).
struct Band {
    QColor background;
    QColor ink;
};

Band Look(const QImage& image, const QRect& band) {
    QHash<QRgb, int> counts;
    for (int y = band.top(); y <= band.bottom(); ++y) {
        for (int x = band.left(); x <= band.right(); ++x) {
            ++counts[image.pixel(x, y)];
        }
    }
    QRgb common = 0;
    int most = -1;
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        if (it.value() > most) {
            most = it.value();
            common = it.key();
        }
    }
    Band result{QColor(common), QColor(common)};
    for (auto it = counts.begin(); it != counts.end(); ++it) {
        if (Contrast(QColor(it.key()), result.background) >
            Contrast(result.ink, result.background)) {
            result.ink = QColor(it.key());
        }
    }
    return result;
}

}  // namespace

class ThemeTest : public QObject {
    Q_OBJECT
  private:
    test::TempDir dir_;
    std::unique_ptr<MainFrame> frame_;
    std::u16string clipboard_;

    LineListView& List() { return frame_->Pane().List(); }
    // The first row of the list, grabbed.
    Band FirstRow() {
        QApplication::processEvents();
        const QImage shot = List().viewport()->grab().toImage();
        return Look(shot, QRect(0, 1, std::min(shot.width(), 300), 14));
    }

  private slots:
    void init() {
        AppSettings::Instance() = AppSettings{};
        ClipboardText::Instance().SetBackend(std::make_unique<FakeClipboard>(&clipboard_));
        frame_ = std::make_unique<MainFrame>(std::make_unique<ScriptedDialogs>());
        frame_->resize(700, 500);
        frame_->ShowFirstTime();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
        std::string text;
        for (int i = 0; i < 20; ++i) {
            text += "2026-12-08 12:00:" + std::to_string(10 + i) + " ERROR disk full WWWWWWWW\n";
        }
        dir_.Write("log.txt", text);
        QVERIFY(frame_->OpenFile(FromNativePath(dir_.Path() + "/log.txt"), true));
    }
    void cleanup() {
        RegexTesterDialog::CloseInstance();
        frame_->RunCommand(cmd::kThemeSystem);
        // The desktop's palette back to the platform's.
        QApplication::setPalette(QPalette());
        frame_.reset();
        ClipboardText::Instance().SetBackend(nullptr);
    }

    void themesGiveReadableRows_data() {
        QTest::addColumn<int>("command");
        QTest::addColumn<bool>("dark");
        QTest::newRow("light") << int(cmd::kThemeLight) << false;
        QTest::newRow("dark") << int(cmd::kThemeDark) << true;
    }
    void themesGiveReadableRows() {
        QFETCH(int, command);
        QFETCH(bool, dark);
        QVERIFY(frame_->RunCommand(command));
        QVERIFY(frame_->Action(command)->isChecked());
        QCOMPARE(AppSettings::Instance().theme, dark ? 2 : 1);
        const Band row = FirstRow();
        QCOMPARE(Luminance(row.background) < 0.3, dark);
        QCOMPARE(Luminance(row.ink) > 0.6, dark);
        QVERIFY2(Contrast(row.ink, row.background) > 7, qPrintable(row.ink.name()));
    }

    // With the desktop's own theme the list takes whatever palette it is
    // given: a dark one must not leave black text on it.
    void aDarkDesktopPaletteGivesLightTextOnDarkRows() {
        QCOMPARE(AppSettings::Instance().theme, 0);
        List().setPalette(DarkPalette());
        const Band row = FirstRow();
        QVERIFY2(Luminance(row.background) < 0.3, qPrintable(row.background.name()));
        QVERIFY2(Contrast(row.ink, row.background) > 7, qPrintable(row.ink.name()));
    }

    void highlightedTextStaysReadableOnDark() {
        QVERIFY(frame_->RunCommand(cmd::kThemeDark));
        QVERIFY(frame_->RunCommand(cmd::kShowAll));
        frame_->SearchField().Activate(false);
        QTest::keyClicks(&frame_->SearchField().Edit(), QStringLiteral("WWWWWWWW"));
        // The highlight is the amber, not the glaring light yellow.
        const QColor amber = QColor::fromRgb(HighlightFor(qRgb(0xFE, 0xE3, 0x00), DarkPalette()));
        QVERIFY(amber != QColor(0xFE, 0xE3, 0x00));
        QImage shot;
        QRect lit;
        auto findHighlight = [&] {
            shot = List().viewport()->grab().toImage();
            lit = QRect();
            for (int x = 0; x < shot.width(); ++x) {
                if (shot.pixelColor(x, 7) == amber) {
                    lit = lit.isNull() ? QRect(x, 1, 1, 14) : lit.united(QRect(x, 1, 1, 14));
                }
            }
            return !lit.isNull();
        };
        QTRY_VERIFY(findHighlight());
        const Band band = Look(shot, lit);
        QCOMPARE(band.background, amber);
        QVERIFY2(Contrast(band.ink, amber) > 4.5, qPrintable(band.ink.name()));
    }

    void theSearchBoxFollowsTheTheme() {
        QVERIFY(frame_->RunCommand(cmd::kThemeDark));
        SearchBox& box = frame_->SearchField();
        frame_->SearchField().Activate(false);
        QTest::keyClicks(&box.Edit(), QStringLiteral("error"));
        QApplication::processEvents();
        const QImage shot = box.Edit().grab().toImage();
        const Band text = Look(shot, QRect(0, 0, shot.width(), shot.height()));
        QVERIFY2(Luminance(text.background) < 0.3, qPrintable(text.background.name()));
        QVERIFY2(Contrast(text.ink, text.background) > 7, qPrintable(text.ink.name()));
    }

    // The desktop turns dark while the window is open under System: every
    // part takes the new colours at once, without a restart.
    void aDesktopPaletteChangeRecoloursTheOpenWindow() {
        QCOMPARE(AppSettings::Instance().theme, 0);
        RegexTesterDialog* tester = RegexTesterDialog::Open();
        tester->PatternBox().setEditText(QStringLiteral("e"));
        tester->TextBox().setEditText(QStringLiteral("error"));
        tester->RunTest();
        QVERIFY(!tester->Results().Html().empty());
        QVERIFY(Luminance(FirstRow().background) > 0.7);

        QApplication::setPalette(DarkPalette());
        QApplication::processEvents();
        const Band row = FirstRow();
        QVERIFY2(Luminance(row.background) < 0.3, qPrintable(row.background.name()));
        QVERIFY2(Luminance(row.ink) > 0.6, qPrintable(row.ink.name()));
        // The search box and its clear button.
        const QImage box = frame_->SearchField().grab().toImage();
        QVERIFY2(Luminance(box.pixelColor(box.width() / 2, box.height() / 2)) < 0.3,
                 qPrintable(box.pixelColor(box.width() / 2, box.height() / 2).name()));
        const QImage clear = frame_->SearchField().findChild<ClearButton*>()->grab().toImage();
        QVERIFY2(Luminance(clear.pixelColor(1, 1)) < 0.3,
                 qPrintable(clear.pixelColor(1, 1).name()));
        // The popup and the status panes.
        QVERIFY(IsDarkPalette(frame_->SearchField().Popup().palette()));
        const Band status = Look(frame_->Status().grab().toImage(), QRect(0, 2, 200, 14));
        QVERIFY2(Luminance(status.background) < 0.3, qPrintable(status.background.name()));
        QVERIFY2(Contrast(status.ink, status.background) > 4.5, qPrintable(status.ink.name()));
        // The tester's results page and its marked pattern.
        QWidget* page = tester->Results().viewport();
        const Band results = Look(page->grab().toImage(), QRect(QPoint(0, 0), page->size()));
        QVERIFY2(Luminance(results.background) < 0.3, qPrintable(results.background.name()));
        QVERIFY2(Contrast(results.ink, results.background) > 4.5, qPrintable(results.ink.name()));
        // A pattern marked on the light palette is marked again on the dark.
        QApplication::setPalette(QPalette());
        tester->PatternBox().setEditText(QStringLiteral("("));
        QVERIFY(tester->IsPatternMarkedInvalid());
        QApplication::setPalette(DarkPalette());
        const QPalette marked = tester->PatternBox().lineEdit()->palette();
        QCOMPARE(marked.color(QPalette::Base), InvalidFieldColor(DarkPalette()));
        QVERIFY(Contrast(marked.color(QPalette::Text), marked.color(QPalette::Base)) > 4.5);
        // The list's highlight colour turns amber.
        QCOMPARE(List().HighlightColor() & 0xFFFFFFu,
                 HighlightFor(qRgb(0xFE, 0xE3, 0x00), DarkPalette()) & 0xFFFFFFu);
    }

    // Dark, then System again, gives the desktop's palette of now, even one
    // it set while Dark was in force, and Dark holds meanwhile.
    void systemAfterDarkGivesTheDesktopsCurrentPalette() {
        QPalette desktop = LightPalette();
        desktop.setColor(QPalette::Base, QColor(250, 250, 235));
        QApplication::setPalette(desktop);
        QVERIFY(frame_->RunCommand(cmd::kThemeDark));
        QPalette later = DarkPalette();
        later.setColor(QPalette::Base, QColor(20, 30, 40));
        QApplication::setPalette(later);  // the desktop changes its scheme
        QTRY_COMPARE(QApplication::palette().color(QPalette::Base),
                     DarkPalette().color(QPalette::Base));
        QVERIFY(frame_->RunCommand(cmd::kThemeSystem));
        QCOMPARE(QApplication::palette().color(QPalette::Base), QColor(20, 30, 40));
        QCOMPARE(FirstRow().background, QColor(20, 30, 40));

        // A desktop that gives its palette through the platform theme:
        // System leaves the application following it.
        QApplication::setPalette(QPalette());
        QVERIFY(frame_->RunCommand(cmd::kThemeDark));
        QVERIFY(frame_->RunCommand(cmd::kThemeSystem));
        QCOMPARE(QApplication::palette().resolveMask(), QPalette::ResolveMask(0));
        QVERIFY(!IsDarkPalette(QApplication::palette()));
    }

    void screenshots() {
        const QString dir = QString::fromLocal8Bit(qgetenv("LINESIFT_SHOT_DIR"));
        if (dir.isEmpty()) {
            QSKIP("LINESIFT_SHOT_DIR is not set");
        }
        QVERIFY(frame_->RunCommand(cmd::kShowAll));
        frame_->SearchField().Activate(false);
        QTest::keyClicks(&frame_->SearchField().Edit(), QStringLiteral("disk"));
        QTest::qWait(300);
        for (const auto& [command, name] :
             {std::pair{cmd::kThemeLight, "light"}, std::pair{cmd::kThemeDark, "dark"}}) {
            QVERIFY(frame_->RunCommand(command));
            List().SelectAll();
            QApplication::processEvents();
            frame_->grab().save(dir + QStringLiteral("/compress-offscreen-%1.png").arg(name));
        }
    }
};

QTEST_MAIN(ThemeTest)
#include "theme_test.moc"
