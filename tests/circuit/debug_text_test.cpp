#include "circuit/debug_text.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace telm {
namespace {

struct EscapeCase {
  const char* what;
  std::string label;
  std::string quoted;
};

// Labels arrive as UTF-8 bytes; the expected texts are written with explicit escapes so that
// nothing invisible hides in this file.
TEST(QuotedDebugString, EscapesExactlyTheNonPrintableAndGraphemeExtendingCharacters) {
  using namespace std::string_literals;
  const std::vector<EscapeCase> cases = {
      {"plain ASCII", "z0", R"("z0")"},
      {"empty", "", R"("")"},
      {"quote and backslash", "a\"b\\c", R"("a\"b\\c")"},
      {"single quote stays", "it's", R"("it's")"},
      {"named controls", "\t\r\n"s + '\0' + "x", R"("\t\r\n\0x")"},
      {"other C0 controls and DEL", "\x1b\x01\x7f", R"("\u{1b}\u{1}\u{7f}")"},
      {"C1 control NEL", "\xc2\x85", R"("\u{85}")"},
      {"ASCII space stays, other spaces do not", " \xc2\xa0\xe3\x80\x80", R"(" \u{a0}\u{3000}")"},
      {"line and paragraph separators", "\xe2\x80\xa8\xe2\x80\xa9", R"("\u{2028}\u{2029}")"},
      {"format characters", "\xc2\xad\xe2\x80\x8b\xe2\x80\x8d\xef\xbb\xbf", R"("\u{ad}\u{200b}\u{200d}\u{feff}")"},
      {"private use", "\xee\x80\x80", R"("\u{e000}")"},
      {"unassigned and noncharacter", "\xcd\xb8\xf4\x8f\xbf\xbf", R"("\u{378}\u{10ffff}")"},
      {"combining mark after a letter", "e\xcc\x81", R"("e\u{301}")"},
      {"enclosing mark", "1\xe2\x83\xa3", R"("1\u{20e3}")"},
      {"spacing mark that extends graphemes", "\xe0\xa6\xbe", R"("\u{9be}")"},
      {"spacing mark that does not", "\xe0\xa4\xbe", "\"\xe0\xa4\xbe\""},
      {"halfwidth sound mark (letter modifier, grapheme extend)", "\xef\xbe\x9e", R"("\u{ff9e}")"},
      {"zero width non-joiner", "\xe2\x80\x8c", R"("\u{200c}")"},
      {"accented and CJK letters stay", "\xc3\xa9\xe6\x97\xa5\xe6\x9c\xac", "\"\xc3\xa9\xe6\x97\xa5\xe6\x9c\xac\""},
      {"emoji and skin-tone modifier stay", "\xf0\x9f\x91\x8d\xf0\x9f\x8f\xbb", "\"\xf0\x9f\x91\x8d\xf0\x9f\x8f\xbb\""},
      {"replacement character stays", "\xef\xbf\xbd", "\"\xef\xbf\xbd\""},
      {"encoded surrogate", "\xed\xa0\x80", R"("\u{d800}")"},
      {"stray bytes", "a\xff" "b\x80", R"("a\xffb\x80")"},
      {"truncated sequence", "\xe2\x82", R"("\xe2\x82")"},
      {"overlong NUL", "\xc0\x80", R"("\xc0\x80")"},
      {"beyond U+10FFFF", "\xf4\x90\x80\x80", R"("\xf4\x90\x80\x80")"},
  };
  for (const EscapeCase& c : cases) {
    EXPECT_EQ(quoted_debug_string(c.label), c.quoted) << c.what;
  }
}

TEST(QuotedDebugString, UnicodeClassesComeFromTheTables) {
  EXPECT_TRUE(is_printable_code_point(U' '));
  EXPECT_TRUE(is_printable_code_point(U'~'));
  EXPECT_TRUE(is_printable_code_point(0x0301));  // a mark is printable; it is escaped as grapheme-extend
  EXPECT_FALSE(is_printable_code_point(0x110000));
  EXPECT_TRUE(is_grapheme_extend(0x0301));
  EXPECT_TRUE(is_grapheme_extend(0xE0020));   // tag characters
  EXPECT_FALSE(is_grapheme_extend(0x1F3FB));  // skin-tone modifier: grapheme-cluster Extend, not Grapheme_Extend
  EXPECT_FALSE(is_grapheme_extend(U'a'));
}

TEST(DebugIndexList, SeparatesWithCommaAndSpace) {
  EXPECT_EQ(debug_index_list(std::vector<std::uint64_t>{}), "[]");
  EXPECT_EQ(debug_index_list(std::vector<std::uint64_t>{7}), "[7]");
  EXPECT_EQ(debug_index_list(std::vector<std::uint64_t>{0, 1, 18446744073709551615ULL}),
            "[0, 1, 18446744073709551615]");
}

}  // namespace
}  // namespace telm
