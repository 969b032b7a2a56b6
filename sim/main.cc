#include <cstdio>

int main() {
  std::puts("mto-sim: nothing to run yet");
  return 0;
}
