// The Tools menu: appending the product's two entries, and removing one entry
// with the entries behind it moved down, checked value by value in real hives.
#include "../apptest.h"
#include "devstudio/registry.h"
#include "devstudio/studiotools.h"

#include <QApplication>
#include <QtTest>

namespace {

QApplication *application() { return static_cast<QApplication *>(QCoreApplication::instance()); }

const QByteArray viewerArguments = "*.fdc *.tsf tndout.spt tndout.tio tndout.tdf tndout.tqf tndout.tpf";
const QByteArray noPath = "<none>";
const QByteArray tooLongPath = "<long>";

// An entry of the user's, its values told apart by seed; path may be noPath or tooLongPath.
struct UserEntry {
    QByteArray path;
    int seed;
};

QByteArray entryLines(int index, const UserEntry &entry)
{
    const QByteArray n = QByteArray::number(index);
    const QByteArray seed = QByteArray::number(entry.seed);
    auto number = [](int value) { return "dword:" + QByteArray::number(value, 16).rightJustified(8, '0') + "\n"; };
    QByteArray lines = "\"MenuName#" + n + "\"=\"Tool " + seed + "\"\n";
    // Seeds from 100 on stand for values longer than the 255-byte text buffer.
    const QByteArray arguments = entry.seed >= 100 ? "-arg " + QByteArray(300, 'a') : "-arg " + seed;
    lines += "\"DefaultArguments#" + n + "\"=\"" + (entry.seed == 0 ? viewerArguments : arguments) + "\"\n";
    lines += "\"InitialDirectory#" + n + "\"=\"$(WkspDir)\\\\" + (entry.seed >= 100 ? QByteArray(260, 'd') : seed) + "\"\n";
    lines += "\"AskArgument#" + n + "\"=" + number(entry.seed % 2);
    lines += "\"GUITool#" + n + "\"=" + number(1);
    lines += "\"OutputRedirect#" + n + "\"=" + number(0);
    lines += "\"CloseWindow#" + n + "\"=" + number(2 + entry.seed);
    lines += "\"UseSearchPath#" + n + "\"=" + number(0);
    lines += "\"VisibleOnMenu#" + n + "\"=" + number(1);
    lines += "\"ReloadNoPrompt#" + n + "\"=" + number(1000 + entry.seed);
    if (entry.path == tooLongPath)
        lines += "\"PathName#" + n + "\"=\"C:\\\\" + QByteArray(300, 'x') + "\"\n";
    else if (entry.path != noPath)
        lines += "\"PathName#" + n + "\"=\"" + escapedForHive(entry.path) + "\"\n";
    return lines;
}

QByteArray menuHive(const QList<UserEntry> &entries, const QByteArray &countLine)
{
    QByteArray lines = countLine;
    for (int i = 0; i < entries.size(); ++i)
        lines += entryLines(i, entries[i]);
    return hiveHeader + hiveSection(toolsKeyPath, lines);
}

QByteArray countLine(qint64 count) { return "\"NumTools\"=dword:" + QByteArray::number(count, 16).rightJustified(8, '0') + "\n"; }

QMap<QString, StoredValue> toolsValues(const QByteArray &hive) { return keyValues(hive, toolsKeyName); }

QMap<QString, StoredValue> productEntry(int index, const QByteArray &menuName, const QByteArray &arguments,
                                        const QByteArray &path)
{
    const QString n = QString::number(index);
    return {{QStringLiteral("MenuName#") + n, textValue(menuName)},
            {QStringLiteral("DefaultArguments#") + n, textValue(arguments)},
            {QStringLiteral("InitialDirectory#") + n, textValue("$ (WkspDir)")},
            {QStringLiteral("AskArgument#") + n, numberValue(0)},
            {QStringLiteral("GUITool#") + n, numberValue(1)},
            {QStringLiteral("OutputRedirect#") + n, numberValue(0)},
            {QStringLiteral("CloseWindow#") + n, numberValue(0)},
            {QStringLiteral("UseSearchPath#") + n, numberValue(0)},
            {QStringLiteral("VisibleOnMenu#") + n, numberValue(1)},
            {QStringLiteral("ReloadNoPrompt#") + n, numberValue(0)},
            {QStringLiteral("PathName#") + n, textValue(path)}};
}

struct Added {
    bool result;
    QStringList boxes;
};

Added addTools()
{
    BoxWatcher watcher;
    const bool result = addStudioTools(application());
    registrySave();
    return {result, watcher.texts()};
}

void removeTool(const char *pattern)
{
    removeStudioTool(pattern);
    registrySave();
}

QList<UserEntry> userEntries(int count)
{
    QList<UserEntry> entries;
    for (int i = 0; i < count; ++i)
        entries.append({"C:\\Tools\\tool" + QByteArray::number(i) + ".exe", i + 1});
    return entries;
}

} // namespace

class StudioToolsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { qputenv("TINDRALDIR", "C:\\Prod"); }
    void addsBothEntries_data();
    void addsBothEntries();
    void refusesToAdd_data();
    void refusesToAdd();
    void keepsTrailingBackslashOfProductDirectory();
    void appendsSecondPairWhenAskedAgain();
    void refusesPathsThatDoNotFit_data();
    void refusesPathsThatDoNotFit();
    void removes_data();
    void removes();
    void removesWithinSixteenPlacesOnly();
    void movesWriteTheLayoutsTypes();
    void installThenUninstallLeavesUserEntriesAsTheyWere();
};

void StudioToolsTest::addsBothEntries_data()
{
    QTest::addColumn<int>("count");
    QTest::newRow("empty menu") << 0;
    QTest::newRow("five entries") << 5;
    QTest::newRow("fourteen entries") << 14;
}

void StudioToolsTest::addsBothEntries()
{
    QFETCH(int, count);
    HiveFixture hive(menuHive(userEntries(count), countLine(count)));
    const auto before = toolsValues(hive.text());
    const Added added = addTools();
    QVERIFY(added.result);
    QCOMPARE(added.boxes, QStringList());
    auto expected = before;
    expected[QStringLiteral("NumTools")] = numberValue(count + 2);
    expected.insert(productEntry(count, "Corvessa Brackwater Tindral Viewer", viewerArguments,
                                 "C:\\Prod\\bin\\intel\\win32\\tindview.exe"));
    // The options entry's arguments are an empty string of one byte, not left out.
    expected.insert(productEntry(count + 1, "Corvessa Brackwater Tindral Options...", "",
                                 "C:\\Prod\\bin\\intel\\win32\\tindopts.exe"));
    QCOMPARE(toolsValues(hive.text()), expected);
}

void StudioToolsTest::refusesToAdd_data()
{
    QTest::addColumn<QByteArray>("hive");
    QTest::addColumn<QString>("box");
    const QString noRoom = QStringLiteral("Info: TOO MANY TOOLS INSTALLED. \n Free at least two spaces in the tools menu bar.");
    const QString noCount = QStringLiteral("Info: Corvessa Brackwater Tindral Error #2");
    QTest::newRow("fifteen entries") << menuHive(userEntries(15), countLine(15)) << noRoom;
    QTest::newRow("sixteen entries") << menuHive(userEntries(16), countLine(16)) << noRoom;
    QTest::newRow("largest count") << menuHive(userEntries(1), countLine(0x7fffffff)) << noRoom;
    QTest::newRow("no Tools key") << hiveHeader << QStringLiteral("Info: Corvessa Brackwater Tindral Error #1");
    QTest::newRow("no count") << menuHive(userEntries(2), {}) << noCount;
    QTest::newRow("count is a long string") << menuHive(userEntries(2), "\"NumTools\"=\"twelve\"\n") << noCount;
    QTest::newRow("negative count") << menuHive(userEntries(2), countLine(0xfffffffe)) << noCount;
}

void StudioToolsTest::refusesToAdd()
{
    QFETCH(QByteArray, hive);
    QFETCH(QString, box);
    HiveFixture fixture(hive);
    const Added added = addTools();
    QVERIFY(!added.result);
    QCOMPARE(added.boxes, QStringList(box));
    QCOMPARE(fixture.text(), hive); // the Tools key is neither created nor changed
}

void StudioToolsTest::keepsTrailingBackslashOfProductDirectory()
{
    qputenv("TINDRALDIR", "C:\\Prod\\");
    HiveFixture hive(menuHive({}, countLine(0)));
    QVERIFY(addTools().result);
    QCOMPARE(toolsValues(hive.text()).value(QStringLiteral("PathName#0")),
             textValue("C:\\Prod\\\\bin\\intel\\win32\\tindview.exe"));
}

