#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <utility>

#include "fakes/fake_platform.h"
#include "platform/locked_file.h"
#include "platform/text_encoding.h"
#include "settings/settings_file.h"

namespace morvik {
namespace {

namespace fs = std::filesystem;
using fake::FakeWorld;
using Lines = std::vector<std::string>;
using Field = std::u16string SettingTexts::*;

const std::string DefaultFile =
    "MV001    800\r\n"
    "MV002    50\r\n"
    "MV003    73 CUAGN + \r\n"
    "MV004    2000\r\n"
    "MV005    2000\r\n"
    "MV006    73\r\n"
    "MV007    1000\r\n"
    "MV008    \r\n"
    "MV009    2025-11-27 15:21\r\n"
    "MV010    2025-11-30 09:30\r\n";

const Lines TenBoxes(10, "0 box Information: Couldn't open the file");

SettingTexts Defaults() {
    SettingTexts texts;
    for (const SettingSlot& slot : SettingSlots) texts.*slot.field = slot.defaultValue;
    return texts;
}

// "MV001=800"-style lines, so that a mismatch names the slot and shows the
// text readably.
Lines Shown(const SettingTexts& texts) {
    Lines shown;
    for (const SettingSlot& slot : SettingSlots) {
        shown.push_back(ToUtf8(std::u16string(slot.key)) + "=" + ToUtf8(texts.*slot.field));
    }
    return shown;
}

// Each test runs in a fresh, empty working directory of its own.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        home_ = fs::current_path();
        std::string pattern = (fs::temp_directory_path() / "morvik-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(home_);
        fs::remove_all(dir_);
    }

