// The icons stay crisp at the device pixel ratio the test runs at (the
// QT_SCALE_FACTOR its CTest entry sets: 1, 1.5 or 2): each widget paints a
// pixmap drawn at the screen's own resolution, never a smaller one scaled up.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <cmath>
#include <memory>
#include <string>
#include <utility>

#include "../core/test_files.h"
#include "document/clipboard_text.h"
#include "frame_test_doubles.h"
#include "platform/native_path.h"
#include "settings/app_settings.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "tester/regex_tester_dialog.h"
#include "views/clear_button.h"
#include "views/palette_colors.h"
#include "views/search_box.h"
#include "views/search_box_images.h"

using namespace linesift;
using linesift::test::FakeClipboard;
using linesift::test::ScriptedDialogs;

namespace {

qreal ExpectedRatio() {
    const QByteArray factor = qgetenv("QT_SCALE_FACTOR");
    return factor.isEmpty() ? 1.0 : factor.toDouble();
}

// Of the pixels an image covers at all, the share it covers only in part:
// the soft rim of its shapes, which grows when an image is scaled up.
double SoftShare(const QImage& image) {
    int covered = 0;
    int soft = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(image.pixel(x, y));
            covered += alpha > 0 ? 1 : 0;
            soft += alpha > 0 && alpha < 255 ? 1 : 0;
        }
    }
    return covered == 0 ? 1.0 : double(soft) / covered;
}

