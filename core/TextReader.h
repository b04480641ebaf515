#pragma once

#include <QByteArray>

#include <optional>

// Reads the settings file and play list files the way they have always been
// read: a number may be preceded by blanks and empty lines, the rest of its
// line is skipped after it, and a name line is taken whole. Lines end in
// CR LF, LF or a lone CR.
class TextReader {
  public:
    explicit TextReader(QByteArray data) : m_data(std::move(data)) {}

    bool atEnd() const { return m_pos >= m_data.size(); }

    // 1-based number of the line the reader stands on.
    int lineNumber() const { return m_line; }

    // The next whole line, without its line end.
    QByteArray readLine();

    enum class NumberStatus { Ok, EndOfFile, NotANumber };
    struct Number {
        NumberStatus status;
        long long value;  // saturated to +-1e15 when the digits overflow
        int line;         // the line the number (or the bad text) was found on
    };

    // Skips blanks and line ends, reads one decimal integer (optional sign),
    // then skips the rest of its line.
    Number readNumber();

  private:
    void skipLineEnd();

    QByteArray m_data;
    qsizetype m_pos = 0;
    int m_line = 1;
};
