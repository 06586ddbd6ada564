#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Small text functions shared across the program: quote-aware splitting, trimming, regular
// expressions, UTF-8 to Latin-1, the yes/no prompt and the HTML page frame of the help output.
namespace RepositoryAccess::utils {

// Splits at the first delimiter outside double quotes into the part before and the part after it
// (the delimiter is dropped, quotes stay). Without such a delimiter the head is the whole text and
// the tail empty. Throws "Unclosed quote: <text>" when the scan ends inside quotes.
std::pair<std::string, std::string> splitFirst(std::string_view theText, char theDelimiter);

// Splits the text into all pieces between unquoted delimiters by repeating splitFirst() on the
// tail until it is empty: "a..b" gives a, "", b; a trailing delimiter adds nothing; "" gives none.
std::vector<std::string> splitAll(std::string_view theText, char theDelimiter);

// Puts a backslash before every character that patterns treat specially (\\ . ( ) [ ] { } * + ?
// ^ $ |), so that a directory name embedded in a pattern matches only itself.
std::string regexEscape(std::string_view theText);

// Appends the byte as two lower-case hexadecimal digits.
void appendHex(std::string& theText, unsigned char theByte);

// The bytes as lower-case hexadecimal digits, two per byte: digests, salts and byte reports.
std::string toHex(std::string_view theBytes);

// Reads pairs of hexadecimal digits (either case) into bytes; false for an odd length or any
// other character, and then the bytes are not to be used.
bool fromHex(std::string_view theText, std::string& theBytes);

// Converts UTF-8 bytes to Latin-1: ASCII is copied, two-byte sequences give one byte (right for
// code points up to U+00FF). Throws "Invalid second UTF-8 byte (...)" or "Invalid UTF-8 start
// byte (...)" naming the offending byte and its hexadecimal value; a two-byte start at the very
// end fails as a second byte shown as "" and 0x00.
std::string utf8ToLatin1(std::string_view theBytes);

// Asks a yes/no question on the console (the question with " (Y/n): " or " (y/N): ") and reads
// one character: Enter gives the default, "Y" or "y" yes, anything else (end of input included)
// no. The rest of the input line is discarded.
bool confirm(std::string_view theQuestion, bool theDefaultYes);

// Makes confirm() read from theInput instead of standard input; nullptr restores standard input.
// For tests; the stream must outlive its use.
void setConfirmInputForTests(std::istream* theInput);

// The list filter of HTML pages: after every "<li>" a run of decimal digits is dropped, and a ")"
// or "*" directly after the tag (or the dropped digits), because the HTML list numbers itself.
std::string dropListNumbers(std::string_view thePage);

// A repository host "file:PATH" with a relative PATH becomes "file:" and the absolute path from
// the current directory, so that a key or a workspace reaches the repository file from any
// directory; every other host is returned unchanged. Throws Error when the current directory is
// gone.
std::string anchoredHost(const std::string& theHost);

} // namespace RepositoryAccess::utils