// Whether shot shows every opaque pixel of image unchanged, with image's top
// left corner somewhere in shot: the widget painted that very pixmap, 1:1.
bool ShowsUnscaled(const QImage& shot, const QImage& image) {
    const QImage a = shot.convertToFormat(QImage::Format_ARGB32);
    const QImage b = image.convertToFormat(QImage::Format_ARGB32);
    for (int top = 0; top + b.height() <= a.height(); ++top) {
        for (int left = 0; left + b.width() <= a.width(); ++left) {
            bool all = true;
            int opaque = 0;
            for (int y = 0; y < b.height() && all; ++y) {
                for (int x = 0; x < b.width() && all; ++x) {
                    if (qAlpha(b.pixel(x, y)) == 255) {
                        ++opaque;
                        all = a.pixel(left + x, top + y) == b.pixel(x, y);
                    }
                }
            }
            if (all && opaque > 0) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

class IconScaleTest : public QObject {
    Q_OBJECT
  private:
    std::unique_ptr<MainFrame> frame_;
    std::u16string clipboard_;
    test::TempDir dir_;
    qreal dpr_ = 1;

    QToolButton* Button(int command) {
        auto* bar = frame_->findChild<QToolBar*>();
        return bar == nullptr
                   ? nullptr
                   : qobject_cast<QToolButton*>(bar->widgetForAction(frame_->Action(command)));
    }

  private slots:
    void initTestCase() {
        AppSettings::Instance() = AppSettings{};
        ClipboardText::Instance().SetBackend(std::make_unique<FakeClipboard>(&clipboard_));
        frame_ = std::make_unique<MainFrame>(std::make_unique<ScriptedDialogs>());
        frame_->resize(700, 400);
        frame_->ShowFirstTime();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
        dpr_ = frame_->devicePixelRatioF();
        // The run is at the ratio asked for, or it proves nothing.
        QCOMPARE(dpr_, ExpectedRatio());
    }
    void cleanupTestCase() {
        frame_.reset();
        ClipboardText::Instance().SetBackend(nullptr);
    }

    void toolBarIconsAreDrawnAtTheDeviceRatio_data() {
        QTest::addColumn<int>("command");
        QTest::newRow("new") << int(cmd::kNew);
        QTest::newRow("open") << int(cmd::kOpen);
        QTest::newRow("save") << int(cmd::kSave);
        QTest::newRow("follow") << int(cmd::kFollowFile);
    }
    void toolBarIconsAreDrawnAtTheDeviceRatio() {
        QFETCH(int, command);
        QToolButton* button = Button(command);
        QVERIFY(button != nullptr);
        const QSize logical = button->iconSize();
        QCOMPARE(logical, QSize(24, 24));
        // Save and Follow are disabled without a document, and drawn so.
        const QIcon::Mode mode = button->isEnabled() ? QIcon::Normal : QIcon::Disabled;
        const QPixmap pixmap = button->icon().pixmap(logical, dpr_, mode);
        QCOMPARE(pixmap.devicePixelRatio(), dpr_);
        QCOMPARE(pixmap.size(), logical * dpr_);
        if (dpr_ > 1) {
            // Drawn at full resolution: a softer rim would mean the small
            // image scaled up.
            const QImage small = button->icon().pixmap(logical, 1.0, mode).toImage();
            const QImage upscaled =
                small.scaled(pixmap.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            QVERIFY2(SoftShare(pixmap.toImage()) < 0.85 * SoftShare(upscaled),
                     qPrintable(QStringLiteral("%1 vs %2")
                                    .arg(SoftShare(pixmap.toImage()))
                                    .arg(SoftShare(upscaled))));
        }
        // And the button shows that very pixmap, pixel for pixel.
        const QPixmap shot = button->grab();
        QCOMPARE(shot.devicePixelRatio(), dpr_);
        QVERIFY(ShowsUnscaled(shot.toImage(), pixmap.toImage()));
    }

    void theSearchBoxArtworkIsDrawnAtTheDeviceRatio() {
        SearchBox& box = frame_->SearchField();
        QVERIFY(box.Text().empty());
        const BoxColors colors = BoxColorsOf(box.palette());
        const QPixmap magnifier = MagnifierImage(dpr_, colors);
        QCOMPARE(magnifier.devicePixelRatio(), dpr_);
        QCOMPARE(magnifier.width(), qRound(kSearchBoxImageSize * dpr_));
        QVERIFY(ShowsUnscaled(box.grab().toImage(), magnifier.toImage()));

        box.Activate(false);
        QTest::keyClicks(&box.Edit(), QStringLiteral("disk"));
        auto* clear = box.findChild<ClearButton*>();
        QVERIFY(clear != nullptr);
        QTRY_VERIFY(clear->isVisible());
        const QPixmap image = ClearButtonImage(clear->ShownImage(), dpr_, colors);
        QCOMPARE(image.devicePixelRatio(), dpr_);
        const QPixmap shot = clear->grab();
        QCOMPARE(shot.devicePixelRatio(), dpr_);
        QVERIFY(ShowsUnscaled(shot.toImage(), image.toImage()));
        if (dpr_ > 1) {
            const QImage small = MagnifierImage(1.0, colors).toImage();
            const QImage sharp = magnifier.toImage();
            QVERIFY(SoftShare(sharp) <
                    0.85 * SoftShare(small.scaled(sharp.size(), Qt::IgnoreAspectRatio,
                                                  Qt::SmoothTransformation)));
        }
    }

    // The box's one-pixel frame covers every device pixel of its edge: a
    // stroked line left half of it unpainted at a ratio of 2.
    void theSearchBoxFrameIsWholeAtTheDeviceRatio() {
        SearchBox& box = frame_->SearchField();
        const QColor frameColor = BoxColorsOf(box.palette()).frame;
        const QImage shot = box.grab().toImage();
        const QSize size = box.size();
        auto at = [&](int x, int y) {
            return shot.pixelColor(int((x + 0.5) * dpr_), int((y + 0.5) * dpr_));
        };
        for (int x = 0; x < size.width(); x += 7) {
            QCOMPARE(at(x, 0), frameColor);
            QCOMPARE(at(x, size.height() - 1), frameColor);
        }
        for (int y = 0; y < size.height(); ++y) {
            QCOMPARE(at(0, y), frameColor);
            QCOMPARE(at(size.width() - 1, y), frameColor);
        }
    }

    // Grabs for a person to look at, when LINESIFT_SHOT_DIR names a folder.
    void screenshots() {
        const QString dir = QString::fromLocal8Bit(qgetenv("LINESIFT_SHOT_DIR"));
        if (dir.isEmpty()) {
            QSKIP("LINESIFT_SHOT_DIR is not set");
        }
        const QString scale = QString::number(dpr_);
        std::string text;
        for (int i = 0; i < 40; ++i) {
            text += "2026-12-09 04:" + std::to_string(10 + i) + ":00 " +
                    (i % 3 == 0 ? "ERROR disk full on /var" : "INFO request served in 12 ms") +
                    "\n";
        }
        dir_.Write("app.log", text);
        QVERIFY(frame_->OpenFile(FromNativePath(dir_.Path() + "/app.log"), true));
        frame_->SearchField().Activate(false);
        frame_->SearchField().Edit().selectAll();
        QTest::keyClicks(&frame_->SearchField().Edit(), QStringLiteral("disk"));
        QTest::qWait(300);
        for (const auto& [command, name] :
             {std::pair{cmd::kThemeLight, "light"}, std::pair{cmd::kThemeDark, "dark"}}) {
            QVERIFY(frame_->RunCommand(command));
            QApplication::processEvents();
            frame_->grab().save(dir + QStringLiteral("/look-window-%1-dpr%2.png").arg(name, scale));
            frame_->findChild<QToolBar*>()->grab().save(
                dir + QStringLiteral("/look-toolbar-%1-dpr%2.png").arg(name, scale));
            frame_->SearchField().grab().save(
                dir + QStringLiteral("/look-searchbox-%1-dpr%2.png").arg(name, scale));
            RegexTesterDialog* tester = RegexTesterDialog::Open();
            tester->TextBox().setEditText(QStringLiteral("2026-12-09 ERROR disk full"));
            tester->PatternBox().setEditText(QStringLiteral("(\\w+) disk"));
            tester->RunTest();
            QApplication::processEvents();
            tester->grab().save(dir + QStringLiteral("/look-tester-%1-dpr%2.png").arg(name, scale));
            RegexTesterDialog::CloseInstance();
        }
        QVERIFY(frame_->RunCommand(cmd::kThemeSystem));
    }
};

QTEST_MAIN(IconScaleTest)
#include "icon_scale_test.moc"
