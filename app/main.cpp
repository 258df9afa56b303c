// ideweave: hooks the Tindral tools into Visual C++ 6.0 Developer Studio for the
// current user (-install) and takes them out again (-uninstall).
#include "devstudio/problems.h"
#include "devstudio/productdir.h"
#include "devstudio/registry.h"
#include "i18n/i18nutil.h"
#include "mode.h"
#include "status.h"
#include "plugininstall.h"
#include "report.h"
#include "runlog.h"

#include <QApplication>

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#else
#include <dlfcn.h>
#endif

namespace {

#ifdef _WIN32
// A program of the GUI subsystem has no console of its own. Quiet runs write to
// the standard handles they were given (a file or a pipe), and where there are
// none, to the console of the program that started them.
void connectStandardStreams()
{
    const auto usable = [](HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; };
    const struct {
        DWORD handleName;
        FILE *stream;
    } streams[] = {{STD_OUTPUT_HANDLE, stdout}, {STD_ERROR_HANDLE, stderr}};
    bool attached = false;
    for (const auto &standard : streams) {
        const HANDLE handle = GetStdHandle(standard.handleName);
        const int descriptor = _fileno(standard.stream);
        if (usable(handle)) {
            // The C library may not have taken over a handle given to a GUI program.
            if (descriptor < 0 || _get_osfhandle(descriptor) != reinterpret_cast<intptr_t>(handle)) {
                const int opened = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_TEXT);
                if (opened >= 0 && _dup2(opened, standard.stream == stdout ? 1 : 2) == 0)
                    std::setvbuf(standard.stream, nullptr, _IONBF, 0);
            }
            continue;
        }
        attached = attached || AttachConsole(ATTACH_PARENT_PROCESS);
        if (attached)
            std::freopen("CONOUT$", "w", standard.stream);
    }
}
#endif

// How a run ends, as installers read it: done, a problem shown or the save
// failed, no mode asked for, or refused before anything could change.
// A program that holds the registry (a running Wine or Developer Studio) makes
// it sysexits' EX_TEMPFAIL: the same run goes through once it is closed.
enum ExitStatus { ExitDone = 0, ExitProblem = 1, ExitUsage = 2, ExitHeld = 75, ExitRefused = -1 };
// With --detailed-exitcodes, whether the registry changed: nothing needed
// changing, changed and saved, a problem and nothing changed, both; usage.
enum DetailedExitStatus { DetailedUnchanged = 0, DetailedChanged = 2, DetailedProblem = 4, DetailedUsage = 64 };

int exitStatus(const RunOutcome &outcome, bool detailed)
{
    if (outcome.held)
        return ExitHeld;
    if (detailed) {
        if (!outcome.understood)
            return DetailedUsage;
        if (!outcome.saved)
            return DetailedProblem | (outcome.changed ? DetailedChanged : 0);
        return (outcome.changed ? DetailedChanged : DetailedUnchanged) | (outcome.problemShown ? DetailedProblem : 0);
    }
    if (!outcome.saved)
        return ExitProblem;
    if (!outcome.understood)
        return ExitUsage;
    return outcome.problemShown ? ExitProblem : ExitDone;
}

void printUsage()
{
    std::printf(
        "Usage: ideweave {-install|-uninstall} [-quiet] [--dry-run] [--detailed-exitcodes]\n"
        "                [--log FILE] [--tindraldir DIR]\n"
        "       ideweave -status [--log FILE] [--tindraldir DIR]\n"
        "       ideweave --help | --version\n"
        "\n"
        "Hooks the Tindral tools into Visual C++ 6.0 Developer Studio for the current\n"
        "user (-install), or takes them out again (-uninstall).\n"
        "\n"
        "  -install, -uninstall   what to do; any argument containing the word counts,\n"
        "                         and the last one decides\n"
        "  -quiet, --quiet        no window: problems on standard error, the outcome on\n"
        "                         standard output; needs no display\n"
        "  -status, --status      print where the product stands and change nothing:\n"
        "                         exit 0 installed, 3 not installed, 1 partly\n"
        "  --dry-run              do the whole run, print each change it would make,\n"
        "                         and save nothing\n"
        "  --detailed-exitcodes   exit 0 nothing needed changing, 2 changed, 4 a problem\n"
        "                         and nothing changed, 6 changed with a problem, 64 usage\n"
        "  --log FILE             append a record of the run to FILE: who ran it, on\n"
        "                         which registry, every message and change, the outcome\n"
        "  --tindraldir DIR       the product's installation directory for this run,\n"
        "                         in place of TINDRALDIR\n"
        "  -h, --help             this text\n"
        "  --version              the program's version\n"
        "\n"
        "Without --detailed-exitcodes: 0 done, 1 a problem was reported, 2 usage,\n"
        "255 the run could not start (nothing was changed). Always: 75 a program holds\n"
        "the registry (Wine, or Developer Studio on Windows): close it and run again.\n"
        "\n"
        "Environment:\n"
        "  TINDRALDIR        the product's installation directory (required, unless\n"
        "                    --tindraldir names it)\n"
        "  WINEPREFIX        the Wine prefix whose user.reg is changed (default ~/.wine)\n"
        "  HOME              the home of the default prefix (else the passwd entry's)\n"
        "  TMPDIR            where Debian's Wine keeps its server folders\n"
        "  DISPLAY, WAYLAND_DISPLAY   the display of the window\n"
        "  LANG, LC_ALL, LANGUAGE     the language of the texts and Wine's code page\n");
}

