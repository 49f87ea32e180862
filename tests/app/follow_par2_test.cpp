// Follow mode and par2 repair through the built program.
#include "app/par2_repair.h"
#include "program_run.h"
#include "support/par2_posting.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>
#include <unistd.h>

#ifdef ZARVEX_BINARY

namespace zarvex {
namespace {

using nlohmann::json;

class FollowPar2 : public test::ProgramRun
{
protected:
    // Waits (at most a minute, a limit and not a measurement) until `done`.
    template <typename Done> static bool Within(Done done)
    {
        for (int i = 0; i < 600 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return done();
    }
    std::vector<std::string> Articles(const test::Bytes& data, const std::string& name, std::size_t part)
    {
        return test::YencArticles(data, name, part);
    }
    // Starts "--follow" on `inputs` and waits until it follows them.
    pid_t StartFollow(const std::string& out, const std::string& inputs)
    {
        const pid_t pid = ::fork();
        if (pid == 0) {
            const std::string args = "--follow --outdir=" + out + " --report-json=" + (dir / "events.jsonl") + " " +
                                     inputs + " 2>" + test::ShellQuote(dir / "stderr.txt");
            ::execl("/bin/sh", "sh", "-c", ("exec env " + Command({}) + " " + args).c_str(), nullptr);
            ::_exit(127);
        }
        EXPECT_TRUE(Within([&] { return test::ReadFile(dir / "stderr.txt").find("following") != std::string::npos; }));
        return pid;
    }
    // Sends SIGTERM and gives the exit status (-1 when it did not exit).
    int StopFollow(pid_t pid)
    {
        ::kill(pid, SIGTERM);
        int status = -1;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_F(FollowPar2, FollowWritesWhatArrivesAndEndsOnSigterm)
{
    const test::Bytes a = test::RandomBytes(30000, 1), b = test::RandomBytes(5000, 2), c = test::RandomBytes(9000, 3);
    const auto partsA = Articles(a, "a.bin", 10000), partsC = Articles(c, "c.bin", 3000);
    const std::string spool = dir.Write("spool.txt", partsA[0] + partsC[0]);
    const std::string drop = MakeFolder("drop"), out = MakeFolder("out");
    const pid_t pid = StartFollow(out, spool + " " + drop);
    // Once it follows, parts arrive in the spool and a file is dropped into the folder.
    std::ofstream(spool, std::ios::app | std::ios::binary) << partsA[1] + partsA[2];
    test::WriteFile(dir / "b.tmp", Articles(b, "b.bin", 5000)[0]);
    std::rename((dir / "b.tmp").c_str(), (drop + "/b.eml").c_str());
    EXPECT_TRUE(Within([&] { return test::FileExists(out + "/a.bin") && test::FileExists(out + "/b.bin"); }));
    EXPECT_EQ(StopFollow(pid), 0) << test::ReadFile(dir / "stderr.txt");
    EXPECT_BYTES_EQ(a, test::ReadFile(out + "/a.bin"));
    EXPECT_BYTES_EQ(b, test::ReadFile(out + "/b.bin"));
    // c.bin still waited for parts: nothing of it is left behind.
    EXPECT_EQ(test::RegularFiles(out).size(), 2u);
    const std::vector<std::string> lines = test::Lines(test::ReadFile(dir / "events.jsonl"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(json::parse(lines[0])["status"]["complete"], true);
    EXPECT_EQ(json::parse(lines[2])["stopped"], "stopped by SIGTERM");
}

// A posting of 10 yEnc parts plus its recovery files (20%): parts are lost
// or damaged, and par2 mends what its blocks can.
TEST_F(FollowPar2, Par2RepairsWhatItsBlocksCanMend)
{
    const std::string par2 = FindPar2Program();
    if (par2.empty()) GTEST_SKIP() << "par2 is not installed (scripts/install-deps.sh installs it)";
    const test::Bytes data = test::RandomBytes(100000, 7);
    const std::string recovery = test::Par2RecoveryArticles(data, "data.bin", par2, 20);
    ASSERT_FALSE(recovery.empty());
    struct Case
    {
        std::vector<int> lost; // part numbers, 1-based
        int damaged;
        bool whole;
    };
    for (const Case& c : {Case{{4}, 7, true}, Case{{2, 5, 8}, 0, false}}) {
        const std::string out = MakeFolder("out" + std::to_string(c.whole));
        std::string mbox = recovery;
        const auto parts = Articles(data, "data.bin", 10000);
        for (int n = 1; n <= 10; ++n) {
            if (std::find(c.lost.begin(), c.lost.end(), n) != c.lost.end()) continue;
            std::string article = parts[static_cast<std::size_t>(n - 1)];
            if (n == c.damaged) article[article.find("=ypart") + 200] ^= 0x11;
            mbox += article;
        }
        // IgnoreIncomplete would skip the output; a par2 posting's is written all the same.
        test::WriteFile(ini, "[Preferences]\nIgnoreIncomplete=1\nStrictYenc=1\n");
        const Result r = Run({"--extract", "--outdir=" + out, "--report-json=r.json", dir.Write("post.txt", mbox)});
        const json report = json::parse(test::ReadFile(dir / "r.json"));
        ASSERT_EQ(report["par2"].size(), 1u) << r.err;
        EXPECT_EQ(report["par2"][0]["result"], c.whole ? "repaired" : "not repairable") << r.err;
        EXPECT_EQ(r.status == 255, !c.whole) << r.err;
        for (const json& o : report["outputs"])
            EXPECT_TRUE(o["name"] != "data.bin" || o["status"]["complete"] == c.whole) << o.dump();
        if (c.whole) {
            EXPECT_BYTES_EQ(data, test::ReadFile(out + "/data.bin"));
        }
        EXPECT_FALSE(test::FileExists(out + "/data.bin.1")) << "par2's backup is removed";
    }
    // A follow run writes the posting that lacks part 4 once it has been
    // quiet for "Par2WaitSeconds", and par2 mends it there too.
    test::WriteFile(ini, "[Preferences]\nIgnoreIncomplete=1\nStrictYenc=1\nPar2WaitSeconds=0\n");
    std::string posting = recovery;
    const auto parts = Articles(data, "data.bin", 10000);
    for (std::size_t n = 0; n < parts.size(); ++n) posting += n == 3 ? std::string() : parts[n];
    const std::string drop = MakeFolder("drop"), out = MakeFolder("followed");
    const pid_t pid = StartFollow(out, drop);
    test::WriteFile(dir / "post.tmp", posting);
    std::rename((dir / "post.tmp").c_str(), (drop + "/post.txt").c_str());
    const auto repaired = [&] { return test::ReadFile(dir / "events.jsonl").find("repaired 1 file") != std::string::npos; };
    EXPECT_TRUE(Within(repaired)) << test::ReadFile(dir / "events.jsonl");
    EXPECT_EQ(StopFollow(pid), 0);
    EXPECT_BYTES_EQ(data, test::ReadFile(out + "/data.bin"));
    for (const std::string& line : test::Lines(test::ReadFile(dir / "events.jsonl")))
        EXPECT_TRUE(json::parse(line).value("name", "") != "data.bin" || json::parse(line)["status"]["complete"])
            << line;
}

} // namespace
} // namespace zarvex

#endif // ZARVEX_BINARY
