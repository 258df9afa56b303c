// The Wine-hive store: value forms read and written as Wine does, untouched keys
// kept byte for byte, malformed files refused and never rewritten, saves that
// replace the file whole, and no save while Wine runs for the prefix.
#include "../support/apptest.h"
#include "winreg/unicode.h"
#include "winreg/wineprefix.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A value as "<type> <its bytes in hex>", strings in UTF-8 with their
// terminator as stored, or "error <status>".
QString query(const char *keyPath, const char *name)
{
    HKEY key = nullptr;
    DWORD type = 0;
    std::string data;
    LONG status = regOpen(HKEY_CURRENT_USER, keyPath, &key);
    if (status == ERROR_SUCCESS)
        status = readValue(key, name, type, data);
    regClose(key);
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ)
        data = winreg::utf16ToUtf8(winreg::utf16FromBytes(data));
    return status ? QString("error %1").arg(status) : QString("%1 %2").arg(type).arg(QString(QByteArray::fromStdString(data).toHex()));
}

int save() { return int(registrySave()); }
const int saved = int(SaveResult::Saved), notWritten = int(SaveResult::NotWritten);

const char *storeProblem()
{
    static std::string problem;
    problem = registryProblem();
    return problem.c_str();
}
QString stored(uint type, const QByteArray &bytes) { return QString("%1 %2").arg(type).arg(QString(bytes.toHex())); }

LONG setString(const QByteArray &keyPath, const char *name, const char *text)
{
    HKEY key = nullptr;
    LONG status = regCreate(HKEY_CURRENT_USER, keyPath.constData(), &key);
    if (status == ERROR_SUCCESS)
        status = regSetString(key, name, text);
    regClose(key);
    return status;
}

// "server-<dev>-<inode>" of the prefix directory, the name of its server folders.
QString serverFolderName(const QString &prefix)
{
    struct stat info = {};
    ::stat(QFile::encodeName(prefix).constData(), &info);
    return QString("server-%1-%2").arg(qulonglong(info.st_dev), 0, 16).arg(qulonglong(info.st_ino), 0, 16);
}

// Takes the section whose header begins with header out of text.
QByteArray cutSection(QByteArray &text, const QByteArray &header)
{
    const qsizetype begin = text.indexOf("\n[" + header);
    const QByteArray cut = text.mid(begin, text.indexOf("\n[", begin + 1) - begin);
    text.remove(begin, cut.size());
    return cut;
}

} // namespace

class HiveStoreTest : public QObject {
    Q_OBJECT

private slots:
    void valueForms_data();
    void valueForms();
    void keyPathsAsWineReadsThem_data();
    void keyPathsAsWineReadsThem();
    void keysInEverySpelling_data();
    void keysInEverySpelling();
    void refusals_data();
    void refusals();
    void untouchedKeysKeptWhole();
    void saves();
    void runningWineserver_data();
    void runningWineserver();
    void noWineserverStartsDuringTheSave_data();
    void noWineserverStartsDuringTheSave();
};

