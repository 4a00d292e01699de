// The session's files (Sessio.ini, TarnTerm.ini) and its environment as any
// bytes: every path the program then opens, and every path its modules keep
// for their files (WinPush.tmp, MURCALC.TMP), is free of NUL and control
// bytes. Start-up refuses such a folder, and nothing after it builds one from
// what was read. No file is touched: every open is noted and answered from
// the input or as missing.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "editor/form_loader.h"
#include "format/preferences.h"
#include "fuzz_support.h"
#include "input/calculator.h"
#include "input/keyboard.h"
#include "platform/safe_path.h"
#include "screen/colours.h"
#include "screen/help.h"
#include "screen/memory_console.h"
#include "session/session.h"
#include "text/language.h"

using namespace qp;

namespace {

// A file held in memory, for the session's files read from the input.
class MemoryFile : public File {
public:
    explicit MemoryFile(std::string bytes) : bytes_(std::move(bytes)) {}
    std::int64_t Size() override { return static_cast<std::int64_t>(bytes_.size()); }
    std::optional<FileStamp> Stamp() override { return FileStamp {0, 0, Size(), 0}; }
    std::int64_t ReadAt(std::int64_t pos, void* buffer, std::size_t n) override {
        if (pos < 0 || pos >= Size()) return 0;
        const std::size_t count = std::min(n, bytes_.size() - static_cast<std::size_t>(pos));
        std::copy_n(bytes_.data() + pos, count, static_cast<char*>(buffer));
        return static_cast<std::int64_t>(count);
    }
    Status WriteAt(std::int64_t, const void*, std::size_t) override { return Status::Fail("read only"); }
    Status Sync() override { return Status::Ok(); }

private:
    std::string bytes_;
};

// Notes every path asked for; the two session files come from the input,
// every other file is missing and every change refused.
class RecordingPlatform : public SystemPlatform {
public:
    std::unique_ptr<File> Open(const std::string& path, OpenMode, std::string* reason) override {
        Note(path);
        if (EndsWith(path, "Sessio.ini")) return std::make_unique<MemoryFile>(sessio);
        if (EndsWith(path, "TarnTerm.ini")) return std::make_unique<MemoryFile>(tarnTerm);
        if (reason) *reason = "missing";
        return nullptr;
    }
    bool Exists(const std::string& path) override { return Note(path), foldersExist; }
    std::optional<FileStamp> Stamp(const std::string& path) override { return Note(path), std::nullopt; }
    Status Remove(const std::string& path) override { return Refuse(path); }
    Status Replace(const std::string& from, const std::string& to) override { return Note(from), Refuse(to); }
    Status OpenForRewrite(const std::string& path, RewriteTarget&) override { return Refuse(path); }
    std::vector<std::string> ListDirectory(const std::string& directory) override { return Note(directory), std::vector<std::string> {}; }
    bool RemoveIfDeadCopy(const std::string& path) override { return Note(path), false; }
    std::unique_ptr<File> CreateCopy(const std::string& path, const FileIdentity&, Status& status) override {
        status = Refuse(path);
        return nullptr;
    }
    Status SetCurrentDirectory(const std::string& path) override { return Refuse(path); }
    // As the system makes a relative path absolute, from a start folder of its own.
    std::string AbsolutePath(const std::string& path) override {
        if (windows) return path.size() >= 3 && path[1] == ':' && path[2] == '\\' ? path : "C:\\START\\" + path;
        return path.empty() || path[0] == '/' ? path : "/start/" + path;
    }
    std::string GetEnv(const std::string& name) override {
        auto it = env.find(name);
        return it == env.end() ? std::string() : it->second;
    }
    int RunCommand(const std::string&) override { return -1; }
    bool IsWindowsHost() const override { return windows; }

    void Note(const std::string& path) { paths.push_back(path); }

    bool windows = false;
    bool foldersExist = false;
    std::map<std::string, std::string> env;
    std::string sessio;
    std::string tarnTerm;
    std::vector<std::string> paths;

private:
    static bool EndsWith(const std::string& text, const std::string& end) {
        return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    }
    Status Refuse(const std::string& path) {
        Note(path);
        return Status::Fail("refused");
    }
};

std::string Shown(const std::string& path) {
    std::string out;
    for (unsigned char c : path) out += c < 0x20 || c == 0x7F ? "\\x" + std::to_string(c) : std::string(1, static_cast<char>(c));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    RecordingPlatform platform;
    platform.windows = in.ConsumeBool();
    platform.foldersExist = in.ConsumeBool();
    for (const char* name : {"MURROOT", "MURTMP", "TERM", "WINDIR"}) platform.env[name] = in.ConsumeRandomLengthString(64);
    platform.sessio = in.ConsumeRandomLengthString(1024);
    platform.tarnTerm = in.ConsumeRemainingBytesAsString();

    Session session = ReadSessionEnvironment(platform);
    session.ProgramName = "QPLAYOUT";
    for (const std::string& problem : session.problems)
        fuzz::Check(!PathRefusal(problem, false), "a start-up problem shows a control byte: " + Shown(problem));

    // What the program opens from the session's folders, as main opens it.
    Translator translator(platform, session.RootDir, session.LanguageCode, session.ProgramName);
    translator.Translate("Desar");
    FormTables tables;
    LoadForm(platform, session.RootDir, session.ProgramName, translator, tables);
    ReadIniKey(platform, session.RootDir + "Tarn.ini", "Rebut", "Antic");
    WriteIniKey(platform, session.RootDir + "Tarn.ini", "Rebut", "Antic", "S");
    if (!session.RootDir.empty()) platform.SetCurrentDirectory(session.RootDir);

    MemoryConsole console(25, 80);
    Screen screen(console);
    Colours colours(screen, session.colourTable);
    Windows windows(screen, colours, platform, session.TempDir);
    Keyboard keyboard(console);
    UserPreferences preferences(platform, session.RootDir + "Tarn.ini");
    Calculator calculator(keyboard, windows, colours, preferences, platform, session.TerminalDir);
    platform.Note(windows.WinPushPath());
    platform.Note(calculator.StatePath());

    // The help pages of the session's topic and language; the pager's own
    // window stack in the scratch folder, as the pager is shown.
    Windows pagerWindows(screen, colours, platform, fuzz::Scratch().Dir());
    Help help(pagerWindows, platform, session.HostKind, session.LanguageCode);
    console.PressKey("Esc");
    help.ShowHelp(session.MenuName);

    for (const std::string& path : platform.paths)
        fuzz::Check(!PathRefusal(path, false), "a path with a control byte: " + Shown(path));
    return 0;
}
