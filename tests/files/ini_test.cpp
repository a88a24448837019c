// IniDocument in memory: the text it writes, the text it reads, look-up and the typed gets.
#include "files/ini.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

namespace keelsong {
namespace {

IniDocument Read(std::string_view text) {
    IniDocument document;
    EXPECT_EQ(document.ReadFromText(text), 0);
    return document;
}

std::string Unescaped(const IniDocument& document, std::string_view section,
                      std::string_view item) {
    const IniItem* found = document.FindItem(section, item);
    return found == nullptr ? "<missing>" : IniUnescape(found->value);
}

TEST(IniWrite, PutsInAnyOrder_WriteSortedExactBytes) {
    IniDocument settings;
    ASSERT_EQ(settings.PutBoolean("Settings", "Autosave", true), 0);
    ASSERT_EQ(settings.PutString("Paths", "Screenshot Path", "C:\\Shots"), 0);
    EXPECT_EQ(settings.ToText(),
              "[Paths]\r\n"
              "Screenshot Path = \"C:\\\\Shots\"\r\n"
              "\r\n"
              "[Settings]\r\n"
              "Autosave = True\r\n"
              "\r\n");

    // The configuration file's shape: "Setup" is put first yet "Event 01" is written first.
    IniDocument config;
    const char* keys[] = {"AUX Function",         "Start Time",      "Number of Plays",
                          "Time Between Repeats", "Magnetic Switch", "AUX Messages"};
    for (const char* key : keys) {
        ASSERT_EQ(key == std::string("Start Time") ? config.PutInt("Setup", key, -1)
                                                   : config.PutUInt("Setup", key, 0),
                  0);
    }
    ASSERT_EQ(config.PutUInt("Event 01", "Type", 3), 0);
    ASSERT_EQ(config.PutUInt("Event 01", "Time", 50), 0);
    EXPECT_EQ(config.ToText(),
              "[Event 01]\r\nTime = 50\r\nType = 3\r\n\r\n"
              "[Setup]\r\nAUX Function = 0\r\nAUX Messages = 0\r\nMagnetic Switch = 0\r\n"
              "Number of Plays = 0\r\nStart Time = -1\r\nTime Between Repeats = 0\r\n\r\n");
}

TEST(IniWrite, SectionsAndItemsPutOutOfOrder_WrittenInCaseBlindOrder) {
    IniDocument document;
    for (const char* section : {"b", "C", "a"}) {
        for (const char* item : {"Zeta", "alpha", "Beta"}) {
            ASSERT_EQ(document.PutUInt(section, item, 1), 0);
        }
    }
    const std::string block = "alpha = 1\r\nBeta = 1\r\nZeta = 1\r\n\r\n";
    EXPECT_EQ(document.ToText(), "[a]\r\n" + block + "[b]\r\n" + block + "[C]\r\n" + block);
}

TEST(IniWrite, UnsortedDocument_KeepsPutOrder) {
    auto document = Ini_New(0);
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(document->PutUInt("b", "y", 1), 0);
    ASSERT_EQ(document->PutUInt("a", "x", 2), 0);
    ASSERT_EQ(document->PutUInt("b", "a", 3), 0);
    EXPECT_EQ(document->ToText(), "[b]\r\ny = 1\r\na = 3\r\n\r\n[a]\r\nx = 2\r\n\r\n");
}

TEST(IniString, AwkwardBytes_WrittenEscapedAndReadBackUnchanged) {
    std::string every_byte;
    for (int c = 1; c < 256; ++c) {
        every_byte += static_cast<char>(c);
    }
    const struct {
        std::string text;
        std::string stored;  // as it stands between the quotes in the file
    } cases[] = {
        {"a\tb", "a\\tb"},
        {"say \"hi\"", "say \\\"hi\\\""},
        {"C:\\dir\\", "C:\\\\dir\\\\"},
        {"\n\r", "\\n\\r"},
        {"\x01\x1f\x7f", "\\x01\\x1f\\x7f"},
        {std::string("\0z", 2), "\\x00z"},
        {"\x80\xff caf\xc3\xa9", "\x80\xff caf\xc3\xa9"},
        {"; = [x]", "; = [x]"},
        {"", ""},
        {every_byte, IniEscape(every_byte)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        IniDocument document;
        ASSERT_EQ(document.PutString("S", "K", c.text), 0);
        if (c.stored.size() <= kIniMaxValueLineLength) {
            EXPECT_EQ(document.ToText(), "[S]\r\nK = \"" + c.stored + "\"\r\n\r\n");
        }
        const IniDocument back = Read(document.ToText());
        ASSERT_NE(back.FindItem("S", "K"), nullptr);
        EXPECT_TRUE(back.FindItem("S", "K")->quoted);
        EXPECT_EQ(back.FindItem("S", "K")->value, c.stored);
        EXPECT_EQ(Unescaped(back, "S", "K"), c.text);
    }
}

TEST(IniString, GetStringIntoBuffer_UnescapesAnyValueAndCutsToBuffer) {
    const IniDocument document =
        Read("[S]\nPath = C:\\Shots\\dir\nHex = \\x41\\x4a\\x4G\\\nShort = abcdef\n");
    char buffer[16] = "stale";
    EXPECT_EQ(document.GetStringIntoBuffer("S", "Path", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "C:Shotsdir");  // a hand-written single backslash escapes its neighbour
    EXPECT_EQ(document.GetStringIntoBuffer("S", "Hex", buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "AJx4G");
    EXPECT_EQ(document.GetStringIntoBuffer("S", "Short", buffer, 4), 1);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(document.GetStringIntoBuffer("S", "Missing", buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "");
}

TEST(IniString, LongValues_WrittenAsNumberedPiecesAndJoinedOnRead) {
    const struct {
        std::string text;
        std::vector<std::size_t> piece_lengths;  // empty: one plain line
    } cases[] = {
        {std::string(80, 'a'), {}},        {std::string(81, 'b'), {80, 1}},
        {std::string(160, 'c'), {80, 80}}, {std::string(161, 'd'), {80, 80, 1}},
        {std::string(41, '\\'), {80, 2}},  // the length counts the escaped text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.size());
        IniDocument document;
        ASSERT_EQ(document.PutString("S", "Long Item", c.text), 0);
        const std::string stored = IniEscape(c.text);
        std::string expected = "[S]\r\n";
        if (c.piece_lengths.empty()) {
            expected += "Long Item = \"" + stored + "\"\r\n";
        }
        std::size_t at = 0;
        for (std::size_t i = 0; i < c.piece_lengths.size(); ++i) {
            expected += "Long Item Line000" + std::to_string(i + 1) + " = \"" +
                        stored.substr(at, c.piece_lengths[i]) + "\"\r\n";
            at += c.piece_lengths[i];
        }
        EXPECT_EQ(document.ToText(), expected + "\r\n");
        const IniDocument back = Read(document.ToText());
        EXPECT_EQ(back.FindSection("S")->items.size(), 1u);
        EXPECT_EQ(Unescaped(back, "S", "Long Item"), c.text);
    }
}

TEST(IniRead, PieceRuns_JoinedFromPieceOneOverFollowingPieces) {
    const IniDocument document = Read(
        "[S]\n"
        "; about v\n"
        "v Line0001 = ab\nv Line0003 = cd\nother Line0002 = ef\n"  // numbers past 1 are not checked
        "v Line0001 = gh\n"                                        // a new run
        "x = 1\n"
        "w Line0002 = ij\n"           // no piece 1: stays as it is
        "w Line99999999999 = kl\n");  // number too large: no piece
    std::vector<std::string> seen;
    for (const IniItem& item : document.FindSection("S")->items) {
        seen.push_back(item.name + "=" + item.value + "/" + item.comment);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"v=abcdef/; about v", "v=gh/", "w Line0002=ij/",
                                              "w Line99999999999=kl/", "x=1/"}));
}

struct NumberCase {
    const char* value;  // as it stands after "K = "
    int int_result;
    std::int32_t int_value;
    int uint_result;
    std::uint32_t uint_value;
};

TEST(IniGet, Numbers_GoodAndBadValueMatrix) {
    const NumberCase cases[] = {
        {"0", 1, 0, 1, 0},
        {"-3", 1, -3, kIniBadUInt, 0},
        {"+7", 1, 7, 1, 7},
        {"\"  42\t \"", 1, 42, 1, 42},
        {"-0", 1, 0, kIniBadUInt, 0},
        {"2147483647", 1, INT32_MAX, 1, 2147483647u},
        {"-2147483648", 1, INT32_MIN, kIniBadUInt, 0},
        {"2147483648", kIniBadInt, 0, 1, 2147483648u},
        {"-2147483649", kIniBadInt, 0, kIniBadUInt, 0},
        {"4294967295", kIniBadInt, 0, 1, UINT32_MAX},
        {"4294967296", kIniBadInt, 0, kIniBadUInt, 0},
        {"000000000000000000012", 1, 12, 1, 12},
        {"99999999999999999999999", kIniBadInt, 0, kIniBadUInt, 0},
        {"- 5", kIniBadInt, 0, kIniBadUInt, 0},
        {"+-5", kIniBadInt, 0, kIniBadUInt, 0},
        {"5-", kIniBadInt, 0, kIniBadUInt, 0},
        {"5a", kIniBadInt, 0, kIniBadUInt, 0},
        {"1 2", kIniBadInt, 0, kIniBadUInt, 0},
        {"0x10", kIniBadInt, 0, kIniBadUInt, 0},
        {"+", kIniBadInt, 0, kIniBadUInt, 0},
        {"\"\"", 0, 0, 0, 0},
        {"\" \t \"", 0, 0, 0, 0},
    };
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.value);
        const IniDocument document = Read(std::string("[S]\nK = ") + c.value + "\n");
        std::int32_t int_value = 12345;
        EXPECT_EQ(document.GetInt("S", "K", &int_value), c.int_result);
        EXPECT_EQ(int_value, c.int_result == 1 ? c.int_value : 12345);
        std::uint32_t uint_value = 12345;
        EXPECT_EQ(document.GetUInt("S", "K", &uint_value), c.uint_result);
        EXPECT_EQ(uint_value, c.uint_result == 1 ? c.uint_value : 12345u);
    }
}

TEST(IniGet, Booleans_AnyCaseTrueOrFalseElseBad) {
    const struct {
        const char* value;
        int result;
        bool flag;
    } cases[] = {
        {"True", 1, true},
        {"tRUE", 1, true},
        {"FALSE", 1, false},
        {"false", 1, false},
        {"yes", kIniBadBoolean, false},
        {"1", kIniBadBoolean, false},
        {"Truee", kIniBadBoolean, false},
        {"\"\"", 0, false},
        {"\"  \"", 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const IniDocument document = Read(std::string("[S]\nK = ") + c.value + "\n");
        bool flag = !c.flag;
        EXPECT_EQ(document.GetBoolean("S", "K", &flag), c.result);
        EXPECT_EQ(flag, c.result == 1 ? c.flag : !c.flag);
    }
}

TEST(IniApi, ExtremeValues_PutAndGetBack) {
    auto document = Ini_New(1);
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(document->PutInt("S", "Int", INT32_MIN), 0);
    ASSERT_EQ(document->PutUInt("S", "UInt", UINT32_MAX), 0);
    ASSERT_EQ(document->PutBoolean("S", "Flag", true), 0);
    ASSERT_EQ(document->PutString("S", "Text", "a\"b"), 0);
    EXPECT_EQ(document->ToText(),
              "[S]\r\nFlag = True\r\nInt = -2147483648\r\nText = \"a\\\"b\"\r\n"
              "UInt = 4294967295\r\n\r\n");
    std::int32_t int_value = 0;
    std::uint32_t uint_value = 0;
    bool flag = false;
    char text[4] = "old";
    EXPECT_EQ(document->GetInt("s", "int", &int_value), 1);
    EXPECT_EQ(document->GetUInt("S", "UInt", &uint_value), 1);
    EXPECT_EQ(document->GetBoolean("S", "Flag", &flag), 1);
    EXPECT_EQ(document->GetStringIntoBuffer("S", "Text", text, sizeof text), 1);
    EXPECT_EQ(int_value, INT32_MIN);
    EXPECT_EQ(uint_value, UINT32_MAX);
    EXPECT_EQ(flag, true);
    EXPECT_STREQ(text, "a\"b");
    EXPECT_EQ(document->GetInt("Absent", "Int", &int_value), 0);
}

TEST(IniLookup, NamesMatchIgnoringCaseAndOuterBlanks_PutReplaces) {
    IniDocument document = Read("[Setup]\nType = 3\n");
    std::uint32_t value = 0;
    EXPECT_EQ(document.GetUInt("setup", "type", &value), 1);
    EXPECT_EQ(value, 3u);
    EXPECT_EQ(document.GetUInt(" \tSETUP ", "  TYPE\t", &value), 1);
    EXPECT_EQ(document.GetUInt("Setup", "Typ", &value), 0);

    ASSERT_EQ(document.PutUInt("SETUP", " type ", 4), 0);
    ASSERT_EQ(document.PutUInt("setup", "Type", 5), 0);
    EXPECT_EQ(document.ToText(), "[Setup]\r\nType = 5\r\n\r\n");
}

TEST(IniPut, NamesThatWouldNotReadBack_Refused) {
    const struct {
        std::string section;
        std::string item;
    } cases[] = {
        {"", "K"},
        {" \t", "K"},
        {"S", ""},
        {"a\nb", "K"},
        {"S", "a\rb"},
        {"S", std::string("a\0b", 3)},
        {"S", "a=b"},
        {"S", ";K"},
        {"S", "[K]"},
        {"S", "K Line0001"},
        {"S", "K Line7"},
        {std::string(254, 's'), "K"},
        {"S", std::string(156, 'k')},
    };
    for (const auto& c : cases) {
        IniDocument document;
        EXPECT_EQ(document.PutString(c.section, c.item, "v"), kIniBadName);
        EXPECT_EQ(document.PutUInt(c.section, c.item, 1), kIniBadName);
        EXPECT_TRUE(document.sections().empty());
    }
    // The longest names still accepted read back whole, even with a value in many pieces.
    IniDocument document;
    const std::string section(253, 's'), item(155, 'k'), text(80 * 12, 'v');
    ASSERT_EQ(document.PutString(section, item, text), 0);
    EXPECT_EQ(Unescaped(Read(document.ToText()), section, item), text);
}

TEST(IniRead, LineEnds_CrLfCrLfAndLfCrReadAlike) {
    // A line end read as two would put an empty line under "; about A" and make it the
    // header comment.
    const std::vector<std::string> lines = {"; about A",   "[A]", "x = 1", "", "; above B", "[B]",
                                            "y = \"two\"", "",    "; tail"};
    const std::string expected =
        "; about A\r\n[A]\r\nx = 1\r\n\r\n; above B\r\n[B]\r\ny = \"two\"\r\n\r\n; tail\r\n";
    for (const char* end : {"\r\n", "\n", "\r", "\n\r"}) {
        SCOPED_TRACE(testing::PrintToString(end));
        std::string text;
        for (const std::string& line : lines) {
            text += line + end;
        }
        const IniDocument document = Read(text);
        EXPECT_EQ(document.header_comment(), "");
        EXPECT_EQ(document.FindSection("A")->comment, "; about A");
        EXPECT_EQ(document.trailing_comment(), "; tail");
        EXPECT_EQ(document.ToText(), expected);
    }
}

TEST(IniRead, Comments_WrittenBackWhereTheyStood) {
    const std::string text =
        "; settings\r\n; second line\r\n\r\n"
        "  ; above Paths\r\n[Paths]\r\n; above Shot\r\nShot = \"x\"\r\n\r\n"
        "[Zeta]\r\nk = 1\r\n\r\n; the end\r\n";
    IniDocument document = Read(text);
    EXPECT_EQ(document.ToText(), text);
    // Writing the same document again after a put keeps every comment in its place.
    ASSERT_EQ(document.PutUInt("Paths", "Added", 2), 0);
    EXPECT_EQ(Read(document.ToText()).ToText(), document.ToText());
    EXPECT_EQ(document.FindSection("paths")->comment, "  ; above Paths");
}

TEST(IniRead, LineClasses_OnlyWellFormedHeadersAndItemsCount) {
    const struct {
        const char* name;
        std::string input;
        std::string expected;
    } cases[] = {
        {"blanks in header", "[  Name \t]\nk = 1", "[Name]\r\nk = 1\r\n\r\n"},
        {"text after header", "[A] x\nk = 1", ""},
        {"empty header", "[ ]\nk = 1", ""},
        {"last bracket counts", "[a]b] \nk = 1", "[a]b]\r\nk = 1\r\n\r\n"},
        {"empty name or value", "[A]\n = 1\nk =\nj=2\n[B", "[A]\r\nj = 2\r\n\r\n"},
        {"blanks anywhere", "\t[A]\n\t k \t=\t 1 \t", "[A]\r\nk = 1\r\n\r\n"},
        {"item before any section", "k = 1\n[A]\n", "[A]\r\n\r\n"},
        {"semicolon inside value", "[A]\nk = 1 ; note", "[A]\r\nk = 1 ; note\r\n\r\n"},
        {"first equals counts", "[A]\nk = a = b", "[A]\r\nk = a = b\r\n\r\n"},
        {"two quotes", "[A]\nk = \"\"", "[A]\r\nk = \"\"\r\n\r\n"},
        {"one quote", "[A]\nk = \"", "[A]\r\nk = \"\r\n\r\n"},
        {"twice the same section", "[A]\nx=1\n[a]\ny=2",
         "[A]\r\nx = 1\r\n\r\n[a]\r\ny = 2\r\n\r\n"},
        {"zero byte ends a line", std::string("[A]\0k = 1", 9), "[A]\r\nk = 1\r\n\r\n"},
        {"byte-order mark", "\xEF\xBB\xBF[A]\nk = 1", "[A]\r\nk = 1\r\n\r\n"},
        {"half a byte-order mark", "\xEF\xBB[A]\n[B]", "[B]\r\n\r\n"},
        {"mark not at the start", "[A]\n\xEF\xBB\xBF[B]", "[A]\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Read(c.input).ToText(), c.expected);
    }
}

TEST(IniRead, LongLine_KeepsFirst255Characters) {
    std::string value;
    for (int i = 0; value.size() < 296; ++i) {
        value += static_cast<char>('a' + i % 26);
    }
    const IniDocument document = Read("[S]\nK = " + value + "\nNext = 2\n");
    EXPECT_EQ(document.FindItem("S", "K")->value, value.substr(0, 255 - 4));
    EXPECT_NE(document.FindItem("S", "Next"), nullptr);
}

TEST(IniRead, IntoDocumentWithContent_AddsWithoutReplacing) {
    IniDocument document = Read("; first\n\n[A]\nx = 1\n");
    ASSERT_EQ(document.ReadFromText("; second\n\n[A]\ny = 2\n[B]\nz = 3\n"), 0);
    EXPECT_EQ(document.header_comment(), "; first");
    EXPECT_EQ(document.ToText(),
              "; first\r\n\r\n[A]\r\nx = 1\r\n\r\n; second\r\n[A]\r\ny = 2\r\n\r\n"
              "[B]\r\nz = 3\r\n\r\n");
}

TEST(IniRead, HostileInput_ReadsInBoundedTime) {
    std::string many;
    for (int i = 0; i < 20000; ++i) {
        many += "[S" + std::to_string(i) + "]\nk = " + std::to_string(i) + "\n";
    }
    EXPECT_EQ(Read(many).sections().size(), 20000u);
    EXPECT_EQ(Read(std::string(4 << 20, 'x')).ToText(), "");
    EXPECT_EQ(Read("[S]\n" + std::string(1 << 20, '=')).ToText(), "[S]\r\n\r\n");
}

TEST(IniApi, MissingOutputs_GiveMinus65) {
    IniDocument document(true);
    char buffer[8];
    const int results[] = {
        document.GetStringIntoBuffer("s", "k", nullptr, 8),
        document.GetStringIntoBuffer("s", "k", buffer, 0),
        document.GetInt("s", "k", nullptr),
        document.GetUInt("s", "k", nullptr),
        document.GetBoolean("s", "k", nullptr),
    };
    for (std::size_t i = 0; i < std::size(results); ++i) {
        EXPECT_EQ(results[i], kIniMissingArgument) << "call " << i;
    }
    EXPECT_TRUE(document.sections().empty());
}

}  // namespace
}  // namespace keelsong