void HiveStoreTest::valueForms_data()
{
    // How Wine writes each form: what the store writes, Wine reads (the conformance test).
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("name"); // null: the default value
    QTest::addColumn<QString>("value");
    auto form = [](const char *name, const QByteArray &line, const QByteArray &bytes, uint type = REG_SZ, const QByteArray &valueName = "V") {
        QTest::newRow(name) << line << valueName << stored(type, bytes);
    };
    form("escapes", R"("V"="a \"b\" \\ c")", QByteArray("a \"b\" \\ c", 10));
    form("beyond ASCII", R"("V"="\xe9\x20ac1")", QByteArray("\xc3\xa9\xe2\x82\xac" "1", 7));
    form("a hex digit after an escape", R"("V"="\x00e9a")", QByteArray("\xc3\xa9" "a", 4));
    form("controls", R"("V"="\t\n\e\0017")", QByteArray("\t\n\x1b\x01" "7", 6));
    form("raw UTF-8", "\"V\"=\"\xc3\xa9\"", QByteArray("\xc3\xa9", 3));
    form("expandable", R"("V"=str(2):"%P%")", QByteArray("%P%", 4), REG_EXPAND_SZ);
    form("multiple", R"("V"=str(7):"a\0b\0")", QByteArray("a\0b\0\0", 5), REG_MULTI_SZ);
    form("without terminator", R"("V"=hex(1):78,00,79,00)", "xy");
    form("a number", R"("V"=dword:fffffff9)", QByteArray("\xf9\xff\xff\xff", 4), REG_DWORD);
    form("a short number", R"("V"=hex(4):05,01)", QByteArray("\x05\x01", 2), REG_DWORD);
    form("a list on two lines", "\"V\"=hex(1c):00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n  16,17", QByteArray::fromHex("000102030405060708090a0b0c0d0e0f1011121314151617"), 0x1c);
    form("the default value", R"(@="d")", QByteArray("d", 2), REG_SZ, QByteArray());
    form("an escaped name", R"("a\"b\\c"=dword:00000001)", QByteArray("\1\0\0\0", 4), REG_DWORD, "a\"b\\c");
    form("a name twice: the last counts", "\"V\"=\"old\"\n\"v\"=\"new\"", QByteArray("new", 4));
    form("a CRLF line", "\"V\"=\"w\"\r", QByteArray("w", 2));
    // NULs inside a string are data, as Wine writes and reads them.
    form("NULs inside a string", R"("V"="This\0Breaks\0\0A\0")", QByteArray("This\0Breaks\0\0A\0", 16));
    // Wine drops a value whose name is longer than the registry takes.
    QTest::newRow("a name too long") << "\"" + QByteArray(16384, 'n') + "\"=\"x\"" << QByteArray(16384, 'n') << QString("error 2");
    form("the longest name", "\"" + QByteArray(16383, 'n') + "\"=\"x\"", QByteArray("x", 2), REG_SZ, QByteArray(16383, 'n'));
}

void HiveStoreTest::valueForms()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, name);
    QFETCH(QString, value);
    HiveFixture hive(hiveHeader + section("Software\\T", line + "\n"));
    QCOMPARE(query("Software\\T", name.isNull() ? nullptr : name.constData()), value);
}

void HiveStoreTest::keyPathsAsWineReadsThem_data()
{
    QTest::addColumn<QByteArray>("header"); // the key path as the file writes it
    QTest::newRow("a trailing backslash") << QByteArray("Software\\T\\");
    QTest::newRow("two trailing backslashes") << QByteArray("Software\\T\\\\");
    QTest::newRow("two backslashes between names") << QByteArray("Software\\\\T");
}

// Backslashes in a run separate as one, and trailing ones end nothing; a key
// written again gets its path in one plain form.
void HiveStoreTest::keyPathsAsWineReadsThem()
{
    QFETCH(QByteArray, header);
    HiveFixture hive(hiveHeader + section(header, "\"V\"=\"x\"\n"));
    QCOMPARE(query("Software\\T", "V"), stored(REG_SZ, QByteArray("x", 2)));
    QCOMPARE(setString(header, "W", "y"), ERROR_SUCCESS);
    QCOMPARE(save(), saved);
    QVERIFY2(hive.text().contains("\n[Software\\\\T] ") && !hive.text().contains("[" + header.replace("\\", "\\\\") + "]"),
             hive.text().constData());
    QCOMPARE(query("software\\t", "W"), stored(REG_SZ, QByteArray("y", 2)));
}

void HiveStoreTest::keysInEverySpelling_data()
{
    QTest::addColumn<QByteArray>("header"); // as the file has it between the brackets
    QTest::addColumn<QByteArray>("path"); // as a caller names the key, in UTF-8
    QTest::newRow("capitals") << QByteArray("SOFTWARE\\\\Caf\\\\T") << QByteArray("software\\caf\\t");
    QTest::newRow("UTF-8 beyond ASCII") << QByteArray("Software\\\\Caf\xc3\xa9\\\\T") << QByteArray("software\\CAF\xc3\x89\\t");
    QTest::newRow("an escape beyond ASCII") << QByteArray("Software\\\\Caf\\x00e9\\\\T") << QByteArray("SOFTWARE\\caf\xc3\xa9\\T");
}

