// Registry contents another program may have left: values at the edges of the
// buffers, without terminators, of the wrong type or size, and names beyond ASCII.
#include "../apptest.h"
#include "app/plugininstall.h"
#include "devstudio/studiotools.h"

#include <QApplication>
#include <QtTest>

namespace {

QApplication *application() { return static_cast<QApplication *>(QCoreApplication::instance()); }

QByteArray utf16Hex(const QByteArray &text, bool terminated)
{
    QByteArray hex;
    for (char c : text + (terminated ? QByteArray(1, '\0') : QByteArray()))
        hex += QByteArray::number(uchar(c), 16).rightJustified(2, '0') + ",00,";
    hex.chop(1);
    return hex;
}

QStringList addTools()
{
    BoxWatcher watcher;
    addStudioTools(application());
    registrySave();
    return watcher.texts();
}

} // namespace

class HostileValuesTest : public QObject {
    Q_OBJECT

private slots:
    void init() { qputenv("TINDRALDIR", "C:\\Prod"); }
    void toolCountOfAnyShape_data();
    void toolCountOfAnyShape();
    void programPathsAtTheBufferEdge_data();
    void programPathsAtTheBufferEdge();
    void restorePathAtTheBufferEdge_data();
    void restorePathAtTheBufferEdge();
    void namesBeyondAsciiAreLeftAlone();
};

void HostileValuesTest::toolCountOfAnyShape_data()
{
    QTest::addColumn<QByteArray>("countValue");
    QTest::addColumn<int>("addedAt"); // -1: refused
    const QByteArray noRoom = "Info: TOO MANY TOOLS INSTALLED. \n Free at least two spaces in the tools menu bar.";
    QTest::newRow("0 bytes") << QByteArray("hex(4):") << 0;
    QTest::newRow("1 byte") << QByteArray("hex(4):03") << 3;
    QTest::newRow("2 bytes") << QByteArray("hex(4):04,00") << 4;
    QTest::newRow("3 bytes") << QByteArray("hex(4):02,00,00") << 2;
    QTest::newRow("binary of 4") << QByteArray("hex:01,00,00,00") << 1;
    QTest::newRow("string of 1 character") << QByteArray("\"7\"") << -1; // the bytes '7', 0 make 55
    QTest::newRow("5 bytes") << QByteArray("hex(4):01,00,00,00,00") << -1;
    QTest::newRow("negative") << QByteArray("dword:ffffffff") << -1;
    QTest::newRow("largest") << QByteArray("dword:7fffffff") << -1;
}

void HostileValuesTest::toolCountOfAnyShape()
{
    QFETCH(QByteArray, countValue);
    QFETCH(int, addedAt);
    const QByteArray text = hiveHeader + hiveSection(toolsKeyPath, "\"NumTools\"=" + countValue + "\n");
    HiveFixture hive(text);
    const QStringList boxes = addTools();
    if (addedAt < 0) {
        QCOMPARE(boxes.size(), 1);
        QCOMPARE(hive.text(), text);
        return;
    }
    const auto tools = keyValues(hive.text(), toolsKeyName);
    QCOMPARE(tools.value(QStringLiteral("NumTools")), numberValue(addedAt + 2));
    QCOMPARE(tools.value(QStringLiteral("MenuName#%1").arg(addedAt)), textValue("Corvessa Brackwater Tindral Viewer"));
    // Removing reads the count the same way, and finds the entry it wrote.
    removeStudioTool("tindview.exe");
    registrySave();
    QCOMPARE(keyValues(hive.text(), toolsKeyName).value(QStringLiteral("NumTools")), numberValue(addedAt + 1));
}

