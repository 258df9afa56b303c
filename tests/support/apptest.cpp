#include "apptest.h"

#include <cerrno>

#include "winreg/hiveformat.h"
#include "winreg/unicode.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QProcess>


HiveFixture::HiveFixture(const QByteArray &hiveText, bool withRoot)
{
    qputenv("WINEPREFIX", m_dir.path().toLocal8Bit());
    QDir(m_dir.path()).mkpath("dosdevices");
    QDir(m_dir.path()).mkpath("drive_c");
    QFile::link("../drive_c", m_dir.filePath("dosdevices/c:"));
    if (withRoot)
        QFile::link("/", m_dir.filePath("dosdevices/z:"));
    QFile system(m_dir.filePath("system.reg"));
    if (system.open(QIODevice::WriteOnly))
        system.write(hiveHeader);
    setText(hiveText);
    registryRelease();
    startRegistryJournal(false); // each prefix is a run of its own
}

HiveFixture::~HiveFixture()
{
    // The server folder that a run made for this prefix, as Debian's Wine names it, goes with it.
    QFile recorded(m_dir.filePath("wineserver"));
    const QString folder = recorded.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(recorded.readLine()) : QString();
    if (!folder.isEmpty() && !folder.contains('/'))
        for (const QString &root : {qEnvironmentVariable("TMPDIR", "/tmp"), QStringLiteral("/tmp")})
            QDir(root + "/" + folder).removeRecursively();
}

