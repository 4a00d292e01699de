// The program: a small table of modes (the editor, the scripted settings, the
// key probe, the help pager, the session report, the alignment sheet and its
// printing, help and version), each saying what it needs: its arguments, the
// form file, the console.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "editor/alignment_sheet.h"
#include "editor/form_loader.h"
#include "editor/receipt_editor.h"
#include "editor/receipt_messages.h"
#include "editor/receipt_settings.h"
#include "editor/settings_script.h"
#include "editor/sheet_printing.h"
#include "editor/stationery_preview.h"
#include "format/preferences.h"
#include "format/text_utils.h"
#include "input/calculator.h"
#include "input/calendar.h"
#include "input/field_editor.h"
#include "input/form_engine.h"
#include "input/key_probe.h"
#include "input/keyboard.h"
#include "input/list_browser.h"
#include "platform/platform.h"
#include "platform/printing.h"
#include "records/record_files.h"
#include "records/record_manager.h"
#include "screen/colours.h"
#include "screen/help.h"
#include "screen/screen.h"
#include "screen/windows.h"
#include "text/language.h"
#include "session/arguments.h"
#include "session/session.h"
#include "session/session_report.h"
#include "text/cp850.h"
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "screen/win32_console.h"
#else
#include <unistd.h>

#include "screen/terminal_console.h"
#endif

namespace {

// The codes the scripted modes share with the others are theirs.
enum ExitCode {
    kOk = qp::kScriptDone,
    kNoConsole = 1,
    kBadForm = 2,
    kSaveFailed = qp::kScriptNotSaved,
    kNotWritten = qp::kScriptNotSaved,
    kUsage = qp::kScriptUsage,
    kNoInput = qp::kScriptNoInput,
    kUnavailable = 69,  // EX_UNAVAILABLE: no such printer, no printing service
};

// What one run has to work with; filled as far as its mode needs.
struct Program {
    qp::SystemPlatform platform;
    qp::Session session;
    std::unique_ptr<qp::Translator> translator;
    // A language file that is there but may not be used.
    std::optional<qp::Message> languageProblem;
    qp::FormTables tables;
    std::unique_ptr<qp::Console> console;
};

// Code page 850 as the terminal shows it. A POSIX terminal expects UTF-8, in
// which every control byte but LF becomes its harmless PC glyph; the Windows
// console is set to the OEM code page and would act on such a byte, which
// becomes a blank there.
void Print(qp::Platform& platform, std::FILE* stream, const std::string& cp850) {
    std::string bytes;
    for (char c : cp850) {
        if (c == '\n')
            bytes += c;
        else if (platform.IsWindowsHost())
            bytes += qp::ControlBytesAsBlanks(std::string(1, c));
        else
            bytes += qp::Cp850ToUtf8(std::string(1, c));
    }
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

// A message on standard error: its text, then the system's words on a line
// of their own, marked as detail. Each is one line whatever the texts hold.
void Tell(qp::Platform& platform, const qp::Message& message) {
    Print(platform, stderr, "qplayout: " + qp::ControlBytesAsBlanks(message.text) + "\n");
    if (!message.detail.empty())
        Print(platform, stderr, "qplayout: detail: " + qp::ControlBytesAsBlanks(message.detail) + "\n");
}

void Tell(Program& p, const std::vector<qp::Message>& messages) {
    for (const qp::Message& message : messages) Tell(p.platform, message);
}

bool StandardOutputIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return ::isatty(STDOUT_FILENO) != 0;
#endif
}

int RunEditor(Program& p, const std::vector<std::string>&) {
    qp::Session& session = p.session;
    qp::Console& console = *p.console;
    qp::Screen screen(console);
    qp::Colours colours(screen, session.colourTable);
    qp::Windows windows(screen, colours, p.platform, session.TempDir);
    qp::Keyboard keyboard(console);
    qp::Help help(windows, p.platform, session.HostKind, session.LanguageCode, p.translator.get());
    // One reading of Tarn.ini at start-up for the settings and the preferences.
    qp::IniReading tarnIni(p.platform, session.RootDir + "Tarn.ini", qp::kLargeFileLimit);
    qp::UserPreferences preferences(tarnIni);
    qp::TextUtils text;
    // Alt+X and Alt+C work in every key read from here on.
    qp::Calculator calculator(keyboard, windows, colours, preferences, p.platform, session.TerminalDir);
    qp::Calendar calendar(keyboard, windows, colours, preferences, session.LanguageCode, session.WorkDate);
    keyboard.SetHotKeyHandlers([&calculator] { return calculator.CalculatorPopup(); },
                               [&calendar] { return calendar.CalendarPopup(); });
    qp::FieldEditor fieldEditor(keyboard, windows, colours, text);
    qp::ReceiptSettings settings(p.tables, tarnIni);
    qp::ReceiptEditor editor(p.tables, settings, windows, colours, keyboard, *p.translator, preferences,
                             session.SessionTitle);
    std::unique_ptr<qp::RecordManager> manager = qp::ChooseRecordManager();
    qp::Random random(static_cast<std::uint64_t>(p.platform.HundredthsSinceMidnight()));
    qp::RecordFiles records(*manager, windows, p.platform, random, session.LanguageCode);
    // The engine opens lists with F4 and the list browser runs screens: each needs the other.
    qp::ListPopup* lists = nullptr;
    qp::FormEngine engine(p.tables, editor, fieldEditor, keyboard, windows, colours, help, session.MenuName,
                          [&lists](std::int16_t list) { return lists->ListBrowser(list); });
    qp::ListPopup listPopup(p.tables, editor, engine, records, keyboard, windows, colours, p.platform, session.TempDir);
    lists = &listPopup;
    // Alt+V shows the paper, with the number being typed in a row field; F9 there prints it.
    qp::SystemPrinting printing;
    qp::StationeryPreview preview(p.tables, windows, colours, keyboard, *p.translator, printing);
    keyboard.AddHotKey(qp::key::AltV, [&preview, &engine] { return preview.PreviewPopup(engine.FieldBeingEdited()); });
    qp::EditResult result = editor.EditReceiptLayout(engine);

    std::int16_t status = 0;
    records.ResetRecordFiles(status);
    p.console.reset();  // the terminal is the operator's again
    // Told again where it stays: the box was on the program's own screen.
    switch (result.outcome) {
    case qp::EditResult::Outcome::SaveFailed: Tell(p.platform, result.message); return kSaveFailed;
    case qp::EditResult::Outcome::Refused: Tell(p.platform, result.message); return kNoInput;
    case qp::EditResult::Outcome::Saved:
    case qp::EditResult::Outcome::NothingToSave: break;
    }
    return kOk;
}

// What went wrong when standard output did not take everything written to
// it (a full disk, a closed pipe): a mode's output lost must not end as done.
std::optional<std::string> StandardOutputFault() {
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) return std::nullopt;
    return std::string("standard output: ") + std::strerror(errno);
}

