// SIGTERM ends the real program as File > Exit does: settings saved, status 0.
#include <signal.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TerminationTest : public QObject {
    Q_OBJECT
  private slots:
    void sigtermSavesTheSettingsAndExitsWithZero_data() {
        QTest::addColumn<bool>("withFile");
        QTest::newRow("empty window") << false;
        QTest::newRow("a file open") << true;
    }
    void sigtermSavesTheSettingsAndExitsWithZero() {
        QFETCH(bool, withFile);
        QTemporaryDir data;
        QVERIFY(data.isValid());
        const QString log = data.filePath(QStringLiteral("small.log"));
        QFile file(log);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("one\ntwo\n");
        file.close();
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("LINESIFT_DATA_DIR"), data.path());
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(LINESIFT_PROGRAM),
                      withFile ? QStringList{log} : QStringList{});
        QVERIFY(program.waitForStarted());
        // Time for the window to come up and the handler to be in place.
        QTest::qWait(1500);
        QCOMPARE(program.state(), QProcess::Running);
        QCOMPARE(::kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY(QFileInfo::exists(data.filePath(QStringLiteral("Settings.xml"))));
    }
};

QTEST_GUILESS_MAIN(TerminationTest)
#include "termination_test.moc"
