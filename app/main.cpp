#include "app/modMain.h"

int main(int argc, char** argv) { return quillane::app::Main(argc, argv); }
