#include "window_fixture.h"

namespace zarvex::test {
namespace {

// The colour of the character at `pos` of the log view.
QColor ColourAt(const LogWindow& log, int pos)
{
    QTextCursor c(log.View()->document());
    c.setPosition(pos + 1);
    return c.charFormat().foreground().color();
}

int Find(const LogWindow& log, const QString& text)
{
    return static_cast<int>(log.View()->toPlainText().indexOf(text));
}

TEST(LogWindow, TemplateMarkersInEitherCaseColourTheTextAndArgumentsAndShortMarkersStayText)
{
    TempDir dir;
    LogWindow log;
    ASSERT_EQ(log.OpenLogFile(dir / "log.txt", true), 0);
    // A file name carrying the marker byte must not change the colour.
    log.AppendMessage(msg::LineError, "12", "na\xFD" "00FF00me");
    log.Append("next\r\n");
    const QColor red(0x80, 0, 0), black(0, 0, 0);
    // The "00FF00" of the name is text; the template leaves dark red in force for "next".
    for (const auto& [text, offset, colour] : {std::tuple{"Error", 0, red}, {"of ", 0, red}, {"na", 0, black},
                                               {"na", 4, black}, {",", 0, black}, {"next", 0, red}})
        EXPECT_EQ(ColourAt(log, Find(log, text) + offset), colour) << text << "+" << offset;
    log.CloseLogFile();
    const std::string file = ReadFile(dir / "log.txt");
    EXPECT_EQ(file.find('\xFD'), std::string::npos);
    EXPECT_NE(file.find("*Error decoding line 12 of "), std::string::npos) << file;
    // Marker digits count in either case; a short marker at the end is text.
    EXPECT_EQ(LogWindow::MarkerColour("8a00fF"), LogWindow::MarkerColour("8A00FF"));
    EXPECT_EQ(LogWindow::MarkerColour("008000"), QColor(0, 128, 0));
    LogWindow cut;
    cut.Append("cut \xFD" "80");
    EXPECT_EQ(cut.View()->toPlainText(), QString::fromUtf8("cut \u00FD80"));
}

TEST(LogWindow, ASelectionInTheMiddleStaysWhileTextArrives)
{
    LogWindow log;
    for (int i = 0; i < 50; ++i) log.Append("line " + std::to_string(i) + "\r\n");
    QTextCursor c(log.View()->document());
    c.setPosition(Find(log, "line 10"));
    c.setPosition(Find(log, "line 10") + 7, QTextCursor::KeepAnchor);
    log.View()->setTextCursor(c);
    log.Append("more\r\n");
    EXPECT_EQ(log.View()->textCursor().selectedText(), "line 10");
    log.View()->moveCursor(QTextCursor::End);
    log.Append("last\r\n");
    EXPECT_FALSE(log.View()->textCursor().hasSelection());
    EXPECT_EQ(log.View()->textCursor().position(), log.View()->document()->characterCount() - 1);
}

TEST(LogWindow, FindHonoursCaseWholeWordsAndDirection)
{
    LogWindow log;
    log.Append("Part one\r\npartial two\r\nPART three\r\n");
    auto found = [&] { return log.View()->textCursor().selectionStart(); };
    log.View()->moveCursor(QTextCursor::Start); // the search starts at the selection
    ASSERT_TRUE(log.FindNext("part", false, true, false));
    EXPECT_EQ(found(), 0);
    ASSERT_TRUE(log.FindNext("part", false, true, false)); // "partial" is no whole word
    EXPECT_EQ(found(), Find(log, "PART"));
    EXPECT_FALSE(log.FindNext("part", true, false, false));
    EXPECT_EQ(log.FindStatus(), "No further match");
    ASSERT_TRUE(log.FindNext("part", true, false, true)); // upwards
    EXPECT_EQ(found(), Find(log, "partial"));
    EXPECT_EQ(log.View()->extraSelections().size(), 1); // every match is marked
    EXPECT_FALSE(log.FindNext("nowhere", false, false, false));
    EXPECT_EQ(log.FindStatus(), "Not found");
}

TEST(LogWindow, AFullViewDropsWholeLinesFromTheTop)
{
    LogWindow log;
    const std::string line(999, 'x');
    std::string chunk;
    for (int i = 0; i < 100; ++i) chunk += line + "\n";
    for (int i = 0; i < 10; ++i) log.Append(chunk);
    log.Append("tail\n");
    const QString text = log.View()->toPlainText();
    EXPECT_LE(text.size(), LogWindow::kTextLimit);
    EXPECT_TRUE(text.endsWith("tail\n"));
    EXPECT_TRUE(text.startsWith(QString(999, 'x') + "\n")); // whole lines only
}

} // namespace
} // namespace zarvex::test
