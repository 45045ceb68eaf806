#include "SimConfigCommands.h"

#include "SimDevice.h"

#include <QString>

namespace sim {

namespace {
constexpr int SensorModelByte = 2 * 635;
constexpr int SensorModelField = 10;

// A model number the transmitter can take: a known sensor size in characters 2
// to 4 and a known wetted material in character 5.
bool sensorModelValid(const QString &model)
{
    static const QStringList Sizes = {"012", "025", "050", "100", "200", "300", "400"};
    return model.size() == 8 && Sizes.contains(model.mid(1, 3)) && (model[4] == '2' || model[4] == '8');
}
} // namespace

void registerConfigCommands(SimDevice &device)
{
    // A paused relay holds its state while its source and mode change; its pause
    // coil reads on until the resume.
    for (const auto &[pause, resume] : {std::pair{43, 44}, std::pair{45, 46}}) {
        device.addCommand(resume, [pause, resume](SimDevice &d) {
            d.setCoil(pause, false);
            d.setCoil(resume, false);
        });
    }
    // "Read Transducer Cfg": a sensor model number it cannot size is refused.
    device.addCommand(51, [](SimDevice &d) {
        if (!sensorModelValid(d.image().textAt(SensorModelByte, SensorModelField)))
            d.setCoil(SimDevice::BusyCoil, true);
    });
}

} // namespace sim
