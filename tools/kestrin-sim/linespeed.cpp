// Kept apart from <termios.h>: the kernel's termios2 carries the speed as a plain number, also
// for rates that have no B-constant.
#if defined(__linux__)
#include <asm/ioctls.h>
#include <asm/termbits.h>

extern "C" int ioctl(int fd, unsigned long request, ...);

int readLineSpeedExact(int fd) {
  struct termios2 t;
  if (ioctl(fd, TCGETS2, &t) != 0) return 0;
  return static_cast<int>(t.c_ospeed);
}
#else
int readLineSpeedExact(int) { return 0; }
#endif
