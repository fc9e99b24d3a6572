#include <csignal>

#include "app/modMain.h"
#include "files/AtomicFile.h"

namespace {

// An interrupt or a termination request removes the temporary files of the pages being written,
// then ends the process as the signal would have.
extern "C" void OnStopSignal(int signal) {
  quillane::files::RemoveTemporaryFilesNow();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

int main(int argc, char** argv) {
  std::signal(SIGINT, OnStopSignal);
  std::signal(SIGTERM, OnStopSignal);
  return quillane::app::Main(argc, argv);
}
