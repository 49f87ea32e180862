#include "app/ini_location.h"

#include "support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace zarvex {
namespace {

IniEnvironment EnvWithConfig(const std::string& config)
{
    IniEnvironment env;
    env.xdgConfigHome = config;
    env.home = "/nonexistent-home";
    return env;
}

TEST(IniLocationPortable, NameWithPeUsesTheFileBesideTheProgramAndCreatesIt)
{
    test::TempDir dir;
    const IniLocation loc = LocateIniFile(dir / "ZarvexPE", EnvWithConfig(dir / "config"));
    EXPECT_TRUE(loc.portable);
    EXPECT_EQ(loc.path, dir / "Zarvex.ini");
    EXPECT_EQ(test::ReadFile(dir / "Zarvex.ini"), " ") << "the probe rewrites the first byte";
    test::WriteFile(dir / "Zarvex.ini", "[Window]\nCenter=40\n");
    EXPECT_TRUE(CanRewriteFirstByte(dir / "Zarvex.ini", false));
    EXPECT_EQ(test::ReadFile(dir / "Zarvex.ini"), "[Window]\nCenter=40\n") << "the probe keeps the content";
    EXPECT_TRUE(IsPortableProgramName("/opt/x/zarvex-pe"));
    EXPECT_TRUE(IsPortableProgramName("/opt/x/ZARVEXPE"));
    EXPECT_FALSE(IsPortableProgramName("/home/pete/bin/zarvex")) << "only the file name counts";
    EXPECT_FALSE(IsPortableProgramName("zarvex"));
}

TEST(IniLocationUser, ConfigFolderUnlessAWritableFileIsBesideTheProgram)
{
    test::TempDir dir;
    const IniLocation loc = LocateIniFile(dir / "zarvex", EnvWithConfig(dir / "cfg"));
    EXPECT_FALSE(loc.portable);
    EXPECT_EQ(loc.path, dir / "cfg/Zarvex/Zarvex.ini");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "cfg/Zarvex")) << "the folder is created";
    EXPECT_FALSE(test::FileExists(dir / "Zarvex.ini"));
    const std::string beside = dir.Write("Zarvex.ini", "[S]\n");
    EXPECT_EQ(LocateIniFile(dir / "zarvex", EnvWithConfig(dir / "cfg")).path, beside);
    if (::geteuid() == 0) GTEST_SKIP() << "root writes every file";
    ASSERT_EQ(::chmod(beside.c_str(), 0444), 0);
    EXPECT_EQ(LocateIniFile(dir / "zarvexpe", EnvWithConfig(dir / "cfg")).path, dir / "cfg/Zarvex/Zarvex.ini")
        << "a read-only file beside the program is passed over";
}

TEST(IniLocationUser, RelativeXdgFallsBackToHomeOverrideWinsAndNoHomeMeansNoFile)
{
    test::TempDir dir;
    IniEnvironment env;
    env.xdgConfigHome = "relative/config";
    env.home = dir.Path().string();
    EXPECT_EQ(LocateIniFile(dir / "zarvex", env).path, dir / ".config/Zarvex/Zarvex.ini");
    env.overridePath = "/some/where/test.ini";
    EXPECT_EQ(LocateIniFile("/usr/bin/zarvex", env).path, "/some/where/test.ini");
    EXPECT_TRUE(LocateIniFile("/nonexistent/zarvex", IniEnvironment{}).path.empty());
}

} // namespace
} // namespace zarvex
