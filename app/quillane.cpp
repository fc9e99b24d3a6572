// quillane: the window program. With arguments it is the command line, exactly as gridcast;
// without, it opens the main window.
#include "app/modMain.h"
#include "app/modWindow.h"

int main(int argc, char** argv) {
  if (argc > 1) return quillane::app::Main(argc, argv);
  return quillane::app::WindowMain(argc, argv);
}
