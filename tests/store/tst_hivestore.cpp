// The Wine-hive store: every value form read and written as Wine does, untouched
// keys kept byte for byte, malformed files refused and never rewritten, saves
// atomic, runs kept apart.
#include "../hivefixture.h"
#include "devstudio/registry.h"
#include "winreg/hiveformat.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray section(const QByteArray &path, const QByteArray &lines)
{
    return "\n[" + path + "] 1796580919\n#time=1dd85adc08b6136\n" + lines;
}

// Takes the section whose header begins with header out of text.
QByteArray cutSection(QByteArray &text, const QByteArray &header)
{
    const qsizetype begin = text.indexOf("\n[" + header);
    if (begin < 0)
        return QByteArray();
    const qsizetype next = text.indexOf("\n[", begin + 1);
    const qsizetype end = next < 0 ? text.size() : next;
    const QByteArray cut = text.mid(begin, end - begin);
    text.remove(begin, end - begin);
    return cut;
}

QByteArray queryBytes(const char *keyPath, const char *name, DWORD &type, LONG &status)
{
    HKEY key = nullptr;
    status = regOpen(HKEY_CURRENT_USER, keyPath, &key);
    if (status != ERROR_SUCCESS)
        return {};
    QByteArray buffer(4096, '\0');
    DWORD size = DWORD(buffer.size());
    status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(buffer.data()), &size);
    regClose(key);
    return buffer.left(int(size));
}

LONG setString(const char *keyPath, const char *name, const char *text)
{
    HKEY key = nullptr;
    LONG status = regCreate(HKEY_CURRENT_USER, keyPath, &key);
    if (status == ERROR_SUCCESS)
        status = regSetString(key, name, text);
    regClose(key);
    return status;
}

} // namespace

class HiveStoreTest : public QObject {
    Q_OBJECT

private slots:
    void readsEveryValueForm_data();
    void readsEveryValueForm();
    void writesValuesAsWineDoes_data();
    void writesValuesAsWineDoes();
    void wineHiveSectionsRewriteIdentically();
    void untouchedKeysStayByteForByte();
    void largeHiveKeptWhole_data();
    void largeHiveKeptWhole();
    void newKeysKeepExistingSpellingAndKeyOrder();
    void invalidUtf8BecomesReplacementCharacter();
    void rootKeyValues();
    void nameTwiceRewrittenOnce();
    void refusesHiveOfAnotherArchitecture();
    void refusesMalformedHive_data();
    void refusesMalformedHive();
    void missingPrefixOrHiveIsAProblem();
    void nothingWrittenWithoutFlush();
    void unchangedRunDoesNotRewrite();
    void failedSaveLeavesOldFileWhole();
    void saveKeepsLinkAndPermissions();
    void refusesSaveWhenFileChangedBehindIt();
    void waitsForAnotherRunsLock();
    void runningWineserverRefusedAtLoadAndSave();
};

