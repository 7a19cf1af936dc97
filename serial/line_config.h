// The line configuration a parameter record stands for, independent of the operating system:
// what the port's platform layer applies, reads back and restores. Open builds it from the
// record; the line operations of an open port change single fields with the same tables.
#pragma once

#include <cstdint>

#include "serial/v24_types.h"

namespace serial {

struct LineConfig {
  uint32_t BaudRate = 4800;
  uint8_t ByteSize = 8;
  uint8_t Parity = 0;         // 0 none, 1 odd, 2 even, 3 mark, 4 space (ParitaetTag order)
  uint8_t StopBits = 0;       // 0 one, 1 one and a half, 2 two (StopBitTag order)
  bool OutxCtsFlow = false;   // output waits for CTS
  bool RtsHandshake = false;  // RTS follows the input handshake
  bool OutX = false;          // output obeys XOFF/XON from the device
  bool InX = false;           // input flow control by XOFF/XON (never used)
  bool DiscardNull = false;   // received NUL bytes are dropped
  bool DtrOn = false;
  bool RtsOn = true;
  uint8_t XonChar = 0x11;
  uint8_t XoffChar = 0x13;

  bool operator==(const LineConfig&) const = default;
};

// The whole configuration of a record. A field value that names no enumerator (a damaged
// parameter file) falls back to that field's default, never to a table index.
LineConfig BuildLineConfig(const V24ParameterTag& record);

void SetBaud(LineConfig& line, BaudTag baud);
void SetDataBits(LineConfig& line, DatBitTag bits);
void SetParity(LineConfig& line, ParitaetTag parity);
void SetStopBits(LineConfig& line, StopBitTag stopBits);
// Clears every flow-control setting, raises RTS, then applies the mode.
void SetHandshake(LineConfig& line, HandshakeTag handshake);

// The time one character takes on the line (start bit, data, parity, stop bits), rounded down:
// no character of the line's speed comes sooner. 0 for a line without a speed.
uint32_t CharacterTimeUs(const LineConfig& line);

}  // namespace serial
