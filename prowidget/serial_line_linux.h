/* SPDX-License-Identifier: MIT */
/* Line settings of a serial port through termios2, so any baud rate can be
 * set. Kept apart from <termios.h>, whose definitions clash with the
 * kernel's. */
#ifndef LUMIVANE_PROWIDGET_SERIAL_LINE_LINUX_H
#define LUMIVANE_PROWIDGET_SERIAL_LINE_LINUX_H

#ifdef __cplusplus
extern "C" {
#endif

/* Raw mode, 8 data bits, no parity, 1 stop bit, receiver on, modem lines
 * ignored, no flow control of any kind (hardware, XON/XOFF), reads that
 * never wait, both directions at `baud`. Returns 0 or an errno value. */
int lumivane_serial_set_line(int fd, unsigned baud);

/* Drops what was received and not read yet (input), or what was written
 * and not sent yet (output). Returns 0 or an errno value. */
enum { LUMIVANE_SERIAL_INPUT = 0, LUMIVANE_SERIAL_OUTPUT = 1 };
int lumivane_serial_flush(int fd, int queue);

/* Tells the driver not to hold close() back while bytes wait to be sent
 * (closing_wait none, TIOCSSERIAL): USB serial drivers otherwise wait up to
 * 30 s, and an unplug waits behind them. Returns 0 or an errno value; a
 * driver without serial settings (a pty) refuses, which changes nothing. */
int lumivane_serial_no_closing_wait(int fd);

/* What the line is set to, for checks: the output speed, and whether it is
 * raw 8N1 without flow control (1) or not (0). Returns 0 or an errno value. */
int lumivane_serial_read_line(int fd, unsigned* baud, int* raw_8n1);

#ifdef __cplusplus
}
#endif

#endif
