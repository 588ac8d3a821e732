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

// Hands `text` to `write` (called with string_views) in pieces, with each control character
// replaced by its escape; a newline passes as it is when `keepNewlines`.
template <typename Write>
void writeEscaped(std::string_view text, bool keepNewlines, Write&& write) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool control = c < 0x20 || c == 0x7f;
        if (!control || (keepNewlines && c == '\n')) {
            continue;
        }
        write(text.substr(start, i - start));
        const char* const digits = "0123456789abcdef";
        const char hex[4] = {'\\', 'x', digits[c >> 4], digits[c & 0x0f]};
        switch (c) {
        case '\n':
            write(std::string_view("\\n"));
            break;
        case '\r':
            write(std::string_view("\\r"));
            break;
        case '\t':
            write(std::string_view("\\t"));
            break;
        default:
            write(std::string_view(hex, 4));
            break;
        }
        start = i + 1;
    }
    write(text.substr(start));
}
