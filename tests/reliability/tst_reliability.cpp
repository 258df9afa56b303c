// Tries hard to lose a registry: runs killed at every moment of their work, the
// save included, and many runs at once on one prefix.
#include "../support/apptest.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

namespace {

const QString installed = "Corvessa Brackwater Tindral options installed\n";
const QString uninstalled = "Corvessa Brackwater Tindral options uninstalled\n";
const QByteArray startHive = hiveHeader + directories("C:\\VC98\\BIN") + menu({"C:\\a.exe", "C:\\b.exe"});

// The hive without the time stamps that every save renews.
QByteArray withoutStamps(const QByteArray &text)
{
    static const QRegularExpression stamps("(?m)^(\\[.*\\]) \\d+$|^#time=[0-9a-f]+\\n");
    return QString::fromUtf8(text).replace(stamps, "\\1").toUtf8();
}

// A quiet run on the fixture's prefix, whose drive C is the product directory.
class Run : public QProcess {
public:
    Run(const HiveFixture &prefix, const char *mode)
    {
        QDir().mkpath(prefix.prefix() + "/drive_c/lib/locale");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TINDRALDIR", prefix.prefix() + "/drive_c");
        setProcessEnvironment(environment);
        start(IDEWEAVE_PROGRAM, {mode, "-quiet"});
    }
    QString output()
    {
        waitForFinished(60000);
        return QString::fromUtf8(readAllStandardOutput());
    }
};

} // namespace

class ReliabilityTest : public QObject {
    Q_OBJECT

private slots:
    void killedAtAnyMomentLosesNothing();
    void concurrentRunsActAsInSomeOrder();
};

void ReliabilityTest::killedAtAnyMomentLosesNothing()
{
    // Several megabytes of other keys around Developer Studio's.
    QByteArray large = startHive;
    for (int key = 0; large.size() < 4 << 20; ++key)
        large += section("Software\\Wine\\Filler\\Key " + QByteArray::number(key).rightJustified(6, '0'),
                         "\"Name\"=\"Value of a key with some text\"\n\"Data\"=hex:00,01,02,03,04,05,06,07\n");
    HiveFixture prefix(large);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(Run(prefix, "-install").output(), installed);
    const qint64 runNs = timer.nsecsElapsed();
    const QByteArray done = prefix.text();
    QCOMPARE(Run(prefix, "-uninstall").output(), uninstalled);
    const QByteArray undone = prefix.text();
    const int trials = 120;
    int untouched = 0;
    for (int trial = 0; trial < trials; ++trial) {
        const bool install = trial % 2 == 0;
        const QByteArray before = install ? large : done;
        prefix.setText(before);
        Run run(prefix, install ? "-install" : "-uninstall");
        // From the start of the run to well past its usual end, the save included.
        QThread::usleep(static_cast<unsigned long>(runNs * 1.8 * trial / trials / 1000));
        run.kill();
        run.waitForFinished();
        const QByteArray text = prefix.text();
        untouched += text == before;
        QVERIFY2(text == before || withoutStamps(text) == withoutStamps(install ? done : undone),
                 qPrintable(QString("trial %1: a half-done hive").arg(trial)));
        // A new file left by a killed save is cleaned up by the next run, the hive untouched.
        Run(prefix, "-nothing").output();
        QVERIFY(!QFile::exists(prefix.hivePath() + ".ideweave-new"));
        QCOMPARE(prefix.text(), text);
    }
    qInfo("%d trials: %d left the hive as it was, the others found it complete", trials, untouched);
    QVERIFY(untouched > 0 && untouched < trials);
}

void ReliabilityTest::concurrentRunsActAsInSomeOrder()
{
    HiveFixture prefix(startHive);
    bool isInstalled = false;
    for (int round = 0; round < 4; ++round) {
        std::vector<std::unique_ptr<Run>> runs;
        for (int i = 0; i < 20; ++i)
            runs.push_back(std::make_unique<Run>(prefix, i % 2 ? "-uninstall" : "-install"));
        int change = 0; // installs less uninstalls
        for (auto &run : runs) {
            const QString out = run->output();
            QVERIFY2(out.startsWith("Corvessa Brackwater Tindral options"), qPrintable(out));
            change += (out == installed) - (out == uninstalled);
        }
        // Runs one after another alternate between the two states.
        QVERIFY2(change == (isInstalled ? 0 : 1) || change == (isInstalled ? -1 : 0), qPrintable(QString::number(change)));
        isInstalled = isInstalled ? change == 0 : change == 1;
        QCOMPARE(prefix.text().contains("\"ACTIVATION\""), isInstalled);
        if (isInstalled)
            QCOMPARE(programKeys(prefix.text()).count("tindview.exe"), 1);
        else
            QCOMPARE(programKeys(prefix.text()), programKeys(startHive + options("C:\\VC98\\BIN", false)));
    }
}

QTEST_GUILESS_MAIN(ReliabilityTest)
#include "tst_reliability.moc"
