#include "runtime/Printable.hpp"

std::ostream& operator<<(std::ostream& out, Printable value) {
    writeEscaped(value.text, false, [&out](std::string_view piece) {
        out.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    });
    return out;
}
