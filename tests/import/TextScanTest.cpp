// The model formats were written for scanf's "%d", "%f" and "%s"; the checked
// scanner has to read every field to the same value and stop at the same
// character, or a vertex line would shift its later fields.

#include "import/LineScan.h"
#include "import/TextScan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace veskar {
namespace {

// What sscanf leaves after the field: the next word, or "" at the end.
std::string nextWordAfter(const std::string& text, int consumed)
{
    return std::string(firstWord(std::string_view(text).substr(static_cast<std::size_t>(consumed))));
}

std::string nextWordOf(FieldScanner& scan)
{
    std::string_view word;
    return scan.readWord(word) ? std::string(word) : std::string();
}

// The quick scans read a field or leave it to the general way; what they
// read must be what the general way reads, in every implementation.
void expectQuickDecimalsAgree(const std::string& line, const std::vector<float>& expected)
{
    std::string padded = line + std::string(kScanSlack, '\0');
    const std::string_view text(padded.data(), line.size());
    for (const LineScanner* scanner : availableLineScanners()) {
        SCOPED_TRACE(scanner->name);
        LineFields fields;
        ASSERT_TRUE(scanner->splitFields(text, fields));
        ASSERT_EQ(fields.count, static_cast<int>(expected.size()));
        std::uint8_t which[LineFields::kMaxFields];
        for (int i = 0; i < fields.count; ++i) which[i] = static_cast<std::uint8_t>(i);
        float got[LineFields::kMaxFields];
        if (!scanner->readDecimals(padded.data(), fields, which, fields.count, got)) continue;
        for (int i = 0; i < fields.count; ++i)
            EXPECT_EQ(std::memcmp(&got[i], &expected[static_cast<std::size_t>(i)], sizeof(float)), 0) << "field " << i << ": " << got[i];
    }
    // A bone line of the number six times, where the fixed layout takes it.
    if (expected.size() != 1) return;
    std::string bone = "12";
    for (int i = 0; i < 6; ++i) bone += " " + line;
    padded = bone + std::string(kScanSlack, '\0');
    for (const LineScanner* scanner : availableLineScanners()) {
        std::int32_t number = 0;
        float values[6];
        if (!scanner->readFixedBoneLine(std::string_view(padded.data(), bone.size()), number, values)) continue;
        EXPECT_EQ(number, 12) << scanner->name;
        for (float v : values) EXPECT_EQ(std::memcmp(&v, &expected[0], sizeof(float)), 0) << scanner->name << " " << bone << ": " << v;
    }
}

std::vector<std::string> floatInputs()
{
    std::vector<std::string> inputs = {
        "1", "-7", "+3", "  42abc", "1.0", "0.5", "-0.000000", "0.000000", "1e3", "1.5e-3", "1E+2", "5.e2", ".5", "+.5", "-.5",
        "5.", "3.250000 4.5", "\t-12.75\t9", "1,5", "1e-3x", "inf", "-inf", "+inf", "INF", "Infinity", "infx", "nan", "-nan",
        "NaN", "1e39", "-1e39", "1e400", "3.4028235e38", "1e-45", "1e-40", "1e-50", "0x1p3", "-0x1p3", "0X1P3", "0x1.8p1",
        "0.1", "16777217", "0.30000001192092896", "abc", "", "   ", "-", "+", ".", "-.", "- 5", "+-3", "in", "inx", ".e1", "e5",
        // Lengths and shapes at the quick scans' limits: 15 and 16 digits,
        // the point first or last, two points, a sign inside.
        "123456789012345", "1234567890123456", "1234567.12345678", "0.123456789012345", "-99999999.9999999", "12345678.",
        "-.000001", "1.2.3", "1-2", "-0.0", "-0", "0000000000000.5", "\v7.25\f", "3.40282346e38",
    };
    // Longer than any line the formats were written with; the whole number is still one field.
    inputs.push_back(std::string("1").append(600, '0').append(" 7"));
    inputs.push_back(std::string("0.").append(600, '0').append("1 7"));
    inputs.push_back(std::string("0.5").append(600, '0').append(" 7"));
    return inputs;
}

TEST(TextScanTest, ReadFloatMatchesSscanf)
{
    for (const std::string& text : floatInputs()) {
        SCOPED_TRACE("input \"" + text.substr(0, 40) + "\"");
        float expected = 0.0f;
        int consumed = 0;
        const int matched = std::sscanf(text.c_str(), "%f%n", &expected, &consumed);

        FieldScanner scan(text);
        float got = -12345.0f;
        const ScanStatus status = scan.readFloat(got);
        if (matched != 1) {
            EXPECT_EQ(status, ScanStatus::Missing);
            EXPECT_EQ(got, -12345.0f) << "a missing field leaves the value alone";
            continue;
        }
        ASSERT_EQ(status, ScanStatus::Ok);
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(got)) << got;
        } else {
            // Bit for bit: the sign of zero and denormals count.
            EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << "got " << got << ", sscanf " << expected;
            // A field the number fills alone may be taken the quick way.
            const std::string_view word = firstWord(text);
            if (word.data() + word.size() == text.data() + consumed && nextWordAfter(text, consumed).empty())
                expectQuickDecimalsAgree(text, {expected});
        }
        EXPECT_EQ(std::signbit(got), std::signbit(expected));
        EXPECT_EQ(nextWordOf(scan), nextWordAfter(text, consumed)) << "stopped at another character";
    }
}

