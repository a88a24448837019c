#include "platform/posix_platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "support/temp_dir.h"

namespace keelsong {
namespace {

using testing::TempDir;

TEST(PosixPlatformFolders, FollowXdgVariablesWithFallbacks) {
    TempDir home;
    struct Case {
        PosixPlatform::Environment environment;
        std::string settings;
        std::string documents;
        std::string data;
    };
    const Case cases[] = {
        {{{"HOME", home.Path()}},
         home / ".config/Keelsong",
         home / "Documents",
         home / ".local/share/Keelsong"},
        {{{"HOME", home.Path()},
          {"XDG_CONFIG_HOME", "/cfg"},
          {"XDG_DOCUMENTS_DIR", "/docs"},
          {"XDG_DATA_HOME", "/data"}},
         "/cfg/Keelsong",
         "/docs",
         "/data/Keelsong"},
        // Folders given with doubled or trailing slashes come out with single ones.
        {{{"HOME", home.Path() + "/"}},
         home / ".config/Keelsong",
         home / "Documents",
         home / ".local/share/Keelsong"},
        {{{"HOME", home.Path()},
          {"XDG_CONFIG_HOME", "//cfg//"},
          {"XDG_DOCUMENTS_DIR", "/a//docs/"},
          {"XDG_DATA_HOME", "/d//data/"}},
         "/cfg/Keelsong",
         "/a/docs",
         "/d/data/Keelsong"},
        // A relative XDG value is invalid and ignored.
        {{{"HOME", home.Path()}, {"XDG_CONFIG_HOME", "cfg"}, {"XDG_DATA_HOME", "data"}},
         home / ".config/Keelsong",
         home / "Documents",
         home / ".local/share/Keelsong"},
    };
    for (const Case& c : cases) {
        const PosixPlatform platform(c.environment);
        EXPECT_EQ(platform.SettingsFolder(), c.settings);
        EXPECT_EQ(platform.DocumentsFolder(), c.documents);
        EXPECT_EQ(platform.DataFolder(), c.data);
    }
}

TEST(PosixPlatformFolders, DataFolderAndUser_FromXdgAndLoginVariablesWithFallbacks) {
    TempDir home;
    struct Case {
        PosixPlatform::Environment environment;
        std::string data;
        std::string user;  // empty: the password database's name, whatever it is
    };
    const Case cases[] = {
        {{{"HOME", home.Path()}, {"USER", "ana"}, {"LOGNAME", "bo"}},
         home / ".local/share/Keelsong",
         "ana"},
        {{{"HOME", home.Path()}, {"XDG_DATA_HOME", "//data/"}, {"LOGNAME", "bo"}},
         "/data/Keelsong",
         "bo"},
        {{{"HOME", home.Path()}, {"XDG_DATA_HOME", "data"}}, home / ".local/share/Keelsong", ""},
    };
    for (const Case& c : cases) {
        const PosixPlatform platform(c.environment);
        EXPECT_EQ(platform.DataFolder(), c.data);
        if (c.user.empty()) {
            EXPECT_FALSE(platform.UserName().empty());
        } else {
            EXPECT_EQ(platform.UserName(), c.user);
        }
    }
}

TEST(PosixPlatformFolders, DocumentsFromUserDirsFile) {
    TempDir home;
    std::filesystem::create_directories(home / ".config");
    std::ofstream(home / ".config/user-dirs.dirs")
        << "# comment\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    const PosixPlatform platform({{"HOME", home.Path()}});
    EXPECT_EQ(platform.DocumentsFolder(), home / "Dokumente");
}

TEST(PosixPlatform, MakeDir_TellsCreatedExistingAndFailed) {
    TempDir dir;
    PosixPlatform platform(PosixPlatform::Environment{});
    EXPECT_EQ(platform.MakeDir(dir / "a"), 0);
    EXPECT_EQ(platform.MakeDir(dir / "a"), kMakeDirExists);
    EXPECT_LT(platform.MakeDir(dir / "missing/b"), 0);
    EXPECT_NE(platform.MakeDir(dir / "missing/b"), kMakeDirExists);
}

class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            old_ = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone() {
        if (old_) {
            setenv("TZ", old_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    std::optional<std::string> old_;
};

TEST(PosixPlatformTime, LocalTimeHonoursTz) {
    ScopedTimeZone zone("CET-1");
    PosixPlatform platform(PosixPlatform::Environment{});
    const CalendarTime local{2024, 3, 1, 12, 30, 0};
    EXPECT_EQ(platform.FromLocal(local), 1709292600);
    EXPECT_EQ(platform.ToLocal(1709292600), local);
}

}  // namespace
}  // namespace keelsong
