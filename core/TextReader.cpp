#include "core/TextReader.h"

namespace {

bool isLineEnd(char c) {
    return c == '\n' || c == '\r';
}
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\f' || c == '\v';
}

constexpr long long kSaturation = 1'000'000'000'000'000LL;

}  // namespace

void TextReader::skipLineEnd() {
    if (atEnd()) {
        return;
    }
    if (m_data[m_pos] == '\r') {
        ++m_pos;
        if (!atEnd() && m_data[m_pos] == '\n') {
            ++m_pos;
        }
    } else {
        ++m_pos;
    }
    ++m_line;
}

QByteArray TextReader::readLine() {
    const qsizetype start = m_pos;
    while (!atEnd() && !isLineEnd(m_data[m_pos])) {
        ++m_pos;
    }
    QByteArray line = m_data.mid(start, m_pos - start);
    skipLineEnd();
    return line;
}

TextReader::Number TextReader::readNumber() {
    while (!atEnd() && (isBlank(m_data[m_pos]) || isLineEnd(m_data[m_pos]))) {
        if (isLineEnd(m_data[m_pos])) {
            skipLineEnd();
        } else {
            ++m_pos;
        }
    }
    if (atEnd()) {
        return {NumberStatus::EndOfFile, 0, m_line};
    }
    const int line = m_line;
    const qsizetype start = m_pos;
    while (!atEnd() && !isBlank(m_data[m_pos]) && !isLineEnd(m_data[m_pos])) {
        ++m_pos;
    }
    const QByteArray token = m_data.mid(start, m_pos - start);
    // Skip the rest of the line whatever the token was.
    while (!atEnd() && !isLineEnd(m_data[m_pos])) {
        ++m_pos;
    }
    skipLineEnd();

    qsizetype i = 0;
    bool negative = false;
    if (token[0] == '+' || token[0] == '-') {
        negative = token[0] == '-';
        i = 1;
    }
    if (i >= token.size()) {
        return {NumberStatus::NotANumber, 0, line};
    }
    long long value = 0;
    for (; i < token.size(); ++i) {
        const char c = token[i];
        if (c < '0' || c > '9') {
            return {NumberStatus::NotANumber, 0, line};
        }
        if (value < kSaturation) {
            value = value * 10 + (c - '0');
        }
    }
    if (value > kSaturation) {
        value = kSaturation;
    }
    return {NumberStatus::Ok, negative ? -value : value, line};
}
