// quillane: the window program. With arguments it is the command line, exactly as gridcast;
// without, or with "--window [FILE...]" (the desktop's "Open with"), it opens the main window.
#include "app/modMain.h"
#include "app/modWindow.h"

#include <string>

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) != "--window") return quillane::app::Main(argc, argv);
  return quillane::app::WindowMain(argc, argv);
}
