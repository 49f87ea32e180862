#include "app/server/command_string.h"

#include <gtest/gtest.h>

namespace zarvex {
namespace {

struct ParseCase
{
    std::string text;
    std::vector<std::pair<ServerVerb, std::string>> expected; // verb and argument
};

class CommandStringParse : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(CommandStringParse, YieldsTheCommandsInOrder)
{
    const auto commands = ParseCommandString(GetParam().text);
    ASSERT_EQ(commands.size(), GetParam().expected.size()) << GetParam().text;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        EXPECT_EQ(commands[i].verb, GetParam().expected[i].first) << i;
        EXPECT_EQ(commands[i].argument, GetParam().expected[i].second) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandStringParse,
    ::testing::Values(
        ParseCase{R"([open("/tmp/a b.uue")])", {{ServerVerb::Open, "/tmp/a b.uue"}}},
        ParseCase{R"([OPEN("/x")][Quit])", {{ServerVerb::Open, "/x"}, {ServerVerb::Quit, ""}}},
        ParseCase{R"([extract("/out")][quit])", {{ServerVerb::Extract, "/out"}, {ServerVerb::Quit, ""}}},
        ParseCase{"[extract(*)]", {{ServerVerb::Extract, "*"}}},
        // A "]" or ")" inside quotes belongs to the argument.
        ParseCase{R"([open("/t/x](1).uu")][clear])",
                  {{ServerVerb::Open, "/t/x](1).uu"}, {ServerVerb::Clear, ""}}},
        // Escaped quotes and backslashes; other backslashes stay.
        ParseCase{R"([open("/t/say \"hi\" \\ \n.b64")])", {{ServerVerb::Open, R"(/t/say "hi" \ \n.b64)"}}},
        // A single quote makes the argument empty.
        ParseCase{R"x([open(a"b)"])x", {{ServerVerb::Open, ""}}},
        ParseCase{"[frobnicate][purge]", {{ServerVerb::Unknown, ""}, {ServerVerb::Purge, ""}}},
        // An incomplete command at the end is not run.
        ParseCase{R"([clear][open("/never)", {{ServerVerb::Clear, ""}}},
        ParseCase{"no brackets at all", {}}));

TEST(CommandString, QuotedArgumentsComeBackUnchanged)
{
    for (const std::string path :
         {R"(/a/"quoted" name)", "/b/]closing[ (x)", R"(/c/back\slash\)", "/d/plain"}) {
        const auto commands = ParseCommandString(OpenCommandString(path));
        ASSERT_EQ(commands.size(), 1u) << path;
        EXPECT_EQ(commands[0].argument, path);
    }
}

// Records what was asked of it.
class RecordingTarget : public CommandTarget
{
public:
    bool Busy() const override { return busy; }
    bool Open(const std::string& path) override { return Note("open " + path, path != "/missing"); }
    bool Quit() override { return Note("quit"); }
    bool Extract(const std::string* folder) override { return Note("extract " + (folder ? *folder : "-")); }
    bool Clear() override { return Note("clear"); }
    bool Purge() override { return Note("purge"); }

    bool busy = false;
    std::vector<std::string> log;

private:
    bool Note(const std::string& what, bool handled = true)
    {
        log.push_back(what);
        return handled;
    }
};

TEST(CommandString, RunAnswersByTheLastCommandAndRefusesEverythingWhileBusy)
{
    RecordingTarget t;
    EXPECT_EQ(RunCommandString(R"([extract("/o")][quit])", t), kAnswerOk);
    EXPECT_EQ(t.log, (std::vector<std::string>{"extract /o", "quit"}));
    EXPECT_EQ(RunCommandString(R"([clear][open("/missing")])", t), kAnswerError);
    EXPECT_EQ(RunCommandString("[extract][bogus]", t), kAnswerOk) << "unknown names are skipped";
    EXPECT_EQ(t.log.back(), "extract -");
    EXPECT_EQ(RunCommandString("[bogus]", t), kAnswerError);
    t.busy = true;
    t.log.clear();
    EXPECT_EQ(RunCommandString("[clear]", t), kAnswerBusy);
    EXPECT_TRUE(t.log.empty());
}

} // namespace
} // namespace zarvex
