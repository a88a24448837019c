// IniDocument on disk: reading files and replacing them without ever losing the old one.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "files/ini.h"

namespace keelsong {
namespace {

namespace fs = std::filesystem;

class IniFileTest : public testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "ini_test_XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder_, ignored);
    }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }

    static void WriteBytes(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::string ReadBytes(const std::string& path) {
        std::ostringstream bytes;
        bytes << std::ifstream(path, std::ios::binary).rdbuf();
        return bytes.str();
    }
    std::size_t EntriesInFolder() const {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder_), fs::directory_iterator()));
    }

    static IniDocument Sample() {
        IniDocument document;
        EXPECT_EQ(document.PutUInt("Connection", "Serial Port", 3), 0);
        EXPECT_EQ(document.PutString("Paths", "Config Path", std::string(200, 'p')), 0);
        return document;
    }

    fs::path folder_;
};

TEST_F(IniFileTest, WriteThenRead_FileHoldsTheTextAndNoTemporaryRemains) {
    const std::string path = Path("Keelsong.ini");
    const IniDocument document = Sample();
    ASSERT_EQ(document.WriteToFile(path), 0);
    EXPECT_EQ(ReadBytes(path), document.ToText());
    EXPECT_EQ(EntriesInFolder(), 1u);

    IniDocument back;
    ASSERT_EQ(back.ReadFromFile(path), 0);
    EXPECT_EQ(back.ToText(), document.ToText());
}

TEST_F(IniFileTest, ExistingTarget_ReplacedKeepingItsPermissions) {
    const std::string path = Path("config.tlk");
    WriteBytes(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    WriteBytes(Path("ini$$0.CVI"), "someone else's");

    ASSERT_EQ(Sample().WriteToFile(path), 0);
    EXPECT_EQ(ReadBytes(path), Sample().ToText());
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    // A temporary name already in use is passed over, not reused.
    EXPECT_EQ(ReadBytes(Path("ini$$0.CVI")), "someone else's");
    EXPECT_EQ(EntriesInFolder(), 2u);
}

TEST_F(IniFileTest, UnwritableTarget_Minus95AndNothingChanges) {
    // Targets that refuse writing even to root: a folder standing in the file's place, and a
    // file in a folder that does not exist.
    fs::create_directory(Path("taken"));
    WriteBytes(Path("taken/inside"), "kept");
    EXPECT_EQ(Sample().WriteToFile(Path("taken")), kIniAccessDenied);
    EXPECT_EQ(Sample().WriteToFile(Path("taken") + "/"), kIniAccessDenied);
    EXPECT_EQ(Sample().WriteToFile(Path("missing/Keelsong.ini")), kIniAccessDenied);
    EXPECT_TRUE(fs::is_directory(Path("taken")));
    EXPECT_EQ(ReadBytes(Path("taken/inside")), "kept");
    EXPECT_FALSE(fs::exists(Path("missing")));
    EXPECT_EQ(EntriesInFolder(), 1u);
}

TEST_F(IniFileTest, ReadOnlyTarget_Minus95AndOldFileUnchanged) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes read-only files";
    }
    const std::string path = Path("Keelsong.ini");
    WriteBytes(path, "[Old]\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    EXPECT_EQ(Sample().WriteToFile(path), kIniAccessDenied);
    EXPECT_EQ(ReadBytes(path), "[Old]\r\n");
    EXPECT_EQ(EntriesInFolder(), 1u);
}

TEST_F(IniFileTest, EveryTemporaryNameTaken_Minus5003AndOldFileUnchanged) {
    const std::string path = Path("Keelsong.ini");
    WriteBytes(path, "[Old]\r\n");
    for (int n = 0; n < 1000; ++n) {
        WriteBytes(Path("ini$$" + std::to_string(n) + ".CVI"), "");
    }
    EXPECT_EQ(Sample().WriteToFile(path), kIniNoTemporaryName);
    EXPECT_EQ(ReadBytes(path), "[Old]\r\n");
    EXPECT_EQ(EntriesInFolder(), 1001u);

    // One free name is enough.
    ASSERT_TRUE(fs::remove(Path("ini$$999.CVI")));
    EXPECT_EQ(Sample().WriteToFile(path), 0);
    EXPECT_EQ(ReadBytes(path), Sample().ToText());
    EXPECT_EQ(EntriesInFolder(), 1000u);
}

TEST_F(IniFileTest, ReadFailures_CodesAndPartialContentKept) {
    IniDocument document;
    EXPECT_EQ(document.ReadFromFile(Path("absent.ini")), kIniCannotOpen);
    fs::create_directory(Path("folder"));
    EXPECT_EQ(document.ReadFromFile(Path("folder")), kIniReadError);

    // A file in the other line-end form and with a byte-order mark reads like any other.
    WriteBytes(Path("edited.ini"), "\xEF\xBB\xBF[Connection]\nSerial Port = 4\n");
    ASSERT_EQ(document.ReadFromFile(Path("edited.ini")), 0);
    std::uint32_t port = 0;
    EXPECT_EQ(document.GetUInt("Connection", "Serial Port", &port), 1);
    EXPECT_EQ(port, 4u);
}

}  // namespace
}  // namespace keelsong