// The exit code of a mode that wrote to standard output, told why it failed.
int Finished(Program& p, const std::optional<std::string>& fault, qp::Said what, int exitCode) {
    if (!fault) return exitCode;
    Tell(p.platform, qp::Say(*p.translator, what, {}, *fault));
    return kNotWritten;
}

template <typename Run>
int WithScript(Program& p, Run run) {
    qp::ReceiptSettings settings(p.platform, p.tables, p.session.RootDir + "Tarn.ini");
    qp::SettingsScript script(settings, p.tables, *p.translator);
    qp::ScriptResult result = run(script);
    Print(p.platform, stdout, result.output);
    const std::optional<std::string> fault = StandardOutputFault();
    Tell(p, result.messages);
    return Finished(p, fault, qp::Said::OutputNotWritten, result.exitCode);
}

int RunGet(Program& p, const std::vector<std::string>& args) {
    return WithScript(p, [&](qp::SettingsScript& script) { return script.Get(args); });
}

int RunSet(Program& p, const std::vector<std::string>& args) {
    return WithScript(p, [&](qp::SettingsScript& script) { return script.Set(args); });
}

int RunCheck(Program& p, const std::vector<std::string>&) {
    return WithScript(p, [](qp::SettingsScript& script) { return script.Check(); });
}

int RunKeys(Program& p, const std::vector<std::string>&) {
    qp::Keyboard keyboard(*p.console);
    return qp::RunKeyProbe(*p.console, keyboard);
}

int RunHelpPage(Program& p, const std::vector<std::string>& args) {
    qp::Screen screen(*p.console);
    qp::Colours colours(screen, p.session.colourTable);
    qp::Windows windows(screen, colours, p.platform, p.session.TempDir);
    qp::Help help(windows, p.platform, p.session.HostKind, p.session.LanguageCode, p.translator.get());
    help.ShowHelp(args[0]);
    return kOk;
}

