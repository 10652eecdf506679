// The demo: shows the library at work.
#include "host/SysUtils.h"

#include <cstdio>

int main() {
  std::printf("Zelnor Components demo\n");
  return 0;
}
