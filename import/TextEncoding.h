#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The character sets a sign shop's text files come in: UTF-8, the Chinese
// legacy sets GB18030 (which includes GBK and GB2312) and Big5, and
// Latin-1 for Western 8-bit files.
enum class TextEncoding { Auto, Utf8, Gb18030, Big5, Latin1 };

// Names for the chooser, in enum order after Auto.
QString encodingName(TextEncoding encoding);

// The set a file's bytes are most likely in: UTF-8 when they are valid
// UTF-8; else GB18030 or Big5 when they decode cleanly into Chinese (the
// one whose text holds more of the characters common in that script's
// writing); else Latin-1, where every byte is a character.
TextEncoding detectEncoding(const QByteArray& bytes);

// The bytes decoded in encoding (Auto: the detected one); a byte order mark
// is dropped.
QString decodeWith(const QByteArray& bytes, TextEncoding encoding);
