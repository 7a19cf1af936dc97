// Line parameters of a serial port: the enumerations and the 36-byte parameter record. The record
// is also the byte image of the parameter file, so its layout is fixed and little-endian.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace serial {

// Value k selects port COM(k+1).
enum ComTag : int32_t {
  Com__1,
  Com__2,
  Com__3,
  Com__4,
  Com__5,
  Com__6,
  Com__7,
  Com__8,
  Com__9,
  Com_10,
  Com_11,
  Com_12,
  Com_13,
  Com_14,
  Com_15,
  Com_16,
  Com_17,
  Com_18,
  Com_19,
  Com_20,
  Com_21,
  Com_22,
  Com_23,
  Com_24,
  Com_25,
  Com_26,
  Com_27,
  Com_28,
  Com_29,
  Com_30,
  Com_31,
  Com_32,
  Com_33,
  Com_34,
  Com_35,
  Com_36,
  Com_37,
  Com_38,
  Com_39,
  Com_40,
  Com_41,
  Com_42,
  Com_43,
  Com_44,
  Com_45,
  Com_46,
  Com_47,
  Com_48,
  Com_49,
  Com_50,
  Com_51,
  Com_52,
  Com_53,
  Com_54,
  Com_55,
  Com_56,
  Com_57,
  Com_58,
  Com_59,
  Com_60,
  Com_61,
  Com_62,
  Com_63,
  Com_64,
  Com_65,
  Com_66,
  Com_67,
  Com_68,
  Com_69,
  Com_70,
  Com_71,
  Com_72,
  Com_73,
  Com_74,
  Com_75,
  Com_76,
  Com_77,
  Com_78,
  Com_79,
  Com_80,
  Com_81,
  Com_82,
  Com_83,
  Com_84,
  Com_85,
  Com_86,
  Com_87,
  Com_88,
  Com_89,
  Com_90,
  Com_91,
  Com_92,
  Com_93,
  Com_94,
  Com_95,
  Com_96,
  Com_97,
  Com_98,
  Com_99,
  Com100,
  Com101,
  Com102,
  Com103,
  Com104,
  Com105,
  Com106,
  Com107,
  Com108,
  Com109,
  Com110,
  Com111,
  Com112,
  Com113,
  Com114,
  Com115,
  Com116,
  Com117,
  Com118,
  Com119,
  Com120,
  Com121,
  Com122,
  Com123,
  Com124,
  Com125,
  Com126,
  Com127,
  Com128,
  Com129,
  Com130,
  Com131,
  Com132,
  Com133,
  Com134,
  Com135,
  Com136,
  Com137,
  Com138,
  Com139,
  Com140,
  Com141,
  Com142,
  Com143,
  Com144,
  Com145,
  Com146,
  Com147,
  Com148,
  Com149,
  Com150,
  Com151,
  Com152,
  Com153,
  Com154,
  Com155,
  Com156,
  Com157,
  Com158,
  Com159,
  Com160,
  Com161,
  Com162,
  Com163,
  Com164,
  Com165,
  Com166,
  Com167,
  Com168,
  Com169,
  Com170,
  Com171,
  Com172,
  Com173,
  Com174,
  Com175,
  Com176,
  Com177,
  Com178,
  Com179,
  Com180,
  Com181,
  Com182,
  Com183,
  Com184,
  Com185,
  Com186,
  Com187,
  Com188,
  Com189,
  Com190,
  Com191,
  Com192,
  Com193,
  Com194,
  Com195,
  Com196,
  Com197,
  Com198,
  Com199,
  Com200,
  Com201,
  Com202,
  Com203,
  Com204,
  Com205,
  Com206,
  Com207,
  Com208,
  Com209,
  Com210,
  Com211,
  Com212,
  Com213,
  Com214,
  Com215,
  Com216,
  Com217,
  Com218,
  Com219,
  Com220,
  Com221,
  Com222,
  Com223,
  Com224,
  Com225,
  Com226,
  Com227,
  Com228,
  Com229,
  Com230,
  Com231,
  Com232,
  Com233,
  Com234,
  Com235,
  Com236,
  Com237,
  Com238,
  Com239,
  Com240,
  Com241,
  Com242,
  Com243,
  Com244,
  Com245,
  Com246,
  Com247,
  Com248,
  Com249,
  Com250,
  Com251,
  Com252,
  Com253,
  Com254,
  Com255,
  Com256
};
inline constexpr int kMaxPorts = 256;

