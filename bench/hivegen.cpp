// Writes a large Wine hive for the benchmark: the
// Developer Studio keys of a user with five Tools entries, and filler keys in
// Wine's own format (strings, numbers and binary data) up to the size asked for.
//   hivegen FILE MEGABYTES
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void writeDevStudioKeys(std::FILE *out)
{
    std::fputs("\n[Software\\\\Microsoft\\\\Devstudio\\\\6.0\\\\Build System\\\\Components\\\\Platforms\\\\Win32 (x86)"
               "\\\\Directories] 1796580919\n#time=1dd85adc08b6136\n"
               "\"Path Dirs\"=\"C:\\\\VC98\\\\BIN;C:\\\\windows\\\\system32\"\n",
               out);
    std::fputs("\n[Software\\\\Microsoft\\\\Devstudio\\\\6.0\\\\Tools] 1796580919\n#time=1dd85adc08b6136\n", out);
    for (int i = 0; i < 5; ++i) {
        std::fprintf(out, "\"MenuName#%d\"=\"Tool %d\"\n\"DefaultArguments#%d\"=\"\"\n\"InitialDirectory#%d\"=\"\"\n", i, i, i, i);
        for (const char *flag : {"AskArgument", "GUITool", "OutputRedirect", "CloseWindow", "UseSearchPath",
                                 "VisibleOnMenu", "ReloadNoPrompt"})
            std::fprintf(out, "\"%s#%d\"=dword:00000001\n", flag, i);
        std::fprintf(out, "\"PathName#%d\"=\"C:\\\\Tools\\\\tool%d.exe\"\n", i, i);
    }
    std::fputs("\"NumTools\"=dword:00000005\n", out);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: hivegen FILE MEGABYTES\n");
        return 2;
    }
    std::FILE *out = std::fopen(argv[1], "wb");
    if (!out)
        return 1;
    const long target = std::atol(argv[2]) * 1024L * 1024L;
    std::fputs("WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
               "#arch=win64\n",
               out);
    // Filler before and after the Developer Studio keys, as in a real hive, and
    // all keys in the order in which Wine writes them.
    for (int key = 0; std::ftell(out) < target; ++key) {
        if (key == 1000)
            writeDevStudioKeys(out);
        std::fprintf(out, "\n[%s\\\\Filler\\\\Group %04d\\\\Key %07d] 1796580919\n#time=1dd85adc08b6136\n",
                     key < 1000 ? "AppEvents" : "Software\\\\Wine", key / 100, key);
        std::fprintf(out, "\"Name\"=\"Value of key %d with some text \\\"quoted\\\" and \\\\ \\xe9\"\n", key);
        std::fprintf(out, "\"Count\"=dword:%08x\n", key);
        std::fprintf(out, "\"Data\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\n"
                          "  17,18,19,1a,1b,1c,1d,1e,1f\n");
        std::fprintf(out, "\"Path\"=str(2):\"%%SystemRoot%%\\\\system32\\\\%d.dll\"\n", key);
    }
    if (std::ftell(out) < 200000)
        writeDevStudioKeys(out);
    return std::fclose(out) == 0 ? 0 : 1;
}
