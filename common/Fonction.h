#pragma once
// Text helpers shared by every subsystem. Texts are Windows-1252 byte strings.

#include <string>
#include <string_view>

namespace halvio {

// Leading and trailing characters of codes 0 to 32 removed.
std::string Trimmed(std::string_view text);

// An SQL string literal: the text in single quotes, every single quote inside it doubled.
std::string Quoted(std::string_view text);

// Every occurrence of oldText, found left to right without overlaps, replaced by newText.
// Case-sensitive; inserted text is not searched again; an empty oldText changes nothing.
std::string ReplaceAll(std::string_view text, std::string_view oldText, std::string_view newText);

// ASCII-only upper and lower case (bytes above 0x7F are left as they are).
std::string upperAscii(std::string_view text);
std::string lowerAscii(std::string_view text);
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

} // namespace halvio
