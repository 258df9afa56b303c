// Tries hard to lose a registry: runs killed at every moment of their work, the
// save included, and many runs at once on one prefix.
#include "../apptest.h"
#include "winreg/hiveformat.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>

namespace {

const QString program = QStringLiteral(IDEWEAVE_PROGRAM);
const QString installedText = QStringLiteral("Corvessa Brackwater Tindral options installed\n");
const QString uninstalledText = QStringLiteral("Corvessa Brackwater Tindral options uninstalled\n");
const QString alreadyText = QStringLiteral("Corvessa Brackwater Tindral options is already installed\n");
const QString notInstalledText = QStringLiteral("Corvessa Brackwater Tindral options is not installed\n");

QProcessEnvironment programEnvironment(const QString &prefix, const QString &product)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("WINEPREFIX"), prefix);
    environment.insert(QStringLiteral("TINDRALDIR"), product);
    environment.remove(QStringLiteral("DISPLAY"));
    return environment;
}

// The hive without the time stamps that every save renews.
QByteArray withoutStamps(QByteArray text)
{
    static const QRegularExpression stamps(QStringLiteral("(?m)^(\\[.*\\]) \\d+$|^#time=[0-9a-f]+\\n"));
    return QString::fromUtf8(text).replace(stamps, QStringLiteral("\\1")).toUtf8();
}

bool hiveLoads(const QByteArray &text)
{
    winreg::HiveLayout layout;
    winreg::FormatError error;
    return winreg::scanHive(text.toStdString(), layout, error);
}

class Prefix {
public:
    Prefix()
    {
        QDir().mkpath(m_dir.filePath(QStringLiteral("dosdevices")));
        QFile::link(QStringLiteral("/"), m_dir.filePath(QStringLiteral("dosdevices/z:")));
        QDir().mkpath(product() + QStringLiteral("/lib/locale"));
    }
    QString path() const { return m_dir.path(); }
    QString product() const { return m_dir.filePath(QStringLiteral("product")); }
    QString hive() const { return m_dir.filePath(QStringLiteral("user.reg")); }
    QString temporary() const { return hive() + QStringLiteral(".ideweave-new"); }
    void write(const QByteArray &text) const
    {
        QFile file(hive());
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(text);
    }
    QByteArray read() const
    {
        QFile file(hive());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString run(const QString &mode, int &exitCode) const
    {
        QProcess process;
        process.setProcessEnvironment(programEnvironment(path(), product()));
        process.start(program, {mode, QStringLiteral("-quiet")});
        process.waitForFinished(60000);
        exitCode = process.exitCode();
        return QString::fromUtf8(process.readAllStandardOutput());
    }

private:
    QTemporaryDir m_dir;
};

} // namespace

class ReliabilityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void killedAtAnyMomentLosesNothing();
    void concurrentRunsActAsInSomeOrder();

private:
    QByteArray m_large; // a hive of several megabytes with Developer Studio's keys
};

void ReliabilityTest::initTestCase()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("large.reg"));
    QCOMPARE(QProcess::execute(QStringLiteral(IDEWEAVE_HIVEGEN), {file, QStringLiteral("4")}), 0);
    QFile large(file);
    QVERIFY(large.open(QIODevice::ReadOnly));
    m_large = large.readAll();
    QVERIFY(m_large.size() > 4 * 1024 * 1024);
}

