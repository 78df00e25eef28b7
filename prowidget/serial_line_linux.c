/* SPDX-License-Identifier: MIT */
#include "prowidget/serial_line_linux.h"

#include <asm/termbits.h>
#include <errno.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

static const tcflag_t kInputOff = IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                  IXOFF | IXANY | INPCK | IUCLC;
static const tcflag_t kLocalOff = ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN;

int lumivane_serial_set_line(int fd, unsigned baud) {
  struct termios2 line;
  if (ioctl(fd, TCGETS2, &line) != 0) return errno;
  line.c_iflag &= ~kInputOff;
  line.c_oflag &= ~OPOST;
  line.c_lflag &= ~kLocalOff;
  line.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
  line.c_cflag |= CS8 | CREAD | CLOCAL | BOTHER | (BOTHER << IBSHIFT);
  line.c_ispeed = baud;
  line.c_ospeed = baud;
  line.c_cc[VMIN] = 0;
  line.c_cc[VTIME] = 0;
  if (ioctl(fd, TCSETS2, &line) != 0) return errno;
  return 0;
}

int lumivane_serial_flush(int fd, int queue) {
  const int which = queue == LUMIVANE_SERIAL_OUTPUT ? TCOFLUSH : TCIFLUSH;
  return ioctl(fd, TCFLSH, which) == 0 ? 0 : errno;
}

int lumivane_serial_no_closing_wait(int fd) {
  struct serial_struct settings;
  if (ioctl(fd, TIOCGSERIAL, &settings) != 0) return errno;
  if (settings.closing_wait == ASYNC_CLOSING_WAIT_NONE) return 0;
  settings.closing_wait = ASYNC_CLOSING_WAIT_NONE;
  if (ioctl(fd, TIOCSSERIAL, &settings) != 0) return errno;
  return 0;
}

int lumivane_serial_read_line(int fd, unsigned* baud, int* raw_8n1) {
  struct termios2 line;
  if (ioctl(fd, TCGETS2, &line) != 0) return errno;
  *baud = line.c_ospeed;
  *raw_8n1 = (line.c_iflag & kInputOff) == 0 && (line.c_oflag & OPOST) == 0 &&
             (line.c_lflag & kLocalOff) == 0 && (line.c_cflag & CSIZE) == CS8 &&
             (line.c_cflag & (PARENB | CSTOPB | CRTSCTS)) == 0;
  return 0;
}
