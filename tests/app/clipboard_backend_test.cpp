#include <QApplication>
#include <QClipboard>
#include <QtTest>

#include "document/clipboard_text.h"
#include "document/text_document.h"
#include "shell/clipboard_backend.h"

using namespace linesift;

class ClipboardBackendTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { QtClipboardBackend::Install(); }
    void cleanup() { ClipboardText::Instance().SetBackend(nullptr); }

    void textRoundTripsWithoutReencoding() {
        std::u16string text = u"caf\u00E9 \U0001F600\nnext";
        text.push_back(u'\xD800');
        QVERIFY(ClipboardText::Instance().SetText(text));
        QVERIFY(ClipboardText::Instance().IsTextAvailable());
        std::u16string back;
        QVERIFY(ClipboardText::Instance().GetText(back));
        QCOMPARE(back.size(), text.size());
        QVERIFY(back == text);
    }

    void importTakesTheDesktopClipboard() {
        QGuiApplication::clipboard()->setText(QStringLiteral("one\r\ntwo\n"));
        TextDocument document;
        QVERIFY(document.LoadFromClipboard());
        QCOMPARE(document.LineCount(), size_t{2});
        QVERIFY([&] {
            std::u16string buffer;
            return document.LineText(1, buffer) == u"two";
        }());
    }
};

QTEST_MAIN(ClipboardBackendTest)
#include "clipboard_backend_test.moc"
