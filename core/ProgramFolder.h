#pragma once

#include <QString>

// The folder of the running executable: ck.ini, generated pages and port
// links live there, and relative picture names resolve there.
QString executableFolder();

// A picture name as stored in a page, resolved against the program folder
// when it is not absolute.
QString resolveInFolder(const QString& folder, const QString& fileName);