// In quiet mode no window is shown and no display is needed; the toolkit's own
// messages are kept off standard error, which carries the run's reports.
void prepareQuietMode()
{
#ifdef _WIN32
    connectStandardStreams();
#endif
    setQuietMode(true);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}

// How a run ends that the registry's state refused: for now, while a program
// holds it, or for good.
int refusal() { return registryHeld() ? int(ExitHeld) : int(ExitRefused); }

// The registry must be usable before anything is changed in it.
bool registryGate()
{
    if (registryUsable())
        return true;
    showWarning(QStringLiteral("Warning"),
                QStringLiteral("Cannot use the registry '%1': %2")
                    .arg(QString::fromStdString(registryLocation()), QString::fromStdString(registryProblem())));
    return false;
}

// A running Developer Studio would save its settings over the change: a run
// that would change something is refused; one that only reads says so and goes on.
bool studioGate(bool readOnly)
{
    const std::string problem = studioRunningProblem();
    if (problem.empty())
        return true;
    if (readOnly) {
        reportNote(QString::fromStdString(problem));
        return true;
    }
    showWarning(QStringLiteral("Warning"), QString::fromStdString(problem));
    return false;
}

// Installing writes product paths, which Windows programs must be able to open
// and the registry must be able to name.
bool productPathGate(const ProductDirectory &product)
{
    std::string problem = productDirectoryProblem(product.given);
    if (problem.empty())
        problem = codePageProblemOfText("TINDRALDIR", product.given);
    if (problem.empty())
        problem = product.problem;
    if (problem.empty())
        return true;
    registryRelease(); // no box waits while the registry is held
    showWarning(QStringLiteral("Warning"), QString::fromStdString(problem));
    return false;
}

#ifndef _WIN32
// Whether a display server answers, asked through its client library as the
// toolkit's platform plugin would ask it: a DISPLAY that names no reachable
// server would make the toolkit abort the process.
bool displayAnswers(const char *library, const char *connectName, const char *disconnectName, bool x11)
{
    void *client = ::dlopen(library, RTLD_NOW | RTLD_LOCAL);
    if (!client)
        return false;
    const auto disconnect = reinterpret_cast<void (*)(void *)>(::dlsym(client, disconnectName));
    void *connection = nullptr;
    bool answered = false;
    if (x11) {
        const auto connect = reinterpret_cast<void *(*)(const char *, int *)>(::dlsym(client, connectName));
        const auto hasError = reinterpret_cast<int (*)(void *)>(::dlsym(client, "xcb_connection_has_error"));
        connection = connect && hasError ? connect(nullptr, nullptr) : nullptr;
        answered = connection && hasError(connection) == 0;
    } else {
        const auto connect = reinterpret_cast<void *(*)(const char *)>(::dlsym(client, connectName));
        connection = connect ? connect(nullptr) : nullptr;
        answered = connection != nullptr;
    }
    if (connection && disconnect)
        disconnect(connection);
    ::dlclose(client);
    return answered;
}

bool x11Answers()
{
    return !qgetenv("DISPLAY").isEmpty() && displayAnswers("libxcb.so.1", "xcb_connect", "xcb_disconnect", true);
}

bool waylandAnswers()
{
    return !qgetenv("WAYLAND_DISPLAY").isEmpty() &&
           displayAnswers("libwayland-client.so.0", "wl_display_connect", "wl_display_disconnect", false);
}
#endif