enum DatBitTag : int32_t { D_7, D_8 };
enum StopBitTag : int32_t { S_1, S1_5, S_2 };
enum ParitaetTag : int32_t { NoParity, Odd, Even, Mark, Space };
// <termios.h> has a macro of the same name as the last rate: kept out of the way here, so the
// include order does not matter. Where that macro is visible, write Baud115200.
#pragma push_macro("B115200")
#undef B115200
enum BaudTag : int32_t { B__1200, B__2400, B__4800, B__9600, B_19200, B_38400, B_57600, B115200 };
inline constexpr BaudTag Baud115200 = B115200;
#pragma pop_macro("B115200")
enum HandshakeTag : int32_t { NoHandshake, RTS_CTS, XonXoff, Qolmar_XonXoff };

// The enumerations hold what a file or a caller put there; these tell whether a value names an
// enumerator, so that no stray value is ever used as a table index.
constexpr bool IsValid(DatBitTag v) {
  return v >= D_7 && v <= D_8;
}
constexpr bool IsValid(StopBitTag v) {
  return v >= S_1 && v <= S_2;
}
constexpr bool IsValid(ParitaetTag v) {
  return v >= NoParity && v <= Space;
}
constexpr bool IsValid(BaudTag v) {
  return v >= B__1200 && v <= Baud115200;
}
constexpr bool IsValid(HandshakeTag v) {
  return v >= NoHandshake && v <= Qolmar_XonXoff;
}
constexpr bool IsValid(ComTag v) {
  return v >= Com__1 && v <= Com256;
}

// Bit/s of a BaudTag; 0 for a value that names no rate.
constexpr uint32_t BaudRateOf(BaudTag baud) {
  constexpr uint32_t kRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
  return IsValid(baud) ? kRates[baud] : 0;
}

struct V24ParameterTag {
  DatBitTag DatenBits = D_7;
  ParitaetTag Paritaet = NoParity;
  StopBitTag StopBits = S_1;
  BaudTag Baudrate = B__1200;
  HandshakeTag Handshake = NoHandshake;
  int32_t RXTimeOut = 0;  // ms, constant part of the read time-out
  int32_t TXTimeOut = 0;  // ms, constant part of the write time-out
  ComTag Schnittstelle = Com__1;
  // Boolean bytes (0/1). Kept as bytes: a parameter file may hold any value here.
  uint8_t KeinNullZeichen = 0;  // the receiver discards NUL bytes
  uint8_t KeinString = 0;       // Read appends no terminating NUL
  uint8_t reserved[2] = {0, 0};
};

static_assert(std::endian::native == std::endian::little,
              "the parameter record is stored as its little-endian bytes");
static_assert(sizeof(V24ParameterTag) == 36);
static_assert(offsetof(V24ParameterTag, DatenBits) == 0);
static_assert(offsetof(V24ParameterTag, Paritaet) == 4);
static_assert(offsetof(V24ParameterTag, StopBits) == 8);
static_assert(offsetof(V24ParameterTag, Baudrate) == 12);
static_assert(offsetof(V24ParameterTag, Handshake) == 16);
static_assert(offsetof(V24ParameterTag, RXTimeOut) == 20);
static_assert(offsetof(V24ParameterTag, TXTimeOut) == 24);
static_assert(offsetof(V24ParameterTag, Schnittstelle) == 28);
static_assert(offsetof(V24ParameterTag, KeinNullZeichen) == 32);
static_assert(offsetof(V24ParameterTag, KeinString) == 33);
static_assert(offsetof(V24ParameterTag, reserved) == 34);

}  // namespace serial