void HiveStoreTest::readsEveryValueForm_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<uint>("type");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("string") << QByteArray(R"("V"="text")") << QByteArray("V") << uint(REG_SZ)
                            << QByteArray("text", 5);
    QTest::newRow("empty string") << QByteArray(R"("V"="")") << QByteArray("V") << uint(REG_SZ) << QByteArray("", 1);
    QTest::newRow("str:") << QByteArray(R"("V"=str:"x")") << QByteArray("V") << uint(REG_SZ) << QByteArray("x", 2);
    QTest::newRow("expand") << QByteArray(R"("V"=str(2):"%PATH%")") << QByteArray("V") << uint(REG_EXPAND_SZ)
                            << QByteArray("%PATH%", 7);
    QTest::newRow("multi") << QByteArray(R"("V"=str(7):"a\0b\0")") << QByteArray("V") << uint(REG_MULTI_SZ)
                           << QByteArray("a\0b\0\0", 5);
    QTest::newRow("dword") << QByteArray(R"("V"=dword:0000002a)") << QByteArray("V") << uint(REG_DWORD)
                           << QByteArray("\x2a\0\0\0", 4);
    QTest::newRow("binary") << QByteArray(R"("V"=hex:00,ff)") << QByteArray("V") << uint(REG_BINARY)
                            << QByteArray("\0\xff", 2);
    QTest::newRow("empty binary") << QByteArray(R"("V"=hex:)") << QByteArray("V") << uint(REG_BINARY) << QByteArray();
    QTest::newRow("short dword") << QByteArray(R"("V"=hex(4):05,00)") << QByteArray("V") << uint(REG_DWORD)
                                 << QByteArray("\x05\0", 2);
    QTest::newRow("unterminated string") << QByteArray(R"("V"=hex(1):78,00,79,00)") << QByteArray("V")
                                         << uint(REG_SZ) << QByteArray("xy");
    QTest::newRow("default value") << QByteArray(R"(@="d")") << QByteArray() << uint(REG_SZ) << QByteArray("d", 2);
    QTest::newRow("escapes") << QByteArray(R"("V"="Caf\xe9 \"q\" \\ back\t\033")") << QByteArray("V")
                             << uint(REG_SZ) << QByteArray("Caf\xc3\xa9 \"q\" \\ back\t\x1b", 19);
    QTest::newRow("padded hex escape") << QByteArray(R"("V"="\x20ac1\x00e9a")") << QByteArray("V") << uint(REG_SZ)
                                       << QByteArray("\xe2\x82\xac" "1\xc3\xa9" "a", 8);
    QTest::newRow("raw utf-8") << QByteArray("\"V\"=\"\xc3\xa9\"") << QByteArray("V") << uint(REG_SZ)
                               << QByteArray("\xc3\xa9", 3);
    QTest::newRow("escaped name") << QByteArray(R"("a\"b\\c"=dword:00000001)") << QByteArray("a\"b\\c")
                                  << uint(REG_DWORD) << QByteArray("\1\0\0\0", 4);
    QTest::newRow("continued hex") << QByteArray("\"V\"=hex(3):01,02,\\\n  03,\\\n  04") << QByteArray("V")
                                   << uint(REG_BINARY) << QByteArray("\1\2\3\4", 4);
    QTest::newRow("name twice, the last counts") << QByteArray("\"V\"=\"old\"\n\"v\"=\"new\"") << QByteArray("V")
                                                 << uint(REG_SZ) << QByteArray("new", 4);
    QTest::newRow("crlf line") << QByteArray("\"V\"=\"w\"\r") << QByteArray("V") << uint(REG_SZ)
                               << QByteArray("w", 2);
}

void HiveStoreTest::readsEveryValueForm()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, name);
    QFETCH(uint, type);
    QFETCH(QByteArray, bytes);
    HiveFixture hive(hiveHeader + section("Software\\\\T", line + "\n"));
    DWORD gotType = 0;
    LONG status = 0;
    const QByteArray got = queryBytes("Software\\T", name.isEmpty() ? nullptr : name.constData(), gotType, status);
    QCOMPARE(status, ERROR_SUCCESS);
    QCOMPARE(gotType, DWORD(type));
    QCOMPARE(got, bytes);
}

void HiveStoreTest::writesValuesAsWineDoes_data()
{
    QTest::addColumn<uint>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("line");

    QTest::newRow("string") << uint(REG_SZ) << QByteArray("a \"b\" \\ c", 10) << QByteArray(R"("V"="a \"b\" \\ c")");
    QTest::newRow("non-ascii") << uint(REG_SZ) << QByteArray("\xc3\xa9\xe2\x82\xac" "1", 7)
                               << QByteArray(R"("V"="\xe9\x20ac1")");
    QTest::newRow("hex digit after") << uint(REG_SZ) << QByteArray("\xc3\xa9" "a", 4)
                                     << QByteArray(R"("V"="\x00e9a")");
    QTest::newRow("controls") << uint(REG_SZ) << QByteArray("\t\n\x1b\x01" "7", 6)
                              << QByteArray(R"("V"="\t\n\e\0017")");
    QTest::newRow("expand") << uint(REG_EXPAND_SZ) << QByteArray("%P%", 4) << QByteArray(R"("V"=str(2):"%P%")");
    QTest::newRow("multi") << uint(REG_MULTI_SZ) << QByteArray("a\0b\0\0", 5) << QByteArray(R"("V"=str(7):"a\0b\0")");
    QTest::newRow("unterminated") << uint(REG_SZ) << QByteArray("xy") << QByteArray(R"("V"=hex(1):78,00,79,00)");
    QTest::newRow("dword") << uint(REG_DWORD) << QByteArray("\xf9\xff\xff\xff", 4)
                           << QByteArray(R"("V"=dword:fffffff9)");
    QTest::newRow("short dword") << uint(REG_DWORD) << QByteArray("\x05\x01", 2) << QByteArray(R"("V"=hex(4):05,01)");
    QTest::newRow("binary") << uint(REG_BINARY) << QByteArray("\0", 1) << QByteArray(R"("V"=hex:00)");
    QTest::newRow("other type") << uint(0x1c) << QByteArray("\1\2", 2) << QByteArray(R"("V"=hex(1c):01,02)");
    // Wine breaks hex lists after the column passes 76: 21 bytes on the first line here.
    QByteArray bytes;
    for (int i = 0; i < 64; ++i)
        bytes.append(char(i));
    QTest::newRow("long binary")
        << uint(REG_BINARY) << bytes
        << QByteArray("\"V\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\n"
                      "  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f,\\\n"
                      "  30,31,32,33,34,35,36,37,38,39,3a,3b,3c,3d,3e,3f");
}