int RunSession(Program& p, const std::vector<std::string>&) {
    std::string report = qp::DescribeSession(p.session);
    if (p.languageProblem) report += "Problem: " + p.languageProblem->detail + "\n";
    const std::string tarnIni = p.session.RootDir + "Tarn.ini";
    qp::FileReading reading;
    qp::ReadConfigurationFile(p.platform, tarnIni, reading);
    Print(p.platform, stdout,
          report + qp::DescribeTarnIni(tarnIni, reading.state != qp::FileReading::State::Missing, reading.problem));
    return Finished(p, StandardOutputFault(), qp::Said::OutputNotWritten, kOk);
}

// To a file or a pipe the sheet goes byte for byte, for the printer: no
// UTF-8, and on Windows no line-end translation of its CR LF. A terminal
// shows it as it shows any text.
int RunSheet(Program& p, const std::vector<std::string>&) {
    qp::ReceiptSettings settings(p.platform, p.tables, p.session.RootDir + "Tarn.ini");
    qp::ScriptResult sheet = qp::MakeAlignmentSheet(settings, p.tables, *p.translator);
    if (sheet.exitCode == kNoInput) {
        Tell(p, sheet.messages);
        return sheet.exitCode;
    }
    if (StandardOutputIsTerminal()) {
        Print(p.platform, stdout, qp::AlignmentSheetShown(sheet.output));
    } else {
#ifdef _WIN32
        _setmode(_fileno(stdout), _O_BINARY);
#endif
        std::fwrite(sheet.output.data(), 1, sheet.output.size(), stdout);
    }
    const std::optional<std::string> fault = StandardOutputFault();
    Tell(p, sheet.messages);
    return Finished(p, fault, qp::Said::SheetNotWritten, sheet.exitCode);
}

// The same bytes as --sheet, as one raw job of the system's printing.
int RunPrintSheet(Program& p, const std::vector<std::string>& args) {
    qp::ReceiptSettings settings(p.platform, p.tables, p.session.RootDir + "Tarn.ini");
    const qp::ScriptResult sheet = qp::MakeAlignmentSheet(settings, p.tables, *p.translator);
    Tell(p, sheet.messages);
    if (sheet.exitCode == kNoInput) return sheet.exitCode;
    qp::SystemPrinting printing;
    // The printer's name as the system gave it: it goes back to the system.
    const std::string printer = args.empty() ? std::string() : qp::PrinterNameFromArgument(args.front());
    const qp::SheetPrinting printed = qp::PrintAlignmentSheet(printing, printer, sheet.output, *p.translator);
    if (!printed.sent) {
        Tell(p.platform, {printed.line, printed.detail});
        return kUnavailable;
    }
    Print(p.platform, stdout, qp::ControlBytesAsBlanks(printed.line) + "\n");
    return Finished(p, StandardOutputFault(), qp::Said::OutputNotWritten, sheet.exitCode);
}

int RunHelp(Program& p, const std::vector<std::string>&);

int RunVersion(Program& p, const std::vector<std::string>&) {
    Print(p.platform, stdout, std::string("qplayout ") + QP_VERSION + "\n");
    return kOk;
}

enum class Arguments { None, One, Any, OneOrMore, NoneOrOne };
enum Needs { kNothing = 0, kSession = 1, kForm = 2, kConsole = 4 };

struct Mode {
    const char* option;  // "" for the editor, which takes no option
    const char* arguments;
    // The same as the operator is told them, a text to translate ("" for none).
    const char* argumentsSaid;
    const char* purpose;
    Arguments takes;
    int needs;
    int (*run)(Program&, const std::vector<std::string>&);
};

