// The registry layer on Windows: advapi32's registry, which is always there and
// saves itself, and Windows' own paths and ANSI code page.
#include "registry.h"

#include "keystore.h"

#include "winreg/unicode.h"

#include <cstring>

#include <tlhelp32.h>

// Developer Studio saves its Tools menu and directories when it closes, over
// whatever changed meanwhile: one running in this session would undo the run.
std::string studioRunningProblem()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return std::string();
    DWORD ownSession = 0, session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &ownSession);
    PROCESSENTRY32W process = {};
    process.dwSize = sizeof process;
    bool running = false;
    for (BOOL more = Process32FirstW(snapshot, &process); more && !running; more = Process32NextW(snapshot, &process))
        running = _wcsicmp(process.szExeFile, L"MSDEV.EXE") == 0 &&
                  (!ProcessIdToSessionId(process.th32ProcessID, &session) || session == ownSession);
    CloseHandle(snapshot);
    return running ? "Developer Studio (MSDEV.EXE) is running and would undo the change when it closes: "
                     "close Developer Studio, then run again"
                   : std::string();
}

namespace {

// Windows' own text for an error code, on one line.
std::string windowsErrorText(LONG status)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, DWORD(status), 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::u16string message(text, text + length);
    LocalFree(text);
    while (!message.empty() && (message.back() == u'\n' || message.back() == u'\r' || message.back() == u'.'))
        message.pop_back();
    return message.empty() ? "Windows error " + std::to_string(status) : winreg::utf16ToUtf8(message);
}

std::wstring wide(const std::string &text)
{
    const std::u16string units = winreg::utf8ToUtf16(text);
    return std::wstring(units.begin(), units.end());
}

// A key of HKEY_CURRENT_USER, opened for as long as the holder lives.
class OpenKey {
public:
    OpenKey(const std::string &path, REGSAM access, bool create)
    {
        m_status = create ? RegCreateKeyExW(HKEY_CURRENT_USER, wide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                            access, nullptr, &m_key, nullptr)
                          : RegOpenKeyExW(HKEY_CURRENT_USER, wide(path).c_str(), 0, access, &m_key);
    }
    ~OpenKey()
    {
        if (m_status == ERROR_SUCCESS)
            RegCloseKey(m_key);
    }
    OpenKey(const OpenKey &) = delete;
    OpenKey &operator=(const OpenKey &) = delete;
    LONG status() const { return m_status; }
    HKEY get() const { return m_key; }

private:
    HKEY m_key = nullptr;
    LONG m_status;
};

// advapi32's registry as the layer's seam: each write reaches it at once.
class WindowsRegistry : public KeyStore {
public:
    LONG open() override { return ERROR_SUCCESS; }
    LONG keyExists(const std::string &path) override { return OpenKey(path, KEY_READ, false).status(); }
    LONG read(const std::string &path, const std::string &name, StoredValue &value) override
    {
        value = StoredValue();
        const OpenKey key(path, KEY_QUERY_VALUE, false);
        if (key.status() != ERROR_SUCCESS)
            return key.status();
        const std::wstring valueName = wide(name);
        DWORD type = REG_NONE, size = 0;
        LONG status = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
        // The value may grow between the two calls; then its new size is asked again.
        for (int attempt = 0; status == ERROR_SUCCESS && attempt < 3; ++attempt) {
            std::string bytes(size, '\0');
            status = RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(&bytes[0]), &size);
            if (status == ERROR_SUCCESS) {
                bytes.resize(size);
                value = {true, type, std::move(bytes)};
                return ERROR_SUCCESS;
            }
            if (status == ERROR_MORE_DATA)
                status = ERROR_SUCCESS;
        }
        return status == ERROR_SUCCESS ? ERROR_MORE_DATA : status;
    }
    LONG write(const std::string &path, const std::string &name, const StoredValue &value) override
    {
        const OpenKey key(path, KEY_SET_VALUE, value.present);
        // Wine takes a NUL character after a string's data for its terminator:
        // what follows the data here is none, so that exactly the data is stored.
        const std::string data = value.data + "\xff\xff";
        LONG status = key.status();
        if (status == ERROR_SUCCESS)
            status = value.present ? RegSetValueExW(key.get(), wide(name).c_str(), 0, value.type,
                                                    reinterpret_cast<const BYTE *>(data.data()), DWORD(value.data.size()))
                                   : RegDeleteValueW(key.get(), wide(name).c_str());
        if (status != ERROR_SUCCESS)
            m_problem = windowsErrorText(status);
        return status;
    }
    SaveResult save() override
    {
        const LONG status = RegFlushKey(HKEY_CURRENT_USER);
        if (status == ERROR_SUCCESS)
            return SaveResult::Saved;
        m_problem = windowsErrorText(status);
        return SaveResult::WrittenAtRisk;
    }
    void release() override {}
    std::string problem() const override { return m_problem; }
    std::string location() const override { return "HKEY_CURRENT_USER"; }

private:
    std::string m_problem;
};

} // namespace

KeyStore &machineRegistry()
{
    static WindowsRegistry registry;
    return registry;
}

bool registryHoldsWritesUntilSave() { return false; }

bool registryFormOfPath(const std::string &localPath, std::string &registryPath, std::string &)
{
    // A relative path is taken from the current directory, as the program would find it.
    const bool absolute = !localPath.empty() && (localPath[0] == '\\' || localPath[0] == '/' ||
                                                 (localPath.size() >= 3 && localPath[1] == ':' &&
                                                  (localPath[2] == '\\' || localPath[2] == '/')));
    wchar_t full[MAX_PATH];
    const DWORD length = absolute ? 0 : GetFullPathNameW(wide(localPath).c_str(), MAX_PATH, full, nullptr);
    registryPath = length > 0 && length < MAX_PATH ? winreg::utf16ToUtf8(std::u16string(full, full + length)) : localPath;
    return true;
}

std::string localFormOfPath(const std::string &path) { return path; }

std::string codePageProblemOfText(const char *name, const std::string &value)
{
    const UINT codePage = GetACP();
    for (const wchar_t c : wide(value)) {
        char bytes[8];
        BOOL lost = FALSE;
        const int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, &c, 1, bytes, sizeof bytes, nullptr, &lost);
        if (length <= 0 || lost)
            return codePageProblem(name, static_cast<unsigned>(c), codePage);
    }
    return std::string();
}