void HiveStoreTest::writesValuesAsWineDoes()
{
    QFETCH(uint, type);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, line);
    HiveFixture hive;
    HKEY key = nullptr;
    QCOMPARE(regCreate(HKEY_CURRENT_USER, "Software\\T", &key), ERROR_SUCCESS);
    QCOMPARE(RegSetValueExA(key, "V", 0, type, reinterpret_cast<const BYTE *>(data.constData()), DWORD(data.size())),
             ERROR_SUCCESS);
    QCOMPARE(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    const QByteArray text = hive.text();
    QVERIFY2(text.contains("\n" + line + "\n"), text.constData());
    // And it reads back as written.
    DWORD gotType = 0;
    LONG status = 0;
    const QByteArray got = queryBytes("Software\\T", "V", gotType, status);
    QCOMPARE(status, ERROR_SUCCESS);
    QCOMPARE(gotType, DWORD(type));
    QCOMPARE(got, data);
    regClose(key);
}

void HiveStoreTest::wineHiveSectionsRewriteIdentically()
{
    // A hive that Wine wrote: every section, read and written again with its own
    // time stamps, comes out exactly as Wine wrote it.
    QFile file(QStringLiteral(IDEWEAVE_SAMPLE_HIVE));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const std::string text = file.readAll().toStdString();
    winreg::HiveLayout layout;
    winreg::FormatError error;
    QVERIFY2(winreg::scanHive(text, layout, error), error.reason.c_str());
    QVERIFY(layout.sections.size() > 20);
    static const QRegularExpression stamps(QStringLiteral(R"(\] (\d+)\n#time=([0-9a-f]+)\n)"));
    for (const auto &span : layout.sections) {
        const std::string original = text.substr(span.begin, span.end - span.begin);
        winreg::KeySection content;
        QVERIFY(winreg::readSection(original, span.firstLine, content, error));
        const auto match = stamps.match(QString::fromStdString(original));
        QVERIFY(match.hasMatch());
        const std::string rewritten = winreg::formatSection(content, match.captured(1).toLongLong(),
                                                            match.captured(2).toULongLong(nullptr, 16));
        QCOMPARE(QByteArray::fromStdString(rewritten), QByteArray::fromStdString(original));
    }
}

