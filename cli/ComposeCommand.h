#pragma once

#include "core/ProgramFolder.h"

#include <QString>
#include <QStringList>

// compose TEXT.txt [options]: the text composer without its dialog. Renders
// the text into BASE1.bmp .. BASEn.bmp in the program folder at WIDTH x
// HEIGHT from ck.ini, exactly as TForm3 would, and prints their names, one a
// line. Every option takes a value:
//   --layout one|many   ONE LINE or MANY LINE (one)
//   --continue 0|1      ONE LINE: CONTINUE (1)
//   --lines N           MANY LINE: LINE/PAGE, 1..100 (HEIGHT div 16, at least 1)
//   --center 0|1        MANY LINE: CENTER (0)
//   --wordwrap 0|1      WORDWRAP (1)
//   --font FACE --size PX --bold 0|1 --italic 0|1   the font (細明體, 16, 0, 0)
//   --color NAME|#RRGGBB   the text colour (yellow)
//   --shadow NAME --background NAME   SHADOW and BACK GROUND (black)
//   --name BASE         FILENAME (LCTXT)
//   --list OUT.lis      write the play list: OUT.lis is loaded first when it
//                       exists, the pages are placed as the dialog places
//                       them (new pages take the default parameters), and
//                       the list is saved there.
// args: what follows the command word, with TEXT and OUT.lis already absolute.
// Returns 0 when the pages were written, 2 for bad usage or input (an empty
// text, a text needing more pages than the list can take, a file that cannot
// be read or written).
int runCompose(const Folders& folders, const QStringList& args);
