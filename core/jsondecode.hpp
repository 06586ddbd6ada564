#pragma once

// The values of the parser's tokens: the bytes of a string token with its escapes decoded, and
// the number of an Integer or Real token. Not part of the JSON interface.

#include <cstddef>
#include <cstdint>

namespace RepositoryAccess::json {

// Decodes the escapes of a raw string token into theOut (which has room for theSize bytes: no
// escape lengthens its text). Returns the decoded length. \uXXXX becomes UTF-8 (a surrogate is
// encoded by itself, so a pair becomes CESU-8), \xHH the byte; an unknown or incomplete escape
// is kept as it stands.
std::size_t decodeEscapes(const char* theText, std::size_t theSize, char* theOut);

// The text of an Integer token ("-" and digits) as a 32-bit value, clamped to the range.
std::int32_t toInteger(const char* theText, const char* theEnd);

// The text of a Real token as a decimal double, read like strtod: the longest prefix that forms
// a number counts, no number at all gives 0, overflow gives an infinity, underflow zero.
double toReal(const char* theText, const char* theEnd);

} // namespace RepositoryAccess::json
