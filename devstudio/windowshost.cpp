// The registry layer on Windows: advapi32's registry, which is always there and
// saves itself, and Windows' own paths and ANSI code page.
#include "registry.h"

#include "journal.h"

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

std::string saveProblem;

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

} // namespace

bool registryUsable() { return true; }
bool registryHoldsWritesUntilSave() { return false; }
std::string registryLocation() { return "HKEY_CURRENT_USER"; }
std::string registryProblem() { return saveProblem; }

// The run's changes were held until now: they are written in the order made.
SaveResult registrySave()
{
    bool written = false;
    LONG status = journal::applyHeld(written);
    if (status == ERROR_SUCCESS)
        status = RegFlushKey(HKEY_CURRENT_USER);
    if (status == ERROR_SUCCESS)
        return SaveResult::Saved;
    saveProblem = windowsErrorText(status);
    return written ? SaveResult::WrittenAtRisk : SaveResult::NotWritten;
}
void registryRelease() {}

bool registryFormOfPath(const std::string &localPath, std::string &registryPath, std::string &)
{
    // A relative path is taken from the current directory, as the program would find it.
    const bool absolute = !localPath.empty() && (localPath[0] == '\\' || localPath[0] == '/' ||
                                                 (localPath.size() >= 3 && localPath[1] == ':' &&
                                                  (localPath[2] == '\\' || localPath[2] == '/')));
    char full[MAX_PATH];
    const DWORD length = absolute ? 0 : GetFullPathNameA(localPath.c_str(), sizeof full, full, nullptr);
    // The layer's text is UTF-8; the path has passed the code page's check.
    const std::string ansi = length > 0 && length < sizeof full ? std::string(full) : localPath;
    std::wstring wide(ansi.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), &wide[0], int(wide.size())));
    registryPath = winreg::utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
    return true;
}

std::string localFormOfPath(const std::string &path) { return path; }

std::string codePageProblemOfVariable(const char *name)
{
    const std::wstring wideName(name, name + std::strlen(name));
    const wchar_t *value = _wgetenv(wideName.c_str());
    if (!value)
        return std::string();
    const UINT codePage = GetACP();
    for (const wchar_t *c = value; *c; ++c) {
        char bytes[8];
        BOOL lost = FALSE;
        const int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, c, 1, bytes, sizeof bytes, nullptr, &lost);
        if (length <= 0 || lost)
            return codePageProblem(name, static_cast<unsigned>(*c), codePage);
    }
    return std::string();
}