QByteArray HiveFixture::text() const
{
    QFile file(hivePath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void HiveFixture::setText(const QByteArray &text) const
{
    QFile file(hivePath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

QByteArray hiveQuoted(const QByteArray &text)
{
    return QByteArray(text).replace("\\", "\\\\").replace("\"", "\\\"");
}

QByteArray section(const QByteArray &keyPath, const QByteArray &lines)
{
    return "\n[" + QByteArray(keyPath).replace("\\", "\\\\") + "] 1796580919\n#time=1dd85adc08b6136\n" + lines;
}

namespace {

QByteArray entryLines(int index, const QByteArray &program)
{
    const QByteArray n = QByteArray::number(index);
    auto text = [&](const char *stem, const QByteArray &data) { return "\"" + QByteArray(stem) + n + "\"=\"" + hiveQuoted(data) + "\"\n"; };
    const bool viewer = program.endsWith("\\bin\\intel\\win32\\tindview.exe");
    const bool product = viewer || program.endsWith("\\bin\\intel\\win32\\tindopts.exe");
    const QByteArray menuName = viewer ? "Corvessa Brackwater Tindral Viewer" : product ? "Corvessa Brackwater Tindral Options..." : "Tool " + program;
    const QByteArray arguments = viewer ? "*.fdc *.tsf tndout.spt tndout.tio tndout.tdf tndout.tqf tndout.tpf" : product ? "" : "-a " + program;
    QByteArray lines = text("MenuName#", menuName) + text("DefaultArguments#", arguments) +
                       text("InitialDirectory#", product ? "$ (WkspDir)" : "$(WkspDir)");
    const int flags[] = {0, 1, 0, product ? 0 : int(program.size()), 0, 1, product ? 0 : int(program.size() % 7)};
    const char *const stems[] = {"AskArgument#", "GUITool#", "OutputRedirect#", "CloseWindow#",
                                 "UseSearchPath#", "VisibleOnMenu#", "ReloadNoPrompt#"};
    for (int i = 0; i < 7; ++i)
        lines += "\"" + QByteArray(stems[i]) + n + "\"=dword:" + QByteArray::number(flags[i], 16).rightJustified(8, '0') + "\n";
    return program.isEmpty() ? lines : lines + text("PathName#", program);
}

} // namespace

QByteArray menu(const QList<QByteArray> &programs, const char *count)
{
    const QByteArray data = count ? QByteArray(count) : "dword:" + QByteArray::number(programs.size(), 16).rightJustified(8, '0');
    QByteArray lines = data.isEmpty() ? QByteArray() : "\"NumTools\"=" + data + "\n";
    for (int i = 0; i < programs.size(); ++i)
        lines += programs[i] == "-" ? QByteArray() : entryLines(i, programs[i]);
    return section(ToolsKey, lines);
}

QByteArray directories(const QByteArray &pathDirs)
{
    return section(DirectoriesKey, "\"Path Dirs\"=\"" + hiveQuoted(pathDirs) + "\"\n");
}

QByteArray options(const QByteArray &restorePath, bool marker)
{
    return section(OptionsKey, (marker ? "\"ACTIVATION\"=hex:00\n" : "") +
                                   (restorePath.isNull() ? QByteArray() : "\"Restore Path\"=\"" + hiveQuoted(restorePath) + "\"\n"));
}

QString programKeys(const QByteArray &hiveText)
{
    const std::string text = hiveText.toStdString();
    std::vector<winreg::SectionSpan> spans;
    size_t preambleEnd = 0;
    winreg::FormatError error;
    const auto collect = [&](winreg::SectionSpan &span, winreg::FormatError &) { return spans.push_back(span), true; };
    if (!winreg::scanHive(text, preambleEnd, collect, error))
        return "unreadable: " + QString::fromStdString(error.reason);
    QStringList lines;
    for (const auto &span : spans) {
        winreg::KeySection key;
        const QString path = QString::fromStdU16String(span.folded);
        if (!QStringList{ToolsKey, DirectoriesKey, OptionsKey}.contains(path, Qt::CaseInsensitive) ||
            !winreg::readSection(std::string_view(text).substr(span.begin, span.end - span.begin), span.firstLine, key, error))
            continue;
        for (const auto &value : key.values) {
            const bool isText = value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
            const QByteArray data = QByteArray::fromStdString(isText ? winreg::utf16ToUtf8(winreg::utf16FromBytes(value.data)) : value.data);
            lines << QString("%1\\%2 %3 %4").arg(path.toLower(), QString::fromStdU16String(value.name), QString::number(value.type),
                                                 isText ? QString::fromUtf8(data) : QString::fromLatin1(data.toHex()));
        }
    }
    lines.sort(Qt::CaseInsensitive);
    return lines.join('\n');
}

BoxWatcher::BoxWatcher()
{
    connect(&m_timer, &QTimer::timeout, this, [this]() {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible() || box->buttons().isEmpty())
            return;
        boxes << box->windowTitle() + QStringLiteral(": ") + box->text();
        if (onBox)
            onBox();
        box->buttons().first()->click();
    });
    m_timer.start(10);
}

namespace {

// The run's registry behind a door that refuses to write one value's name.
class RefusingRegistry : public KeyStore {
public:
    QByteArray refused;
    LONG open() override { return runRegistry().open(); }
    LONG keyExists(const std::string &path) override { return runRegistry().keyExists(path); }
    LONG read(const std::string &path, const std::string &name, StoredValue &value) override
    {
        return runRegistry().read(path, name, value);
    }
    LONG write(const std::string &path, const std::string &name, const StoredValue &value) override
    {
        if (value.present && QByteArray::fromStdString(name) == refused)
            return ERROR_ACCESS_DENIED;
        return runRegistry().write(path, name, value);
    }
    SaveResult save() override { return runRegistry().save(); }
    void release() override { runRegistry().release(); }
    std::string problem() const override { return runRegistry().problem(); }
    std::string location() const override { return runRegistry().location(); }
};

RefusingRegistry refusingRegistry;

} // namespace

void failWritesOf(const QByteArray &valueName)
{
    refusingRegistry.refused = valueName;
    interposeRegistry(valueName.isEmpty() ? nullptr : &refusingRegistry);
}

// Test programs are linked with --wrap=rename and --wrap=mkdtemp: the store's replacement of the hive
// and its making of a Wine server folder.
static std::function<void()> renameHook;
static bool mkdtempFails = false;
extern "C" int __real_rename(const char *, const char *);
extern "C" int __wrap_rename(const char *from, const char *to)
{
    if (renameHook)
        renameHook();
    return __real_rename(from, to);
}
extern "C" char *__real_mkdtemp(char *);
extern "C" char *__wrap_mkdtemp(char *pattern)
{
    if (mkdtempFails) {
        errno = EACCES;
        return nullptr;
    }
    return __real_mkdtemp(pattern);
}

void beforeRename(const std::function<void()> &hook) { renameHook = hook; }
void failMkdtemp(bool fail) { mkdtempFails = fail; }

WineServerGuard::WineServerGuard(const QString &prefix, const QString &tmpdir) : m_prefix(prefix), m_tmpdir(tmpdir) {}

int WineServerGuard::start(const QStringList &arguments) const
{
    m_started = true;
    QProcess server;
    server.setProcessEnvironment(environment());
    server.start("wineserver", arguments);
    return server.waitForFinished(30000) ? server.exitCode() : -1;
}

void WineServerGuard::stop() const
{
    QProcess killer;
    killer.setProcessEnvironment(environment());
    killer.start("sh", {"-c", "wineserver -k 2>/dev/null; wineserver -w"});
    killer.waitForFinished(30000);
}

QProcessEnvironment WineServerGuard::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("WINEPREFIX", m_prefix);
    environment.insert("WINEDEBUG", "-all");
    if (m_tmpdir.isEmpty())
        environment.remove("TMPDIR");
    else
        environment.insert("TMPDIR", m_tmpdir);
    return environment;
}
