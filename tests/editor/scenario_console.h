// Scenario harness: the whole receipt editor, built as the program's main
// builds it, over an 80x25 in-memory console and a fresh copy of the sample
// installation, driven by a script of keys.
//
//   qp::testing::EditorScenario s;              // sample/ + FORMS, LOCALE, AJUDA
//   s.WriteFile("Tarn.ini", "[Rebut]\r\n");     // optional: change the installation
//   s.console().Press({"Down", "Down"});        // script what the operator types
//   s.console().Type("12");
//   s.console().Snapshot();                     // record the screen at this point
//   s.console().Press("F10");
//   qp::EditResult r = s.Run();                 // runs EditReceiptLayout once
//   EXPECT_EQ(s.Row(1), ...);                   // the screen as the editor left it
//   EXPECT_EQ(s.TarnIni(), ...);                // exact bytes of Tarn.ini
//
// The script and the editor's flushes: the editor discards typed-ahead input
// before it waits on a message box. The script stands for keys typed after
// the program asked for them, so a flush keeps it, except for the events
// before a FlushPoint(): those stand for keys typed ahead, and the next
// flush drops them.
//
// Running out of script while the editor still waits for a key fails the
// test (it does not hang); Run() then returns and ScriptRanOut() is true.
//
// Other objects (a calculator, a calendar) can be wired in through OnStart,
// which receives every object of the run before the editor starts. The
// objects stay alive until the scenario is destroyed, so after Run() a test
// may look at rig() (the form tables, the keyboard, ...).
#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "config/ini_file.h"
#include "editor/fake_printing.h"
#include "editor/form_loader.h"
#include "editor/receipt_editor.h"
#include "editor/receipt_settings.h"
#include "editor/stationery_preview.h"
#include "format/preferences.h"
#include "format/text_utils.h"
#include "input/field_editor.h"
#include "input/form_engine.h"
#include "input/form_tables.h"
#include "input/keyboard.h"
#include "platform/platform.h"
#include "platform/temp_dir.h"
#include "screen/colours.h"
#include "screen/help.h"
#include "screen/key_names.h"
#include "screen/memory_console.h"
#include "screen/screen.h"
#include "screen/windows.h"
#include "session/session.h"
#include "text/cp850.h"
#include "text/language.h"

namespace qp::testing {

// The console's rows and cursor at one moment of a run.
struct ScreenShot {
    std::vector<std::string> rows;  // rows[0] is row 1; code page 850, 80 bytes each
    std::vector<std::vector<std::uint8_t>> attributes;  // the same cells' colours
    int cursorRow = 0;
    int cursorColumn = 0;
    int cursorSize = 0;

    const std::string& Row(int row) const { return rows.at(static_cast<std::size_t>(row - 1)); }
    std::uint8_t AttrAt(int row, int column) const {
        return attributes.at(static_cast<std::size_t>(row - 1)).at(static_cast<std::size_t>(column - 1));
    }
    bool Contains(std::string_view text) const;
    std::string Text() const;  // every row, one per line, for failure messages
};

// A MemoryConsole fed from a script that survives the program's flushes (see
// the top of this file). Use Type/Press/Click/Snapshot/FlushPoint of this
// class; events queued with MemoryConsole's own helpers are read after the
// script and are emptied by every flush, as there.
class ScriptedConsole : public MemoryConsole {
public:
    ScriptedConsole() : MemoryConsole(25, 80) {}

    // Each byte of a code page 850 text as a key press.
    void Type(std::string_view text);
    // Named keys as MemoryConsole::PressKey knows them ("Enter", "F10", "Shift+Tab", "a").
    void Press(std::string_view name);
    void Press(std::initializer_list<std::string_view> names);
    // A left click (release) at a 1-based screen position.
    void ClickAt(int column, int row, int button = 1);
    // When the program next asks for input after the events before this
    // point, the screen is recorded (see snapshots()).
    void Snapshot();
    // The next flush drops the script events queued before this point.
    void FlushPoint();