void ReliabilityTest::killedAtAnyMomentLosesNothing()
{
    Prefix prefix;
    // The states before and after a finished install and a finished uninstall.
    int exitCode = 0;
    prefix.write(m_large);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(prefix.run(QStringLiteral("-install"), exitCode), installedText);
    const qint64 runNs = timer.nsecsElapsed();
    const QByteArray installed = prefix.read();
    QCOMPARE(prefix.run(QStringLiteral("-uninstall"), exitCode), uninstalledText);
    const QByteArray uninstalled = prefix.read();

    const int trials = 120;
    int untouched = 0, finished = 0;
    for (int trial = 0; trial < trials; ++trial) {
        const bool install = trial % 2 == 0;
        const QByteArray before = install ? m_large : installed;
        const QByteArray after = install ? installed : uninstalled;
        prefix.write(before);
        QProcess process;
        process.setProcessEnvironment(programEnvironment(prefix.path(), prefix.product()));
        process.start(program, {install ? QStringLiteral("-install") : QStringLiteral("-uninstall"), QStringLiteral("-quiet")});
        QVERIFY(process.waitForStarted());
        // From the start of the run to well past its usual end, the save included.
        QThread::usleep(static_cast<unsigned long>(runNs * 1.8 * trial / trials / 1000));
        process.kill();
        process.waitForFinished();
        const QByteArray text = prefix.read();
        if (text == before) {
            ++untouched;
        } else {
            QVERIFY2(hiveLoads(text), qPrintable(QStringLiteral("trial %1: the hive does not load").arg(trial)));
            QVERIFY2(withoutStamps(text) == withoutStamps(after),
                     qPrintable(QStringLiteral("trial %1: a half-done hive").arg(trial)));
            ++finished;
        }
        // A new file left by a killed save is cleaned up by the next run, the hive untouched.
        if (QFile::exists(prefix.temporary())) {
            const QByteArray kept = prefix.read();
            prefix.run(QStringLiteral("-nothing"), exitCode);
            QVERIFY(!QFile::exists(prefix.temporary()));
            QCOMPARE(prefix.read(), kept);
        }
    }
    qInfo("%d trials: %d left the hive as it was, %d found it complete", trials, untouched, finished);
    QVERIFY(untouched > 0 && finished > 0);
}

void ReliabilityTest::concurrentRunsActAsInSomeOrder()
{
    Prefix prefix;
    const QByteArray start = hiveHeader + directoriesSection("C:\\VC98\\BIN") + toolsSection(5);
    prefix.write(start);
    const auto startTools = keyValues(start, toolsKeyName);
    bool installed = false;
    for (int round = 0; round < 4; ++round) {
        std::vector<std::unique_ptr<QProcess>> runs;
        for (int i = 0; i < 20; ++i) {
            auto process = std::make_unique<QProcess>();
            process->setProcessEnvironment(programEnvironment(prefix.path(), prefix.product()));
            runs.push_back(std::move(process));
        }
        for (int i = 0; i < 20; ++i)
            runs[i]->start(program, {i % 2 ? QStringLiteral("-uninstall") : QStringLiteral("-install"), QStringLiteral("-quiet")});
        int installs = 0, uninstalls = 0;
        for (auto &run : runs) {
            QVERIFY(run->waitForFinished(60000));
            QCOMPARE(run->exitCode(), 0);
            const QString out = QString::fromUtf8(run->readAllStandardOutput());
            QVERIFY2(QStringList({installedText, uninstalledText, alreadyText, notInstalledText}).contains(out),
                     qPrintable(out));
            installs += out == installedText;
            uninstalls += out == uninstalledText;
        }
        // Runs one after another alternate between the two states.
        const int change = installs - uninstalls;
        QVERIFY2(change == (installed ? 0 : 1) || change == (installed ? -1 : 0),
                 qPrintable(QStringLiteral("%1 installs, %2 uninstalls").arg(installs).arg(uninstalls)));
        installed = installed ? change == 0 : change == 1;
        const QByteArray text = prefix.read();
        QVERIFY(hiveLoads(text));
        const auto tools = keyValues(text, toolsKeyName);
        QCOMPARE(keyValues(text, optionsKeyName).contains(QStringLiteral("ACTIVATION")), installed);
        QCOMPARE(tools.value(QStringLiteral("NumTools")), numberValue(installed ? 7 : 5));
        if (!installed)
            QCOMPARE(tools, startTools);
        QCOMPARE(tools.contains(QStringLiteral("PathName#6")), installed);
        QVERIFY(!tools.contains(QStringLiteral("PathName#7")));
    }
}

QTEST_GUILESS_MAIN(ReliabilityTest)
#include "tst_reliability.moc"
