#include "circuit/debug_text.hpp"

#include <utf8proc.h>

#include <cstddef>
#include <optional>

namespace telm {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

struct Decoded {
  char32_t code_point;
  std::size_t length;  // bytes consumed
};

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// One UTF-8 sequence starting at `pos`, or nothing when the byte there does not begin a
// well-formed one. Surrogates (ED A0..BF xx) are accepted so that they can be shown escaped.
std::optional<Decoded> decode_at(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const std::size_t available = text.size() - pos;
  const unsigned char lead = byte(0);
  if (lead < 0x80) return Decoded{lead, 1};

  std::size_t length = 0;
  unsigned char second_min = 0x80;
  unsigned char second_max = 0xBF;
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) second_min = 0xA0;  // no overlong forms
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) second_min = 0x90;  // no overlong forms
    if (lead == 0xF4) second_max = 0x8F;  // nothing above U+10FFFF
  } else {
    return std::nullopt;
  }
  if (available < length) return std::nullopt;
  if (byte(1) < second_min || byte(1) > second_max) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    if (!is_continuation(byte(i))) return std::nullopt;
    value = (value << 6) | (byte(i) & 0x3F);
  }
  return Decoded{value, length};
}

void append_unicode_escape(std::string& out, char32_t code_point) {
  char digits[8];
  int count = 0;
  do {
    digits[count++] = kHexDigits[code_point & 0xF];
    code_point >>= 4;
  } while (code_point != 0);
  out += "\\u{";
  while (count > 0) out += digits[--count];
  out += '}';
}

void append_byte_escape(std::string& out, unsigned char byte) {
  out += "\\x";
  out += kHexDigits[byte >> 4];
  out += kHexDigits[byte & 0xF];
}

}  // namespace

bool is_printable_code_point(char32_t code_point) {
  if (code_point == U' ') return true;
  if (code_point > 0x10FFFF) return false;
  switch (utf8proc_category(static_cast<utf8proc_int32_t>(code_point))) {
    case UTF8PROC_CATEGORY_CC:  // control
    case UTF8PROC_CATEGORY_CF:  // format
    case UTF8PROC_CATEGORY_CS:  // surrogate
    case UTF8PROC_CATEGORY_CO:  // private use
    case UTF8PROC_CATEGORY_CN:  // unassigned (and noncharacters)
    case UTF8PROC_CATEGORY_ZL:
    case UTF8PROC_CATEGORY_ZP:
    case UTF8PROC_CATEGORY_ZS:
      return false;
    default:
      return true;
  }
}

bool is_grapheme_extend(char32_t code_point) {
  if (code_point > 0x10FFFF) return false;
  const auto cp = static_cast<utf8proc_int32_t>(code_point);
  // utf8proc stores the grapheme-cluster-break class, whose Extend is Grapheme_Extend plus the
  // emoji skin-tone modifiers. Those modifiers are the only Extend members of category Sk (no
  // Grapheme_Extend code point is a modifier symbol), so the category tells them apart.
  return utf8proc_get_property(cp)->boundclass == UTF8PROC_BOUNDCLASS_EXTEND &&
         utf8proc_category(cp) != UTF8PROC_CATEGORY_SK;
}

std::string quoted_debug_string(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::optional<Decoded> decoded = decode_at(text, pos);
    if (!decoded) {
      append_byte_escape(out, static_cast<unsigned char>(text[pos]));
      ++pos;
      continue;
    }
    const char32_t cp = decoded->code_point;
    switch (cp) {
      case U'"': out += "\\\""; break;
      case U'\\': out += "\\\\"; break;
      case U'\t': out += "\\t"; break;
      case U'\r': out += "\\r"; break;
      case U'\n': out += "\\n"; break;
      case U'\0': out += "\\0"; break;
      default:
        if (is_grapheme_extend(cp) || !is_printable_code_point(cp)) {
          append_unicode_escape(out, cp);
        } else {
          out.append(text.substr(pos, decoded->length));
        }
    }
    pos += decoded->length;
  }
  out += '"';
  return out;
}

std::string debug_index_list(std::span<const std::uint64_t> values) {
  std::string out = "[";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i != 0) out += ", ";
    out += std::to_string(values[i]);
  }
  out += ']';
  return out;
}

}  // namespace telm
