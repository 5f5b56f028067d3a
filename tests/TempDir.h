// A fresh directory for one GoogleTest test, named after it and the process (so
// two test runs on one machine never share it) and removed at its end.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#if defined(_WIN32)
#include <process.h>
#else
#include <unistd.h>
#endif

namespace testsupport {

class TempDir {
public:
    TempDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        Path = std::filesystem::temp_directory_path() /
               ("chronara-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
#if defined(_WIN32)
                std::to_string(_getpid()));
#else
                std::to_string(getpid()));
#endif
        std::filesystem::remove_all(Path);
        std::filesystem::create_directories(Path);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string File(const std::string& name) const {
        return (Path / name).string();
    }
    std::filesystem::path Path;
};

// The whole content of a file as text (empty when it cannot be read).
inline std::string ReadFileText(const std::filesystem::path& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace testsupport
