// The program: a small table of modes (the editor, the scripted settings, the
// key probe, the help pager, the session report, the alignment sheet and its
// printing, help and version), each saying what it needs: its arguments, the
// form file, the console.
#include <cstdio>
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
#include "session/session.h"
#include "session/session_report.h"
#include "text/cp850.h"
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "screen/win32_console.h"
#else
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
    kUnavailable = 69,  // EX_UNAVAILABLE: no such printer, no printing service
};

// What one run has to work with; filled as far as its mode needs.
struct Program {
    qp::SystemPlatform platform;
    qp::Session session;
    std::unique_ptr<qp::Translator> translator;
    qp::FormTables tables;
    std::unique_ptr<qp::Console> console;
};

// A POSIX terminal expects UTF-8; the Windows console is set to the OEM code page.
void Print(qp::Platform& platform, std::FILE* stream, const std::string& cp850) {
    std::string bytes;
    for (char c : cp850) bytes += (c == '\n' || platform.IsWindowsHost()) ? std::string(1, c) : qp::Cp850ToUtf8(std::string(1, c));
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

int RunEditor(Program& p, const std::vector<std::string>&) {
    qp::Session& session = p.session;
    qp::Console& console = *p.console;
    qp::Screen screen(console);
    qp::Colours colours(screen, session.colourTable);
    qp::Windows windows(screen, colours, p.platform, session.TempDir);
    qp::Keyboard keyboard(console);
    qp::Help help(windows, p.platform, session.HostKind, session.LanguageCode, p.translator.get());
    // One reading of Tarn.ini at start-up, for the settings and the preferences alike.
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
    if (result.outcome == qp::EditResult::Outcome::SaveFailed) {
        Print(p.platform, stderr, "qplayout: the settings were not saved: " + result.reason + "\n");
        return kSaveFailed;
    }
    return kOk;
}

template <typename Run>
int WithScript(Program& p, Run run) {
    qp::ReceiptSettings settings(p.platform, p.tables, p.session.RootDir + "Tarn.ini");
    qp::SettingsScript script(settings, p.tables, *p.translator);
    qp::ScriptResult result = run(script);
    Print(p.platform, stdout, result.output);
    for (const std::string& problem : result.problems) Print(p.platform, stderr, "qplayout: " + problem + "\n");
    return result.exitCode;
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
    Print(p.platform, stdout, qp::DescribeSession(p.session));
    return kOk;
}

// The sheet goes to the printer byte for byte: no UTF-8, and on Windows no
// line-end translation of its CR LF.
int RunSheet(Program& p, const std::vector<std::string>&) {
    qp::ReceiptSettings settings(p.platform, p.tables, p.session.RootDir + "Tarn.ini");
    qp::ScriptResult sheet = qp::MakeAlignmentSheet(settings, p.tables, *p.translator);
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    const bool written = std::fwrite(sheet.output.data(), 1, sheet.output.size(), stdout) == sheet.output.size() &&
                         std::fflush(stdout) == 0;
    for (const std::string& problem : sheet.problems) Print(p.platform, stderr, "qplayout: " + problem + "\n");
    if (!written) {
        Print(p.platform, stderr, "qplayout: the sheet could not be written to standard output\n");
        return kNotWritten;
    }
    return sheet.exitCode;
}

// The same bytes as --sheet, as one raw job of the system's printing.
int RunPrintSheet(Program& p, const std::vector<std::string>& args) {
    qp::ReceiptSettings settings(p.platform, p.tables, p.session.RootDir + "Tarn.ini");
    const qp::ScriptResult sheet = qp::MakeAlignmentSheet(settings, p.tables, *p.translator);
    for (const std::string& problem : sheet.problems) Print(p.platform, stderr, "qplayout: " + problem + "\n");
    qp::SystemPrinting printing;
    const std::string printer = args.empty() ? std::string() : qp::PrinterNameFromArgument(args.front());
    const qp::SheetPrinting printed = qp::PrintAlignmentSheet(printing, printer, sheet.output, *p.translator);
    if (!printed.sent) {
        Print(p.platform, stderr, "qplayout: " + printed.line + "\n");
        return kUnavailable;
    }
    Print(p.platform, stdout, printed.line + "\n");
    return sheet.exitCode;
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
    const char* purpose;
    Arguments takes;
    int needs;
    int (*run)(Program&, const std::vector<std::string>&);
};

constexpr Mode kModes[] = {
    {"", "", "edit the receipt layout, Tarn.ini section Rebut", Arguments::None, kSession | kForm | kConsole, RunEditor},
    {"--get", "[KEY...]", "print the settings named (all nine when none) as Key=Value", Arguments::Any,
     kSession | kForm, RunGet},
    {"--set", "KEY=VALUE...", "check the values and the row plan, then save as F10 does", Arguments::OneOrMore,
     kSession | kForm, RunSet},
    {"--check", "", "check the stored settings and their row plan", Arguments::None, kSession | kForm, RunCheck},
    {"--keys", "", "show the code of every key pressed (Esc twice ends)", Arguments::None, kSession | kConsole, RunKeys},
    {"--help-page", "TOPIC", "open the help pager on AJUDA\\L\\TOPIC.HLP (session language L) or AJUDA\\TOPIC.HLP", Arguments::One, kSession | kConsole,
     RunHelpPage},
    {"--session", "", "print what start-up read", Arguments::None, kSession, RunSession},
    {"--sheet", "", "write the alignment sheet, raw, for the receipt printer", Arguments::None, kSession | kForm,
     RunSheet},
    {"--print-sheet", "[PRINTER]", "print the alignment sheet on PRINTER or the default printer",
     Arguments::NoneOrOne, kSession | kForm, RunPrintSheet},
    {"--help", "", "print this text", Arguments::None, kNothing, RunHelp},
    {"--version", "", "print the version", Arguments::None, kNothing, RunVersion},
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
        "  plan the editor refuses, 69 no such printer or no printing service\n";
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

int Usage(Program& p, const std::string& problem) {
    Print(p.platform, stderr, "qplayout: " + problem + "\nqplayout --help lists the modes\n");
    return kUsage;
}

std::unique_ptr<qp::Console> OpenConsole(std::string& reason) {
#ifdef _WIN32
    return qp::Win32Console::Open(reason);
#else
    return qp::TerminalConsole::Open(reason);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    Program p;
    std::vector<std::string> args(argv + 1, argv + argc);
    const std::string option = args.empty() ? std::string() : args.front();
    if (!args.empty()) args.erase(args.begin());
    const Mode* mode = nullptr;
    for (const Mode& m : kModes)
        if (option == m.option) mode = &m;
    if (mode == nullptr) return Usage(p, option.rfind("--", 0) == 0 ? "unknown option " + option : "unexpected argument " + option);
    if (!ArgumentsFit(*mode, args.size()))
        return Usage(p, std::string(*mode->option ? mode->option : "the editor") +
                            (*mode->arguments ? std::string(" takes ") + mode->arguments : " takes no arguments"));
    if (mode->run == RunHelpPage && !qp::IsHelpTopic(args.front()))
        return Usage(p, "a help topic is 1 to 64 letters, digits, _ or - and no device name: " + args.front());

    if (mode->needs & kSession) {
        p.session = qp::ReadSessionEnvironment(p.platform);
        // Told before the console is taken, so that the terminal keeps it; --session reports them itself.
        if (mode->run != RunSession)
            for (const std::string& problem : p.session.problems) Print(p.platform, stderr, "qplayout: " + problem + "\n");
        if (!p.session.RootDir.empty()) {
            qp::Status moved = p.platform.SetCurrentDirectory(p.session.RootDir);
            if (!moved) Print(p.platform, stderr, "qplayout: cannot change to " + p.session.RootDir + ": " + moved.reason + "\n");
        }
        p.session.ProgramName = "QPLAYOUT";
        p.translator = std::make_unique<qp::Translator>(p.platform, p.session.RootDir, p.session.LanguageCode,
                                                        p.session.ProgramName);
    }
    // The form is read before the console is taken, so that a broken file is
    // reported on a terminal in its normal state.
    if (mode->needs & kForm) {
        qp::FormLoadResult loaded =
            qp::LoadForm(p.platform, p.session.RootDir, p.session.ProgramName, *p.translator, p.tables);
        std::string fault = loaded.ok ? qp::ReceiptFormFault(p.tables) : loaded.message;
        if (!fault.empty()) {
            Print(p.platform, stderr, "qplayout: " + fault + "\n");
            return kBadForm;
        }
    }
    if (mode->needs & kConsole) {
        std::string reason;
        p.console = OpenConsole(reason);
        if (!p.console) {
            Print(p.platform, stderr, "qplayout: no console: " + reason + "\n");
            return kNoConsole;
        }
        p.console->SetCursorSize(0);
        p.console->SetSizeNotice([&p](int rows, int columns) {
            return qp::ConsoleSizeNotice(*p.translator, rows, columns);
        });
    }
    return mode->run(p, args);
}