constexpr Mode kModes[] = {
    {"", "", "", "edit the receipt layout, Tarn.ini section Rebut", Arguments::None, kSession | kForm | kConsole, RunEditor},
    {"--get", "[KEY...]", "", "print the settings named (all nine when none) as Key=Value", Arguments::Any,
     kSession | kForm, RunGet},
    {"--set", "KEY=VALUE...", "CLAU=VALOR...", "check the values and the row plan, then save as F10 does", Arguments::OneOrMore,
     kSession | kForm, RunSet},
    {"--check", "", "", "check the stored settings and their row plan", Arguments::None, kSession | kForm, RunCheck},
    {"--keys", "", "", "show the code of every key pressed (Esc twice ends)", Arguments::None, kSession | kConsole, RunKeys},
    {"--help-page", "TOPIC", "TEMA", "open the help pager on AJUDA\\L\\TOPIC.HLP (session language L) or AJUDA\\TOPIC.HLP", Arguments::One, kSession | kConsole,
     RunHelpPage},
    {"--session", "", "", "print what start-up read", Arguments::None, kSession, RunSession},
    {"--sheet", "", "", "write the alignment sheet, raw, for the receipt printer", Arguments::None, kSession | kForm,
     RunSheet},
    {"--print-sheet", "[PRINTER]", "[IMPRESSORA]", "print the alignment sheet on PRINTER or the default printer",
     Arguments::NoneOrOne, kSession | kForm, RunPrintSheet},
    {"--help", "", "", "print this text", Arguments::None, kNothing, RunHelp},
    {"--version", "", "", "print the version", Arguments::None, kNothing, RunVersion},
};

int RunHelp(Program& p, const std::vector<std::string>&) {
    std::string text = "usage: qplayout [MODE]\n";
    for (const Mode& mode : kModes) {
        std::string call = std::string(*mode.option ? mode.option : "(none)") + (*mode.arguments ? " " : "") + mode.arguments;
        text += "  " + call + std::string(call.size() < 24 ? 24 - call.size() : 1, ' ') + mode.purpose + "\n";
    }
    text +=
        "environment: MURROOT installation folder, MURTMP temporary folder,\n"
        "  TERM terminal folder (Windows; on POSIX only when it names a folder)\n"
        "exit codes: 0 done, 1 no console, 2 broken form file, 3 settings not saved\n"
        "  or sheet not written, 64 bad arguments or unknown key, 65 a value or row\n"
        "  plan the editor refuses, 66 a Tarn.ini that is there but not usable,\n"
        "  69 no such printer or no printing service\n";
    Print(p.platform, stdout, text);
    return kOk;
}

bool ArgumentsFit(const Mode& mode, std::size_t count) {
    switch (mode.takes) {
    case Arguments::None: return count == 0;
    case Arguments::One: return count == 1;
    case Arguments::Any: return true;
    case Arguments::OneOrMore: return count >= 1;
    case Arguments::NoneOrOne: return count <= 1;
    }
    return false;
}


struct UsageFault {
    qp::Said what;
    std::string subject;
    const char* argumentsSaid = "";  // follows the subject, translated
};

// Checks that the arguments (UTF-8) fit the mode and turns them into code
// page 850, the program's texts, so that "Matriu=S\xC3\xAD" is the "Sí" it
// means. The printer's name of --print-sheet stays as the system gave it
// (`args` holds it so): it goes back to the system, which may name printers
// in characters the code page lacks.
std::optional<UsageFault> TakeArguments(const Mode* mode, const std::string& option,
                                        const std::vector<std::string>& utf8, std::vector<std::string>& args) {
    if (mode == nullptr) {
        const std::string shown = qp::Utf8ToCp850(option);
        return UsageFault {option.rfind("--", 0) == 0 ? qp::Said::UnknownOption : qp::Said::UnexpectedArgument, shown};
    }
    if (!ArgumentsFit(*mode, args.size()))
        return UsageFault {qp::Said::ArgumentsExpected, std::string("qplayout ") + mode->option, mode->argumentsSaid};
    if (mode->run == RunPrintSheet) return std::nullopt;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::optional<std::string> text = qp::Utf8ToCp850Exactly(utf8[i]);
        if (!text) return UsageFault {qp::Said::NotInCodePage, qp::Utf8ToCp850(utf8[i])};
        args[i] = std::move(*text);
    }
    if (mode->run == RunHelpPage && !qp::IsHelpTopic(args.front()))
        return UsageFault {qp::Said::BadHelpTopic, args.front()};
    return std::nullopt;
}

void StartSession(Program& p) {
    p.session = qp::ReadSessionEnvironment(p.platform);
    p.session.ProgramName = "QPLAYOUT";
    p.translator =
        std::make_unique<qp::Translator>(p.platform, p.session.RootDir, p.session.LanguageCode, p.session.ProgramName);
}

// Told in the session's language: the session is read for it.
int Usage(Program& p, const UsageFault& fault) {
    StartSession(p);
    const std::string arguments = *fault.argumentsSaid ? " " + p.translator->Translate(fault.argumentsSaid) : "";
    Tell(p.platform, qp::Say(*p.translator, fault.what, fault.subject + arguments));
    Print(p.platform, stderr, qp::ControlBytesAsBlanks(qp::Say(*p.translator, qp::Said::ModesListed).text) + "\n");
    return kUsage;
}

