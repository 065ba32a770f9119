#pragma once

namespace tolvan::app::fontConfiguration {

// Reading the desktop's font configuration is a good part of the window's
// start-up. It can be read on a second thread while Qt starts: startReading()
// before the application object exists, waitUntilRead() before the first text
// is measured. Reading starts once per process. The wait only saves work (Qt
// would otherwise read the whole configuration a second time); it returns at
// once when reading was never started or has been waited for. A process that
// ends without waiting waits at its exit.
void startReading();
void waitUntilRead();

}  // namespace tolvan::app::fontConfiguration