// Whether the window system that the toolkit will use has a display to show the
// window on; without one the toolkit would abort the process.
bool displayAvailable(int argc, char **argv)
{
#ifdef _WIN32
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return true;
#else
    QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    for (int index = 1; index + 1 < argc; ++index) {
        if (qstrcmp(argv[index], "-platform") == 0 || qstrcmp(argv[index], "--platform") == 0)
            platform = argv[index + 1];
    }
    if (platform.isEmpty())
        return x11Answers() || waylandAnswers();
    if (platform.startsWith("xcb"))
        return x11Answers();
    if (platform.startsWith("wayland"))
        return waylandAnswers();
    return true; // offscreen, vnc and the like need no display
#endif
}

// The product directory of the run: --tindraldir, else TINDRALDIR; read once.
std::string givenProductDirectory(const Options &options)
{
#ifdef _WIN32
    // The layer's text on Windows is UTF-8, whatever the ANSI code page.
    const QString given = options.productDirectory.empty() ? qEnvironmentVariable("TINDRALDIR")
                                                           : argumentText(options.productDirectory);
    return given.toStdString();
#else
    return options.productDirectory.empty() ? qgetenv("TINDRALDIR").toStdString() : options.productDirectory;
#endif
}

QString productDirectoryText(const ProductDirectory &product)
{
#ifdef _WIN32
    return QString::fromStdString(product.given);
#else
    return QString::fromLocal8Bit(product.given.c_str());
#endif
}

// Without the catalogues an uninstall still takes the product out, untranslated:
// the product may have been removed first.
bool catalogueGate(QApplication *application, Mode mode, const ProductDirectory &product)
{
    bool catalogueMissing = false;
    const QString problem = loadTranslations(application, {QStringLiteral("ideweave_")}, productDirectoryText(product),
                                             localDirectoryText(product), &catalogueMissing);
    if (problem.isEmpty())
        return true;
    if (catalogueMissing && mode == ModeUninstall) {
        const QString why = problem.trimmed().remove(QStringLiteral("Fatal Error: "));
        reportNote(QStringLiteral("the catalogues are missing (%1): uninstalling untranslated").arg(why));
        return true;
    }
    registryRelease(); // no box waits while the registry is held
    showWarning(QStringLiteral("Warning"), problem, catalogueMissing ? Problem::NoCatalogues : Problem::NoProductDirectory);
    return false;
}

int queryStatus(const ProductDirectory &product)
{
    if (product.given.empty()) {
        showWarning(QStringLiteral("Warning"), QString::fromLatin1(problemText(Problem::NoProductDirectory).message),
                    Problem::NoProductDirectory);
        return ExitRefused;
    }
    if (!registryGate())
        return refusal();
    studioGate(true);
    const int status = reportStatus(product);
    registryRelease();
    return status;
}

const char *modeName(Mode mode)
{
    return mode == ModeInstall ? "install" : mode == ModeUninstall ? "uninstall" : "none";
}

// Notes in the log what the run changed, would change in a dry run, or could not save.
void logChanges(RunLog &log, const RunOutcome &outcome, bool dryRun)
{
    const QString label = dryRun ? QStringLiteral("would change") : outcome.changed ? QStringLiteral("change")
                                                                                     : QStringLiteral("not saved");
    for (const std::string &line : registryChangeLines())
        log.add(label, QString::fromUtf8(line.c_str()));
}

// The run proper, once the options are read; its exit status.
int run(int argc, char **argv, const Options &options, bool quiet, RunLog &log)
{
    const ProductDirectory product = locateProductDirectory(givenProductDirectory(options));
    if (options.status) {
        log.add(QStringLiteral("mode"), QStringLiteral("status"));
        return queryStatus(product);
    }
    if (!quiet && !displayAvailable(argc, argv)) {
        std::fputs("Warning: Cannot open the status window: no display. Run with -quiet to work without a window.\n",
                   stderr);
        return ExitRefused;
    }
    // The application object and the window live until the process ends.
    static QApplication *application = new QApplication(argc, argv);
    const Mode mode = modeFromArguments(argc, argv);
    log.add(QStringLiteral("mode"), QString::fromLatin1(modeName(mode)) + (options.dryRun ? QStringLiteral(", dry run") : QString()));
    // The prefix first: a missing one is no missing product.
    if (mode != ModeNone && !registryGate())
        return refusal();
    if (mode != ModeNone && !studioGate(options.dryRun))
        return ExitHeld;
    if (!catalogueGate(application, mode, product))
        return ExitRefused;
    // A quiet run needs no window, whose text would load the font database.
    static PluginInstall *window = quiet ? nullptr : createStatusWindow(application);
    if (mode == ModeInstall && !productPathGate(product))
        return ExitRefused;
    const RunOutcome outcome = window ? window->runMode(mode, product, options.dryRun)
                                      : runIntegration(application, nullptr, mode, product, options.dryRun);
    logChanges(log, outcome, options.dryRun);
    if (options.dryRun)
        for (const std::string &line : registryChangeLines())
            std::printf("would %s\n", QString::fromUtf8(line.c_str()).toLocal8Bit().constData());
    if (outcome.saved)
        log.add(QStringLiteral("outcome"), outcome.text);
    if (quiet && outcome.saved)
        std::printf("%s\n", outcome.text.toLocal8Bit().constData());
    // The usage outcome is the status window's text; a script's reader gets the way on.
    if (!outcome.understood)
        std::fputs("ideweave: no -install or -uninstall given: 'ideweave --help' lists the options\n", stderr);
    std::fflush(stdout);
    if (!quiet && outcome.saved) {
        window->show();
        application->exec();
    }
    return exitStatus(outcome, options.detailedExitcodes);
}