    const std::vector<ScreenShot>& snapshots() const { return snapshots_; }
    ScreenShot Shot();  // the screen now
    // Script events not yet read by the program.
    std::size_t ScriptLeft() const;
    // How many times the program flushed the input.
    int Flushes() const { return flushes(); }

    bool PollEvent(InputEvent& event) override;
    void FlushInput() override;

private:
    struct Step {
        enum class Kind { Event, Snapshot, FlushPoint } kind = Kind::Event;
        InputEvent event;
    };
    void Add(const InputEvent& event) { script_.push_back(Step {Step::Kind::Event, event}); }

    std::deque<Step> script_;
    std::vector<ScreenShot> snapshots_;
};

// The real system, with a private environment and no side effects on the
// test process: starting commands is only recorded, and changing directory
// only makes relative paths start from that directory. Derive from it to make
// single services fail (call this class's file services to pass on).
class ScenarioPlatform : public SystemPlatform {
public:
    std::map<std::string, std::string> environment;  // unset names read as empty
    std::vector<std::string> directoriesEntered;
    std::vector<std::string> commandsRun;

    std::unique_ptr<File> Open(const std::string& path, OpenMode mode, std::string* reason = nullptr) override;
    bool Exists(const std::string& path) override;
    Status Remove(const std::string& path) override;
    Status Replace(const std::string& from, const std::string& to) override;
    Status OpenForRewrite(const std::string& path, RewriteTarget& target) override;
    std::vector<std::string> ListDirectory(const std::string& directory) override;
    bool RemoveIfDeadCopy(const std::string& path) override;
    std::unique_ptr<File> CreateCopy(const std::string& path, const FileIdentity& identity, Status& status) override;
    std::string GetEnv(const std::string& name) override;
    Status SetCurrentDirectory(const std::string& path) override;
    int RunCommand(const std::string& commandLine) override;

    // A relative path as seen from the directory entered last.
    std::string Resolve(const std::string& path) const;
};

// Every object of one run, as main builds them.
struct ScenarioRig {
    Platform& platform;
    Session& session;
    ScriptedConsole& console;
    Screen& screen;
    Colours& colours;
    Windows& windows;
    Keyboard& keyboard;
    Help& help;
    Translator& translator;
    FormTables& tables;
    UserPreferences& preferences;
    TextUtils& text;
    FieldEditor& fieldEditor;
    ReceiptSettings& settings;
    ReceiptEditor& editor;
    FormEngine& engine;
};

class EditorScenario {
public:
    // A fresh installation in a temporary directory: the sample installation
    // (Tarn.ini, TEMP/Sessio.ini, TEMP/TarnTerm.ini) and the shipped FORMS,
    // LOCALE and AJUDA folders. MURROOT is its root, MURTMP and TERM its TEMP.
    EditorScenario();
    // The same over a platform of the test's own (for injected faults); it
    // must outlive the scenario.
    explicit EditorScenario(ScenarioPlatform& platform);
    ~EditorScenario();
    EditorScenario(const EditorScenario&) = delete;
    EditorScenario& operator=(const EditorScenario&) = delete;

    // The installation's root, ending in "/". Relative names below use "/".
    std::string Root() const { return dir_.Dir(); }
    void WriteFile(const std::string& relative, const std::string& bytes);
    std::string ReadFile(const std::string& relative) const;
    bool HasFile(const std::string& relative) const;
    void RemoveFile(const std::string& relative);
    // The names in the installation's root, sorted (a working copy left
    // behind by a save shows here).
    std::vector<std::string> RootEntries() const { return dir_.Entries(); }
    std::string TarnIni() const { return ReadFile("Tarn.ini"); }
    // TarnTerm.ini [Sistema] Idioma ("CAT", "GLG", "OCI", "SPA").
    void SetLanguage(const std::string& code);
    // Sessio.ini [Menu] Titol.
    void SetTitle(const std::string& title);

