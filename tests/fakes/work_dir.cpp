#include "fakes/work_dir.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace morvik::fake {

ScopedWorkDir::ScopedWorkDir() : previous_(std::filesystem::current_path()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "morvik-core.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
    std::filesystem::current_path(path_);
}

ScopedWorkDir::~ScopedWorkDir() {
    std::error_code ec;
    std::filesystem::current_path(previous_, ec);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
}

std::string ScopedWorkDir::Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void ScopedWorkDir::Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out << bytes;
}

}  // namespace morvik::fake
