#include "apptest.h"

#include "devstudio/registry.h"
#include "winreg/hiveformat.h"
#include "winreg/unicode.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

BoxWatcher::BoxWatcher()
{
    connect(&m_timer, &QTimer::timeout, this, &BoxWatcher::dismissActiveBox);
    m_timer.start(10);
}

QStringList BoxWatcher::texts() const
{
    QStringList result;
    for (const auto &box : boxes)
        result << box.caption + QStringLiteral(": ") + box.text;
    return result;
}

void BoxWatcher::dismissActiveBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || box->buttons().isEmpty())
        return;
    boxes.append({box->windowTitle(), box->text(), int(box->buttons().size())});
    if (onBox)
        onBox();
    box->buttons().first()->click();
}

QMap<QString, StoredValue> keyValues(const QByteArray &hiveText, const QString &keyPath)
{
    QMap<QString, StoredValue> values;
    const std::string text = hiveText.toStdString();
    winreg::HiveLayout layout;
    winreg::FormatError error;
    if (!winreg::scanHive(text, layout, error))
        return values;
    const std::u16string wanted = winreg::foldCase(keyPath.toStdU16String());
    for (const auto &span : layout.sections) {
        if (winreg::foldCase(span.path) != wanted)
            continue;
        winreg::KeySection section;
        winreg::readSection(std::string_view(text).substr(span.begin, span.end - span.begin), span.firstLine, section,
                            error);
        for (const auto &value : section.values) {
            StoredValue stored{value.type, QByteArray::fromStdString(value.data)};
            if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ) {
                std::u16string utf16(value.data.size() / 2, u'\0');
                for (size_t i = 0; i < utf16.size(); ++i)
                    utf16[i] = char16_t(uchar(value.data[2 * i]) | uchar(value.data[2 * i + 1]) << 8);
                stored.data = QByteArray::fromStdString(winreg::utf16ToUtf8(utf16));
            }
            values.insert(QString::fromStdU16String(value.name), stored);
        }
    }
    return values;
}

StoredValue textValue(const QByteArray &text) { return {REG_SZ, text + QByteArray(1, '\0')}; }

StoredValue numberValue(quint32 number)
{
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char((number >> (8 * i)) & 0xFF);
    return {REG_DWORD, bytes};
}

QByteArray escapedForHive(const QByteArray &text)
{
    QByteArray escaped = text;
    return escaped.replace("\\", "\\\\").replace("\"", "\\\"");
}

QByteArray hiveSection(const QByteArray &keyPath, const QByteArray &lines)
{
    return "\n[" + keyPath + "] 1796580919\n#time=1dd85adc08b6136\n" + lines;
}

QByteArray userToolEntries(int count)
{
    QByteArray lines;
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        lines += "\"MenuName#" + n + "\"=\"Tool " + n + "\"\n";
        lines += "\"DefaultArguments#" + n + "\"=\"$(FileName) -" + n + "\"\n";
        lines += "\"InitialDirectory#" + n + "\"=\"$(WkspDir)\"\n";
        lines += "\"AskArgument#" + n + "\"=dword:00000000\n";
        lines += "\"GUITool#" + n + "\"=dword:00000001\n";
        lines += "\"OutputRedirect#" + n + "\"=dword:00000000\n";
        lines += "\"CloseWindow#" + n + "\"=dword:00000002\n";
        lines += "\"UseSearchPath#" + n + "\"=dword:00000000\n";
        lines += "\"VisibleOnMenu#" + n + "\"=dword:00000001\n";
        lines += "\"ReloadNoPrompt#" + n + "\"=dword:0000000" + QByteArray::number(i % 10) + "\n";
        lines += "\"PathName#" + n + "\"=\"C:\\\\Tools\\\\tool" + n + ".exe\"\n";
    }
    return lines;
}

QByteArray toolsSection(int count, const QByteArray &extraLines)
{
    return hiveSection(toolsKeyPath, "\"NumTools\"=dword:" + QByteArray::number(count, 16).rightJustified(8, '0') +
                                         "\n" + userToolEntries(count) + extraLines);
}

QByteArray directoriesSection(const QByteArray &pathDirs)
{
    return hiveSection(directoriesKeyPath, "\"Path Dirs\"=\"" + escapedForHive(pathDirs) + "\"\n");
}

QByteArray optionsSection(const QByteArray &lines) { return hiveSection(optionsKeyPath, lines); }
