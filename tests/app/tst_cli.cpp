// The built program as an installer runs it: quiet mode's output and exit
// statuses, with no display, and the gates that stop a run before it changes anything.
#include "../apptest.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

namespace {

struct Result {
    int exitCode;
    QString out;
    QString err;
};

const QByteArray devStudioHive = hiveHeader + directoriesSection("C:\\VC98\\BIN") + toolsSection(3);

class Product {
public:
    Product()
    {
        QDir().mkpath(m_dir.filePath(QStringLiteral("lib/locale")));
        QFile::copy(QStringLiteral(IDEWEAVE_GERMAN_CATALOGUE), m_dir.filePath(QStringLiteral("lib/locale/ideweave_de.qm")));
    }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

// Runs the program with no display; env entries with an empty value are removed.
Result run(const QStringList &arguments, const QMap<QString, QString> &env, const QString &workingDirectory = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "LC_ALL", "LANG", "LANGUAGE"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    for (auto it = env.begin(); it != env.end(); ++it) {
        if (it.value().isNull())
            environment.remove(it.key());
        else
            environment.insert(it.key(), it.value());
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(workingDirectory);
    process.start(QStringLiteral(IDEWEAVE_PROGRAM), arguments);
    process.waitForFinished(30000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void quietRuns_data();
    void quietRuns();
    void quietInstallThenUninstall();
    void translationGate_data();
    void translationGate();
    void registryGate_data();
    void registryGate();
    void lockHeldTooLong();
    void failedSaveWritesNothing();
    void translatedQuietOutput();
    void sampleInstallAndUninstall_data();
    void sampleInstallAndUninstall();
    void noDriveLeadsToTheProduct();
    void noDisplay();
    void programPathsAnUninstallFinds_data();
    void programPathsAnUninstallFinds();
    void catalogueLookedUpThroughTheDrive();
};

void CommandLineTest::quietRuns_data()
{
    QTest::addColumn<QByteArray>("hive");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("install") << devStudioHive << QStringList{QStringLiteral("-install"), QStringLiteral("-quiet")} << 0
                             << QStringLiteral("Corvessa Brackwater Tindral options installed\n") << QString();
    QTest::newRow("/quiet first") << devStudioHive << QStringList{QStringLiteral("/quiet"), QStringLiteral("-install")}
                                  << 0 << QStringLiteral("Corvessa Brackwater Tindral options installed\n") << QString();
    QTest::newRow("uninstall, not installed")
        << devStudioHive << QStringList{QStringLiteral("-uninstall"), QStringLiteral("-quiet")} << 0
        << QStringLiteral("Corvessa Brackwater Tindral options is not installed\n") << QString();
    QTest::newRow("usage") << devStudioHive << QStringList{QStringLiteral("-quiet")} << 2
                           << QStringLiteral(
                                  "Corvessa Brackwater Tindral options usage : ideweave.exe -install | -uninstall\n")
                           << QString();
    // The toolkit takes its own options out first: "install" here is the name of a style.
    QTest::newRow("toolkit option") << devStudioHive
                                    << QStringList{QStringLiteral("-quiet"), QStringLiteral("-style"), QStringLiteral("install")}
                                    << 2
                                    << QStringLiteral(
                                           "Corvessa Brackwater Tindral options usage : ideweave.exe -install | -uninstall\n")
                                    << QString();
    QTest::newRow("menu full") << hiveHeader + directoriesSection("C:\\VC98") + toolsSection(16)
                               << QStringList{QStringLiteral("-quiet"), QStringLiteral("-install")} << 1
                               << QStringLiteral("Corvessa Brackwater Tindral options is not installed\n")
                               << QStringLiteral("Info: TOO MANY TOOLS INSTALLED. \n Free at least two spaces in the "
                                                 "tools menu bar.\n");
}

void CommandLineTest::quietRuns()
{
    QFETCH(QByteArray, hive);
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    HiveFixture fixture(hive);
    Product product;
    const Result result = run(arguments, {{QStringLiteral("TINDRALDIR"), product.path()}});
    QCOMPARE(result.err, err);
    QCOMPARE(result.out, out);
    QCOMPARE(result.exitCode, exitCode);
}

void CommandLineTest::quietInstallThenUninstall()
{
    HiveFixture fixture(devStudioHive);
    Product product;
    const QByteArray before = fixture.text();
    const QMap<QString, QString> env{{QStringLiteral("TINDRALDIR"), product.path()}};
    QCOMPARE(run({QStringLiteral("-install"), QStringLiteral("-quiet")}, env).exitCode, 0);
    QVERIFY(keyValues(fixture.text(), optionsKeyName).contains(QStringLiteral("ACTIVATION")));
    const Result again = run({QStringLiteral("-install"), QStringLiteral("-quiet")}, env);
    QCOMPARE(again.out, QStringLiteral("Corvessa Brackwater Tindral options is already installed\n"));
    const Result removed = run({QStringLiteral("-uninstall"), QStringLiteral("-quiet")}, env);
    QCOMPARE(removed.out, QStringLiteral("Corvessa Brackwater Tindral options uninstalled\n"));
    QCOMPARE(removed.exitCode, 0);
    QVERIFY(!keyValues(fixture.text(), optionsKeyName).contains(QStringLiteral("ACTIVATION")));
    QCOMPARE(keyValues(fixture.text(), toolsKeyName), keyValues(before, toolsKeyName));
    QCOMPARE(keyValues(fixture.text(), directoriesKeyName), keyValues(before, directoriesKeyName));
}

void CommandLineTest::translationGate_data()
{
    QTest::addColumn<QString>("productDirectory");
    QTest::addColumn<QString>("err");
    QTest::newRow("unset") << QString() << QStringLiteral("Warning: Fatal Error: please setup TINDRALDIR environment variable.\n");
    QTest::newRow("empty") << QStringLiteral("") << QStringLiteral("Warning: Fatal Error: please setup TINDRALDIR environment variable.\n");
    QTest::newRow("no catalogue directory") << QStringLiteral("/nonexistent/tindral")
                                            << QStringLiteral("Warning: Fatal Error: directory doesn't exist "
                                                              "'/nonexistent/tindral/lib/locale'\n");
}

void CommandLineTest::translationGate()
{
    QFETCH(QString, productDirectory);
    QFETCH(QString, err);
    HiveFixture fixture(devStudioHive);
    const Result result = run({QStringLiteral("-install"), QStringLiteral("-quiet")},
                              {{QStringLiteral("TINDRALDIR"), productDirectory}});
    QCOMPARE(result.exitCode, 255);
    QCOMPARE(result.err, err);
    QCOMPARE(result.out, QString());
    QCOMPARE(fixture.text(), devStudioHive);
}

void CommandLineTest::registryGate_data()
{
    QTest::addColumn<QString>("prefixPart");
    QTest::addColumn<QByteArray>("hive");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no prefix") << QStringLiteral("/missing") << devStudioHive
                               << QStringLiteral("the Wine prefix %1/missing does not exist");
    QTest::newRow("malformed structure") << QString() << QByteArray(hiveHeader + "\n[Software] 1\nx=1\n")
                                         << QStringLiteral("line 7: not a value line");
    // A value is read when its key is used; the keys a run uses are read before it begins.
    QTest::newRow("malformed value of the Tools menu")
        << QString() << QByteArray(hiveHeader + "\n[Software\\\\Microsoft\\\\Devstudio\\\\6.0\\\\Tools] 1\n\"x\"=bad\n")
        << QStringLiteral("line 7: unknown value type");
}

void CommandLineTest::registryGate()
{
    QFETCH(QString, prefixPart);
    QFETCH(QByteArray, hive);
    QFETCH(QString, reason);
    HiveFixture fixture(hive);
    Product product;
    const QString prefix = fixture.prefix() + prefixPart;
    const QMap<QString, QString> env{{QStringLiteral("TINDRALDIR"), product.path()},
                                     {QStringLiteral("WINEPREFIX"), prefix}};
    const Result result = run({QStringLiteral("-uninstall"), QStringLiteral("-quiet")}, env);
    QCOMPARE(result.exitCode, 255);
    QCOMPARE(result.err, QStringLiteral("Warning: Cannot use the registry '%1/user.reg': %2\n")
                             .arg(prefix, reason.arg(fixture.prefix())));
    QCOMPARE(result.out, QString());
    QCOMPARE(fixture.text(), hive);
    // The usage text needs no registry.
    QCOMPARE(run({QStringLiteral("-quiet")}, env).exitCode, 2);
}

void CommandLineTest::lockHeldTooLong()
{
    HiveFixture fixture(devStudioHive);
    Product product;
    QProcess holder;
    holder.start(QStringLiteral("flock"), {fixture.prefix(),
                                           QStringLiteral("sleep"), QStringLiteral("15")});
    QVERIFY(holder.waitForStarted());
    QTest::qWait(300);
    const Result result = run({QStringLiteral("-install"), QStringLiteral("-quiet")},
                              {{QStringLiteral("TINDRALDIR"), product.path()}});
    holder.kill();
    holder.waitForFinished();
    QCOMPARE(result.exitCode, 255);
    QVERIFY2(result.err.contains(QStringLiteral("for 10 seconds")), qPrintable(result.err));
    QCOMPARE(fixture.text(), devStudioHive);
}

void CommandLineTest::failedSaveWritesNothing()
{
    HiveFixture fixture(devStudioHive);
    Product product;
    QVERIFY(QDir().mkpath(fixture.hivePath() + QStringLiteral(".ideweave-new")));
    const Result result = run({QStringLiteral("-install"), QStringLiteral("-quiet")},
                              {{QStringLiteral("TINDRALDIR"), product.path()}});
    QCOMPARE(result.exitCode, 1);
    QCOMPARE(result.out, QString());
    QVERIFY2(result.err.startsWith(QStringLiteral("Error: Cannot save the registry '%1': ").arg(fixture.hivePath())),
             qPrintable(result.err));
    QCOMPARE(fixture.text(), devStudioHive);
}

void CommandLineTest::translatedQuietOutput()
{
    HiveFixture fixture(hiveHeader);
    Product product;
    const Result result = run({QStringLiteral("-install"), QStringLiteral("-quiet")},
                              {{QStringLiteral("TINDRALDIR"), product.path()}, {QStringLiteral("LANG"), QStringLiteral("de_DE.UTF-8")}});
    QCOMPARE(result.out, QStringLiteral("Corvessa Brackwater Tindral: Optionen sind nicht installiert\n"));
    QCOMPARE(result.err, QStringLiteral("Hinweis: Corvessa Brackwater Tindral Fehler #1\n"));
    QCOMPARE(result.exitCode, 1);
}

void CommandLineTest::sampleInstallAndUninstall_data()
{
    QTest::addColumn<QString>("productDirectory"); // "PREFIX" stands for the prefix
    QTest::addColumn<QString>("workingDirectory");
    QTest::addColumn<QByteArray>("registryForm");
    QTest::newRow("as a Unix path") << QStringLiteral("PREFIX/drive_c/Tindral") << QString() << QByteArray("C:\\Tindral");
    QTest::newRow("as a Windows path") << QStringLiteral("C:\\TINDRAL") << QString() << QByteArray("C:\\TINDRAL");
    QTest::newRow("relative") << QStringLiteral("drive_c/Tindral") << QStringLiteral("PREFIX") << QByteArray("C:\\Tindral");
    QTest::newRow("relative with dots") << QStringLiteral("./Tindral/../Tindral") << QStringLiteral("PREFIX/drive_c")
                                        << QByteArray("C:\\Tindral");
}

void CommandLineTest::sampleInstallAndUninstall()
{
    QFETCH(QString, productDirectory);
    QFETCH(QString, workingDirectory);
    QFETCH(QByteArray, registryForm);
    QFile sample(QStringLiteral(IDEWEAVE_SAMPLE_HIVE));
    QVERIFY(sample.open(QIODevice::ReadOnly));
    HiveFixture fixture(sample.readAll());
    QVERIFY(QDir().mkpath(fixture.prefix() + QStringLiteral("/drive_c/Tindral/lib/locale")));
    const QByteArray before = fixture.text();
    // Every way the registry names the product as Windows programs under Wine need it.
    productDirectory.replace(QStringLiteral("PREFIX"), fixture.prefix());
    workingDirectory.replace(QStringLiteral("PREFIX"), fixture.prefix());
    const QMap<QString, QString> env{{QStringLiteral("TINDRALDIR"), productDirectory}};
    QCOMPARE(run({QStringLiteral("-install"), QStringLiteral("-quiet")}, env, workingDirectory).exitCode, 0);
    const auto tools = keyValues(fixture.text(), toolsKeyName);
    QCOMPARE(tools.value(QStringLiteral("NumTools")), numberValue(7));
    QCOMPARE(tools.value(QStringLiteral("PathName#5")), textValue(registryForm + "\\bin\\intel\\win32\\tindview.exe"));
    QCOMPARE(tools.value(QStringLiteral("PathName#6")), textValue(registryForm + "\\bin\\intel\\win32\\tindopts.exe"));
    const QByteArray oldPath = keyValues(before, directoriesKeyName).value(QStringLiteral("Path Dirs")).data;
    QCOMPARE(keyValues(fixture.text(), directoriesKeyName).value(QStringLiteral("Path Dirs")).data,
             registryForm + "\\targets\\cvisual6\\cmd;" + registryForm + "\\bin\\intel\\win32;C:\\Common;" + oldPath);
    QCOMPARE(run({QStringLiteral("-uninstall"), QStringLiteral("-quiet")}, env, workingDirectory).exitCode, 0);
    QCOMPARE(keyValues(fixture.text(), toolsKeyName), keyValues(before, toolsKeyName));
    QCOMPARE(keyValues(fixture.text(), directoriesKeyName), keyValues(before, directoriesKeyName));
}

void CommandLineTest::noDriveLeadsToTheProduct()
{
    HiveFixture fixture(devStudioHive);
    Product product;
    QVERIFY(QDir(fixture.prefix() + QStringLiteral("/dosdevices")).removeRecursively());
    const QMap<QString, QString> env{{QStringLiteral("TINDRALDIR"), product.path()}};
    const Result result = run({QStringLiteral("-install"), QStringLiteral("-quiet")}, env);
    QCOMPARE(result.exitCode, 255);
    QCOMPARE(result.err, QStringLiteral("Warning: No drive of the Wine prefix '%1' leads to '%2'\n")
                             .arg(fixture.prefix(), product.path()));
    QCOMPARE(fixture.text(), devStudioHive);
    // Uninstalling needs no product path.
    const Result uninstalled = run({QStringLiteral("-uninstall"), QStringLiteral("-quiet")}, env);
    QCOMPARE(uninstalled.exitCode, 0);
    QCOMPARE(uninstalled.out, QStringLiteral("Corvessa Brackwater Tindral options is not installed\n"));
}

void CommandLineTest::noDisplay()
{
    HiveFixture fixture(devStudioHive);
    Product product;
    const Result result = run({QStringLiteral("-install")}, {{QStringLiteral("TINDRALDIR"), product.path()}});
    QCOMPARE(result.exitCode, 255);
    QCOMPARE(result.err, QStringLiteral("Warning: Cannot open the status window: no display. "
                                        "Run with -quiet to work without a window.\n"));
    QCOMPARE(fixture.text(), devStudioHive);
}

void CommandLineTest::programPathsAnUninstallFinds_data()
{
    // "\bin\intel\win32\tindview.exe" adds 29 characters to the product directory.
    QTest::addColumn<int>("pathLength");
    QTest::newRow("254 characters") << 254;
    QTest::newRow("255 characters") << 255;
}

void CommandLineTest::programPathsAnUninstallFinds()
{
    QFETCH(int, pathLength);
    HiveFixture fixture(devStudioHive);
    const QByteArray directoryName(pathLength - 29 - 3, 'd');
    QVERIFY(QDir().mkpath(fixture.prefix() + QStringLiteral("/drive_c/") + QString::fromLatin1(directoryName) +
                          QStringLiteral("/lib/locale")));
    const QMap<QString, QString> env{{QStringLiteral("TINDRALDIR"), QStringLiteral("C:\\") + QString::fromLatin1(directoryName)}};
    const Result installed = run({QStringLiteral("-install"), QStringLiteral("-quiet")}, env);
    if (pathLength > 254) {
        QCOMPARE(installed.err, QStringLiteral("Info: Corvessa Brackwater Tindral Error #4\n"));
        QCOMPARE(installed.out, QStringLiteral("Corvessa Brackwater Tindral options is not installed\n"));
        QCOMPARE(installed.exitCode, 1);
        QCOMPARE(fixture.text(), devStudioHive);
        return;
    }
    QCOMPARE(installed.exitCode, 0);
    QCOMPARE(keyValues(fixture.text(), toolsKeyName).value(QStringLiteral("PathName#3")).data.size(), pathLength + 1);
    QCOMPARE(run({QStringLiteral("-uninstall"), QStringLiteral("-quiet")}, env).exitCode, 0);
    QCOMPARE(keyValues(fixture.text(), toolsKeyName), keyValues(devStudioHive, toolsKeyName));
    QCOMPARE(keyValues(fixture.text(), directoriesKeyName), keyValues(devStudioHive, directoriesKeyName));
}

void CommandLineTest::catalogueLookedUpThroughTheDrive()
{
    HiveFixture fixture(devStudioHive);
    const Result result = run({QStringLiteral("-install"), QStringLiteral("-quiet")},
                              {{QStringLiteral("TINDRALDIR"), QStringLiteral("C:\\Missing\\")}});
    QCOMPARE(result.exitCode, 255);
    QCOMPARE(result.err, QStringLiteral("Warning: Fatal Error: directory doesn't exist '%1/dosdevices/c:/Missing//lib/locale'\n")
                             .arg(fixture.prefix()));
}

QTEST_GUILESS_MAIN(CommandLineTest)
#include "tst_cli.moc"