TEST(TextScanTest, ReadIntMatchesSscanfWithinInt32)
{
    const std::vector<std::string> inputs = {
        "1", "-7", "+3", "0", "-0", "  42abc", "1.0", "0.5", "-12 5", "007", "0x10", "2147483647", "-2147483648", "\t\r\n 9",
        "1e3", "abc", "", "  ", "-", "+", "- 5", "+-3", "--3", ".5",
    };
    for (const std::string& text : inputs) {
        SCOPED_TRACE("input \"" + text + "\"");
        int expected = 0, consumed = 0;
        const int matched = std::sscanf(text.c_str(), "%d%n", &expected, &consumed);
        FieldScanner scan(text);
        std::int32_t got = -12345;
        const ScanStatus status = scan.readInt(got);
        if (matched != 1) {
            EXPECT_EQ(status, ScanStatus::Missing);
            EXPECT_EQ(got, -12345);
            continue;
        }
        ASSERT_EQ(status, ScanStatus::Ok);
        EXPECT_EQ(got, expected);
        EXPECT_EQ(nextWordOf(scan), nextWordAfter(text, consumed));
    }

    // Beyond int32 scanf has no defined value; the scanner says so instead of wrapping.
    for (const char* text : {"2147483648", "-2147483649", "4294967296", "99999999999999999999", "-99999999999999999999999999"}) {
        SCOPED_TRACE(text);
        FieldScanner scan(text);
        std::int32_t got = 5;
        EXPECT_EQ(scan.readInt(got), ScanStatus::OutOfRange);
        EXPECT_EQ(got, 5);
    }
}

TEST(TextScanTest, FieldsAreReadLeftToRight)
{
    // A vertex line of an SMD file with one link.
    FieldScanner scan("0  -1.5 2 3.25\t0 0 1 0.5 0.75 1 0 1.000000\r");
    std::int32_t parent = -1, links = -1, bone = -1;
    float f[8] = {};
    float weight = 0;
    ASSERT_EQ(scan.readInt(parent), ScanStatus::Ok);
    for (float& v : f) ASSERT_EQ(scan.readFloat(v), ScanStatus::Ok);
    ASSERT_EQ(scan.readInt(links), ScanStatus::Ok);
    ASSERT_EQ(scan.readInt(bone), ScanStatus::Ok);
    ASSERT_EQ(scan.readFloat(weight), ScanStatus::Ok);
    EXPECT_TRUE(scan.atEnd());
    EXPECT_EQ(scan.readFloat(weight), ScanStatus::Missing);
    EXPECT_EQ(parent, 0);
    EXPECT_EQ(f[0], -1.5f);
    EXPECT_EQ(f[2], 3.25f);
    EXPECT_EQ(f[7], 0.75f);
    EXPECT_EQ(links, 1);
    EXPECT_EQ(weight, 1.0f);

    // A failed field consumes nothing, so the next read sees the same text.
    FieldScanner words("abc 12");
    std::int32_t n = 0;
    EXPECT_EQ(words.readInt(n), ScanStatus::Missing);
    std::string_view w;
    ASSERT_TRUE(words.readWord(w));
    EXPECT_EQ(w, "abc");
    EXPECT_FALSE(words.atEnd());
    EXPECT_EQ(words.readInt(n), ScanStatus::Ok);
    EXPECT_EQ(n, 12);
    EXPECT_FALSE(words.readWord(w));
}

