#pragma once
// Set while the parallel-flash run is writing: the main window then refuses
// to change pages (the run's page must stay in front until it ends).

namespace quillon::app {

bool ParFlashRunning();
void SetParFlashRunning(bool running);

}  // namespace quillon::app