void HiveStoreTest::untouchedKeysStayByteForByte()
{
    // Odd text in untouched keys (comments, CRLF, key order, a value that is
    // read only when its key is used) survives.
    const QByteArray before = hiveHeader + section("Software\\\\B", "; a comment\n\"x\"=\"1\"\r\n") +
                              section("Software\\\\A", "\"y\"=dword:00000001\n\"z\"=\"old\"\n") +
                              section("Software\\\\C", "\"w\"=str(2):\"%W%\"\n\"q\"=qword:1\n");
    HiveFixture hive(before);
    QCOMPARE(setString("Software\\A", "z", "new"), ERROR_SUCCESS);
    QCOMPARE(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    const QByteArray after = hive.text();
    const QByteArray oldA = section("Software\\\\A", "\"y\"=dword:00000001\n\"z\"=\"old\"\n");
    QVERIFY(after.startsWith(hiveHeader + section("Software\\\\B", "; a comment\n\"x\"=\"1\"\r\n")));
    QVERIFY(after.endsWith(section("Software\\\\C", "\"w\"=str(2):\"%W%\"\n\"q\"=qword:1\n")));
    QVERIFY(!after.contains(oldA));
    static const QRegularExpression changed(
        QStringLiteral("\n\\[Software\\\\\\\\A\\] \\d+\n#time=[0-9a-f]+\n\"y\"=dword:00000001\n\"z\"=\"new\"\n"));
    QVERIFY2(changed.match(QString::fromUtf8(after)).hasMatch(), after.constData());
}

void HiveStoreTest::largeHiveKeptWhole_data()
{
    QTest::addColumn<bool>("inKeyOrder");
    QTest::addColumn<bool>("keyTwice");
    // A file in key order is read in two halves side by side.
    QTest::newRow("in key order") << true << false;
    QTest::newRow("out of key order") << false << false;
    QTest::newRow("a key twice, far apart") << true << true;
}

void HiveStoreTest::largeHiveKeptWhole()
{
    QFETCH(bool, inKeyOrder);
    QFETCH(bool, keyTwice);
    // More text than is read at once, a line longer than that, parents that
    // come back long after they were first seen, and no line end at the end.
    const auto keyPath = [inKeyOrder](int key) {
        const int group = inKeyOrder ? key / 3000 : key % 7;
        return QByteArray("Software\\\\Group ") + QByteArray::number(group).rightJustified(2, '0') + "\\\\Key " +
               QByteArray::number(key).rightJustified(6, '0');
    };
    QByteArray before = hiveHeader;
    int twiceLine = 0;
    for (int key = 0; key < 60000; ++key) {
        before += section(keyPath(key), "\"Data\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,"
                                        "15,16,17,18,\\\n  19,1a,1b,1c\n");
        if (keyTwice && key == 50000) {
            twiceLine = before.count('\n') + 2;
            before += section(keyPath(5), "");
        }
    }
    before += section("Software\\\\Long", "\"V\"=\"" + QByteArray(3 << 20, 'x') + "\"\n");
    before += section("Software\\\\Zlast", "\"W\"=\"1\"");
    HiveFixture hive(before);
    if (keyTwice) {
        QCOMPARE(winregOpenHive(), LONG(ERROR_BADDB));
        QCOMPARE(QString::fromUtf8(winregProblem()), QStringLiteral("line %1: the key appears twice").arg(twiceLine));
        return;
    }
    const QByteArray changedPath = keyPath(9010);
    QCOMPARE(setString("Software\\Group 03", "Z", "new"), ERROR_SUCCESS);
    QCOMPARE(setString(QByteArray(changedPath).replace("\\\\", "\\").constData(), "Z", "changed"), ERROR_SUCCESS);
    HKEY key = nullptr;
    QCOMPARE(regOpen(HKEY_CURRENT_USER, "Software\\Long", &key), ERROR_SUCCESS);
    DWORD size = 0;
    QCOMPARE(RegQueryValueExA(key, "V", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    QCOMPARE(size, DWORD((3 << 20) + 1));
    DWORD type = 0;
    LONG status = 0;
    QCOMPARE(queryBytes("Software\\Zlast", "W", type, status), QByteArray("1", 2));
    QCOMPARE(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    // Without the changed key and the new one, the file is what it was.
    QByteArray after = hive.text();
    const QByteArray changed = cutSection(after, changedPath + "]");
    QVERIFY(changed.contains("\"Data\"=hex:00,01,") && changed.contains("\"Z\"=\"changed\""));
    QVERIFY(cutSection(after, "Software\\\\Group 03]").contains("\"Z\"=\"new\""));
    cutSection(before, changedPath + "]");
    QCOMPARE(after.size(), before.size());
    QVERIFY(after == before);
}

void HiveStoreTest::newKeysKeepExistingSpellingAndKeyOrder()
{
    HiveFixture hive(hiveHeader + section("Software\\\\Alpha", "\"a\"=\"1\"\n") +
                     section("Software\\\\Zulu", "\"z\"=\"1\"\n"));
    HKEY key = nullptr;
    DWORD disposition = 0;
    QCOMPARE(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Brackwater Software\\Tindral", 0, nullptr, 0,
                             KEY_ALL_ACCESS, nullptr, &key, &disposition),
             ERROR_SUCCESS);
    QCOMPARE(disposition, DWORD(REG_CREATED_NEW_KEY));
    QCOMPARE(regSetString(key, "v", "1"), ERROR_SUCCESS);
    regClose(key);
    QCOMPARE(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    // Wine orders names by their small letters: "_" comes before them.
    QCOMPARE(setString("Software\\_first", "v", "1"), ERROR_SUCCESS);
    QCOMPARE(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    const QByteArray text = hive.text();
    const auto first = text.indexOf("[Software\\\\_first]");
    const auto alpha = text.indexOf("[Software\\\\Alpha]");
    const auto added = text.indexOf("[Software\\\\Brackwater Software\\\\Tindral]");
    const auto zulu = text.indexOf("[Software\\\\Zulu]");
    QVERIFY2(first >= 0 && alpha > first && added > alpha && zulu > added, text.constData());
}

void HiveStoreTest::invalidUtf8BecomesReplacementCharacter()
{
    HiveFixture hive;
    QCOMPARE(setString("Software\\T", "V", "a\xff" "b"), ERROR_SUCCESS);
    DWORD type = 0;
    LONG status = 0;
    QCOMPARE(queryBytes("Software\\T", "V", type, status), QByteArray("a\xef\xbf\xbd" "b", 6));
    QCOMPARE(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    QVERIFY(hive.text().contains(R"("V"="a\xfffdb")"));
}

void HiveStoreTest::rootKeyValues()
{
    // Wine keeps values set on HKEY_CURRENT_USER itself in a section with an empty path.
    const QByteArray rootSection = "\n[] 1796582351\n#time=1dd85adc08b6136\n\"Name\"=\"x\"\n";
    HiveFixture hive(hiveHeader + rootSection + section("Software\\\\T", "\"a\"=\"1\"\n"));
    BYTE data[16] = {};
    DWORD size = sizeof data;
    QCOMPARE(RegQueryValueExA(HKEY_CURRENT_USER, "Name", nullptr, nullptr, data, &size), ERROR_SUCCESS);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(data), int(size)), QByteArray("x", 2));
    HKEY root = nullptr;
    QCOMPARE(regOpen(HKEY_CURRENT_USER, "", &root), ERROR_SUCCESS);
    QCOMPARE(regSetString(root, "Other", "y"), ERROR_SUCCESS);
    regClose(root);
    QCOMPARE(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    QVERIFY2(hive.text().contains("\"Name\"=\"x\"\n\"Other\"=\"y\"\n"), hive.text().constData());
    QVERIFY(hive.text().indexOf("[]") < hive.text().indexOf("[Software"));

    // A hive without a root section gets one, first, once a root value is set.
    HiveFixture bare(hiveHeader + section("Software\\\\T", "\"a\"=\"1\"\n"));
    QCOMPARE(regSetString(HKEY_CURRENT_USER, "Name", "z"), ERROR_SUCCESS);
    QCOMPARE(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    const QByteArray text = bare.text();
    QVERIFY2(text.indexOf("\n[] ") > 0 && text.indexOf("\n[] ") < text.indexOf("[Software") &&
                 text.contains("\"Name\"=\"z\"\n"),
             text.constData());
}

void HiveStoreTest::nameTwiceRewrittenOnce()
{
    HiveFixture hive(hiveHeader + section("Software\\\\T", "\"V\"=\"old\"\n\"W\"=\"w\"\n\"V\"=\"older\"\n"));
    QCOMPARE(setString("Software\\T", "V", "new"), ERROR_SUCCESS);
    QCOMPARE(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    const QByteArray text = hive.text();
    QCOMPARE(text.count("\"V\"="), 1);
    QVERIFY2(text.contains("\"V\"=\"new\"\n\"W\"=\"w\"\n"), text.constData());
}

void HiveStoreTest::refusesHiveOfAnotherArchitecture()
{
    HiveFixture hive(QByteArray(hiveHeader).replace("#arch=win64", "#arch=win32") + section("S", "\"a\"=\"1\"\n"));
    QFile system(hive.prefix() + QStringLiteral("/system.reg"));
    QVERIFY(system.open(QIODevice::WriteOnly));
    system.write(hiveHeader);
    system.close();
    QCOMPARE(winregOpenHive(), LONG(ERROR_BADDB));
    QVERIFY2(QString::fromUtf8(winregProblem()).contains(QStringLiteral("#arch=win32 but the prefix is win64")),
             winregProblem());
    // The same architecture on both sides is fine.
    hive.setText(hiveHeader + section("S", "\"a\"=\"1\"\n"));
    winregRelease();
    QCOMPARE(winregOpenHive(), ERROR_SUCCESS);
}

void HiveStoreTest::refusesMalformedHive_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("whenLoaded"); // or only when key S is read
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("reason");

    // The structure: refused before anything can be used.
    QTest::newRow("wrong first line") << QByteArray("REGEDIT4\n") << true << 1 << QStringLiteral("first line");
    QTest::newRow("version 1") << QByteArray("WINE REGISTRY Version 1\n") << true << 1 << QStringLiteral("first line");
    QTest::newRow("empty file") << QByteArray() << true << 1 << QStringLiteral("first line");
    QTest::newRow("text before keys") << hiveHeader + "hello\n" << true << 5 << QStringLiteral("before the first key");
    QTest::newRow("unclosed key") << hiveHeader + "\n[Software\\\\T 1\n" << true << 6 << QStringLiteral("missing closing");
    QTest::newRow("empty key component") << hiveHeader + "\n[Software\\\\\\\\T] 1\n" << true << 6
                                         << QStringLiteral("empty component");
    QTest::newRow("junk after key") << hiveHeader + "\n[Software] 1 x\n" << true << 6 << QStringLiteral("after the key");
    QTest::newRow("not a value") << hiveHeader + section("S", "V=1\n") << true << 8 << QStringLiteral("not a value");
    QTest::newRow("truncated continuation") << hiveHeader + section("S", "\"V\"=hex:00,01,\\\n") << true << 8
                                            << QStringLiteral("past the end");
    QTest::newRow("key header inside hex data") << hiveHeader + section("S", "\"V\"=hex:00,\\\n[T] 1\n") << true << 8
                                                << QStringLiteral("bad hex data");
    QTest::newRow("string ending in a backslash") << hiveHeader + section("S", "\"V\"=\"x\\\n[T] 1\n") << true << 8
                                                  << QStringLiteral("missing closing");
    QTest::newRow("duplicate key") << hiveHeader + section("S", "") + section("s", "") << true << 9
                                   << QStringLiteral("twice");
    QTest::newRow("NUL in a key path") << hiveHeader + section("S\\000", "") << true << 6 << QStringLiteral("NUL");
    // Wine's reader joins the line after a raw NUL byte to it, wherever it stands.
    QTest::newRow("raw NUL byte in a key path") << hiveHeader + QByteArray("\n[S\0x] 1\n", 9) << true << 6
                                                << QStringLiteral("NUL");
    QTest::newRow("raw NUL byte in a comment") << hiveHeader + section("S", QByteArray(";a\0\n", 4)) << true << 8
                                               << QStringLiteral("NUL");
    // Values: refused when their key is read.
    QTest::newRow("no equals") << hiveHeader + section("S", "\"V\" \"x\"\n") << false << 8 << QStringLiteral("'='");
    QTest::newRow("unclosed string") << hiveHeader + section("S", "\"V\"=\"x\n") << false << 8
                                     << QStringLiteral("missing closing");
    QTest::newRow("bad escape") << hiveHeader + section("S", "\"V\"=\"a\\qb\"\n") << false << 8
                                << QStringLiteral("unknown escape");
    QTest::newRow("bad dword") << hiveHeader + section("S", "\"V\"=dword:12345678 9\n") << false << 8
                               << QStringLiteral("bad dword");
    QTest::newRow("long dword") << hiveHeader + section("S", "\"V\"=dword:123456789\n") << false << 8
                                << QStringLiteral("bad dword");
    QTest::newRow("bad hex") << hiveHeader + section("S", "\"V\"=hex:0g\n") << false << 8 << QStringLiteral("bad hex");
    QTest::newRow("bad hex type") << hiveHeader + section("S", "\"V\"=hex(z):00\n") << false << 8
                                  << QStringLiteral("bad hex type");
    QTest::newRow("unknown type") << hiveHeader + section("S", "\"V\"=qword:1\n") << false << 8
                                  << QStringLiteral("unknown value type");
    QTest::newRow("invalid utf-8") << hiveHeader + section("S", "\"V\"=\"\xe9\"\n") << false << 8
                                   << QStringLiteral("UTF-8");
    // What Wine reads as something else than the text it seems to hold.
    QTest::newRow("str(1)") << hiveHeader + section("S", "\"V\"=str(1):\"x\"\n") << false << 8
                            << QStringLiteral("str(1) is not a text type");
    QTest::newRow("str(4)") << hiveHeader + section("S", "\"V\"=str(4):\"x\"\n") << false << 8
                            << QStringLiteral("str(4) is not a text type");
    QTest::newRow("NUL in a string") << hiveHeader + section("S", "\"V\"=\"a\\0b\"\n") << false << 8
                                     << QStringLiteral("NUL");
    QTest::newRow("NUL in an expandable string") << hiveHeader + section("S", "\"V\"=str(2):\"a\\x0\"\n") << false
                                                 << 8 << QStringLiteral("NUL");
    QTest::newRow("NUL in a name") << hiveHeader + section("S", "\"V\\0\"=\"a\"\n") << false << 8
                                   << QStringLiteral("NUL");
}

void HiveStoreTest::refusesMalformedHive()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, whenLoaded);
    QFETCH(int, line);
    QFETCH(QString, reason);
    HiveFixture hive(text);
    HKEY key = nullptr;
    if (whenLoaded) {
        QCOMPARE(winregOpenHive(), LONG(ERROR_BADDB));
    } else {
        // Other keys can be used until the malformed one is read.
        QCOMPARE(regCreate(HKEY_CURRENT_USER, "Software\\Other", &key), ERROR_SUCCESS);
        QCOMPARE(regSetString(key, "V", "x"), ERROR_SUCCESS);
        QCOMPARE(regOpen(HKEY_CURRENT_USER, "S", &key), ERROR_SUCCESS);
        DWORD size = 0;
        QCOMPARE(RegQueryValueExA(key, "W", nullptr, nullptr, nullptr, &size), LONG(ERROR_BADDB));
    }
    const QString problem = QString::fromUtf8(winregProblem());
    QVERIFY2(problem.startsWith(QStringLiteral("line %1: ").arg(line)), qPrintable(problem));
    QVERIFY2(problem.contains(reason), qPrintable(problem));
    // Every call fails from then on and nothing is ever written.
    QCOMPARE(regCreate(HKEY_CURRENT_USER, "Software\\New", &key), LONG(ERROR_BADDB));
    QCOMPARE(RegFlushKey(HKEY_CURRENT_USER), LONG(ERROR_BADDB));
    QCOMPARE(hive.text(), text);
}

void HiveStoreTest::missingPrefixOrHiveIsAProblem()
{
    HiveFixture hive;
    QFile::remove(hive.hivePath());
    QCOMPARE(winregOpenHive(), LONG(ERROR_FILE_NOT_FOUND));
    QVERIFY(QString::fromUtf8(winregProblem()).contains(QStringLiteral("no user.reg")));
    QVERIFY(!QFile::exists(hive.hivePath()));

    qputenv("WINEPREFIX", QByteArray(hive.prefix().toLocal8Bit() + "/none"));
    winregRelease();
    QCOMPARE(winregOpenHive(), LONG(ERROR_FILE_NOT_FOUND));
    QVERIFY(QString::fromUtf8(winregProblem()).contains(QStringLiteral("does not exist")));
    QCOMPARE(QString::fromUtf8(winregHivePath()), hive.prefix() + QStringLiteral("/none/user.reg"));
    QVERIFY(!QDir(hive.prefix() + QStringLiteral("/none")).exists());
}

void HiveStoreTest::nothingWrittenWithoutFlush()
{
    const QByteArray before = hiveHeader + section("S", "\"a\"=\"1\"\n");
    HiveFixture hive(before);
    QCOMPARE(setString("S", "a", "2"), ERROR_SUCCESS);
    winregRelease(); // the run ends without saving
    QCOMPARE(hive.text(), before);
    DWORD type = 0;
    LONG status = 0;
    QCOMPARE(queryBytes("S", "a", type, status), QByteArray("1", 2));
}

void HiveStoreTest::unchangedRunDoesNotRewrite()
{
    HiveFixture hive(hiveHeader + section("S", "\"a\"=\"1\"\n"));
    struct stat before;
    QCOMPARE(::stat(hive.hivePath().toLocal8Bit().constData(), &before), 0);
    DWORD type = 0;
    LONG status = 0;
    queryBytes("S", "a", type, status);
    QCOMPARE(status, ERROR_SUCCESS);
    QCOMPARE(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    struct stat after;
    QCOMPARE(::stat(hive.hivePath().toLocal8Bit().constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

void HiveStoreTest::failedSaveLeavesOldFileWhole()
{
    const QByteArray before = hiveHeader + section("S", "\"a\"=\"1\"\n");
    HiveFixture hive(before);
    // A directory where the new file must go makes the write fail, even for root.
    QVERIFY(QDir().mkpath(hive.hivePath() + QStringLiteral(".ideweave-new")));
    QCOMPARE(setString("S", "a", "2"), ERROR_SUCCESS);
    QCOMPARE(RegFlushKey(HKEY_CURRENT_USER), LONG(ERROR_WRITE_FAULT));
    QVERIFY(QString::fromUtf8(winregProblem()).contains(QStringLiteral("cannot create")));
    QCOMPARE(hive.text(), before);
}

void HiveStoreTest::saveKeepsLinkAndPermissions()
{
    HiveFixture hive;
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("real.reg"));
    QVERIFY(QFile::rename(hive.hivePath(), target));
    QVERIFY(QFile::link(target, hive.hivePath()));
    QVERIFY(::chmod(target.toLocal8Bit().constData(), 0640) == 0);
    QCOMPARE(setString("S", "a", "1"), ERROR_SUCCESS);
    QCOMPARE(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    QVERIFY(QFileInfo(hive.hivePath()).isSymLink());
    QFile real(target);
    QVERIFY(real.open(QIODevice::ReadOnly));
    QVERIFY(real.readAll().contains("\"a\"=\"1\""));
    struct stat info;
    QCOMPARE(::stat(target.toLocal8Bit().constData(), &info), 0);
    QCOMPARE(info.st_mode & 07777, mode_t(0640));
    QVERIFY(!QFile::exists(target + QStringLiteral(".ideweave-new")));
}

void HiveStoreTest::refusesSaveWhenFileChangedBehindIt()
{
    HiveFixture hive(hiveHeader + section("S", "\"a\"=\"1\"\n"));
    QCOMPARE(setString("S", "a", "2"), ERROR_SUCCESS);
    const QByteArray newer = hiveHeader + section("S", "\"a\"=\"from wine\"\n");
    hive.setText(newer);
    QCOMPARE(RegFlushKey(HKEY_CURRENT_USER), LONG(ERROR_WRITE_FAULT));
    QVERIFY(QString::fromUtf8(winregProblem()).contains(QStringLiteral("changed")));
    QCOMPARE(hive.text(), newer);
}

void HiveStoreTest::waitsForAnotherRunsLock()
{
    HiveFixture hive(hiveHeader + section("S", "\"a\"=\"1\"\n"));
    // Another process holds the lock for a moment; the load waits for it.
    QProcess holder;
    holder.start(QStringLiteral("flock"), {hive.prefix(), QStringLiteral("sleep"), QStringLiteral("1")});
    QVERIFY(holder.waitForStarted());
    QThread::msleep(200);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(winregOpenHive(), ERROR_SUCCESS);
    QVERIFY(timer.elapsed() >= 500);
    QVERIFY(holder.waitForFinished());
    winregRelease();
}

namespace {

// Plays a running wineserver for a prefix: a child process holds a write lock on
// the lock file of the server directory, as Debian's Wine names it.
class FakeWineserver {
public:
    explicit FakeWineserver(const QString &prefix)
    {
        struct stat info;
        ::stat(prefix.toLocal8Bit().constData(), &info);
        const QString name = QStringLiteral("ideweave-test-%1").arg(::getpid());
        QFile nameFile(prefix + QStringLiteral("/wineserver"));
        nameFile.open(QIODevice::WriteOnly);
        nameFile.write(name.toLatin1());
        m_directory = QStringLiteral("/tmp/") + name;
        const QString serverDirectory = m_directory + QStringLiteral("/server-%1-%2")
                                                          .arg(qulonglong(info.st_dev), 0, 16)
                                                          .arg(qulonglong(info.st_ino), 0, 16);
        QDir().mkpath(serverDirectory);
        m_lockPath = (serverDirectory + QStringLiteral("/lock")).toLocal8Bit();
    }
    ~FakeWineserver()
    {
        stop();
        QDir(m_directory).removeRecursively();
    }
    void start()
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        m_child = ::fork();
        if (m_child == 0) {
            const int fd = ::open(m_lockPath.constData(), O_RDWR | O_CREAT, 0600);
            struct flock lock = {};
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            ::fcntl(fd, F_SETLKW, &lock);
            (void)::write(ready[1], "x", 1);
            ::pause();
            ::_exit(0);
        }
        char byte;
        (void)::read(ready[0], &byte, 1);
        ::close(ready[0]);
        ::close(ready[1]);
    }
    void stop()
    {
        if (m_child > 0) {
            ::kill(m_child, SIGKILL);
            ::waitpid(m_child, nullptr, 0);
        }
        m_child = -1;
    }

private:
    QString m_directory;
    QByteArray m_lockPath;
    pid_t m_child = -1;
};

} // namespace

void HiveStoreTest::runningWineserverRefusedAtLoadAndSave()
{
    const QByteArray before = hiveHeader + section("S", "\"a\"=\"1\"\n");
    HiveFixture hive(before);
    FakeWineserver server(hive.prefix());
    server.start();
    QCOMPARE(winregOpenHive(), LONG(ERROR_LOCK_VIOLATION));
    QVERIFY2(QString::fromUtf8(winregProblem()).contains(QStringLiteral("Wine is running for the prefix ") + hive.prefix()),
             winregProblem());
    server.stop();
    winregRelease();
    // Wine starts after the hive was read: the save is refused all the same.
    QCOMPARE(setString("S", "a", "2"), ERROR_SUCCESS);
    server.start();
    QCOMPARE(RegFlushKey(HKEY_CURRENT_USER), LONG(ERROR_LOCK_VIOLATION));
    QCOMPARE(hive.text(), before);
}

QTEST_GUILESS_MAIN(HiveStoreTest)
#include "tst_hivestore.moc"
