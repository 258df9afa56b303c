// The controller end to end on real hive files: the decision table, the marker,
// the status window and the boxes the user sees along the way.
#include "../apptest.h"
#include "app/plugininstall.h"

#include <QApplication>
#include <QPushButton>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QByteArray userPathDirs = "C:\\VC98\\BIN;C:\\WINDOWS";
const QByteArray markerLine = "\"ACTIVATION\"=hex:00\n";
const QByteArray keptPathDirs = "C:\\Kept\\BIN";

QApplication *application() { return static_cast<QApplication *>(QCoreApplication::instance()); }

QByteArray devStudioHive(bool markerPresent)
{
    QByteArray text = hiveHeader;
    if (markerPresent)
        text += optionsSection(markerLine + "\"Restore Path\"=\"" + escapedForHive(keptPathDirs) + "\"\n");
    // Installed, the search path is what the install made of the kept one.
    const QByteArray pathDirs =
        markerPresent ? "C:\\Prod\\targets\\cvisual6\\cmd;C:\\Prod\\bin\\intel\\win32;C:\\Common;" + keptPathDirs : userPathDirs;
    return text + directoriesSection(pathDirs) + toolsSection(5);
}

struct Run {
    bool result;
    QString text;
    QStringList boxes;
};

Run runProgram(Mode mode)
{
    std::unique_ptr<PluginInstall> window(createStatusWindow(application()));
    BoxWatcher watcher;
    const bool result = window->runMode(mode);
    return {result, window->text(), watcher.texts()};
}

bool markerIn(const QByteArray &hive) { return keyValues(hive, optionsKeyName).contains(QStringLiteral("ACTIVATION")); }

} // namespace

class ControllerTest : public QObject {
    Q_OBJECT

private slots:
    void init() { qputenv("TINDRALDIR", "C:\\Prod"); }
    void decisionTable_data();
    void decisionTable();
    void foreignMarker_data();
    void foreignMarker();
    void installTwiceChangesNothing();
    void refusedInstallWritesNothing_data();
    void refusedInstallWritesNothing();
    void optionsKeyThatCannotBeCreated();
    void failedSaveShowsNoOutcome();
    void boxesWaitWithTheRegistryFree();
    void statusWindowAsShown();
};

void ControllerTest::decisionTable_data()
{
    QTest::addColumn<bool>("markerBefore");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("markerAfter");
    QTest::addColumn<bool>("changed");

    const QString installed = QStringLiteral("Corvessa Brackwater Tindral options installed");
    const QString notInstalled = QStringLiteral("Corvessa Brackwater Tindral options is not installed");
    const QString uninstalled = QStringLiteral("Corvessa Brackwater Tindral options uninstalled");
    const QString already = QStringLiteral("Corvessa Brackwater Tindral options is already installed");
    const QString usage =
        QStringLiteral("Corvessa Brackwater Tindral options usage : ideweave.exe -install | -uninstall");
    QTest::newRow("absent, install") << false << int(ModeInstall) << installed << true << true << true;
    QTest::newRow("absent, uninstall") << false << int(ModeUninstall) << notInstalled << true << false << false;
    QTest::newRow("absent, none") << false << int(ModeNone) << usage << false << false << false;
    QTest::newRow("present, uninstall") << true << int(ModeUninstall) << uninstalled << true << false << true;
    QTest::newRow("present, install") << true << int(ModeInstall) << already << true << true << false;
    QTest::newRow("present, none") << true << int(ModeNone) << usage << false << true << false;
}

void ControllerTest::decisionTable()
{
    QFETCH(bool, markerBefore);
    QFETCH(int, mode);
    QFETCH(QString, text);
    QFETCH(bool, result);
    QFETCH(bool, markerAfter);
    QFETCH(bool, changed);
    HiveFixture hive(devStudioHive(markerBefore));
    const QByteArray before = hive.text();
    const Run run = runProgram(Mode(mode));
    QCOMPARE(run.text, text);
    QCOMPARE(run.result, result);
    QCOMPARE(run.boxes, QStringList());
    const QByteArray after = hive.text();
    QCOMPARE(markerIn(after), markerAfter);
    QCOMPARE(after != before, changed);
    if (markerAfter && changed) {
        // The marker is one byte 0x00 of type REG_BINARY.
        const StoredValue marker = keyValues(after, optionsKeyName).value(QStringLiteral("ACTIVATION"));
        QCOMPARE(marker.type, uint(REG_BINARY));
        QCOMPARE(marker.data, QByteArray(1, '\0'));
        QCOMPARE(keyValues(after, toolsKeyName).value(QStringLiteral("NumTools")), numberValue(7));
    }
    if (Mode(mode) == ModeUninstall && markerBefore)
        QCOMPARE(keyValues(after, directoriesKeyName).value(QStringLiteral("Path Dirs")), textValue(keptPathDirs));
}