// Every implementation of the scans splits a line into the words the
// scanner reads, and finds the same line break, whatever the line's length
// against their 16-, 32- and 64-byte steps.
TEST(TextScanTest, QuickScansAgreeOnFieldsAndLineBreaks)
{
    std::vector<std::string> lines = {
        "", " ", "0", "  8   2.7949  13.5896 2  9 0.000  8 1.000", "0\t-1.5\v2\f3.25 \r", "a b", "\t\tend", std::string(70, ' ') + "y",
        "  9 -6.6976 -4.5335 54.3559 -0.3161 -0.2570 -0.9132 0.3371 0.3275 3 12 0.000 0 0.000 9 1.000",
    };
    std::mt19937 rng(5);
    const char alphabet[] = {'1', '.', '-', ' ', '\t', 'e', '\v', '\x80'};
    for (int i = 0; i < 3000; ++i) {
        std::string line(rng() % 200, ' ');
        for (char& c : line) c = alphabet[rng() % sizeof alphabet];
        lines.push_back(line);
    }
    for (const std::string& line : lines) {
        SCOPED_TRACE("line \"" + line + "\"");
        std::vector<std::string> words;
        FieldScanner scan(line);
        for (std::string_view w; scan.readWord(w);) words.emplace_back(w);
        std::string padded = line + std::string(kScanSlack, 'x');
        for (const LineScanner* scanner : availableLineScanners()) {
            SCOPED_TRACE(scanner->name);
            LineFields fields;
            ASSERT_TRUE(scanner->splitFields(std::string_view(padded.data(), line.size()), fields) || words.size() > LineFields::kMaxFields);
            if (words.size() > LineFields::kMaxFields) continue;
            ASSERT_EQ(fields.count, static_cast<int>(words.size()));
            for (int k = 0; k < fields.count; ++k)
                EXPECT_EQ(std::string(fields.begin(padded.data(), k), static_cast<std::size_t>(fields.length(k))), words[static_cast<std::size_t>(k)]);
        }
    }
    // Line ends listed ahead: what every implementation lists is the start
    // of the list a line-by-line walk gives (lines ended by '\n' alone, none
    // longer than the limit, up to the first '\r' or zero byte).
    for (int i = 0; i < 3000; ++i) {
        std::string text(rng() % 700, 'a');
        for (char& c : text) c = "aaaaaaaaaaaa\n\n\n\r"[rng() % (i % 3 == 0 ? 16 : 15)];
        if (i % 5 == 0 && !text.empty()) text[rng() % text.size()] = '\0';
        const std::size_t maxLine = i % 4 == 0 ? 20 : 1000;
        std::vector<std::uint32_t> expected;
        for (std::size_t at = 0, start = 0; at < text.size() && text[at] != '\r' && text[at] != '\0'; ++at) {
            if (text[at] != '\n') continue;
            if (at - start > maxLine) break;
            expected.push_back(static_cast<std::uint32_t>(at));
            start = at + 1;
        }
        for (const LineScanner* scanner : availableLineScanners()) {
            std::uint32_t ends[64];
            const std::size_t found = scanner->findLineEnds(text.data(), text.data() + text.size(), ends, 64, maxLine);
            ASSERT_LE(found, std::min<std::size_t>(expected.size(), 64)) << scanner->name;
            if (std::string(scanner->name) == "plain") {
                EXPECT_EQ(found, std::min<std::size_t>(expected.size(), 64));
            }
            for (std::size_t k = 0; k < found; ++k) ASSERT_EQ(ends[k], expected[k]) << scanner->name << " end " << k;
        }
    }
    for (int i = 0; i < 3000; ++i) {
        std::string text(rng() % 300, 'a');
        const std::size_t breakAt = rng() % (text.size() + 1);
        if (breakAt < text.size()) text[breakAt] = "\n\r"[rng() % 3];
        for (const LineScanner* scanner : availableLineScanners()) {
            const std::size_t from = rng() % (text.size() + 1);
            const char* found = scanner->findLineBreak(text.data() + from, text.data() + text.size());
            const std::size_t expected = breakAt >= from ? breakAt : text.size();
            EXPECT_EQ(static_cast<std::size_t>(found - text.data()), std::min(expected, text.size())) << scanner->name << " from " << from;
        }
    }
}

