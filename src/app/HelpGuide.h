#pragma once
// The user guide ships inside the program. Help, Help copies it into the
// user's cache directory and opens it in the browser from there.
#include <QString>

namespace tolvan::app {

// Writes the guide's files under `directory` (default: the user's cache
// directory) and returns the full path of its contents page. Throws FileError
// when they cannot be written.
QString installHelpGuide(const QString& directory = QString());

}  // namespace tolvan::app