// However the file spells a key, it and the keys above it are found by any
// spelling that folds as Wine folds it.
void HiveStoreTest::keysInEverySpelling()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, path);
    HiveFixture hive(hiveHeader + "\n[" + header + "] 1\n\"V\"=\"x\"\n");
    QCOMPARE(query(path.constData(), "V"), stored(REG_SZ, QByteArray("x", 2)));
    HKEY above = nullptr;
    QCOMPARE(regOpen(HKEY_CURRENT_USER, path.left(path.lastIndexOf('\\')).constData(), &above), LONG(ERROR_SUCCESS));
    regClose(above);
}

void HiveStoreTest::refusals_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("whenLoaded"); // or only when key S is read
    QTest::addColumn<QString>("problem");
    auto refused = [](const char *name, const QByteArray &text, bool whenLoaded, const char *problem) {
        QTest::newRow(name) << text << whenLoaded << QString::fromLatin1(problem);
    };
    auto inS = [](const QByteArray &lines) { return hiveHeader + section("S", lines); }; // lines from line 8 on
    // The structure: refused before anything can be used.
    refused("another first line", "REGEDIT4\n", true, "line 1: the first line is not \"WINE REGISTRY Version 2\"");
    refused("text before the keys", hiveHeader + "hello\n", true, "line 5: unexpected text before the first key");
    refused("an unclosed key", hiveHeader + "\n[Software\\\\T 1\n", true, "line 6: missing closing");
    refused("a key path beginning with a backslash", hiveHeader + "\n[\\\\Software] 1\n", true, "line 6: key path begins with a backslash");
    refused("not a value", inS("V=1\n"), true, "line 8: not a value line");
    refused("a continuation past the end", inS("\"V\"=hex:00,01,\\\n"), true, "line 8: ");
    refused("a key header inside hex data", inS("\"V\"=hex:00,\\\n[T] 1\n"), true, "line 8: bad hex data");
    refused("a string ending in a backslash", inS("\"V\"=\"x\\\n[T] 1\n"), true, "line 8: missing closing");
    refused("a key twice", inS("") + section("s", ""), true, "line 9: the key appears twice");
    // Wine's reader joins the line after a raw NUL byte to it, wherever it stands.
    refused("a raw NUL byte in a comment", inS(QByteArray(";a\0\n", 4)), true, "line 8: ");
    // Wine ignores a user.reg whose #arch is not that of the prefix's system.reg.
    refused("another architecture", QByteArray(hiveHeader).replace("win64", "win32"), true, "user.reg is marked #arch=win32 but");
    // Every #arch= line counts, and a blank after the name is no longer that name.
    refused("a second #arch line", hiveHeader + "#arch=win32\n", true, "user.reg is marked #arch=win32 but");
    refused("#arch with a trailing blank", QByteArray(hiveHeader).replace("win64", "win64 "), true,
            "user.reg is marked #arch=win64  (with a blank in it) but the prefix is win64");
    // Wine joins the next line to hex data at a backslash, whatever follows it:
    // here the Tools key's header, which Wine then never sees.
    refused("a blank after a hex line's backslash", inS("\"V\"=hex:00,01,\\ \n") + section("Software\\Tools", ""), true,
            "line 8: a backslash inside hex data");
    refused("a key name Wine drops", hiveHeader + section("Software\\" + QByteArray(257, 'k'), ""), true,
            "line 6: a key name of more than 256 characters");
    // Values: refused when their key is read.
    refused("an unclosed string", inS("\"V\"=\"x\n"), false, "line 8: missing closing");
    refused("an unknown escape", inS("\"V\"=\"a\\qb\"\n"), false, "line 8: unknown escape");
    refused("a bad number", inS("\"V\"=dword:123456789\n"), false, "line 8: bad dword");
    refused("an unknown type", inS("\"V\"=qword:1\n"), false, "line 8: unknown value type");
    refused("invalid UTF-8", inS("\"V\"=\"\xe9\"\n"), false, "line 8: ");
    refused("str(4), which Wine does not read as text", inS("\"V\"=str(4):\"x\"\n"), false, "line 8: str(4) is not a text type");
    // Wine knows the tags "str(2):" and "str(7):" as they are spelled, and no other.
    refused("str(02)", inS("\"V\"=str(02):\"x\"\n"), false, "line 8: str(02) is not a text type");
    // Wine follows a registry link, which the store does not: no run reads or writes through one.
    refused("a registry link", hiveHeader + section("S", "#link\n\"SymbolicLinkValue\"=hex(6):5c,00\n"), false,
            "the key HKEY_CURRENT_USER\\S is a registry link");
    refused("NUL in a name", inS("\"a\\0b\"=\"x\"\n"), false, "line 8: a NUL inside quoted text");
}