QString commandLine(int argc, char **argv)
{
    QStringList arguments;
    for (int index = 1; index < argc; ++index) {
        const QString argument = argumentText(argv[index]);
        arguments << (argument.isEmpty() || argument.contains(QLatin1Char(' ')) ? QLatin1Char('"') + argument + QLatin1Char('"')
                                                                                : argument);
    }
    return arguments.join(QLatin1Char(' '));
}

#ifdef _WIN32
// The command line as Windows gives it, each argument in UTF-8, so that no
// character of a path is lost to the ANSI code page.
std::vector<std::string> commandLineArguments()
{
    int count = 0;
    wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int index = 0; wide && index < count; ++index)
        arguments.push_back(QString::fromWCharArray(wide[index]).toStdString());
    LocalFree(wide);
    return arguments;
}
#endif

} // namespace

int main(int argc, char **argv)
{
#ifdef _WIN32
    std::vector<std::string> texts = commandLineArguments();
    std::vector<char *> arguments;
    for (std::string &text : texts)
        arguments.push_back(&text[0]);
    const int argumentCount = int(arguments.size());
    char **argumentValues = arguments.data();
#else
    const int argumentCount = argc;
    char **argumentValues = argv;
#endif
    const Options options = optionsFromArguments(argumentCount, argumentValues);
    const bool quiet = options.quiet || options.status || options.help || options.version || !options.unknownOption.empty() ||
                       !options.missingValue.empty();
    if (quiet)
        prepareQuietMode();
    if (options.help || options.version) {
        if (options.help)
            printUsage();
        else
            std::printf("ideweave %s\nCopyright (c) 2026 Brackwater Software\n"
                        "MIT licence: this is free software, and there is NO WARRANTY.\n", IDEWEAVE_VERSION);
        return ExitDone;
    }
    // An option of a newer program fails safe here: nothing is read or written.
    if (!options.unknownOption.empty() || !options.missingValue.empty()) {
        if (options.missingValue.empty())
            std::fprintf(stderr, "ideweave: unknown option '%s'\n", options.unknownOption.c_str());
        else
            std::fprintf(stderr, "ideweave: the option '%s' needs a value\n", options.missingValue.c_str());
        return options.detailedExitcodes ? int(DetailedUsage) : int(ExitUsage);
    }
    // The log is opened as the user who started the run, before anything is read or written.
    static RunLog log;
    QString logProblem;
    if (!options.logFile.empty() && !log.open(options.logFile, logProblem)) {
        std::fprintf(stderr, "ideweave: %s\n", logProblem.toLocal8Bit().constData());
        return ExitRefused;
    }
    log.add(QStringLiteral("command line"), commandLine(argumentCount, argumentValues));
    const int status = run(argc, argv, options, quiet, log);
    log.add(QStringLiteral("registry"), QString::fromUtf8(registryLocation().c_str()));
    for (const QString &message : reportedMessages())
        log.add(QStringLiteral("message"), message);
    if (log.finish(status, logProblem))
        return status;
    // The run is done; that its record is missing is a problem all the same.
    std::fprintf(stderr, "ideweave: %s\n", logProblem.toLocal8Bit().constData());
    if (options.detailedExitcodes)
        return status == DetailedUsage ? status : status | DetailedProblem;
    return status == ExitDone ? int(ExitProblem) : status;
}