TEST(TextScanTest, ReadQuotedTakesTheNameBetweenQuotes)
{
    std::string_view name;
    std::int32_t parent = 0;

    FieldScanner blanks("  \"Bip01 L Hand\" 3");
    ASSERT_TRUE(blanks.readQuoted(name));
    EXPECT_EQ(name, "Bip01 L Hand");
    ASSERT_EQ(blanks.readInt(parent), ScanStatus::Ok);
    EXPECT_EQ(parent, 3);

    FieldScanner empty("\"\" -1");
    ASSERT_TRUE(empty.readQuoted(name));
    EXPECT_EQ(name, "");
    ASSERT_EQ(empty.readInt(parent), ScanStatus::Ok);
    EXPECT_EQ(parent, -1);

    // The name may hold characters that are not ASCII (CP949 or UTF-8 bytes).
    FieldScanner korean("\"\xEB\xBC\x88 1\"");
    ASSERT_TRUE(korean.readQuoted(name));
    EXPECT_EQ(name, "\xEB\xBC\x88 1");

    for (const char* bad : {"\"unclosed name 3", "noquote 3", "", "   ", "'single' 3", "\""}) {
        SCOPED_TRACE(bad);
        FieldScanner scan(bad);
        name = "unchanged";
        EXPECT_FALSE(scan.readQuoted(name));
        EXPECT_EQ(name, "unchanged");
    }
}

TEST(TextScanTest, WordsAndKeywords)
{
    EXPECT_EQ(firstWord("  nodes  "), "nodes");
    EXPECT_EQ(firstWord("end\r"), "end");
    EXPECT_EQ(firstWord("\ttime 12"), "time");
    EXPECT_EQ(firstWord("skin.bmp"), "skin.bmp");
    EXPECT_EQ(firstWord(""), "");
    EXPECT_EQ(firstWord(" \t\r\v\f"), "");
    // Words longer than eight bytes, ending in the last eight or before
    // them, with a control byte that is no blank, and in UTF-8.
    EXPECT_EQ(firstWord("  body/Skin_D.tga"), "body/Skin_D.tga");
    EXPECT_EQ(firstWord("skin_body.tga\r"), "skin_body.tga");
    EXPECT_EQ(firstWord("large_stone.png x"), "large_stone.png");
    EXPECT_EQ(firstWord("ab\x01" "cdefghij\tk"), "ab\x01" "cdefghij");
    EXPECT_EQ(firstWord("\xEA\xB0\x91\xEC\x98\xB7_\xED\x94\xBC\xEB\xB6\x80.tga"), "\xEA\xB0\x91\xEC\x98\xB7_\xED\x94\xBC\xEB\xB6\x80.tga");

    EXPECT_TRUE(equalsIgnoringCase("END", "end"));
    EXPECT_TRUE(equalsIgnoringCase("Triangles", "tRIANGLES"));
    EXPECT_TRUE(equalsIgnoringCase("", ""));
    EXPECT_FALSE(equalsIgnoringCase("end", "ends"));
    EXPECT_FALSE(equalsIgnoringCase("end", "enD "));
    EXPECT_FALSE(equalsIgnoringCase("[", "{"));  // 0x5B and 0x7B differ by the case bit but are not letters
    // Only ASCII letters fold; bytes of multibyte text must match exactly.
    EXPECT_FALSE(equalsIgnoringCase("\xC4", "\xE4"));
    EXPECT_TRUE(equalsIgnoringCase("\xEB\xBC\x88", "\xEB\xBC\x88"));
}

TEST(TextScanTest, LineCursorSplitsOnNewlinesAndDropsCarriageReturns)
{
    LineCursor cursor("a\r\nb\n\nc");
    EXPECT_EQ(cursor.remainingLines(), 4u);
    std::string_view line;
    const char* expected[] = {"a", "b", "", "c"};
    for (long i = 0; i < 4; ++i) {
        ASSERT_TRUE(cursor.next(line));
        EXPECT_EQ(line, expected[i]);
        EXPECT_EQ(cursor.lineNumber(), i + 1);
        EXPECT_EQ(cursor.remainingLines(), static_cast<std::size_t>(3 - i));
    }
    EXPECT_TRUE(cursor.atEnd());
    EXPECT_FALSE(cursor.next(line));
    EXPECT_EQ(cursor.lineNumber(), 4);

    cursor.rewind();
    EXPECT_EQ(cursor.lineNumber(), 0);
    ASSERT_TRUE(cursor.next(line));
    EXPECT_EQ(line, "a");

    // A final line end does not make an empty last line; a lone '\r' ends one.
    LineCursor trailing("x\ry\r\n\r\n");
    EXPECT_EQ(trailing.remainingLines(), 3u);
    ASSERT_TRUE(trailing.next(line));
    EXPECT_EQ(line, "x");
    ASSERT_TRUE(trailing.next(line));
    EXPECT_EQ(line, "y");
    ASSERT_TRUE(trailing.next(line));
    EXPECT_EQ(line, "");
    EXPECT_FALSE(trailing.next(line));

    LineCursor empty("");
    EXPECT_TRUE(empty.atEnd());
    EXPECT_EQ(empty.remainingLines(), 0u);
    EXPECT_FALSE(empty.next(line));
}

