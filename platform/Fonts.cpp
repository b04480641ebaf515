#include "platform/Fonts.h"

#include "platform/AtomicFile.h"

#include <QDir>

#include <unistd.h>
#include <cstdlib>

QString fontConfigText() {
    return QStringLiteral(R"(<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <!-- The bitmap CJK fonts are wanted even where bitmap fonts are refused. -->
  <selectfont>
    <acceptfont>
      <pattern><patelt name="family"><string>WenQuanYi Bitmap Song</string></patelt></pattern>
    </acceptfont>
  </selectfont>
  <alias binding="same">
    <family>宋体</family>
    <prefer><family>WenQuanYi Bitmap Song</family><family>AR PL UMing CN</family></prefer>
  </alias>
  <alias binding="same">
    <family>SimSun</family>
    <prefer><family>WenQuanYi Bitmap Song</family><family>AR PL UMing CN</family></prefer>
  </alias>
  <alias binding="same">
    <family>細明體</family>
    <prefer><family>AR PL UMing TW</family><family>WenQuanYi Bitmap Song</family></prefer>
  </alias>
  <alias binding="same">
    <family>MingLiU</family>
    <prefer><family>AR PL UMing TW</family><family>WenQuanYi Bitmap Song</family></prefer>
  </alias>
</fontconfig>
)");
}

void installFontConfig() {
    const QString path =
        QDir::temp().filePath(QStringLiteral("marquee-fonts-%1.conf").arg(::getuid()));
    QString error;
    if (writeFileAtomically(path, fontConfigText().toUtf8(), &error)) {
        ::setenv("FONTCONFIG_FILE", QFile::encodeName(path).constData(), 1);
    }
}

QFont crispFont(const QString& family, int pixelSize) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setStyleStrategy(QFont::NoAntialias);
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}
