#include "runtime/Printable.hpp"

namespace {

void writeEscape(std::ostream& out, unsigned char c) {
    switch (c) {
    case '\n':
        out << "\\n";
        return;
    case '\r':
        out << "\\r";
        return;
    case '\t':
        out << "\\t";
        return;
    default:
        break;
    }
    const char* const digits = "0123456789abcdef";
    const char escape[4] = {'\\', 'x', digits[c >> 4], digits[c & 0x0f]};
    out.write(escape, 4);
}

} // namespace

void writeEscaped(std::ostream& out, std::string_view text, bool keepNewlines) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const bool control = c < 0x20 || c == 0x7f;
        if (!control || (keepNewlines && c == '\n')) {
            continue;
        }
        out.write(text.data() + start, static_cast<std::streamsize>(i - start));
        writeEscape(out, c);
        start = i + 1;
    }
    out.write(text.data() + start, static_cast<std::streamsize>(text.size() - start));
}

std::ostream& operator<<(std::ostream& out, Printable value) {
    writeEscaped(out, value.text, false);
    return out;
}
