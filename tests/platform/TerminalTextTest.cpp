#include "TerminalText.h"
#include "Log.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace lurkel;
using namespace std::string_literals;

TEST(TerminalText, NamesAreQuotedWithEverythingATerminalWouldActOnEscaped)
{
    const std::pair<std::string, std::string> cases[] = {
        {"/plain/path-1.txt", "/plain/path-1.txt"},
        {"\xe6\x97\xa5\xe6\x9c\xac caf\xc3\xa9",
         "'\xe6\x97\xa5\xe6\x9c\xac caf\xc3\xa9'"}, // kept, quoted for the space
        {"nbsp\xc2\xa0", "nbsp\xc2\xa0"},           // U+00A0 is no control
        {"", "''"},
        {"it's\n\t\\", "'it\\'s\\n\\t\\\\'"},
        {"esc\x1b[2J del\x7f nul\0."s, "'esc\\x1b[2J del\\x7f nul\\x00.'"},
        {"csi\xc2\x9b[31m", "'csi\\xc2\\x9b[31m'"}, // C1 encoded as UTF-8
        {"raw\x9b[31m", "'raw\\x9b[31m'"},          // C1 as a raw byte
        {"first\xc2\x80-last\xc2\x9f", "'first\\xc2\\x80-last\\xc2\\x9f'"},
        {"bad\xff\xfe", "'bad\\xff\\xfe'"},
        {"overlong\xc0\xaf cut\xe2\x82", "'overlong\\xc0\\xaf cut\\xe2\\x82'"},
    };
    for (const auto &[bytes, shown] : cases)
        EXPECT_EQ(quoteForTerminal(bytes), shown) << bytes;
}

TEST(TerminalText, MessagesLoseTheirControlsToSpaces)
{
    const std::string text = "a\nb\x1b[2J\xc2\x9b[1m\xff d\xc3\xa9";
    EXPECT_EQ(messageForTerminal(text), "a b [2J [1m  d\xc3\xa9");
    EXPECT_EQ(messageForTerminal(text, true), "a\nb [2J [1m  d\xc3\xa9");
}

TEST(TerminalText, ALogLineCannotBeSplitForgedOrFlooded)
{
    EXPECT_EQ(lineForLog("refused: /d/x\nlurkel.core: forged\x1b[2J\\"),
              "refused: /d/x\\nlurkel.core: forged\\x1b[2J\\\\");
    const std::string huge(1 << 20, 'a');
    const std::string line = lineForLog(huge, 4096);
    EXPECT_EQ(line, std::string(4096, 'a') + "... (1044480 more bytes)");
    EXPECT_EQ(lurkel::oneLineLogMessage(QStringLiteral("a\nb\u009b")), QStringLiteral("a\\nb\\xc2\\x9b"));
}