void HiveStoreTest::refusals()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, whenLoaded);
    QFETCH(QString, problem);
    HiveFixture hive(text);
    HKEY key = nullptr;
    if (whenLoaded) {
        QCOMPARE(runRegistry().open(), LONG(ERROR_BADDB));
    } else {
        // Other keys can be used until the malformed one is read.
        QCOMPARE(setString("Software\\Other", "V", "x"), ERROR_SUCCESS);
        QCOMPARE(query("S", "W"), "error 1009");
    }
    QVERIFY2(QString::fromUtf8(storeProblem()).startsWith(problem), storeProblem());
    // Every call fails from then on and nothing is ever written.
    QCOMPARE(regCreate(HKEY_CURRENT_USER, "Software\\New", &key), LONG(ERROR_BADDB));
    QCOMPARE(save(), notWritten);
    QCOMPARE(hive.text(), text);
}

void HiveStoreTest::untouchedKeysKeptWhole()
{
    // More text than is written at once, a line longer than that, odd text and a
    // value that is read only when its key is used, and no line end at the end.
    const auto keyPath = [](int key) {
        return "Software\\Group " + QByteArray::number(key / 3000).rightJustified(2, '0') + "\\Key " +
               QByteArray::number(key).rightJustified(6, '0');
    };
    QByteArray before = hiveHeader + section("Software\\Aa", "; a comment\n\"x\"=\"1\"\r\n\"q\"=qword:1\n");
    for (int key = 0; key < 60000; ++key)
        before += section(keyPath(key), "\"Data\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,\\\n"
                                        "  19,1a,1b,1c\n");
    before += section("Software\\Long", "\"V\"=\"" + QByteArray(3 << 20, 'x') + "\"\n") + section("Software\\Zlast", "\"W\"=\"1\"");
    HiveFixture hive(before);
    QCOMPARE(setString("Software\\Group 03", "Z", "new"), ERROR_SUCCESS);
    QCOMPARE(setString(keyPath(9010), "Z", "changed"), ERROR_SUCCESS);
    QCOMPARE(query("Software\\Long", "V").size(), 2 + 2 * ((3 << 20) + 1));
    QCOMPARE(query("Software\\Zlast", "W"), stored(REG_SZ, QByteArray("1", 2)));
    QCOMPARE(save(), saved);
    // Without the changed key and the new one, the file is what it was.
    QByteArray after = hive.text();
    const QByteArray changedHeader = keyPath(9010).replace("\\", "\\\\") + "]";
    const QByteArray changed = cutSection(after, changedHeader);
    // Written as Wine writes it: a hex list broken once a line passes 76 characters.
    QVERIFY2(changed.endsWith("\n\"Data\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n"
                              "  16,17,18,19,1a,1b,1c\n\"Z\"=\"changed\"\n"), changed.constData());
    QVERIFY(cutSection(after, "Software\\\\Group 03]").contains("\"Z\"=\"new\""));
    cutSection(before, changedHeader);
    QVERIFY(after == before);
}