void StudioToolsTest::appendsSecondPairWhenAskedAgain()
{
    HiveFixture hive(menuHive(userEntries(1), countLine(1)));
    QVERIFY(addTools().result);
    QVERIFY(addTools().result);
    const auto values = toolsValues(hive.text());
    QCOMPARE(values.value(QStringLiteral("NumTools")), numberValue(5));
    QCOMPARE(values.value(QStringLiteral("MenuName#3")), textValue("Corvessa Brackwater Tindral Viewer"));
    QCOMPARE(values.value(QStringLiteral("PathName#4")), textValue("C:\\Prod\\bin\\intel\\win32\\tindopts.exe"));
}

void StudioToolsTest::refusesPathsThatDoNotFit_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("fits");
    // "\bin\intel\win32\tindview.exe" adds 29 characters; an uninstall reads 254 back.
    QTest::newRow("longest that is found again") << 254 - 29 << true;
    QTest::newRow("one too long to be found") << 255 - 29 << false;
    QTest::newRow("beyond the path buffer") << 1024 - 29 << false;
    QTest::newRow("far too long") << 5000 << false;
}

void StudioToolsTest::refusesPathsThatDoNotFit()
{
    QFETCH(int, length);
    QFETCH(bool, fits);
    qputenv("TINDRALDIR", "C:\\" + QByteArray(length - 3, 'p'));
    const QByteArray text = menuHive(userEntries(1), countLine(1));
    HiveFixture hive(text);
    const Added added = addTools();
    QCOMPARE(added.result, fits);
    if (fits) {
        QCOMPARE(toolsValues(hive.text()).value(QStringLiteral("PathName#1")).data.size(), 255);
    } else {
        QCOMPARE(added.boxes, QStringList(QStringLiteral("Info: Corvessa Brackwater Tindral Error #4")));
        QCOMPARE(hive.text(), text);
    }
}

void StudioToolsTest::removes_data()
{
    QTest::addColumn<QList<UserEntry>>("entries");
    QTest::addColumn<QByteArray>("count");
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QList<int>>("remaining"); // positions in entries; empty with count unchanged: nothing done
    QTest::addColumn<bool>("changed");

    const QByteArray view = "C:\\Prod\\bin\\intel\\win32\\tindview.exe";
    const UserEntry a{"C:\\Tools\\a.exe", 0}, b{"C:\\Tools\\b.exe", 1}, c{"C:\\Tools\\c.exe", 2};
    const UserEntry viewer{view, 7};
    QTest::newRow("first") << QList<UserEntry>{viewer, a, b} << countLine(3) << QByteArray("tindview.exe")
                           << QList<int>{1, 2} << true;
    QTest::newRow("middle") << QList<UserEntry>{a, viewer, b} << countLine(3) << QByteArray("tindview.exe")
                            << QList<int>{0, 2} << true;
    QTest::newRow("last") << QList<UserEntry>{a, b, viewer} << countLine(3) << QByteArray("tindview.exe")
                          << QList<int>{0, 1} << true;
    QTest::newRow("no match") << QList<UserEntry>{a, b} << countLine(2) << QByteArray("tindview.exe") << QList<int>{0, 1}
                              << false;
    QTest::newRow("count 0") << QList<UserEntry>{viewer} << countLine(0) << QByteArray("tindview.exe") << QList<int>{0}
                             << false;
    QTest::newRow("no count") << QList<UserEntry>{viewer} << QByteArray() << QByteArray("tindview.exe") << QList<int>{0}
                              << false;
    QTest::newRow("two matches") << QList<UserEntry>{a, viewer, b, UserEntry{view, 8}} << countLine(4)
                                 << QByteArray("tindview.exe") << QList<int>{0, 2, 3} << true;
    QTest::newRow("other case") << QList<UserEntry>{UserEntry{"C:\\PROD\\TINDVIEW.EXE", 3}} << countLine(1)
                                << QByteArray("tindview.exe") << QList<int>{0} << false;
    QTest::newRow("directory part") << QList<UserEntry>{a, UserEntry{"C:\\tindview.exe\\other.exe", 3}} << countLine(2)
                                    << QByteArray("tindview.exe") << QList<int>{0} << true;
    QTest::newRow("empty pattern") << QList<UserEntry>{UserEntry{noPath, 3}, a, b} << countLine(3) << QByteArray()
                                   << QList<int>{0, 2} << true;
    QTest::newRow("path missing") << QList<UserEntry>{UserEntry{noPath, 3}, viewer} << countLine(2)
                                  << QByteArray("") << QList<int>{0} << true;
    QTest::newRow("path too long") << QList<UserEntry>{UserEntry{tooLongPath, 3}, viewer, a} << countLine(3)
                                   << QByteArray("C:\\") << QList<int>{0, 2} << true;
    QTest::newRow("long values move whole") << QList<UserEntry>{viewer, UserEntry{tooLongPath, 100}, UserEntry{"C:\\l.exe", 101}}
                                            << countLine(3) << QByteArray("tindview.exe") << QList<int>{1, 2} << true;
}

