#pragma once
// Plays a WAV file to its end before returning. No player or no audio device
// means silence, never an error box.
#include <QString>

namespace tolvan::app {

void playWavSync(const QString& file);

}  // namespace tolvan::app
