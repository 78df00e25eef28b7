// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumivane {

// The one serial-port component, with the properties its callers use.
// Line settings are fixed: 256000 baud, 8 data bits, no parity, 1 stop bit,
// no flow control. Every failure throws Failure with the component's own
// error number. Nothing is event-driven: callers poll. One thread at a
// time: the host's, or the widget link's writer while the link lends it.
class SerialComponent {
 public:
  virtual ~SerialComponent() = default;

  // Chooses the port for the next open. Fails while a port is open or for
  // a number the component rejects; the previous number then stays.
  virtual void SetCommPort(int16_t port) = 0;
  virtual int16_t CommPort() const = 0;

  // True opens the chosen port (fails if missing, held elsewhere or already
  // open); False closes it.
  virtual void SetPortOpen(bool open) = 0;
  virtual bool PortOpen() const = 0;

  // Sends every byte of data, in order, or fails.
  virtual void Output(std::string_view data) = 0;
  // Sends what the line takes of data at once, without waiting for room,
  // and returns how many bytes went; fails as Output does. A component
  // that cannot tell sends it all.
  virtual size_t OutputWithoutWaiting(std::string_view data) {
    Output(data);
    return data.size();
  }
  // Bytes the driver still holds to send; 0 where it cannot tell (a pty).
  virtual size_t OutputQueueBytes() { return 0; }
  // All bytes received and not yet read; empties the receive buffer.
  virtual std::string Input() = 0;
  virtual int16_t InBufferCount() = 0;
};

}  // namespace lumivane