std::unique_ptr<qp::Console> OpenConsole(std::string& reason) {
#ifdef _WIN32
    return qp::Win32Console::Open(reason);
#else
    return qp::TerminalConsole::Open(reason);
#endif
}

// Why the language file, there, may not be used; nothing when it may or is
// missing (it is made empty then). A look at it, not a reading: the
// translator reads it when it first needs it.
std::optional<std::string> LanguageFileRefusal(qp::Platform& platform, const std::string& path) {
    if (!platform.Stamp(path)) return std::nullopt;
    const std::string shown = qp::NativePath(path);
    std::string reason;
    std::unique_ptr<qp::File> file = platform.Open(path, qp::OpenMode::ReadShared, &reason);
    if (file && file->Size() > qp::kLargeFileLimit) reason = "larger than " + std::to_string(qp::kLargeFileLimit) + " bytes";
    else if (file) return std::nullopt;
    return (shown.empty() ? path : shown) + ": " + reason;
}

// What start-up could not take, each with its detail, in the session's
// language, before the console is taken, so that the terminal keeps it.
void TellStartUpProblems(Program& p, bool tell) {
    const std::string languageFile = p.session.RootDir + "LOCALE\\" + p.session.ProgramName + ".LNG";
    if (p.session.LanguageCode != "CAT")
        if (std::optional<std::string> refusal = LanguageFileRefusal(p.platform, languageFile))
            p.languageProblem = qp::LanguageFileMessage(p.session.LanguageCode, p.session.ProgramName + ".LNG", *refusal);
    if (!tell) return;  // --session reports them itself
    if (p.languageProblem) Tell(p.platform, *p.languageProblem);
    for (const std::string& problem : p.session.problems)
        Tell(p.platform, qp::Say(*p.translator, qp::Said::SessionValueUnused, {}, problem));
}

}  // namespace

int main(int argc, char** argv) {
    Program p;
    std::vector<std::string> args(argv + 1, argv + argc);
    std::vector<std::string> utf8 = qp::ArgumentsInUtf8(argc, argv);
    const std::string option = utf8.empty() ? std::string() : utf8.front();
    if (!args.empty()) {
        args.erase(args.begin());
        utf8.erase(utf8.begin());
    }
    const Mode* mode = nullptr;
    for (const Mode& m : kModes)
        if (option == m.option) mode = &m;
    if (std::optional<UsageFault> fault = TakeArguments(mode, option, utf8, args)) return Usage(p, *fault);

    if (mode->needs & kSession) {
        StartSession(p);
        TellStartUpProblems(p, mode->run != RunSession);
        if (!p.session.RootDir.empty()) {
            qp::Status moved = p.platform.SetCurrentDirectory(p.session.RootDir);
            if (!moved)
                Tell(p.platform, qp::Say(*p.translator, qp::Said::NoRootFolder, {},
                                         "cannot change to " + p.session.RootDir + ": " + moved.reason));
        }
    }
    // The form is read before the console is taken, so that a broken file is
    // reported on a terminal in its normal state.
    if (mode->needs & kForm) {
        qp::FormLoadResult loaded =
            qp::LoadForm(p.platform, p.session.RootDir, p.session.ProgramName, *p.translator, p.tables);
        // The loader's words name the file; the fault of a form that loads is named after it.
        const std::string form = qp::NativePath(p.session.RootDir + "FORMS\\" + p.session.ProgramName + ".MPN");
        std::string fault = loaded.ok ? qp::ReceiptFormFault(p.tables) : loaded.message;
        if (loaded.ok && !fault.empty()) fault = form + ": " + fault;
        if (!fault.empty()) {
            Tell(p.platform, qp::Say(*p.translator, qp::Said::BrokenForm, p.session.ProgramName + ".MPN", fault));
            return kBadForm;
        }
    }
    if (mode->needs & kConsole) {
        std::string reason;
        p.console = OpenConsole(reason);
        if (!p.console) {
            Tell(p.platform, qp::Say(*p.translator, qp::Said::NoConsole, {}, reason));
            return kNoConsole;
        }
        p.console->SetCursorSize(0);
        p.console->SetSizeNotice([&p](int rows, int columns) {
            return qp::ConsoleSizeNotice(*p.translator, rows, columns);
        });
    }
    return mode->run(p, args);
}
