// Arbitrary baud rates go through the kernel's second termios interface; its header
// redefines struct termios, so nothing else lives in this file.
#include "platform/CommEngine.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

bool CommSetBaudRate(int fd, uint32_t baud)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_cflag &= ~CBAUD;
    t.c_cflag |= BOTHER;
    t.c_cflag &= ~(CBAUD << IBSHIFT);  // input speed follows the output speed
    t.c_ispeed = baud;
    t.c_ospeed = baud;
    return ioctl(fd, TCSETS2, &t) == 0;
}

bool CommGetBaudRate(int fd, uint32_t& baud)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    baud = t.c_ospeed;
    return true;
}