void HiveStoreTest::saves()
{
    const QByteArray before = hiveHeader + section("S", "\"a\"=\"1\"\n");
    HiveFixture hive(before);
    // Changes never flushed are dropped.
    QCOMPARE(setString("S", "a", "2"), ERROR_SUCCESS);
    registryDiscard();
    QCOMPARE(hive.text(), before);
    // A run that changes nothing leaves the file alone.
    struct stat old, now;
    ::stat(QFile::encodeName(hive.hivePath()).constData(), &old);
    QCOMPARE(query("S", "a"), stored(REG_SZ, QByteArray("1", 2)));
    QCOMPARE(save(), saved);
    ::stat(QFile::encodeName(hive.hivePath()).constData(), &now);
    QVERIFY(now.st_ino == old.st_ino && now.st_mtim.tv_nsec == old.st_mtim.tv_nsec);
    // A file changed by another program since it was read is not overwritten.
    QCOMPARE(setString("S", "a", "2"), ERROR_SUCCESS);
    hive.setText(before + "\n");
    QCOMPARE(save(), notWritten);
    QCOMPARE(hive.text(), before + "\n");
    // A name given twice keeps the spelling of its first line, as Wine keeps it, and the data of its last.
    hive.setText(hiveHeader + section("S", "\"Twice\"=\"old\"\n\"TWICE\"=\"new\"\n\"a\"=\"1\"\n"));
    registryDiscard();
    startRegistryJournal(false);
    QCOMPARE(setString("S", "a", "2"), ERROR_SUCCESS);
    QCOMPARE(save(), saved);
    QVERIFY2(hive.text().contains("\n\"Twice\"=\"new\"\n") && !hive.text().contains("TWICE"), hive.text().constData());
    // A link stays a link, and the file it leads to keeps its permissions.
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath("real.reg");
    QVERIFY(QFile::rename(hive.hivePath(), target) && QFile::link(target, hive.hivePath()));
    QVERIFY(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    QCOMPARE(setString("S", "a", "3"), ERROR_SUCCESS);
    QCOMPARE(save(), saved);
    QVERIFY(QFileInfo(hive.hivePath()).isSymLink() && hive.text().contains("\"a\"=\"3\""));
    QCOMPARE(QFile::permissions(target), QFile::ReadOwner | QFile::ReadUser | QFile::WriteOwner | QFile::WriteUser | QFile::ReadGroup);
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::Files), QStringList("real.reg"));
}

void HiveStoreTest::runningWineserver_data()
{
    QTest::addColumn<bool>("serverTmpdir"); // the server's TMPDIR names a folder of the test's, as libpam-tmpdir sets it
    QTest::addColumn<bool>("runTmpdir");    // the run has the same TMPDIR
    // Only the lock held, in the server folder under that root, by a process that shows no wineserver,
    // as one in another PID namespace (a sandboxed Wine) shows none; "": a real wineserver.
    QTest::addColumn<QString>("lockOnly");
    QTest::newRow("in /tmp") << false << false << QString();
    QTest::newRow("under TMPDIR") << true << true << QString();
    QTest::newRow("under a TMPDIR the run does not have") << true << false << QString();
    QTest::newRow("only its lock, under TMPDIR") << true << true << "TMPDIR/wine-recorded";
    QTest::newRow("only its lock, in upstream's folder") << false << false << QString("/tmp/.wine-%1").arg(::getuid());
}

void HiveStoreTest::runningWineserver()
{
    // A running wineserver holds the registry and would overwrite the file: no
    // load, wherever its server folder lies, and where only its lock shows.
    QFETCH(bool, serverTmpdir);
    QFETCH(bool, runTmpdir);
    QFETCH(QString, lockOnly);
    if (QStandardPaths::findExecutable("wineserver").isEmpty())
        QSKIP("wineserver is not installed");
    const QByteArray before = hiveHeader + section("S", "\"a\"=\"1\"\n");
    HiveFixture hive(before);
    QTemporaryDir tmpdir;
    const QString tmp = serverTmpdir ? tmpdir.path() : QString();
    const QByteArray oldTmpdir = qgetenv("TMPDIR");
    runTmpdir ? qputenv("TMPDIR", tmp.toLocal8Bit()) : qunsetenv("TMPDIR");
    WineServerGuard wine(hive.prefix(), tmp);
    QProcess locker;
    const QString root = QString(lockOnly).replace("TMPDIR", tmp), folder = root + "/" + serverFolderName(hive.prefix());
    const bool rootExisted = QFileInfo::exists(root);
    if (lockOnly.isEmpty()) {
        QCOMPARE(wine.start(), 0);
    } else {
        // Debian's Wine names its folder under TMPDIR in the prefix's file "wineserver", of mode 0400.
        QFile recorded(hive.prefix() + "/wineserver");
        QVERIFY(recorded.open(QIODevice::WriteOnly) && recorded.write("wine-recorded") && recorded.setPermissions(QFile::ReadOwner));
        recorded.close();
        QVERIFY(QDir().mkpath(folder) && QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner) &&
                QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        locker.start("python3", {"-c", "import fcntl, sys, time\nf = open(sys.argv[1], 'w')\nfcntl.lockf(f, fcntl.LOCK_EX)\n"
                                       "print('locked', flush=True)\ntime.sleep(60)", folder + "/lock"});
        QVERIFY(locker.waitForReadyRead(10000));
    }
    QVERIFY(winreg::wineserverRunning(hive.prefix().toStdString()));
    QCOMPARE(setString("S", "a", "2"), LONG(ERROR_LOCK_VIOLATION));
    QVERIFY2(QString(storeProblem()).contains("Wine is running for the prefix " + hive.prefix()), storeProblem());
    registryDiscard();
    wine.stop();
    locker.kill();
    locker.waitForFinished();
    if (!lockOnly.isEmpty())
        QDir(rootExisted ? folder : root).removeRecursively();
    oldTmpdir.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTmpdir);
    QCOMPARE(hive.text(), before);
}

