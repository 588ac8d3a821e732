#include "preview/DiagnosticLog.hpp"

#include <SFML/System/Err.hpp>

#include <iostream>

namespace preview {

DiagnosticLog::DiagnosticLog()
    : buffer_(*this), cerrBefore_(std::cerr.rdbuf()), sfmlBefore_(sf::err().rdbuf()) {
    std::cerr.rdbuf(&buffer_);
    sf::err().rdbuf(&buffer_);
}

DiagnosticLog::~DiagnosticLog() {
    if (!partial_.empty()) {
        finishLine();
    }
    std::cerr.rdbuf(cerrBefore_);
    sf::err().rdbuf(sfmlBefore_);
}

std::vector<std::string> DiagnosticLog::take() {
    std::vector<std::string> lines;
    lines.swap(lines_);
    return lines;
}

DiagnosticLog::Buffer::int_type DiagnosticLog::Buffer::overflow(int_type c) {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        const char ch = traits_type::to_char_type(c);
        log_.append(&ch, 1);
    }
    return traits_type::not_eof(c);
}

std::streamsize DiagnosticLog::Buffer::xsputn(const char* text, std::streamsize count) {
    log_.append(text, static_cast<std::size_t>(count));
    return count;
}

void DiagnosticLog::append(const char* text, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (text[i] == '\n') {
            finishLine();
        } else {
            partial_.push_back(text[i]);
        }
    }
}

void DiagnosticLog::finishLine() {
    std::string line;
    line.swap(partial_);
    if (repeats_ || passed_.insert(line).second) {
        cerrBefore_->sputn(line.data(), static_cast<std::streamsize>(line.size()));
        cerrBefore_->sputc('\n');
        cerrBefore_->pubsync();
    }
    lines_.push_back(std::move(line));
}

} // namespace preview
