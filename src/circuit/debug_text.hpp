#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace telm {

// Writes `text` between double quotes the way a debug listing shows a string: a double quote
// or backslash gets a backslash before it; tab, carriage return, line feed and NUL become \t,
// \r, \n and \0; every code point that is not printable (general categories Cc, Cf, Cs, Co,
// Cn, Zl, Zp and Zs other than the ASCII space) and every grapheme-extending mark becomes
// \u{hex} with lowercase digits and no leading zeros. Everything else, the single quote
// included, is copied unchanged.
//
// Labels normally hold valid UTF-8. A three-byte sequence encoding a surrogate is decoded as
// that surrogate (and then escaped as one); any other byte that does not start a well-formed
// sequence is written as \x followed by two lowercase hex digits, so no input byte is lost or
// silently altered.
[[nodiscard]] std::string quoted_debug_string(std::string_view text);

// "[0, 1, 2]": decimal integers separated by a comma and a space.
[[nodiscard]] std::string debug_index_list(std::span<const std::uint64_t> values);

// The two Unicode classes the escaping above is built on, taken from the utf8proc tables.
[[nodiscard]] bool is_printable_code_point(char32_t code_point);
[[nodiscard]] bool is_grapheme_extend(char32_t code_point);

}  // namespace telm