    ScriptedConsole& console() { return console_; }
    ScenarioPlatform& platform() { return platform_; }
    void OnStart(std::function<void(ScenarioRig&)> setUp) { onStart_ = std::move(setUp); }

    // Runs the editor once over the script. A form that does not load fails
    // the test and returns at once.
    EditResult Run();
    bool ScriptRanOut() const { return ranOut_; }
    // Valid after Run().
    ScenarioRig& rig();

    std::string Row(int row) { return console_.RowText(row); }
    std::string ScreenText() { return console_.Shot().Text(); }

private:
    struct Runtime;

    void MakeInstallation();
    void SetIniKey(const std::string& relative, const std::string& section, const std::string& key,
                   const std::string& value);

    TempDir dir_;
    ScenarioPlatform ownPlatform_;
    ScenarioPlatform& platform_;
    ScriptedConsole console_;
    std::function<void(ScenarioRig&)> onStart_;
    std::unique_ptr<Runtime> runtime_;
    bool ranOut_ = false;
};

// The byte text of a file of the source tree ("FORMS/QPLAYOUT.MPN").
std::string ReadSourceFile(const std::string& relative);

}  // namespace qp::testing

// ---------------------------------------------------------------------------
// Implementation. Inline, so that every test file of the folder can include
// this header.

namespace qp::testing {

inline bool ScreenShot::Contains(std::string_view text) const {
    return std::any_of(rows.begin(), rows.end(), [text](const std::string& row) { return row.find(text) != std::string::npos; });
}

inline std::string ScreenShot::Text() const {
    std::string text;
    for (const std::string& row : rows) text += Cp850ToUtf8(row) + "\n";
    return text;
}

inline void ScriptedConsole::Type(std::string_view text) {
    for (char c : text) Add(CharacterEvent(static_cast<unsigned char>(c)));
}

inline void ScriptedConsole::Press(std::string_view name) {
    std::optional<InputEvent> event = KeyEventFromName(name);
    if (!event) throw std::invalid_argument("unknown key name: " + std::string(name));
    Add(*event);
}

inline void ScriptedConsole::Press(std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) Press(name);
}

inline void ScriptedConsole::ClickAt(int column, int row, int button) {
    InputEvent event;
    event.kind = InputEvent::Kind::Mouse;
    event.column = column;
    event.row = row;
    event.button = button;
    event.action = 8;
    Add(event);
}

inline void ScriptedConsole::Snapshot() { script_.push_back(Step {Step::Kind::Snapshot, {}}); }

inline void ScriptedConsole::FlushPoint() { script_.push_back(Step {Step::Kind::FlushPoint, {}}); }

inline ScreenShot ScriptedConsole::Shot() {
    ScreenShot shot;
    for (int row = 1; row <= Rows(); ++row) {
        shot.rows.push_back(RowText(row));
        shot.attributes.emplace_back();
        for (int column = 1; column <= Columns(); ++column) shot.attributes.back().push_back(AttrAt(row, column));
    }
    shot.cursorRow = CursorRow();
    shot.cursorColumn = CursorColumn();
    shot.cursorSize = CursorSize();
    return shot;
}

inline std::size_t ScriptedConsole::ScriptLeft() const {
    return static_cast<std::size_t>(
        std::count_if(script_.begin(), script_.end(), [](const Step& step) { return step.kind == Step::Kind::Event; }));
}

inline bool ScriptedConsole::PollEvent(InputEvent& event) {
    while (!script_.empty()) {
        Step step = script_.front();
        script_.pop_front();
        switch (step.kind) {
        case Step::Kind::Event: event = step.event; return true;
        case Step::Kind::Snapshot: snapshots_.push_back(Shot()); break;
        case Step::Kind::FlushPoint: break;  // everything before it was read: nothing left to drop
        }
    }
    return MemoryConsole::PollEvent(event);
}

