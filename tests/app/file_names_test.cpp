// File names that are not UTF-8 in the window: opened from the command line,
// the Open dialog, Recent Files and a drop, and shown readably.
#include <QMimeData>
#include <QtTest>
#include <filesystem>
#include <memory>

#include "../core/test_files.h"
#include "document/clipboard_text.h"
#include "frame_test_doubles.h"
#include "platform/native_path.h"
#include "settings/app_settings.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/native_paths.h"

using namespace linesift;
using linesift::test::FakeClipboard;
using linesift::test::ScriptedDialogs;

class FileNamesTest : public QObject {
    Q_OBJECT
  private:
    test::TempDir dir_;
    std::unique_ptr<MainFrame> frame_;
    ScriptedDialogs* dialogs_ = nullptr;
    std::u16string clipboard_;

    // A Latin-1 name: 0xE9 alone is not UTF-8.
    std::string Latin1Path() const { return dir_.Path() + "/caf\xE9.txt"; }
    std::string Native() const { return ToNativePath(frame_->Document().GetPath()); }

    void MakeFrame() {
        auto dialogs = std::make_unique<ScriptedDialogs>();
        dialogs_ = dialogs.get();
        frame_ = std::make_unique<MainFrame>(std::move(dialogs));
        frame_->resize(600, 400);
    }

  private slots:
    void init() {
        AppSettings::Instance() = AppSettings{};
        ClipboardText::Instance().SetBackend(std::make_unique<FakeClipboard>(&clipboard_));
        dir_.Write("caf\xE9.txt", "one\ntwo\nthree\n");
        MakeFrame();
    }
    void cleanup() {
        frame_.reset();
        ClipboardText::Instance().SetBackend(nullptr);
    }

    void commandLinePathOpensAndShowsReadably() {
        frame_->SetPendingOpenPath(FromNativePath(Latin1Path()));
        frame_->ShowFirstTime();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
        QCOMPARE(frame_->Document().LineCount(), size_t{4});
        QCOMPARE(Native(), Latin1Path());
        QCOMPARE(frame_->windowTitle(), QStringLiteral("Linesift - [caf\uFFFD.txt]"));
        QCOMPARE(ToNativePath(AppSettings::Instance().recent_files.front()), Latin1Path());
        const QString item = frame_->RecentFilesMenu().actions().front()->text();
        QVERIFY2(item.endsWith(QStringLiteral("/caf\uFFFD.txt")), qPrintable(item));
        QVERIFY(dialogs_->messages.empty());
    }

    // A dialog that decodes names as Qt does gives U+FFFD in place of each
    // byte; the folder it was chosen in is remembered by its bytes.
    void openDialogNameAsQtShowsItOpensTheFile() {
        const std::string folder = dir_.Path() + "/r\xE9p";
        std::filesystem::create_directories(folder);
        dir_.Write("r\xE9p/caf\xE9.txt", "one\ntwo\nthree\n");
        const std::string path = folder + "/caf\xE9.txt";
        frame_->ShowFirstTime();
        dialogs_->open_paths.push_back(QFile::decodeName(QByteArray::fromStdString(path)));
        QVERIFY(frame_->RunCommand(cmd::kOpen));
        QCOMPARE(Native(), path);
        QCOMPARE(frame_->Document().LineCount(), size_t{4});
        QVERIFY(dialogs_->messages.empty());
        QCOMPARE(ToNativePath(AppSettings::Instance().last_folder), folder);
    }

    void saveAsProposesTheNameReadably() {
        frame_->SetPendingOpenPath(FromNativePath(Latin1Path()));
        frame_->ShowFirstTime();
        QVERIFY(frame_->RunCommand(cmd::kSaveAs));
        QCOMPARE(dialogs_->save_initial_names.size(), size_t{1});
        QCOMPARE(dialogs_->save_initial_names[0], QStringLiteral("caf\uFFFD.txt"));
    }

    void recentFileEntryOpensTheSameBytes() {
        frame_->ShowFirstTime();
        frame_->AddRecentFile(FromNativePath(Latin1Path()));
        QList<QAction*> items = frame_->RecentFilesMenu().actions();
        items.front()->trigger();
        QCOMPARE(Native(), Latin1Path());
        QVERIFY(dialogs_->messages.empty());
    }

    void dropOfSuchAFileOpensIt() {
        frame_->ShowFirstTime();
        QVERIFY(QTest::qWaitForWindowExposed(frame_.get()));
        QMimeData data;
        // As file managers send it: the byte percent-escaped in the URL.
        const QByteArray escaped =
            QByteArray::fromStdString(Latin1Path()).toPercentEncoding(QByteArrayLiteral("/"));
        data.setUrls({QUrl(QStringLiteral("file://") + QString::fromLatin1(escaped))});
        QWidget* target = frame_->centralWidget();
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        QCOMPARE(Native(), Latin1Path());
    }

    void aFailedOpenNamesTheFileReadably() {
        frame_->ShowFirstTime();
        const std::string missing = dir_.Path() + "/gone\xE9.log";
        QVERIFY(!frame_->OpenFile(FromNativePath(missing), true));
        QCOMPARE(dialogs_->messages.size(), size_t{1});
        QCOMPARE(dialogs_->messages[0], QStringLiteral("Error opening file %1/gone\uFFFD.log!")
                                            .arg(QString::fromStdString(dir_.Path())));
    }

    void qtNamesWithoutReplacementStayAsTheyAre() {
        QVERIFY(PathFromQt(QStringLiteral("/tmp/caf\u00E9.txt")) == u"/tmp/caf\u00E9.txt");
        // No entry shows as this name: kept as Qt gave it.
        QCOMPARE(ToNativePath(PathFromQt(QString::fromStdString(dir_.Path()) +
                                         QStringLiteral("/none\uFFFD"))),
                 dir_.Path() + "/none\xEF\xBF\xBD");
    }
};

QTEST_MAIN(FileNamesTest)
#include "file_names_test.moc"