void HiveStoreTest::noWineserverStartsDuringTheSave_data()
{
    QTest::addColumn<bool>("lockAvailable");
    QTest::addColumn<bool>("serverTmpdirOfItsOwn"); // the server runs under a TMPDIR that the run does not have
    QTest::newRow("Wine's lock held") << true << false;
    QTest::newRow("no lock to be had") << false << false; // no server folder can be made for it
    QTest::newRow("a server under a TMPDIR of its own") << true << true;
}

void HiveStoreTest::noWineserverStartsDuringTheSave()
{
    // A wineserver started between the write of the new file and its rename would
    // read the old one and write it back when it exits.
    QFETCH(bool, lockAvailable);
    QFETCH(bool, serverTmpdirOfItsOwn);
    if (QStandardPaths::findExecutable("wineserver").isEmpty())
        QSKIP("wineserver is not installed");
    HiveFixture hive(hiveHeader + section("S", "\"a\"=\"1\"\n"));
    QTemporaryDir tmpdir, serverTmpdir;
    const QByteArray oldTmpdir = qgetenv("TMPDIR");
    qputenv("TMPDIR", tmpdir.path().toLocal8Bit());
    WineServerGuard wine(hive.prefix(), serverTmpdirOfItsOwn ? serverTmpdir.path() : tmpdir.path());
    int serverStatus = -1;
    beforeRename([&] { serverStatus = wine.start(); });
    failMkdtemp(!lockAvailable);
    QCOMPARE(setString("S", "a", "2"), ERROR_SUCCESS);
    const SaveResult result = registrySave();
    const QString problem = storeProblem();
    QVERIFY(result != SaveResult::NotWritten); // the new file is in place either way
    beforeRename({});
    failMkdtemp(false);
    const bool runningAfter = winreg::wineserverRunning(hive.prefix().toStdString());
    wine.stop();
    oldTmpdir.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", oldTmpdir);
    if (lockAvailable && !serverTmpdirOfItsOwn) {
        QCOMPARE(serverStatus, 2); // it found the lock taken and gave way
        QVERIFY(result == SaveResult::Saved);
        QVERIFY(!runningAfter);
        QVERIFY(hive.text().contains("\"a\"=\"2\""));
    } else { // the change may be undone: the run must not claim it is done
        QCOMPARE(serverStatus, 0);
        QVERIFY(runningAfter);
        QVERIFY(result == SaveResult::WrittenAtRisk);
        QVERIFY2(problem.contains("Wine started for the prefix " + hive.prefix()), qPrintable(problem));
        // Where Wine's lock could not be had, the problem says so and why.
        QCOMPARE(problem.contains("(Wine's lock could not be taken: cannot make a server folder under "), !lockAvailable);
    }
}

QTEST_GUILESS_MAIN(HiveStoreTest)
#include "tst_hivestore.moc"
