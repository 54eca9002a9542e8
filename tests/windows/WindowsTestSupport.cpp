#include "tests/windows/WindowsTestSupport.h"

#include <windows.h>

#include <cstdlib>

namespace testsupport {

void WindowsProgramTest::SetUp() {
    static int testNumber = 0;
    prefix = "lvxwin" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++testNumber) + "_";
    ASSERT_EQ(_putenv_s("LUMIVEX_SHM_PREFIX", prefix.c_str()), 0);
    ASSERT_FALSE(ProgramPath("lumivex").empty()) << "LUMIVEX_BIN is not set";
}

std::vector<std::string> WindowsProgramTest::Environment() const {
    return ChildEnvironment({"LUMIVEX_SHM_PREFIX=" + prefix});
}

bool WindowsProgramTest::StartPublisher(ChildProcess& publisher, const OutputFile& output,
                                        const std::vector<std::string>& arguments) {
    std::vector<std::string> words{ProgramPath("lumivex-publisher")};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return publisher.Start({words, Environment(), output.Path()});
}

Outcome WindowsProgramTest::Run(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> words{ProgramPath(program)};
    words.insert(words.end(), arguments.begin(), arguments.end());
    return RunToEnd(words, Environment(), Milliseconds(20000));
}

}  // namespace testsupport
