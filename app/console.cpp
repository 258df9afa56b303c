// ideweave.com, the console twin of ideweave.exe. A prompt or PowerShell finds
// "ideweave.com" before "ideweave.exe" and waits for a console program: this
// one starts ideweave.exe from its own folder with the same arguments, hands it
// its standard handles, waits for it and exits with its status.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// What follows the program's name on the command line, as Windows passes it:
// a name in quotes ends at the closing quote, any other at the first blank.
const wchar_t *argumentsOf(const wchar_t *commandLine)
{
    const wchar_t *at = commandLine;
    if (*at == L'"') {
        at = std::wcschr(at + 1, L'"');
        at = at ? at + 1 : commandLine + std::wcslen(commandLine);
    } else {
        while (*at && *at != L' ' && *at != L'\t')
            ++at;
    }
    while (*at == L' ' || *at == L'\t')
        ++at;
    return at;
}

std::wstring siblingProgram()
{
    std::wstring path(MAX_PATH, L'\0');
    DWORD length;
    while ((length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()))) == path.size())
        path.resize(path.size() * 2);
    path.resize(length);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + L"ideweave.exe";
}

// A file or pipe is handed on; a console is not, since a program without a
// console of its own cannot write to it on Windows 7: ideweave.exe then
// attaches itself to this program's console.
HANDLE handedOn(DWORD standard)
{
    const HANDLE handle = GetStdHandle(standard);
    DWORD mode;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || GetConsoleMode(handle, &mode))
        return nullptr;
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return handle;
}

} // namespace

int main()
{
    const std::wstring program = siblingProgram();
    std::wstring commandLine = L"\"" + program + L"\" " + argumentsOf(GetCommandLineW());
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = handedOn(STD_INPUT_HANDLE);
    startup.hStdOutput = handedOn(STD_OUTPUT_HANDLE);
    startup.hStdError = handedOn(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        const DWORD error = GetLastError();
        std::fwprintf(stderr, L"ideweave: cannot start %ls (Windows error %lu): keep ideweave.com beside ideweave.exe\n",
                      program.c_str(), error);
        return -1; // as ideweave.exe says that nothing was changed
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = DWORD(-1);
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    return int(status);
}
