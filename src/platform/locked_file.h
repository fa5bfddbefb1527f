#pragma once
// Files that only one opener holds at a time: every open takes an exclusive
// flock without waiting, and an open whose lock is held elsewhere fails.
#include <string>

namespace morvik {

class LockedFile {
public:
    enum class Mode {
        Read,          // an existing file, from its start
        AppendCreate,  // read and write, created when missing, writes at the end
    };

    LockedFile() = default;
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;
    ~LockedFile();

    // False when the file cannot be opened or another open holds its lock.
    bool Open(const std::string& path, Mode mode);
    bool IsOpen() const { return fd_ >= 0; }
    // Appends everything from the current position to the end of the file;
    // false after a read error, with what was read so far kept.
    bool ReadAll(std::string& out);
    // Writes all of bytes; does nothing and returns false when not open.
    bool Write(const std::string& bytes);
    // Releases the lock and closes; harmless when not open.
    void Close();

private:
    int fd_ = -1;
};

// Replaces the file at path by one holding exactly content, so that the
// path always names either the old file whole or the new one whole. The
// existing file is locked as above for the whole replacement; it is left
// alone when its lock is held elsewhere or it is marked read-only (no write
// permission for this process, or no write bit at all, which even root
// respects here). The new content goes to a temporary file in the same
// folder, reaches the disk, and is then renamed over the path; on any
// failure the temporary file is removed. Returns whether path now holds
// content.
bool ReplaceFileWhole(const std::string& path, const std::string& content);

// Called with the temporary file's path once it holds the new content, just
// before the rename; returning false abandons the replacement as a failed
// rename would. Lets tests interrupt a replacement at its last step.
using BeforeReplaceHook = bool (*)(const std::string& temporaryPath);
// Installs hook (nullptr for none) and returns the previous one.
BeforeReplaceHook SetBeforeReplaceHook(BeforeReplaceHook hook);

}  // namespace morvik
