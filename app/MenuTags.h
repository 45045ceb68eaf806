#pragma once

// Tags of the main window's menu items. A tag selects the window or action the
// item starts and is also its help context.
namespace MenuTag {
// File items (help contexts 10..19).
constexpr int LoadTextFile = 10;
constexpr int SaveTextFile = 11;
constexpr int LoadBinaryFile = 12;
constexpr int SaveBinaryFile = 13;
constexpr int UploadFromUnit = 14;   // unit to PC
constexpr int DownloadToUnit = 15;   // PC to unit
constexpr int PreviewConfiguration = 16;
constexpr int PrintConfiguration = 17;
constexpr int PrinterSetup = 18;
constexpr int Exit = 19;
// Our own File item: a configuration file against the connected unit.
constexpr int CompareWithUnit = 191;
// Our own File item: every recorded change to a transmitter.
constexpr int History = 192;

constexpr int ViewMeasurements = 20;
constexpr int ViewOutputs = 21;
constexpr int ViewNetOil = 24;
constexpr int ViewAlarmStatus = 30;
constexpr int ViewErrorLog = 31;
constexpr int Program = 4;
constexpr int Up = 41;
constexpr int Calibration = 43;
constexpr int Diagnostics = 44;
constexpr int Configuration = 45;
constexpr int System = 46;
constexpr int About = 62;
constexpr int HelpContents = 63;
constexpr int HelpOnHelp = 64;

constexpr int CalZero = 432;
constexpr int CalTemperature = 433;
constexpr int CalDensity = 434;
constexpr int CalMass = 435;
constexpr int CalAnalog = 436;

constexpr int CfgBatch = 452;
constexpr int CfgMiscDeviceInfo = 4530;
constexpr int CfgDeviceConfiguration = 4531;
constexpr int CfgRevisionNumbers = 4532;
constexpr int CfgAlarms = 454;
constexpr int CfgDisplay = 455;
constexpr int CfgXmitVars = 456;
constexpr int CfgAnalogOutputs = 4570;
constexpr int CfgPulseOutput = 4571;
constexpr int CfgCommPort = 4572;
constexpr int CfgFaultOutput = 4573;
constexpr int CfgOptionCard = 4574;
constexpr int CfgHart = 4575;
constexpr int WellTest = 4576;
constexpr int CfgTotalizers = 458;
constexpr int CfgSensor = 459;

constexpr int SysTimeDate = 462;
constexpr int SysChangeOstrelPassword = 4630;
constexpr int SysAddUser = 4631;
constexpr int SysChangePassword = 4632;
constexpr int SysFileManagement = 4640;
constexpr int SysDownloadFiles = 4641;
constexpr int SysResetDefaults = 4642;
constexpr int SysReboot = 4643;

constexpr int CommPortPcOnly = 45720;
} // namespace MenuTag
