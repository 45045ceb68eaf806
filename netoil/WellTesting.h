#pragma once

#include <QString>

#include <functional>

class ModbusLink;
class Session;

// What the net-oil windows share about wells and the well test.
namespace WellTesting {

constexpr int RunningCoil = 86;      // on while a well test runs
constexpr int ReadNetOilCoil = 50;   // the transmitter takes up net-oil and well data
constexpr int WellCount = 30;
constexpr int WellBlockBytes = 16;   // OilDensity, WaterDensity (g/cc)
constexpr int OilDensityByte = 0, WaterDensityByte = 8;

// Well 1..30 starts at 1808, eight registers each.
constexpr int wellRegister(int well) { return 1808 + 8 * (well - 1); }

// "Well #1" .. "Well #30" after "No Well Selected".
QStringList wellItems();

// A well (1..30) is valid for well testing when both densities, read fresh from
// the transmitter, differ from 0. A failed read is not valid.
bool wellIsValid(ModbusLink &link, int well);

enum class Running { No, Yes, Unknown };
// Reads the running coil. Unknown when the transmitter gave no valid answer: the
// windows treat that as running, so nothing is changed on a guess.
Running readRunning(ModbusLink &link);

extern const QString InProgressTitle;
extern const QString UnknownText;

// Whether a window must stay locked because a well test runs, or because the running
// flag could not be read. The user is told why: lockedText in an information box
// titled title, or UnknownText through tell.
bool lockedByWellTest(ModbusLink &link, const QString &lockedText, const QString &title,
                      const std::function<void(const QString &)> &tell);


// The access level raised for one write and put back however the scope is left.
class RaisedAccessLevel {
public:
    RaisedAccessLevel(Session &session, int level);
    ~RaisedAccessLevel();
    RaisedAccessLevel(const RaisedAccessLevel &) = delete;
    RaisedAccessLevel &operator=(const RaisedAccessLevel &) = delete;

private:
    Session &m_session;
    int m_previous;
};

}  // namespace WellTesting