void ControllerTest::foreignMarker_data()
{
    QTest::addColumn<QByteArray>("markerValue");
    QTest::addColumn<bool>("present");
    const QByteArray bytes25 = QByteArray("00,").repeated(24) + "00";
    QTest::newRow("25 bytes") << QByteArray("hex:" + bytes25) << true;
    QTest::newRow("26 bytes") << QByteArray("hex:" + bytes25 + ",00") << false;
    QTest::newRow("a string") << QByteArray("\"yes\"") << true;
    QTest::newRow("a number") << QByteArray("dword:00000001") << true;
    QTest::newRow("empty") << QByteArray("hex:") << true;
}

void ControllerTest::foreignMarker()
{
    QFETCH(QByteArray, markerValue);
    QFETCH(bool, present);
    HiveFixture hive(hiveHeader + optionsSection("\"ACTIVATION\"=" + markerValue + "\n") +
                     directoriesSection(userPathDirs) + toolsSection(1));
    const Run run = runProgram(ModeInstall);
    QCOMPARE(run.text, present ? QStringLiteral("Corvessa Brackwater Tindral options is already installed")
                               : QStringLiteral("Corvessa Brackwater Tindral options installed"));
}

void ControllerTest::installTwiceChangesNothing()
{
    HiveFixture hive(devStudioHive(false));
    QCOMPARE(runProgram(ModeInstall).text, QStringLiteral("Corvessa Brackwater Tindral options installed"));
    const QByteArray installed = hive.text();
    QCOMPARE(runProgram(ModeInstall).text, QStringLiteral("Corvessa Brackwater Tindral options is already installed"));
    QCOMPARE(hive.text(), installed);
}

void ControllerTest::refusedInstallWritesNothing_data()
{
    QTest::addColumn<QByteArray>("hive");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QByteArray>("mended"); // the hive once the cause is gone
    const QByteArray directories = directoriesSection(userPathDirs);
    QTest::newRow("no Tools key") << hiveHeader + directories
                                  << QStringLiteral("Info: Corvessa Brackwater Tindral Error #1")
                                  << hiveHeader + directories + toolsSection(0);
    QTest::newRow("negative count") << hiveHeader + directories + hiveSection(toolsKeyPath, "\"NumTools\"=dword:ffffffff\n")
                                    << QStringLiteral("Info: Corvessa Brackwater Tindral Error #2")
                                    << hiveHeader + directories + toolsSection(0);
    QTest::newRow("menu full") << hiveHeader + directories + toolsSection(15)
                               << QStringLiteral("Info: TOO MANY TOOLS INSTALLED. \n Free at least two spaces in the tools menu bar.")
                               << hiveHeader + directories + toolsSection(14);
}

void ControllerTest::refusedInstallWritesNothing()
{
    QFETCH(QByteArray, hive);
    QFETCH(QString, box);
    QFETCH(QByteArray, mended);
    HiveFixture fixture(hive);
    const QByteArray before = fixture.text();
    const Run refused = runProgram(ModeInstall);
    QCOMPARE(refused.boxes, QStringList(box));
    QCOMPARE(refused.text, QStringLiteral("Corvessa Brackwater Tindral options is not installed"));
    QCOMPARE(fixture.text(), before);
    // Once the user has mended it, the next install installs.
    fixture.setText(mended);
    const Run installed = runProgram(ModeInstall);
    QCOMPARE(installed.boxes, QStringList());
    QCOMPARE(installed.text, QStringLiteral("Corvessa Brackwater Tindral options installed"));
    QVERIFY(markerIn(fixture.text()));
    QVERIFY(keyValues(fixture.text(), directoriesKeyName).value(QStringLiteral("Path Dirs")).data.startsWith("C:\\Prod\\"));
}