void HostileValuesTest::programPathsAtTheBufferEdge_data()
{
    QTest::addColumn<QByteArray>("pathLine");
    QTest::addColumn<bool>("removed");
    const QByteArray tail = "\\tindview.exe";
    auto path = [&](int length) { return "C:\\" + QByteArray(length - 3 - int(tail.size()), 'd') + tail; };
    auto quoted = [&](int length) { return "\"PathName#0\"=\"" + escapedForHive(path(length)) + "\""; };
    QTest::newRow("254 characters") << quoted(254) << true;
    QTest::newRow("255 characters") << quoted(255) << false;
    QTest::newRow("256 characters") << quoted(256) << false;
    QTest::newRow("254 without terminator") << QByteArray("\"PathName#0\"=hex(1):" + utf16Hex(path(254), false)) << true;
    QTest::newRow("255 without terminator") << QByteArray("\"PathName#0\"=hex(1):" + utf16Hex(path(255), false)) << false;
    QTest::newRow("binary") << QByteArray("\"PathName#0\"=hex:74,69,6e,64,76,69,65,77,2e,65,78,65") << true;
    QTest::newRow("a number") << QByteArray("\"PathName#0\"=dword:00000001") << false;
}

void HostileValuesTest::programPathsAtTheBufferEdge()
{
    QFETCH(QByteArray, pathLine);
    QFETCH(bool, removed);
    HiveFixture hive(hiveHeader + hiveSection(toolsKeyPath, "\"NumTools\"=dword:00000001\n" + pathLine + "\n"));
    removeStudioTool("tindview.exe");
    registrySave();
    const auto tools = keyValues(hive.text(), toolsKeyName);
    QCOMPARE(tools.value(QStringLiteral("NumTools")), numberValue(removed ? 0 : 1));
    QCOMPARE(tools.contains(QStringLiteral("PathName#0")), !removed);
}

void HostileValuesTest::restorePathAtTheBufferEdge_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("terminated");
    QTest::addColumn<bool>("restored");
    QTest::newRow("1023") << 1023 << true << true;
    QTest::newRow("1024") << 1024 << true << false;
    QTest::newRow("1025") << 1025 << true << false;
    QTest::newRow("1023 without terminator") << 1023 << false << true;
    QTest::newRow("1024 without terminator") << 1024 << false << false;
}

void HostileValuesTest::restorePathAtTheBufferEdge()
{
    QFETCH(int, length);
    QFETCH(bool, terminated);
    QFETCH(bool, restored);
    const QByteArray kept(length, 'k');
    HiveFixture hive(hiveHeader + optionsSection("\"Restore Path\"=hex(1):" + utf16Hex(kept, terminated) + "\n") +
                     directoriesSection("C:\\now"));
    std::unique_ptr<PluginInstall> window(createStatusWindow(application()));
    HKEY optionsKey = nullptr;
    QCOMPARE(regOpen(HKEY_CURRENT_USER, OptionsKey, &optionsKey), ERROR_SUCCESS);
    BoxWatcher watcher;
    window->restoreBuildDirs(optionsKey);
    regClose(optionsKey);
    registrySave();
    // The search path holds none of the product's directories: it stays either way.
    QCOMPARE(keyValues(hive.text(), directoriesKeyName).value(QStringLiteral("Path Dirs")), textValue("C:\\now"));
    QCOMPARE(watcher.texts(), restored ? QStringList() : QStringList(QStringLiteral("Error: Unable to open the restore key")));
}

void HostileValuesTest::namesBeyondAsciiAreLeftAlone()
{
    const QByteArray extra = "\"Men\\xfcName#0\"=\"\\x20ac\"\n\"PathName#\\x0661\"=\"tindview.exe\"\n";
    const QByteArray other = hiveSection("Software\\\\Gr\\xfc\\xdfe\\\\\\x65e5\\x672c", "\"\\xe9t\\xe9\"=\"\\xe0\"\n");
    HiveFixture hive(hiveHeader + other + toolsSection(2, extra));
    const auto before = keyValues(hive.text(), toolsKeyName);
    addTools();
    for (const char *program : {"tindmain.exe", "tindview.exe", "tindopts.exe"}) {
        removeStudioTool(program);
        registrySave();
    }
    QCOMPARE(keyValues(hive.text(), toolsKeyName), before);
    QVERIFY(hive.text().contains(other));
}

QTEST_MAIN(HostileValuesTest)
#include "tst_hostile.moc"
