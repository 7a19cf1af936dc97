#include "serial/line_config.h"

namespace serial {

void SetBaud(LineConfig& line, BaudTag baud) {
  line.BaudRate = IsValid(baud) ? BaudRateOf(baud) : BaudRateOf(B__4800);
}

void SetDataBits(LineConfig& line, DatBitTag bits) {
  line.ByteSize = bits == D_7 ? 7 : 8;
}

void SetParity(LineConfig& line, ParitaetTag parity) {
  line.Parity = static_cast<uint8_t>(IsValid(parity) ? parity : NoParity);
}

void SetStopBits(LineConfig& line, StopBitTag stopBits) {
  line.StopBits = static_cast<uint8_t>(IsValid(stopBits) ? stopBits : S_1);
}

void SetHandshake(LineConfig& line, HandshakeTag handshake) {
  line.OutxCtsFlow = false;
  line.RtsHandshake = false;
  line.OutX = false;
  line.RtsOn = true;
  switch (handshake) {
    case RTS_CTS:
      line.OutxCtsFlow = true;
      line.RtsHandshake = true;
      break;
    case XonXoff:
    case Qolmar_XonXoff:
      line.OutX = true;
      break;
    default:
      break;
  }
}

LineConfig BuildLineConfig(const V24ParameterTag& record) {
  LineConfig line;
  SetBaud(line, record.Baudrate);
  SetDataBits(line, record.DatenBits);
  SetParity(line, record.Paritaet);
  SetStopBits(line, record.StopBits);
  SetHandshake(line, record.Handshake);
  line.InX = false;
  line.DtrOn = false;
  line.XonChar = 0x11;
  line.XoffChar = 0x13;
  line.DiscardNull = record.KeinNullZeichen != 0;
  return line;
}

uint32_t CharacterTimeUs(const LineConfig& line) {
  if (line.BaudRate == 0) return 0;
  // In half bits, for one and a half stop bits.
  const uint32_t stopHalfBits = line.StopBits == 1 ? 3 : line.StopBits == 2 ? 4 : 2;
  const uint32_t halfBits = 2 * (1 + line.ByteSize + (line.Parity != 0 ? 1 : 0)) + stopHalfBits;
  return static_cast<uint32_t>(uint64_t{halfBits} * 500000 / line.BaudRate);
}

}  // namespace serial