void ControllerTest::optionsKeyThatCannotBeCreated()
{
    HiveFixture hive(hiveHeader + directoriesSection(userPathDirs) + toolsSection(2));
    winregInjectFault("RegCreateKeyExA", OptionsKey, ERROR_ACCESS_DENIED);
    const Run run = runProgram(ModeInstall);
    QCOMPARE(run.boxes, QStringList(QStringLiteral("Error: Failed to modify Razazadu registry")));
    QCOMPARE(run.text, QStringLiteral("Corvessa Brackwater Tindral options installed"));
    // The search path is left alone when its old value cannot be kept.
    QCOMPARE(keyValues(hive.text(), directoriesKeyName).value(QStringLiteral("Path Dirs")), textValue(userPathDirs));
    QVERIFY(!markerIn(hive.text()));
    winregClearFaults();
    // With no marker, the next install runs the whole sequence again.
    QCOMPARE(runProgram(ModeInstall).boxes, QStringList());
    QVERIFY(markerIn(hive.text()));
    QCOMPARE(keyValues(hive.text(), toolsKeyName).value(QStringLiteral("NumTools")), numberValue(6));
}

void ControllerTest::failedSaveShowsNoOutcome()
{
    HiveFixture hive(devStudioHive(false));
    const QByteArray before = hive.text();
    winregInjectFault("RegFlushKey", nullptr, ERROR_WRITE_FAULT);
    const Run run = runProgram(ModeInstall);
    winregClearFaults();
    QVERIFY(registrySaveFailed());
    QCOMPARE(run.boxes.size(), 1);
    QVERIFY2(run.boxes.first().startsWith(QStringLiteral("Error: Cannot save the registry '%1': ").arg(hive.hivePath())),
             qPrintable(run.boxes.first()));
    QCOMPARE(run.text, QStringLiteral("Text"));
    QCOMPARE(hive.text(), before);
}

void ControllerTest::boxesWaitWithTheRegistryFree()
{
    // While a box waits for the user, the run's changes are saved and another run may go on.
    HiveFixture hive(hiveHeader + toolsSection(0));
    std::unique_ptr<PluginInstall> window(createStatusWindow(application()));
    BoxWatcher watcher;
    QList<bool> saved, lockFree;
    watcher.onBox = [&]() {
        saved << markerIn(hive.text());
        const int prefix = ::open(QFile::encodeName(hive.prefix()).constData(), O_RDONLY | O_DIRECTORY);
        lockFree << (::flock(prefix, LOCK_EX | LOCK_NB) == 0);
        ::close(prefix);
    };
    window->runMode(ModeInstall);
    QCOMPARE(watcher.boxes.size(), 1);
    QCOMPARE(saved, QList<bool>({true}));
    QCOMPARE(lockFree, QList<bool>({true}));
}

void ControllerTest::statusWindowAsShown()
{
    HiveFixture hive(devStudioHive(false));
    std::unique_ptr<PluginInstall> window(createStatusWindow(application()));
    QCOMPARE(window->windowTitle(), QStringLiteral("Tindral for VisualC++ 6.0 Installation"));
    QCOMPARE(window->icon(), QMessageBox::Information);
    QCOMPARE(window->buttons().size(), 1);
    QCOMPARE(window->standardButton(window->buttons().first()), QMessageBox::Ok);
    QVERIFY(window->isModal());
    QCOMPARE(window->parentWidget, static_cast<QWidget *>(nullptr));
    QCOMPARE(window->application, application());
    window->runMode(ModeInstall);
    QCOMPARE(window->text(), QStringLiteral("Corvessa Brackwater Tindral options installed"));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(window->width() >= 300 && window->height() >= 100);
    window->resize(10, 10);
    QVERIFY(window->width() >= 300 && window->height() >= 100);
    QSignalSpy finished(window.get(), &QDialog::finished);
    window->buttons().first()->click();
    QCOMPARE(finished.size(), 1);
    QVERIFY(!window->isVisible());
}

QTEST_MAIN(ControllerTest)
#include "tst_controller.moc"
