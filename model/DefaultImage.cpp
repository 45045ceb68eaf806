#include "DefaultImage.h"

#include "Catalogue.h"
#include "RegisterImage.h"

#include <QtGlobal>

namespace {

// Writes typed values into an image by catalogue key. A key that the catalogue
// does not know is a defect of this file and stops the program at once, so that
// a mistyped key can never leave a value silently unset.
class ImageWriter {
public:
    RegisterImage image;  // starts all zero: live values, logs and unused words stay 0

    void u8(const QString &key, int v) { image.setU8At(at(key).byteOffset, uint8_t(v)); }
    void u16(const QString &key, int v) { image.setU16At(at(key).byteOffset, uint16_t(v)); }
    void i32(const QString &key, int v) { image.setU32At(at(key).byteOffset, uint32_t(v)); }
    void f64(const QString &key, double v) { image.setF64At(at(key).byteOffset, v); }
    void f32(const QString &key, float v) { image.setF32At(at(key).byteOffset, v); }
    void text(const QString &key, const QString &v)
    {
        const FieldRef f = at(key);
        image.setTextAt(f.byteOffset, f.byteCount, v);
    }

private:
    static FieldRef at(const QString &key)
    {
        const std::optional<FieldRef> f = Catalogue::fieldByKey(key);
        if (!f)
            qFatal("Default image: unknown catalogue key %s", qPrintable(key));
        return *f;
    }
};

// Base units of the transmitter: lb/sec, cc/sec, g/cc, degrees C.
constexpr double NominalMassRate = 80.0 / 60.0;  // 80 lb/min (36 kg/min), the 025 sensor's nominal flow
constexpr double NominalVolumeRate = 600.0;      // cc/sec: the same flow of water, 36 liter/min

// A measured parameter's configuration block (layout 5): its unit index, alarm
// set points and low-flow cut-off; slug limits bracket liquids from 0.5 to 2 g/cc.
void configureQuantity(ImageWriter &w, const QString &block, int unitIndex, double lo, double hi, double cutoff)
{
    w.u8(block + ".UnitID", unitIndex);
    w.u8(block + ".Damp", 1);
    w.f64(block + ".FallBack", 0.0);
    w.f64(block + ".LoAlarmSet", lo);
    w.f64(block + ".HiAlarmSet", hi);
    w.f64(block + ".LFCutoff", cutoff);
    w.f64(block + ".SlugLoLimit", 0.5);
    w.f64(block + ".SlugHiLimit", 2.0);
    w.f64(block + ".SlugDelay", 1.0);
    w.f64(block + ".StdDens", 0.9991);  // water at 15 degrees C
    w.u8(block + ".StdDensUnit", 0);
    w.u8(block + ".APITable", 0);
}

// An analog output (layout 2): parameter code, range in base units, 4 mA at rest.
void configureAnalogOutput(ImageWriter &w, const QString &block, int param, double lo, double hi)
{
    w.u8(block + ".Param", param);
    w.f64(block + ".LRange", lo);
    w.f64(block + ".URange", hi);
    w.f64(block + ".Value", 0.0);
    w.f64(block + ".mAmps", 4.0);
    w.f64(block + ".PcntRange", 0.0);
    w.u16(block + ".DACData", 0);
    w.f64(block + ".Gain", 1.0);
    w.f64(block + ".Offset", 0.0);
    w.f64(block + ".Kybrd_mAmps", 4.0);
}

void setCommunication(ImageWriter &w)
{
    w.u8("ModbusAddr", DefaultImage::ModbusAddress);
    w.u8("ModbusMode", DefaultImage::ModbusMode);
    w.u8("QuillmoorTaskAddr", DefaultImage::QuillmoorTaskAddress);
    w.u8("SCIUpdSkip", 0);
    w.u8("SCIProtocol", DefaultImage::SciProtocol);
    w.u8("SCI.Baud", DefaultImage::SciBaud);
    w.u8("SCI.Parity", DefaultImage::SciParity);
    w.u8("SCI.DataBits", DefaultImage::SciDataBits);
    w.u8("SCI.FlowCtl", 0);
    w.u8("SCI.EchoPad", 0);
    w.u8("SCI.RxTerm", DefaultImage::SciRxTerm);
    w.u8("SCI.Media", DefaultImage::SciMedia);
    w.u8("SCI.StopBits", DefaultImage::SciStopBits);

    w.u8("CfgHart.Addr", 0);
    w.text("CfgHart.DeviceID", QString::fromLatin1(DefaultImage::HartDeviceId));
    w.u8("CfgHart.RespPreambles", 5);
    w.u8("CfgHart.WriteProtect", 0);
    w.u8("CfgHart.ReqPreambles", 5);
}

void setIdentity(ImageWriter &w)
{
    w.text("CfgMiscInfo.Tag", QString::fromLatin1(DefaultImage::Tag));
    w.text("CfgMiscInfo.Descriptor", "Coriolis flowmeter");
    w.text("CfgMiscInfo.Msg", "Factory default configuration");
    w.text("CfgMiscInfo.Date", "01/01/26");
    w.text("CfgMiscInfo.DeviceID", "000000");
    // Characters 2..4 of the model text give the sensor size, which selects the
    // number formats and the minimum spans.
    w.text("CfgMiscInfo2.TransModelNum", QString::fromLatin1(DefaultImage::TransducerModel));
    w.text("CfgMiscInfo2.TransSerNum", "000000");
    w.text("CfgMiscInfo2.ElecModelNum", "OST-200");
    w.text("CfgMiscInfo2.ElecSerNum", "000000");
    w.text("CfgMiscInfo2.FinalAssy", "000000");
    w.text("DSPFilename", QString::fromLatin1(DefaultImage::DspFilename));
    w.text("SysMgr.MfrSerialNo", "000000");
}

void setMeasurement(ImageWriter &w)
{
    // Display lines: mass flow, mass total, temperature, density.
    w.u8("CfgDisplay.Line1", 5);
    w.u8("CfgDisplay.Line2", 6);
    w.u8("CfgDisplay.Line3", 3);
    w.u8("CfgDisplay.Line4", 4);

    // Unit indexes: kg/min, degrees C, g/cc, liter/min, liter/min, kg/min, %.
    configureQuantity(w, "CfgFlowMass", 4, 0.0, NominalMassRate, NominalMassRate * 0.005);
    configureQuantity(w, "CfgTemp", 0, -40.0, 180.0, 0.0);
    configureQuantity(w, "CfgDensity", 0, 0.5, 2.0, 0.0);
    configureQuantity(w, "CfgFlowVol", 4, 0.0, NominalVolumeRate, NominalVolumeRate * 0.005);
    configureQuantity(w, "CfgFlowStdVol", 4, 0.0, NominalVolumeRate, NominalVolumeRate * 0.005);
    configureQuantity(w, "CfgFlowCon", 4, 0.0, NominalMassRate, NominalMassRate * 0.005);
    configureQuantity(w, "CfgPercentCon", 0, 0.0, 100.0, 0.0);

    // Special units: identity factors over lb/sec and cc/sec, texts within 5 characters.
    for (const char *block : {"CfgFlowSpcMass", "CfgFlowSpcVol"}) {
        const QString b = QString::fromLatin1(block);
        w.f64(b + ".FlowFactor", 1.0);
        w.f64(b + ".TotalFactor", 1.0);
        w.u8(b + ".BaseRate", 0);
    }
    w.text("CfgFlowSpcMass.FlowText", "SpM/s");
    w.text("CfgFlowSpcMass.TotalText", "SpM");
    w.text("CfgFlowSpcVol.FlowText", "SpV/s");
    w.text("CfgFlowSpcVol.TotalText", "SpV");
    w.u8("CfgFlowDir", 0);  // forward

    w.f64("MassScalar", 1.0);
    w.f64("YoungsMod.m", 1.0);
    w.f64("YoungsMod.b", 0.0);

    // Density from the tube period: density = C1 / f^2 + C2, through air
    // (0.0012 g/cc at 152.3 Hz) and water (0.998 g/cc at 131.7 Hz), both at 20 C.
    constexpr double airFreq = 152.3, fluFreq = 131.7, airDens = 0.0012, fluDens = 0.998;
    constexpr double c1 = (fluDens - airDens) / (1.0 / (fluFreq * fluFreq) - 1.0 / (airFreq * airFreq));
    constexpr double c2 = airDens - c1 / (airFreq * airFreq);
    w.f64("DensityCal.C1", c1);
    w.f64("DensityCal.C2", c2);
    w.f64("DensityCal.AirFreq", airFreq);
    w.f64("DensityCal.AirTemp", 20.0);
    w.f64("DensityCal.FluFreq", fluFreq);
    w.f64("DensityCal.FluTemp", 20.0);

    w.f64("RefRes", 100.0);  // Pt100
    // Scales the calibration windows divide by: RTD counts, sensor gain and set point
    // (13305 raw is 100 mVrms).
    w.i32("RefResVolt", 10000);
    w.u16("DSPTxMsg.GainControl", 10);
    w.u16("DSPTxMsg.SensorSetpt", 13305);
    w.u16("DSPRxMsg.Amp1", 13305);     // pickoffs at the set point
    w.u16("DSPRxMsg.Amp2", 13305);
    w.u16("DSPRxMsg.DriverAmp", 9309);  // 2.0 mArms
    w.f64("RTDResOff", 0.0);
    w.i32("RTDUpdTime", 1000);
    w.u8("OptionCard", 0);

    // Minimum spans of the 025 sensor.
    w.f64("MinSpans.Temp", 15.0);
    w.f64("MinSpans.Density", 0.15);
    w.f64("MinSpans.MassRate", 0.06666667);
    w.f64("MinSpans.VolRate", 63.0902089);
    w.f64("MinSpans.PcntConc", 5.0);

    w.u8("CfgTxVarEx.MassRateDamp", 0);
    w.u8("CfgTxVarEx.VolRateDamp", 0);
    w.f32("CfgTxVarEx.MassDampThresh", 0.5f);
    w.f32("CfgTxVarEx.VolDampThresh", 0.5f);
}

void setOutputs(ImageWriter &w)
{
    configureAnalogOutput(w, "Cfg420AOut", 5, 0.0, NominalMassRate);  // mass flow
    configureAnalogOutput(w, "Cfg420BOut", 3, 0.0, 150.0);            // temperature
    configureAnalogOutput(w, "Cfg420COut", 4, 0.5, 2.0);              // density

    w.u8("CfgPulse.Param", 5);  // mass flow
    w.u8("CfgPulse.Mode", 0);
    w.f64("CfgPulse.LRange", 0.0);
    w.f64("CfgPulse.URange", NominalMassRate);
    w.f64("CfgPulse.PulseUnit", 1.0);
    w.f64("CfgPulse.MaxFreq", 1000.0);
    w.f64("CfgPulse.PcntRange", 0.0);
    w.f64("CfgPulse.KybrdFreq", 0.0);
    w.u16("CfgPulse.KybrdPulses", 0);
    w.u8("CfgPulse.UnitID", 4);

    // Relays unassigned.
    w.u8("CfgAlarmRelay1.AlarmNo", 0);
    w.u8("CfgAlarmRelay1.AlarmType", 32);  // Indicator
    w.u8("CfgAlarmRelay2.AlarmNo", 0);
    w.u8("CfgAlarmRelay2.AlarmType", 32);
    w.f64("CfgFault.SensorDelay", 1.0);
    w.f64("CfgFault.BootErrorDelay", 5.0);

    // Batch: mass total, kg, no set points.
    w.u8("CfgBatch.Param", 6);
    w.u8("CfgBatch.UnitID", 0);
    for (const char *field : {"Cutoff", "Trickle", "LowAlarmSet", "HiAlarmSet", "ValveTime", "AutoDelay"})
        w.f64(QStringLiteral("CfgBatch.") + QLatin1String(field), 0.0);
    w.u8("CfgBatch.RunModeEdit", 0);
    w.u8("CfgBatch.BatchJog", 0);
}

// Table 1 holds sugar in water (degrees Brix against density at 20 C); tables 2..5
// are marked empty.
void setConcentrationTables(ImageWriter &w)
{
    constexpr double sugarDensity[14] = {0.99820, 1.01785, 1.03814, 1.05917, 1.08096, 1.10356, 1.12698,
                                         1.15128, 1.17648, 1.20257, 1.22957, 1.25747, 1.28625, 1.31586};
    for (int t = 1; t <= 5; ++t) {
        const QString b = QStringLiteral("CfgPcntConcTbl%1").arg(t);
        w.f64(b + ".RefTemp", 20.0);
        w.u8(b + ".RecEmpty", t == 1 ? 0 : 1);
        if (t != 1)
            continue;
        for (int i = 0; i < 14; ++i) {
            w.f64(b + QStringLiteral(".Dens%1").arg(i + 1), sugarDensity[i]);
            w.f64(b + QStringLiteral(".Conc%1").arg(i + 1), 5.0 * i);
        }
    }
    // Volume correction for crude oil at 15 C reference, -10..120 C; tables 2..8 empty.
    w.text("SpclVCFName.VCFName", "Crude oil 15C");
    for (int i = 0; i < 14; ++i) {
        const double temp = -10.0 + 10.0 * i;
        w.f64(QStringLiteral("VCFTable1.dTemp%1").arg(i + 1), temp);
        w.f64(QStringLiteral("VCFTable1.dVCF%1").arg(i + 1), 1.0 - 0.00085 * (temp - 15.0));
    }
}

void setNetOil(ImageWriter &w)
{
    // Net oil by volume, rates in m3/day, water cut in %.
    configureQuantity(w, "CfgFlowNetOil", 16, 0.0, NominalVolumeRate, NominalVolumeRate * 0.005);
    configureQuantity(w, "CfgFlowNetOilWC", 0, 0.0, 100.0, 0.0);
    configureQuantity(w, "CfgFlowNetOilPW", 16, 0.0, NominalVolumeRate, NominalVolumeRate * 0.005);
    w.f64("CfgFlowNetOilVar.ShrinkageFactor", 1.0);
    w.u8("CfgFlowNetOilVar.MeasParam", 0);  // 0 volume, 1 mass
    w.u8("CfgFlowNetOilVar.WellNo", 1);

    w.u8("CfgWell.Unit", 0);
    w.u8("CfgWell.StdTemp", 0);
    // Wells 1..30: a medium crude over produced brine.
    for (int well = 1; well <= 30; ++well) {
        const QString b = Catalogue::block(60 + well)->qName();
        w.f64(b + ".OilDensity", 0.85);
        w.f64(b + ".WaterDensity", 1.02);
    }
    for (const char *block : {"CfgWellTestData", "CfgLastWellTest"}) {
        const QString b = QString::fromLatin1(block);
        w.u8(b + ".WellNo", 1);
        w.u8(b + ".MeasParam", 0);
        w.u8(b + ".NetOilVarUnit", 16);
        w.u8(b + ".NetWCVarUnit", 0);
        w.u8(b + ".NetPWVarUnit", 16);
        w.u8(b + ".DensityUnit", 0);
        w.u8(b + ".TempUnit", 0);
    }
    w.u8("CfgWellTestParam.WellNo", 1);
    w.u8("CfgWellTestParam.PurgeType", 0);
    w.f64("CfgWellTestParam.PurgeSec", 600.0);
    w.f64("CfgWellTestParam.TestSec", 3600.0);
}

}  // namespace

QByteArray defaultConfigurationImage()
{
    ImageWriter w;
    setCommunication(w);
    setIdentity(w);
    setMeasurement(w);
    setOutputs(w);
    setConcentrationTables(w);
    setNetOil(w);
    return w.image.bytes();
}
