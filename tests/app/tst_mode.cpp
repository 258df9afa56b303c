// The command line: which mode a list of arguments asks for, and quiet mode.
#include "app/mode.h"

#include <QtTest>

class ModeTest : public QObject {
    Q_OBJECT

private slots:
    void mode_data();
    void mode();
    void quiet_data();
    void quiet();
};

namespace {

std::vector<char *> argvOf(const QList<QByteArray> &arguments)
{
    std::vector<char *> argv;
    for (const auto &argument : arguments)
        argv.push_back(const_cast<char *>(argument.constData()));
    argv.push_back(nullptr);
    return argv;
}

} // namespace

void ModeTest::mode_data()
{
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::addColumn<int>("expected");
    const QByteArray program = "ideweave.exe";
    QTest::newRow("none") << QList<QByteArray>{program} << int(ModeNone);
    QTest::newRow("-install") << QList<QByteArray>{program, "-install"} << int(ModeInstall);
    QTest::newRow("-uninstall") << QList<QByteArray>{program, "-uninstall"} << int(ModeUninstall);
    QTest::newRow("/install") << QList<QByteArray>{program, "/install"} << int(ModeInstall);
    QTest::newRow("install") << QList<QByteArray>{program, "install"} << int(ModeInstall);
    QTest::newRow("reinstall") << QList<QByteArray>{program, "reinstall"} << int(ModeInstall);
    QTest::newRow("uninstaller") << QList<QByteArray>{program, "uninstaller"} << int(ModeUninstall);
    QTest::newRow("-Install") << QList<QByteArray>{program, "-Install"} << int(ModeNone);
    QTest::newRow("-INSTALL") << QList<QByteArray>{program, "-INSTALL"} << int(ModeNone);
    QTest::newRow("last wins: uninstall") << QList<QByteArray>{program, "-install", "-uninstall"} << int(ModeUninstall);
    QTest::newRow("last wins: install") << QList<QByteArray>{program, "-uninstall", "-install"} << int(ModeInstall);
    QTest::newRow("no reset") << QList<QByteArray>{program, "-install", "-other"} << int(ModeInstall);
    QTest::newRow("quiet is no mode") << QList<QByteArray>{program, "-quiet"} << int(ModeNone);
    QTest::newRow("program name") << QList<QByteArray>{"C:\\install\\ideweave.exe"} << int(ModeNone);
    QTest::newRow("program name, uninstall dir") << QList<QByteArray>{"/opt/uninstall/ideweave", "-x"} << int(ModeNone);
}

void ModeTest::mode()
{
    QFETCH(QList<QByteArray>, arguments);
    QFETCH(int, expected);
    auto argv = argvOf(arguments);
    QCOMPARE(int(modeFromArguments(int(arguments.size()), argv.data())), expected);
}

void ModeTest::quiet_data()
{
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::addColumn<bool>("expected");
    QTest::newRow("-quiet") << QList<QByteArray>{"ideweave", "-install", "-quiet"} << true;
    QTest::newRow("/quiet") << QList<QByteArray>{"ideweave", "/quiet", "-install"} << true;
    QTest::newRow("absent") << QList<QByteArray>{"ideweave", "-install"} << false;
    QTest::newRow("only exact") << QList<QByteArray>{"ideweave", "-quietly", "quiet", "--quiet"} << false;
    QTest::newRow("program name") << QList<QByteArray>{"-quiet"} << false;
}

void ModeTest::quiet()
{
    QFETCH(QList<QByteArray>, arguments);
    QFETCH(bool, expected);
    auto argv = argvOf(arguments);
    QCOMPARE(quietRequested(int(arguments.size()), argv.data()), expected);
}

QTEST_APPLESS_MAIN(ModeTest)
#include "tst_mode.moc"
