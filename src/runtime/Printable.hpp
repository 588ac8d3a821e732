#pragma once
#include <ostream>
#include <string_view>

// Text from outside the program (a key or a path from a definition file) as it goes into a
// diagnostic line: control characters are written as escapes (\n, \t, \x1b ...), so that each
// diagnostic stays one line and cannot drive the terminal. Printable text, UTF-8 included,
// is written as it is.
struct Printable {
    std::string_view text;
};

inline Printable printable(std::string_view text) {
    return Printable{text};
}

std::ostream& operator<<(std::ostream& out, Printable value);

// Writes `text` with its control characters escaped; a newline is kept when `keepNewlines`.
void writeEscaped(std::ostream& out, std::string_view text, bool keepNewlines);