    static void Put(const std::string& bytes) {
        std::ofstream(SettingsFileName, std::ios::binary | std::ios::trunc) << bytes;
    }
    static std::string Stored() {
        std::ifstream in(SettingsFileName, std::ios::binary);
        EXPECT_TRUE(in) << "no settings file";
        return {std::istreambuf_iterator<char>(in), {}};
    }
    Lines Entries() const {
        Lines names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    Lines Boxes() const { return world.timeline.Lines({"box"}); }
    void ExpectTableEmpty() const {
        ASSERT_EQ(p.SettingsTable.size(), 11u);
        for (const auto& row : p.SettingsTable) {
            for (const auto& cell : row) EXPECT_TRUE(cell.empty()) << ToUtf8(cell);
        }
    }

    FakeWorld world;
    Program& p = world.program;

private:
    fs::path home_, dir_;
};

// Another process holding the file open with its exclusive lock, until
// Release or the end of the scope.
class OtherHolder {
public:
    OtherHolder() {
        int ready[2], release[2];
        if (pipe(ready) != 0 || pipe(release) != 0) std::abort();
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(release[1]);
            const int fd = open(SettingsFileName, O_RDONLY);
            const char ok = (fd >= 0 && flock(fd, LOCK_EX) == 0) ? 'y' : 'n';
            (void)!write(ready[1], &ok, 1);
            char c;
            while (read(release[0], &c, 1) > 0) {
            }
            _exit(0);
        }
        close(ready[1]);
        close(release[0]);
        release_ = release[1];
        char ok = 'n';
        EXPECT_EQ(read(ready[0], &ok, 1), 1);
        EXPECT_EQ(ok, 'y') << "the other process could not lock the file";
        close(ready[0]);
    }
    ~OtherHolder() { Release(); }
    void Release() {
        if (pid_ <= 0) return;
        close(release_);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int release_ = -1;
};

TEST_F(SettingsTest, FirstStartWritesTheDefaultsAndLoadsThem) {
    LoadSettings(p);
    EXPECT_EQ(Stored(), DefaultFile);
    EXPECT_EQ(Shown(p.LoadedSettings), Shown(Defaults()));
    EXPECT_EQ(p.LoadedSettings.Text, u"73 CUAGN + ");
    EXPECT_EQ(p.LoadedSettings.Port, u"");
    EXPECT_EQ(Boxes(), Lines{});
    ExpectTableEmpty();
    // A second build finds the file and leaves it as it is.
    LoadSettings(p);
    EXPECT_EQ(Stored(), DefaultFile);
}

TEST_F(SettingsTest, SavedTextsComeBackUnchanged) {
    LoadSettings(p);
    SettingTexts edited = Defaults();
    edited.Tone = u"  650  ";
    edited.Text = u" ÅÄÖ åäö CQ ";
    edited.Port = u"COM3";
    edited.StopTime = u"";
    p.LoadedSettings = edited;
    EXPECT_TRUE(SaveSettings(p));
    ExpectTableEmpty();
    EXPECT_EQ(Stored(),
              "MV001      650  \r\n"
              "MV002    50\r\n"
              "MV003     \xC3\x85\xC3\x84\xC3\x96 \xC3\xA5\xC3\xA4\xC3\xB6 CQ \r\n"
              "MV004    2000\r\n"
              "MV005    2000\r\n"
              "MV006    73\r\n"
              "MV007    1000\r\n"
              "MV008    COM3\r\n"
              "MV009    2025-11-27 15:21\r\n"
              "MV010    \r\n");

    FakeWorld fresh;
    LoadSettings(fresh.program);
    EXPECT_EQ(Shown(fresh.program.LoadedSettings), Shown(edited));
    EXPECT_EQ(fresh.timeline.Lines({"box"}), Lines{});
}

// Files changed by other means: which lines count, and how bytes become text.
TEST_F(SettingsTest, ReadsOnlyLinesWhoseKeyColumnMatches) {
    struct Case {
        const char* what;
        std::string bytes;
        std::vector<std::pair<Field, std::u16string>> loaded;  // all other slots: defaults
    };
    const Case cases[] = {
        {"the later of two lines wins", "MV001    700\r\nMV002    60\r\nMV001    900\r\n",
         {{&SettingTexts::Tone, u"900"}, {&SettingTexts::Unit, u"60"}}},
        {"one space after the key is part of the key", "MV001 900\r\nMV002    60\r\n",
         {{&SettingTexts::Unit, u"60"}}},
        {"keys are case-sensitive", "mv001    900\r\nMV002    60\r\n",
         {{&SettingTexts::Unit, u"60"}}},
        {"only spaces pad the key", "MV001\t   900\r\n MV002   60\r\n", {}},
        {"a key alone has an empty value", "MV006\r\nMV001    900",
         {{&SettingTexts::Count, u""}, {&SettingTexts::Tone, u"900"}}},
        {"a key column alone has an empty value", "MV006    \r\n", {{&SettingTexts::Count, u""}}},
        {"the value keeps its spaces", "MV003      a  b  \r\n",
         {{&SettingTexts::Text, u"  a  b  "}}},
        {"a byte-order mark belongs to the first line",
         "\xEF\xBB\xBFMV001    900\r\nMV002    60\r\n", {{&SettingTexts::Unit, u"60"}}},
        {"malformed UTF-8", "MV003    a\xFF" "b\x80" "c\xC3(d\xE2\x82\r\n",
         {{&SettingTexts::Text, u"a?b?c\uFFFD(d\uFFFD"}}},
        {"another encoding is read as UTF-8", "MV003    \xC5\xC4\xD6\r\n",
         {{&SettingTexts::Text, u"\uFFFD\uFFFD\uFFFD"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Put(c.bytes);
        SettingTexts expected = Defaults();
        for (const auto& [field, text] : c.loaded) expected.*field = text;
        LoadSettings(p);
        EXPECT_EQ(Shown(p.LoadedSettings), Shown(expected));
        EXPECT_EQ(Stored(), c.bytes);  // it opened, so nothing was added
    }
    EXPECT_EQ(Boxes(), Lines{});
}

TEST_F(SettingsTest, EveryLineEndReadsLikeCrLf) {
    const Lines values = {"1", "2", " three ", "4", "5", "6", "7", "COM8", "9", "10"};
    SettingTexts expected;
    for (size_t i = 0; i < SettingSlots.size(); ++i) {
        expected.*SettingSlots[i].field = FromUtf8(values[i]);
    }
    for (const std::string& end : Lines{"\r\n", "\n", "\r", std::string(1, '\0')}) {
        SCOPED_TRACE(testing::PrintToString(end));
        std::string bytes;
        for (size_t i = 0; i < SettingSlots.size(); ++i) {
            bytes += ToUtf8(std::u16string(SettingSlots[i].key)) + "    " + values[i];
            if (i + 1 < SettingSlots.size()) bytes += end;  // the last line ends the file
        }
        Put(bytes);
        p.LoadedSettings = {};
        LoadSettings(p);
        EXPECT_EQ(Shown(p.LoadedSettings), Shown(expected));
    }
}

TEST_F(SettingsTest, AnEmptyFileIsKeptAndEverySlotGetsItsDefault) {
    Put("");
    p.LookupResult = u"earlier";
    LoadSettings(p);
    EXPECT_EQ(Shown(p.LoadedSettings), Shown(Defaults()));
    EXPECT_EQ(Stored(), "");
    EXPECT_EQ(p.LookupResult, u"earlier");
    EXPECT_EQ(Boxes(), Lines{});
}

TEST_F(SettingsTest, AMissingKeyGetsItsOwnDefaultNotTheLastMatch) {
    Put("MV001    900\r\nMV007    1500\r\nMV009    2026-01-01 08:00\r\n");
    LoadSettings(p);
    SettingTexts expected = Defaults();
    expected.Tone = u"900";
    expected.CarrierPause = u"1500";
    expected.StartTime = u"2026-01-01 08:00";
    EXPECT_EQ(Shown(p.LoadedSettings), Shown(expected));
    // The program-wide result still holds the latest match.
    EXPECT_EQ(p.LookupResult, u"2026-01-01 08:00");

    EXPECT_FALSE(LookupSetting(p, u"MV008"));
    EXPECT_EQ(p.LookupResult, u"2026-01-01 08:00");
    EXPECT_TRUE(LookupSetting(p, u"MV007"));
    EXPECT_EQ(p.LookupResult, u"1500");
    EXPECT_EQ(Boxes(), Lines{});
}

TEST_F(SettingsTest, AFileHeldByAnotherProgramIsNeitherReadNorWritten) {
    const std::string before = "MV001    900\r\n";
    Put(before);
    OtherHolder other;
    p.LookupResult = u"earlier";

    LoadSettings(p);
    EXPECT_EQ(Boxes(), TenBoxes);
    EXPECT_EQ(Shown(p.LoadedSettings), Shown(Defaults()));
    EXPECT_EQ(p.LookupResult, u"earlier");
    EXPECT_EQ(Stored(), before);  // the defaults were not appended either
    ExpectTableEmpty();

    p.LoadedSettings.Tone = u"1000";
    EXPECT_FALSE(SaveSettings(p));
    EXPECT_EQ(Stored(), before);
    EXPECT_EQ(Entries(), Lines{"morvik.cnf"});
    ExpectTableEmpty();

    // Once the other program lets go, the same save goes through.
    other.Release();
    EXPECT_TRUE(SaveSettings(p));
    LoadSettings(p);
    EXPECT_EQ(p.LoadedSettings.Tone, u"1000");
}

TEST_F(SettingsTest, AFolderByTheFilesNameIsNeverUsed) {
    fs::create_directory(SettingsFileName);
    LoadSettings(p);
    EXPECT_EQ(Boxes(), TenBoxes);
    EXPECT_EQ(Shown(p.LoadedSettings), Shown(Defaults()));
    EXPECT_FALSE(SaveSettings(p));
    EXPECT_TRUE(fs::is_directory(SettingsFileName));
    EXPECT_EQ(Entries(), Lines{"morvik.cnf"});
}

TEST_F(SettingsTest, AReadOnlyFileIsLeftAlone) {
    Put(DefaultFile);
    ASSERT_EQ(chmod(SettingsFileName, 0444), 0);
    LoadSettings(p);
    p.LoadedSettings.Unit = u"40";
    EXPECT_FALSE(SaveSettings(p));
    EXPECT_EQ(Stored(), DefaultFile);
    EXPECT_EQ(Entries(), Lines{"morvik.cnf"});
    ExpectTableEmpty();
}

TEST_F(SettingsTest, SaveWithoutAFileCreatesIt) {
    p.LoadedSettings = Defaults();
    EXPECT_TRUE(SaveSettings(p));
    EXPECT_EQ(Stored(), DefaultFile);
    EXPECT_EQ(Entries(), Lines{"morvik.cnf"});
}

// What the replacement's last step saw: the temporary file and its bytes.
struct Interruption {
    static inline bool goOn = false;
    static inline std::string path, bytes, original;
    static bool Hook(const std::string& temporary) {
        path = temporary;
        std::ifstream in(temporary, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
        std::ifstream old(SettingsFileName, std::ios::binary);
        original.assign(std::istreambuf_iterator<char>(old), {});
        return goOn;
    }
};

class HookInstalled {
public:
    explicit HookInstalled(BeforeReplaceHook hook) : previous_(SetBeforeReplaceHook(hook)) {}
    ~HookInstalled() { SetBeforeReplaceHook(previous_); }

private:
    BeforeReplaceHook previous_;
};

TEST_F(SettingsTest, AnInterruptedSaveLeavesTheOldFileWhole) {
    Put(DefaultFile);
    ASSERT_EQ(chmod(SettingsFileName, 0600), 0);
    LoadSettings(p);
    p.LoadedSettings.Tone = u"1200";
    std::string expected = DefaultFile;
    expected.replace(expected.find("800"), 3, "1200");

    HookInstalled hook(&Interruption::Hook);
    Interruption::goOn = false;
    EXPECT_FALSE(SaveSettings(p));
    // The new content was complete beside an untouched original...
    const fs::path temporary = Interruption::path;
    EXPECT_EQ(temporary.filename().string().rfind("morvik.cnf.", 0), 0u) << temporary;
    EXPECT_TRUE(fs::equivalent(temporary.parent_path(), fs::current_path())) << temporary;
    EXPECT_EQ(Interruption::bytes, expected);
    EXPECT_EQ(Interruption::original, DefaultFile);
    // ...and the interruption leaves the original and nothing else.
    EXPECT_EQ(Stored(), DefaultFile);
    EXPECT_EQ(Entries(), Lines{"morvik.cnf"});
    ExpectTableEmpty();

    Interruption::goOn = true;
    EXPECT_TRUE(SaveSettings(p));
    EXPECT_EQ(Stored(), expected);
    EXPECT_EQ(Entries(), Lines{"morvik.cnf"});
    EXPECT_EQ(fs::status(SettingsFileName).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

}  // namespace
}  // namespace morvik