inline void ScriptedConsole::FlushInput() {
    auto point = std::find_if(script_.begin(), script_.end(), [](const Step& step) { return step.kind == Step::Kind::FlushPoint; });
    if (point != script_.end()) {
        auto end = std::remove_if(script_.begin(), point, [](const Step& step) { return step.kind == Step::Kind::Event; });
        script_.erase(end, std::next(point));
    }
    MemoryConsole::FlushInput();
}

inline std::string ScenarioPlatform::GetEnv(const std::string& name) {
    auto found = environment.find(name);
    return found == environment.end() ? std::string() : found->second;
}

inline Status ScenarioPlatform::SetCurrentDirectory(const std::string& path) {
    directoriesEntered.push_back(path);
    return Status::Ok();
}

inline std::string ScenarioPlatform::Resolve(const std::string& path) const {
    const bool absolute = !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
    if (absolute || directoriesEntered.empty()) return path;
    std::string directory = directoriesEntered.back();
    if (!directory.empty() && directory.back() != '/' && directory.back() != '\\') directory += '/';
    return directory + path;
}

inline std::unique_ptr<File> ScenarioPlatform::Open(const std::string& path, OpenMode mode, std::string* reason) {
    return SystemPlatform::Open(Resolve(path), mode, reason);
}

inline bool ScenarioPlatform::Exists(const std::string& path) { return SystemPlatform::Exists(Resolve(path)); }

inline Status ScenarioPlatform::Remove(const std::string& path) { return SystemPlatform::Remove(Resolve(path)); }

inline Status ScenarioPlatform::Replace(const std::string& from, const std::string& to) {
    return SystemPlatform::Replace(Resolve(from), Resolve(to));
}

inline Status ScenarioPlatform::OpenForRewrite(const std::string& path, RewriteTarget& target) {
    return SystemPlatform::OpenForRewrite(Resolve(path), target);
}

inline std::vector<std::string> ScenarioPlatform::ListDirectory(const std::string& directory) {
    return SystemPlatform::ListDirectory(Resolve(directory));
}

inline bool ScenarioPlatform::RemoveIfDeadCopy(const std::string& path) {
    return SystemPlatform::RemoveIfDeadCopy(Resolve(path));
}

inline std::unique_ptr<File> ScenarioPlatform::CreateCopy(const std::string& path, const FileIdentity& identity,
                                                         Status& status) {
    return SystemPlatform::CreateCopy(Resolve(path), identity, status);
}

inline int ScenarioPlatform::RunCommand(const std::string& commandLine) {
    commandsRun.push_back(commandLine);
    return 0;
}

// The objects of one run, in the order main builds them.
struct EditorScenario::Runtime {
    Runtime(Platform& platform, ScriptedConsole& console)
        : session(ReadSessionEnvironment(platform)),
          translator(platform, session.RootDir, session.LanguageCode, "QPLAYOUT"),
          screen(console),
          colours(screen, session.colourTable),
          windows(screen, colours, platform, session.TempDir),
          keyboard(console),
          help(windows, platform, session.HostKind, session.LanguageCode, &translator),
          preferences(platform, session.RootDir + "Tarn.ini"),
          fieldEditor(keyboard, windows, colours, text),
          settings(platform, tables, session.RootDir + "Tarn.ini"),
          editor(tables, settings, windows, colours, keyboard, translator, preferences, session.SessionTitle),
          engine(tables, editor, fieldEditor, keyboard, windows, colours, help, session.MenuName),
          preview(tables, windows, colours, keyboard, translator, printing),
          rig {platform, session, console,     screen, colours,  windows,     keyboard, help,
               translator, tables, preferences, text, fieldEditor, settings, editor, engine} {
        session.ProgramName = "QPLAYOUT";
        keyboard.AddHotKey(key::AltV, [this] { return preview.PreviewPopup(engine.FieldBeingEdited()); });
    }

