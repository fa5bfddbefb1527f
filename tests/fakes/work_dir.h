#pragma once
// A fresh temporary folder as the working directory, for code that opens
// files by bare name; the previous directory is restored afterwards.
#include <filesystem>
#include <string>

namespace morvik::fake {

class ScopedWorkDir {
public:
    ScopedWorkDir();
    ~ScopedWorkDir();
    ScopedWorkDir(const ScopedWorkDir&) = delete;
    ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // The bytes of a file in the folder; empty when it is missing.
    std::string Read(const std::string& name) const;
    void Write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

}  // namespace morvik::fake
