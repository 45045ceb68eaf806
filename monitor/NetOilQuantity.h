#pragma once

class ModbusLink;

// The quantity every net-oil and net-water value converts with: volume flow (7)
// when the net-oil measurement works on volume, mass flow (5) when on mass. Reads
// CfgFlowNetOilVar; when the read fails the image's last contents decide.
int ReadNetOilQuantity(ModbusLink &link);
