#pragma once

#include <QByteArray>

// The built-in default configuration: a whole 6,804-byte register image that the
// program writes into its register image and into default.bin at start and after
// a factory reset, and that the simulated transmitter starts from.
//
// It describes a 25 mm (size "025") sensor measuring mass flow in kg/min, with
// Modbus ASCII at address 247, 9600 baud, no parity, 8 data bits, one stop bit.
// The values of every block are documented where the image is built
// (DefaultImage.cpp).
QByteArray defaultConfigurationImage();

namespace DefaultImage {
// Communication defaults, as the transmitter comes out of the box.
constexpr int ModbusAddress = 247;
constexpr int ModbusMode = 0;       // ASCII
constexpr int QuillmoorTaskAddress = 129;
constexpr int SciProtocol = 6;      // Modbus
constexpr int SciBaud = 6;          // 9600
constexpr int SciParity = 0;        // None
constexpr int SciDataBits = 1;      // 8
constexpr int SciStopBits = 0;      // one
constexpr int SciRxTerm = 2;
constexpr int SciMedia = 3;

// Identity texts.
constexpr const char *Tag = "FT-101";                 // CfgMiscInfo.Tag
constexpr const char *TransducerModel = "m0258010";   // CfgMiscInfo2.TransModelNum: size "025", 316L, 3/8 Inch VCO
constexpr const char *DspFilename = "DIGITALPLL";     // fills its 10-byte field
constexpr const char *HartDeviceId = "000";           // fills its 3-byte field
}  // namespace DefaultImage
