#include <cstdio>

int main() {
  std::puts("gridcast: not built yet");
  return 2;
}