void StudioToolsTest::removes()
{
    QFETCH(QList<UserEntry>, entries);
    QFETCH(QByteArray, count);
    QFETCH(QByteArray, pattern);
    QFETCH(QList<int>, remaining);
    QFETCH(bool, changed);
    const QByteArray before = menuHive(entries, count);
    HiveFixture hive(before);
    removeTool(pattern.constData());
    if (!changed) {
        QCOMPARE(hive.text(), before);
        return;
    }
    // What is left is the remaining entries renumbered from 0, value for value.
    QList<UserEntry> kept;
    for (int position : remaining)
        kept.append(entries[position]);
    QCOMPARE(toolsValues(hive.text()), toolsValues(menuHive(kept, countLine(kept.size()))));
}

void StudioToolsTest::removesWithinSixteenPlacesOnly()
{
    // A count that nobody writes: the action looks at the 16 places and no further.
    QList<UserEntry> entries = userEntries(18);
    entries[3].path = "C:\\Prod\\bin\\intel\\win32\\tindopts.exe";
    HiveFixture hive(menuHive(entries, countLine(0x7fffffff)));
    const auto before = toolsValues(hive.text());
    removeTool("tindopts.exe");
    const auto after = toolsValues(hive.text());
    QCOMPARE(after.value(QStringLiteral("NumTools")), numberValue(15));
    QCOMPARE(after.value(QStringLiteral("PathName#3")), before.value(QStringLiteral("PathName#4")));
    QCOMPARE(after.value(QStringLiteral("PathName#14")), before.value(QStringLiteral("PathName#15")));
    QVERIFY(!after.contains(QStringLiteral("MenuName#15")));
    for (const QString &name : {QStringLiteral("MenuName#16"), QStringLiteral("PathName#17")})
        QCOMPARE(after.value(name), before.value(name));
}

void StudioToolsTest::movesWriteTheLayoutsTypes()
{
    QByteArray lines = countLine(2) + entryLines(0, {"C:\\Prod\\tindview.exe", 1}) + entryLines(1, {"x", 2});
    lines.replace("\"PathName#1\"=\"x\"", "\"PathName#1\"=str(2):\"%TOOLS%\\\\x.exe\"");
    lines.replace("\"CloseWindow#1\"=dword:00000004", "\"CloseWindow#1\"=hex(4):05,01");
    HiveFixture hive(hiveHeader + hiveSection(toolsKeyPath, lines));
    removeTool("tindview.exe");
    const auto after = toolsValues(hive.text());
    QCOMPARE(after.value(QStringLiteral("PathName#0")), textValue("%TOOLS%\\x.exe"));
    QCOMPARE(after.value(QStringLiteral("CloseWindow#0")), numberValue(0x105));
}

void StudioToolsTest::installThenUninstallLeavesUserEntriesAsTheyWere()
{
    HiveFixture hive(menuHive(userEntries(5), countLine(5)));
    const auto before = toolsValues(hive.text());
    QVERIFY(addTools().result);
    QCOMPARE(toolsValues(hive.text()).value(QStringLiteral("NumTools")), numberValue(7));
    removeTool("tindmain.exe");
    QCOMPARE(toolsValues(hive.text()).value(QStringLiteral("NumTools")), numberValue(7));
    removeTool("tindview.exe");
    const auto middle = toolsValues(hive.text());
    QCOMPARE(middle.value(QStringLiteral("NumTools")), numberValue(6));
    QCOMPARE(middle.value(QStringLiteral("PathName#5")), textValue("C:\\Prod\\bin\\intel\\win32\\tindopts.exe"));
    removeTool("tindopts.exe");
    QCOMPARE(toolsValues(hive.text()), before);
}

QTEST_MAIN(StudioToolsTest)
#include "tst_studiotools.moc"
