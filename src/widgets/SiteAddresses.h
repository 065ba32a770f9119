#pragma once
// Fills a chooser's drop-down entries from the saved site addresses
// (sites/tlxurls.tlx under the base directory) while keeping its edit text.
class QComboBox;
class QString;

namespace tolvan::widgets {

// Returns false (and changes nothing) when the file does not exist; a file that
// cannot be read shows the error in a box and changes nothing.
bool loadSavedAddresses(QComboBox* box, const QString& baseDir);

}  // namespace tolvan::widgets
