// The problems that the integration actions and the shell's gates report, each
// with its caption, its message (source texts for the catalogues) and, for runs
// that nobody watches, what to do about it; and the sink the actions report to,
// which the shell implements with its boxes.
#pragma once

enum class Problem {
    NoToolsKey,
    NoToolCount,
    NoRoomForTools,
    ProgramPathTooLong,
    NoDirectoriesKey,
    SearchPathUnreadable,
    SearchPathNotWritten,
    KeptPathNotWritten,
    NoKeptPath,
    NoDirectoriesKeyAtRestore,
    RestoreNotWritten,
    NoProductDirectory,
    NoCatalogues,
};

struct ProblemText {
    const char *caption;
    const char *message;
    const char *remedy;
};
const ProblemText &problemText(Problem problem);

class ProblemSink {
public:
    virtual void report(Problem problem) = 0;

protected:
    ~ProblemSink() = default;
};
