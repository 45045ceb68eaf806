#pragma once

#include <QString>

#include <optional>

// A port text that names a network port rather than a serial one: HOST:PORT with an
// IPv4 address or a host name, or [IPv6]:PORT. Parsed in one place so that the
// settings window, TARVINE.INI and tarvine-cli agree on what a network port is.
struct NetworkAddress {
    QString host;     // as written, without the brackets of an IPv6 address
    quint16 port = 0; // 1..65535

    // Modbus TCP's registered port, and the one serial device servers commonly use.
    static constexpr quint16 ModbusTcpPort = 502;
    static constexpr quint16 DeviceServerPort = 4001;

    // Whether the text is meant as a network port (it carries a colon and is no device
    // path); such a text is then either valid or refused by parse().
    static bool isNetworkText(const QString &text);
    // The address, or nothing with *error saying what is wrong with the text.
    static std::optional<NetworkAddress> parse(const QString &text, QString *error = nullptr);
    // HOST:PORT, with brackets around an IPv6 address.
    QString text() const;
    bool operator==(const NetworkAddress &) const = default;
};