    Session session;
    Translator translator;
    FormTables tables;
    Screen screen;
    Colours colours;
    Windows windows;
    Keyboard keyboard;
    Help help;
    UserPreferences preferences;
    TextUtils text;
    FieldEditor fieldEditor;
    ReceiptSettings settings;
    ReceiptEditor editor;
    FormEngine engine;
    // No scenario prints unless it brings its own printing service.
    testing::FakePrinting printing;
    StationeryPreview preview;
    ScenarioRig rig;
};

inline EditorScenario::EditorScenario() : EditorScenario(ownPlatform_) {}

inline EditorScenario::EditorScenario(ScenarioPlatform& platform) : platform_(platform) { MakeInstallation(); }

inline EditorScenario::~EditorScenario() = default;

inline void EditorScenario::MakeInstallation() {
    namespace fs = std::filesystem;
    const fs::path source(QP_SOURCE_DIR);
    // Without the final separator: copying into "dir/" copies nothing on Windows.
    const fs::path root = fs::path(dir_.Dir()).parent_path();
    const auto options = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(source / "sample", root, options);
    for (const char* folder : {"FORMS", "LOCALE", "AJUDA"}) fs::copy(source / folder, root / folder, options);
    platform_.environment["MURROOT"] = Root();
    platform_.environment["MURTMP"] = Root() + "TEMP/";
    platform_.environment["TERM"] = Root() + "TEMP";
}

inline void EditorScenario::WriteFile(const std::string& relative, const std::string& bytes) { dir_.Write(relative, bytes); }

inline std::string EditorScenario::ReadFile(const std::string& relative) const { return dir_.Read(relative); }

inline bool EditorScenario::HasFile(const std::string& relative) const { return dir_.Has(relative); }

inline void EditorScenario::RemoveFile(const std::string& relative) { dir_.Remove(relative); }

inline void EditorScenario::SetIniKey(const std::string& relative, const std::string& section, const std::string& key,
                                      const std::string& value) {
    SystemPlatform system;
    Status status = WriteIniKey(system, dir_ / relative, section, key, value);
    ASSERT_TRUE(status.ok) << relative << ": " << status.reason;
}

inline void EditorScenario::SetLanguage(const std::string& code) { SetIniKey("TEMP/TarnTerm.ini", "Sistema", "Idioma", code); }

inline void EditorScenario::SetTitle(const std::string& title) { SetIniKey("TEMP/Sessio.ini", "Menu", "Titol", title); }

inline EditResult EditorScenario::Run() {
    runtime_ = std::make_unique<Runtime>(platform_, console_);
    Runtime& run = *runtime_;
    // As main: relative paths (the help pages) start from the installation.
    if (!run.session.RootDir.empty()) platform_.SetCurrentDirectory(run.session.RootDir);
    FormLoadResult loaded = LoadForm(platform_, run.session.RootDir, run.session.ProgramName, run.translator, run.tables);
    std::string fault = loaded.ok ? ReceiptFormFault(run.tables) : loaded.message;
    if (!fault.empty()) {
        ADD_FAILURE() << "the form does not load: " << fault;
        return {};
    }
    console_.SetCursorSize(0);
    if (onStart_) onStart_(run.rig);
    try {
        return run.editor.EditReceiptLayout(run.engine);
    } catch (const InputScriptExhausted&) {
        ranOut_ = true;
        ADD_FAILURE() << "the script ran out while the editor waits for a key; the screen:\n" << ScreenText();
        return {};
    }
}

inline ScenarioRig& EditorScenario::rig() {
    if (!runtime_) throw std::logic_error("rig() before Run()");
    return runtime_->rig;
}

inline std::string ReadSourceFile(const std::string& relative) {
    std::ifstream in(std::filesystem::path(QP_SOURCE_DIR) / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace qp::testing
