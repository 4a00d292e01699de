// The program: start-up, the receipt layout editor, and the end.
// "--keys" shows the code of each key pressed; "--help-page TOPIC" opens the
// help pager; "--session" prints what start-up read.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "editor/form_loader.h"
#include "editor/receipt_editor.h"
#include "editor/receipt_settings.h"
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
#include "records/record_files.h"
#include "records/record_manager.h"
#include "screen/colours.h"
#include "screen/help.h"
#include "screen/screen.h"
#include "screen/windows.h"
#include "session/language.h"
#include "session/session.h"
#include "session/session_report.h"
#include "text/cp850.h"
#ifdef _WIN32
#include "screen/win32_console.h"
#else
#include "screen/terminal_console.h"
#endif

namespace {

// A POSIX terminal expects UTF-8; the Windows console is set to the OEM code page.
void Print(qp::Platform& platform, std::FILE* stream, const std::string& cp850) {
    std::string bytes;
    for (char c : cp850) bytes += (c == '\n' || platform.IsWindowsHost()) ? std::string(1, c) : qp::Cp850ToUtf8(std::string(1, c));
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

std::unique_ptr<qp::Console> OpenConsole(std::string& reason) {
#ifdef _WIN32
    return qp::Win32Console::Open(reason);
#else
    return qp::TerminalConsole::Open(reason);
#endif
}

enum ExitCode { kOk = 0, kNoConsole = 1, kBadForm = 2, kSaveFailed = 3, kUsage = 64 };

int Usage(qp::Platform& platform) {
    Print(platform, stderr, "usage: qplayout [--keys | --help-page TOPIC | --session]\n");
    return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    qp::SystemPlatform platform;
    if (args.size() > 2 || (!args.empty() && args[0] != "--keys" && args[0] != "--help-page" && args[0] != "--session") ||
        (!args.empty() && args[0] == "--help-page" && args.size() != 2) || (args.size() == 2 && args[0] != "--help-page"))
        return Usage(platform);

    qp::Session session = qp::ReadSessionEnvironment(platform);
    if (!session.RootDir.empty()) {
        qp::Status moved = platform.SetCurrentDirectory(session.RootDir);
        if (!moved) Print(platform, stderr, "qplayout: cannot change to " + session.RootDir + ": " + moved.reason + "\n");
    }
    session.ProgramName = "QPLAYOUT";
    if (!args.empty() && args[0] == "--session") {
        Print(platform, stdout, qp::DescribeSession(session));
        return kOk;
    }

    // The form is read before the console is taken, so that a broken file is
    // reported on a terminal in its normal state.
    qp::Translator translator(platform, session.RootDir, session.LanguageCode, session.ProgramName);
    qp::FormTables tables;
    if (args.empty()) {
        qp::FormLoadResult loaded = qp::LoadForm(platform, session.RootDir, session.ProgramName, translator, tables);
        std::string fault = loaded.ok ? qp::ReceiptFormFault(tables) : loaded.message;
        if (!fault.empty()) {
            Print(platform, stderr, "qplayout: " + fault + "\n");
            return kBadForm;
        }
    }

    std::string reason;
    std::unique_ptr<qp::Console> console = OpenConsole(reason);
    if (!console) {
        Print(platform, stderr, "qplayout: no console: " + reason + "\n");
        return kNoConsole;
    }
    console->SetCursorSize(0);
    qp::Screen screen(*console);
    qp::Colours colours(screen, session.colourTable);
    qp::Windows windows(screen, colours, platform, session.TempDir);
    qp::Keyboard keyboard(*console);
    qp::Help help(windows, platform, session.HostKind);

    if (!args.empty() && args[0] == "--keys") return qp::RunKeyProbe(*console, keyboard);
    if (!args.empty() && args[0] == "--help-page") {
        help.ShowHelp(args[1]);
        return kOk;
    }

    qp::UserPreferences preferences(platform, session.RootDir + "Tarn.ini");
    qp::TextUtils text;
    // Alt+X and Alt+C work in every key read from here on.
    qp::Calculator calculator(keyboard, windows, colours, preferences, platform, session.TerminalDir);
    qp::Calendar calendar(keyboard, windows, colours, preferences, session.LanguageCode, session.WorkDate);
    keyboard.SetHotKeyHandlers([&calculator] { return calculator.CalculatorPopup(); },
                               [&calendar] { return calendar.CalendarPopup(); });
    qp::FieldEditor fieldEditor(keyboard, windows, colours, text);
    qp::ReceiptSettings settings(platform, tables, session.RootDir + "Tarn.ini");
    qp::ReceiptEditor editor(tables, settings, windows, colours, keyboard, translator, preferences, session.SessionTitle);
    std::unique_ptr<qp::RecordManager> manager = qp::ChooseRecordManager();
    qp::Random random(static_cast<std::uint64_t>(platform.HundredthsSinceMidnight()));
    qp::RecordFiles records(*manager, windows, platform, random, session.LanguageCode);
    // The engine opens lists with F4 and the list browser runs screens: each needs the other.
    qp::ListPopup* lists = nullptr;
    qp::FormEngine engine(tables, editor, fieldEditor, keyboard, windows, colours, help, session.MenuName,
                          [&lists](std::int16_t list) { return lists->ListBrowser(list); });
    qp::ListPopup listPopup(tables, editor, engine, records, keyboard, windows, colours, platform, session.TempDir);
    lists = &listPopup;
    qp::EditResult result = editor.EditReceiptLayout(engine);

    std::int16_t status = 0;
    records.ResetRecordFiles(status);
    console.reset();  // the terminal is the operator's again
    if (result.outcome == qp::EditResult::Outcome::SaveFailed) {
        Print(platform, stderr, "qplayout: the settings were not saved: " + result.reason + "\n");
        return kSaveFailed;
    }
    return kOk;
}
