#include "app/server/command_client.h"
#include "app/server/command_string.h"
#include "support/test_support.h"

#include <gtest/gtest.h>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace zarvex {
namespace {

using Commands = std::vector<std::pair<ServerVerb, std::string>>; // verb and argument

Commands Parse(const std::string& text)
{
    Commands parsed;
    for (const auto& c : ParseCommandString(text)) parsed.emplace_back(c.verb, c.argument);
    return parsed;
}

TEST(CommandString, ParsesTheCommandsInOrder)
{
    const std::pair<std::string, Commands> cases[] = {
        {R"([open("/tmp/a b.uue")])", {{ServerVerb::Open, "/tmp/a b.uue"}}},
        {R"([OPEN("/x")][Quit])", {{ServerVerb::Open, "/x"}, {ServerVerb::Quit, ""}}},
        {R"([extract("/out")][quit])", {{ServerVerb::Extract, "/out"}, {ServerVerb::Quit, ""}}},
        {"[extract(*)]", {{ServerVerb::Extract, "*"}}},
        // A "]" or ")" inside quotes belongs to the argument.
        {R"([open("/t/x](1).uu")][clear])", {{ServerVerb::Open, "/t/x](1).uu"}, {ServerVerb::Clear, ""}}},
        // Escaped quotes and backslashes; other backslashes stay.
        {R"([open("/t/say \"hi\" \\ \n.b64")])", {{ServerVerb::Open, R"(/t/say "hi" \ \n.b64)"}}},
        // A single quote makes the argument empty.
        {R"x([open(a"b)"])x", {{ServerVerb::Open, ""}}},
        {"[frobnicate][purge]", {{ServerVerb::Unknown, ""}, {ServerVerb::Purge, ""}}},
        {"[show][Paste]", {{ServerVerb::Show, ""}, {ServerVerb::Paste, ""}}},
        // An incomplete command at the end is not run.
        {R"([clear][open("/never)", {{ServerVerb::Clear, ""}}},
        {"no brackets at all", {}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(Parse(text), expected) << text;
    // Quoted arguments come back unchanged.
    for (const std::string path :
         {R"(/a/"quoted" name)", "/b/]closing[ (x)", R"(/c/back\slash\)", "/d/plain"})
        EXPECT_EQ(Parse(OpenCommandString(path)), (Commands{{ServerVerb::Open, path}})) << path;
}

// Records what was asked of it.
class RecordingTarget : public CommandTarget
{
public:
    bool Busy() const override { return busy; }
    bool Open(const std::string& path) override { return Note("open " + path) && path != "/missing"; }
    bool Quit() override { return Note("quit"); }
    bool Extract(const std::string* folder) override { return Note("extract " + (folder ? *folder : "-")); }
    bool Clear() override { return Note("clear"); }
    bool Purge() override { return Note("purge"); }
    bool Note(const std::string& what)
    {
        log.push_back(what);
        return true;
    }

    bool busy = false;
    std::vector<std::string> log;
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

// A program that takes connections but never answers does not hold a
// second start: it gives up, says why and fails.
TEST(HandOver, ToAProgramThatDoesNotAnswerFailsWithAMessage)
{
    test::TempDir dir;
    const std::string path = dir / "sock";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    std::ostringstream err;
    EXPECT_EQ(HandOver(path, {"/tmp/a.uue"}, false, err, 100), HandOverResult::Failed);
    EXPECT_NE(err.str().find("does not answer"), std::string::npos) << err.str();
    EXPECT_EQ(HandOver(dir / "none", {"/tmp/a.uue"}, false, err, 100), HandOverResult::NoProgram);
    ::close(fd);
}

} // namespace
} // namespace zarvex
