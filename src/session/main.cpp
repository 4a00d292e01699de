#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "session/session.h"
#include "session/session_report.h"
#include "text/cp850.h"

namespace {

// A POSIX terminal expects UTF-8; the Windows console is set to the OEM code
// page. Line ends are kept as they are, not turned into their PC glyphs.
void Print(qp::Platform& platform, std::FILE* stream, const std::string& cp850) {
    std::string bytes;
    std::size_t start = 0;
    while (start < cp850.size()) {
        std::size_t end = cp850.find('\n', start);
        std::string line = cp850.substr(start, end == std::string::npos ? std::string::npos : end - start);
        bytes += platform.IsWindowsHost() ? line : qp::Cp850ToUtf8(line);
        if (end == std::string::npos) break;
        bytes += '\n';
        start = end + 1;
    }
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

}  // namespace

int main() {
    qp::SystemPlatform platform;
    qp::Session session = qp::ReadSessionEnvironment(platform);
    if (!session.RootDir.empty()) {
        qp::Status moved = platform.SetCurrentDirectory(session.RootDir);
        if (!moved) Print(platform, stderr, "qplayout: cannot change to " + session.RootDir + ": " + moved.reason + "\n");
    }
    session.ProgramName = "QPLAYOUT";
    Print(platform, stdout, qp::DescribeSession(session));
    return 0;
}
