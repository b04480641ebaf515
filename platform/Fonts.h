#pragma once

#include <QFont>
#include <QString>

// The system asks for its fonts by the names they had where it was made:
// "宋体" for the clock glyphs and "細明體" for texts. A fontconfig file maps
// them to Debian's CJK bitmap fonts (WenQuanYi Bitmap Song, with a real
// 16-pixel strike, and AR PL UMing TW). Call before the application object
// is made; it points FONTCONFIG_FILE at the file installed with the program
// (share/marquee/fonts.conf) or, run from the build folder, at one it writes
// in this user's runtime or cache folder (the system's own fonts.conf is
// included).
void installFontConfig();

// The fontconfig file's text.
QString fontConfigText();

// A font of the given face and pixel size drawn without anti-aliasing, so
// every pixel is either the text colour or not.
QFont crispFont(const QString& family, int pixelSize);
