#include "Simulator.h"

#include <gtest/gtest.h>

using namespace sim;

namespace {
bool parse(QStringList args, SimOptions *o, QString *error)
{
    args.prepend(QStringLiteral("tarvine-sim"));
    return SimOptions::parse(args, o, error);
}
} // namespace

TEST(SimOptions, ReadsSettingsAndFaults)
{
    SimOptions o;
    QString error;
    ASSERT_TRUE(parse({}, &o, &error)) << error.toStdString();
    EXPECT_EQ(o.comm.unitId, 247);
    EXPECT_EQ(o.comm.framing, 0);
    EXPECT_EQ(o.comm.line.text(), "9600,N,8,1");
    EXPECT_TRUE(o.pacing);

    ASSERT_TRUE(parse({"--unit", "12", "--framing", "RTU", "--baud", "19200,e,8,2", "--pace", "off", "--turnaround",
                       "30", "--model", "krm410", "--link", "/tmp/x", "--exception", "2:600-620", "--bad-checksum",
                       "--split", "3:40", "--stream", "--stuck-busy", "55", "--no-reply", "--files", "30", "--refuse-delete",
                       "--drop-download", "5000", "--os-download"},
                      &o, &error))
        << error.toStdString();
    EXPECT_EQ(o.comm.unitId, 12);
    EXPECT_EQ(o.comm.framing, 1);
    EXPECT_EQ(o.comm.line.text(), "19200,E,8,2");
    EXPECT_FALSE(o.pacing);
    EXPECT_EQ(o.turnaroundMs, 30);
    EXPECT_EQ(o.modelLetter, 'R');
    EXPECT_EQ(o.linkPath, "/tmp/x");
    EXPECT_TRUE(o.faults.exceptionFor(620, 1));
    EXPECT_TRUE(o.faults.exceptionFor(595, 10));
    EXPECT_FALSE(o.faults.exceptionFor(621, 5));
    EXPECT_FALSE(o.faults.exceptionFor(600, 0)) << "no registers touch nothing";
    EXPECT_EQ(o.faults.exceptionCode, 2);
    EXPECT_TRUE(o.faults.corruptChecksum);
    EXPECT_EQ(o.faults.segments, 3);
    EXPECT_EQ(o.faults.segmentGapMs, 40);
    EXPECT_TRUE(o.faults.streaming);
    EXPECT_EQ(o.faults.stuckBusyCoil, 55);
    EXPECT_TRUE(o.faults.noReply);
    EXPECT_EQ(o.faults.files, 30);
    EXPECT_TRUE(o.faults.refuseDelete);
    EXPECT_EQ(o.faults.dropDownloadAfter, 5000);
    EXPECT_TRUE(o.faults.osDownload);
}

TEST(SimOptions, RefusesNonsenseWithAReason)
{
    const QStringList bad[] = {{"--unit", "248"},        {"--unit", "x"},          {"--framing", "hex"},
                               {"--baud", "fast"},        {"--baud", "9600,Q,8,1"}, {"--pace", "maybe"},
                               {"--exception", "2"},      {"--exception", "0:1-2"}, {"--exception", "2:9-1"},
                               {"--split", "0:10"},       {"--split", "2:-1"},      {"--stuck-busy", "88"},
                               {"--model", "other"},      {"--turnaround", "-5"},   {"extra"},
                               {"--no-such-option"},      {"--files", "-1"},        {"--drop-download", "x"},
                               {"--framing", "tcp"},      {"--tcp", "70000"},       {"--tcp", "host:port"},
                               {"--tcp", "5020", "--link", "/tmp/x"}}; // Modbus TCP framing needs --tcp
    for (const QStringList &args : bad) {
        SimOptions o;
        o.comm.unitId = 3;
        QString error;
        EXPECT_FALSE(parse(args, &o, &error)) << args.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty()) << args.join(' ').toStdString();
        EXPECT_EQ(o.comm.unitId, 3) << "left untouched";
    }
    SimOptions o;
    QString error, help;
    EXPECT_FALSE(SimOptions::parse({"tarvine-sim", "--help"}, &o, &error, &help));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_TRUE(help.contains("--stuck-busy"));
}