TEST(TextScanTest, LongLinesAreNotCut)
{
    std::string text(1 << 20, 'x');
    text += "\nend\n";
    LineCursor cursor(text);
    std::string_view line;
    ASSERT_TRUE(cursor.next(line));
    EXPECT_EQ(line.size(), std::size_t{1} << 20);
    ASSERT_TRUE(cursor.next(line));
    EXPECT_EQ(line, "end");
    EXPECT_EQ(cursor.lineNumber(), 2);
    EXPECT_FALSE(cursor.next(line));

    // Many fields on one long line are all read.
    std::string numbers;
    for (int i = 0; i < 20000; ++i) numbers += std::to_string(i) + ".5 ";
    FieldScanner scan(numbers);
    float v = 0;
    int count = 0;
    while (scan.readFloat(v) == ScanStatus::Ok) ++count;
    EXPECT_EQ(count, 20000);
    EXPECT_EQ(v, 19999.5f);
}

TEST(TextScanTest, CountLines)
{
    EXPECT_EQ(countLines(""), 0u);
    EXPECT_EQ(countLines("a"), 1u);
    EXPECT_EQ(countLines("a\n"), 1u);
    EXPECT_EQ(countLines("a\nb"), 2u);
    EXPECT_EQ(countLines("\n\n"), 2u);
    EXPECT_EQ(countLines("a\r\nb\r\n\r\nc"), 4u);
    // Agrees with walking the lines.
    const std::string text = "version 1\nnodes\n0 \"root\" -1\nend\n\nskeleton\r\nend";
    LineCursor cursor(text);
    std::string_view line;
    std::size_t walked = 0;
    while (cursor.next(line)) ++walked;
    EXPECT_EQ(countLines(text), walked);
}


// x written with the given decimals (and blanks after it when room) must
// scan to strtof's float, bit for bit, and leave nothing but blanks.
void expectStrtofValue(int decimals, double x, bool room)
{
    char text[64];
    std::snprintf(text, sizeof text, room ? "%.*f         " : "%.*f", decimals, x);
    FieldScanner scan(text);
    float got = 0;
    ASSERT_EQ(scan.readFloat(got), ScanStatus::Ok) << text;
    const float expected = std::strtof(text, nullptr);
    ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << text << " gave " << got << " not " << expected;
    ASSERT_TRUE(scan.atEnd()) << text;
    expectQuickDecimalsAgree(text, {expected});
}

// The short-decimal path must give strtof's value bit for bit: random numbers
// in the shapes exporters write, with 1 to 10 decimals and up to 9 digits.
TEST(TextScanTest, ShortDecimalsGiveExactlyTheStrtofValue)
{
    std::mt19937_64 rng(7);
    for (int i = 0; i < 400000; ++i) {
        const int decimals = static_cast<int>(rng() % 11);
        const double magnitude = std::pow(10.0, static_cast<double>(rng() % 9) - 3.0);
        const double x = (static_cast<double>(rng() % 2000001) / 1000000.0 - 1.0) * magnitude;
        // Every other number has room after it, as numbers inside a line do:
        // digits are then taken eight at a time.
        ASSERT_NO_FATAL_FAILURE(expectStrtofValue(decimals, x, i % 2 == 0));
    }
}

// Decimals written right at and beside the points halfway between two floats,
// where a quotient off by a unit in the last place would round the other way.
TEST(TextScanTest, DecimalsNearHalfwayPointsGiveTheStrtofValue)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> any(-1000.0f, 1000.0f);
    int checked = 0;
    for (int i = 0; i < 100000; ++i) {
        const float f = any(rng);
        const double halfway = (static_cast<double>(f) + static_cast<double>(std::nextafter(f, 2000.0f))) / 2;
        const int decimals = 6 + static_cast<int>(rng() % 10);
        for (double x : {halfway, std::nextafter(halfway, 1e9), std::nextafter(halfway, -1e9)}) {
            ASSERT_NO_FATAL_FAILURE(expectStrtofValue(decimals, x, i % 2 == 0));
            ++checked;
        }
    }
    EXPECT_EQ(checked, 300000);
}

} // namespace
} // namespace veskar
