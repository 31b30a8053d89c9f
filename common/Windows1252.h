#pragma once
// Texts travel as Windows-1252 bytes (database, network, files); the widgets and the source files
// speak UTF-8. These are the only two conversions between them.

#include <optional>
#include <string>
#include <string_view>

namespace halvio {

// Windows-1252 bytes to UTF-8. The five bytes that Windows-1252 leaves undefined map to the
// C1 control of the same value, so the conversion is reversible for every byte.
std::string utf8FromCp1252(std::string_view bytes);

// UTF-8 to Windows-1252 bytes; a character outside the code page becomes '?'.
std::string cp1252FromUtf8(std::string_view utf8);

// Whether the bytes are well-formed UTF-8 (no overlong form, surrogate or code point past U+10FFFF)
// holding at least one character beyond ASCII. Windows-1252 French text is almost never such a text
// (an accented letter is followed by an ASCII one), which tells text typed in UTF-8 from the system's.
bool isNonAsciiUtf8(std::string_view bytes);

// Well-formed UTF-8 to Windows-1252 bytes when every character has a byte in the code page; nothing
// when one has none or the text is no well-formed UTF-8.
std::optional<std::string> exactCp1252FromUtf8(std::string_view utf8);

// A French literal of the source (UTF-8) as the system's bytes: fr("Connecté.").
inline std::string fr(std::string_view utf8Literal) {
    return cp1252FromUtf8(utf8Literal);
}

} // namespace halvio
