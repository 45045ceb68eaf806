#include "TfrmCommPort.h"

#include "BusyCursor.h"
#include "CommSetup.h"
#include "ModbusLink.h"
#include "NetworkAddress.h"
#include "OperationRecord.h"
#include "Prompter.h"
#include "SerialPortList.h"
#include "Session.h"
#include "TfrmFindUnit.h"
#include "TraceLog.h"
#include "ui_TfrmCommPort.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>

#include <functional>

namespace {
constexpr int RegUnitId = 2401;
constexpr int RegMode = 2402;
constexpr int RegProtocol = 2405;
constexpr int RegSci = 2406;
constexpr int SciBytes = 8;
constexpr int ReadModbusCfgCoil = 48;
constexpr int ResetCommProtocolCoil = 52;
constexpr uint16_t CoilOn = 0xFF00;
// Positions in the serial record.
constexpr int SciBaud = 0, SciParity = 1, SciDataBits = 2, SciFlow = 3, SciStopBits = 7;

const QString Title = QStringLiteral("Configure Ostrel Comm Setup");

QByteArray wordWithLowByteZero(int value)
{
    QByteArray bytes(2, '\0');
    bytes[0] = char(value);
    return bytes;
}

void selectIndex(QComboBox *box, int index)
{
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
}

// Keeps the hourglass for the length of a scope, whatever way it is left.
struct HourGlass {
    HourGlass() { BusyCursor::set(true); }
    ~HourGlass() { BusyCursor::set(false); }
};
} // namespace

TfrmCommPort::TfrmCommPort(CommSetup &comm, QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TfrmCommPort>()), m_comm(comm)
{
    ui->setupUi(this);
    cboPort = ui->cboPort;
    cboBaud = ui->cboBaud;
    cboParity = ui->cboParity;
    cboDataBits = ui->cboDataBits;
    cboStopBits = ui->cboStopBits;
    cboFlow = ui->cboFlow;
    cboProtocol = ui->cboProtocol;
    cboMode = ui->cboMode;
    txtAddress = ui->txtAddress;
    spnExtraSilence = ui->spnExtraSilence;
    spnExtraSilence->setMaximum(ModbusLink::MaxExtraSilenceMs);
    btnApply = ui->btnApply;
    btnUndo = ui->btnUndo;
    btnClose = ui->btnClose;

    const std::pair<QComboBox *, QStringList> lists[] = {
        {cboBaud, CommLists::baudRates()},   {cboParity, CommLists::parities()},
        {cboDataBits, CommLists::dataBits()}, {cboStopBits, CommLists::stopBits()},
        {cboFlow, CommLists::flowControls()}, {cboProtocol, CommLists::protocols()},
        {cboMode, CommLists::modes()},
    };
    for (const auto &[box, items] : lists) {
        box->addItems(items);
        connect(box, &QComboBox::activated, this, [this, box = box] { CfgChange(box); });
    }
    connect(cboPort, &QComboBox::activated, this, &TfrmCommPort::cboPortChange);
    // Completing "1" to "10" would reopen a port in mid-typing.
    cboPort->setCompleter(nullptr);
    connect(cboPort->lineEdit(), &QLineEdit::textEdited, this, [this] {
        fitFieldsToPort();
        CfgChange(cboPort);
    });
    connect(txtAddress, &QLineEdit::textEdited, this, [this] { CfgChange(txtAddress); });
    connect(txtAddress, &QLineEdit::editingFinished, this, &TfrmCommPort::txtAddressExit);
    connect(spnExtraSilence, &QSpinBox::valueChanged, this, [this] { CfgChange(spnExtraSilence); });
    connect(btnApply, &QPushButton::clicked, this, &TfrmCommPort::btnApplyClick);
    connect(btnUndo, &QPushButton::clicked, this, &TfrmCommPort::btnUndoClick);
    connect(ui->btnFindUnit, &QPushButton::clicked, this, &TfrmCommPort::btnFindUnitClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::hide);
}

TfrmCommPort::~TfrmCommPort() = default;

void TfrmCommPort::fillPortList()
{
    // The numbered ports, then the adapters present under their path and their
    // stable name (which survives replugging); the tool tip says whose adapter it is.
    cboPort->clear();
    cboPort->addItems(CommLists::ports());
    const auto add = [this](const QString &port, const QString &tip) {
        if (port.isEmpty() || cboPort->findText(port) >= 0)
            return;
        cboPort->addItem(port);
        if (!tip.isEmpty())
            cboPort->setItemData(cboPort->count() - 1, tip, Qt::ToolTipRole);
    };
    for (const SerialPortEntry &e : SerialPortList::available()) {
        const QString tip = QStringList{e.manufacturer, e.description, e.serialNumber}.join(QLatin1Char(' ')).simplified();
        add(e.path, tip);
        add(e.stableName, tip);
    }
    const QString current = m_comm.pc().port;
    add(current, {});
    cboPort->setCurrentText(current);
}

void TfrmCommPort::FormActivate(int tag)
{
    m_unitMode = tag == UnitModeTag;
    setWindowTitle(m_unitMode ? Title : Title + QStringLiteral(" (PC SETTINGS ONLY)"));
    // Wide enough for the whole caption: it is what tells the two modes apart.
    setMinimumWidth(fontMetrics().horizontalAdvance(windowTitle()) + 160);
    m_baudOpen = m_comm.session().deviceModel() != QLatin1String("Ostrel");
    m_unitIdChanged = m_modeChanged = m_serialChanged = false;
    fillPortList();
    offerOnlyWhatThePortTakes();
    fitFieldsToPort();
    m_loaded = readLoadedSet();
    showSet(m_loaded);
}

TfrmCommPort::ConfigSet TfrmCommPort::readLoadedSet()
{
    ModbusLink &link = m_comm.link();
    ConfigSet set;
    set.extraSilenceMs = m_comm.pc().extraSilenceMs;
    if (m_unitMode && link.portOpen()) {
        link.Read_Regs(RegSci, SciBytes);
        link.Read_Regs(RegProtocol, 2);
        link.Read_Regs(RegMode, 2);
        link.Read_Regs(RegUnitId, 2);
        set.sci = link.image().read(RegSci, SciBytes);
        set.protocol = link.image().u8At(2 * RegProtocol);
        set.mode = link.image().u8At(2 * RegMode);
        set.unitId = link.image().u8At(2 * RegUnitId);
        return set;
    }
    const PcCommSettings &pc = m_comm.pc();
    set.sci[SciBaud] = char(CommLists::baudRates().indexOf(pc.baudRate));
    set.sci[SciParity] = char(CommLists::parities().indexOf(pc.parity));
    set.sci[SciDataBits] = char(CommLists::dataBits().indexOf(pc.dataBits));
    set.sci[SciFlow] = char(CommLists::flowControls().indexOf(pc.flowControl));
    set.sci[SciStopBits] = char(CommLists::stopBits().indexOf(pc.stopBits));
    set.protocol = int(CommLists::protocols().indexOf(pc.protocol));
    set.mode = pc.framing;
    set.unitId = pc.unitId;
    return set;
}

void TfrmCommPort::showSet(const ConfigSet &set)
{
    selectIndex(cboBaud, static_cast<signed char>(set.sci[SciBaud]));
    selectIndex(cboParity, static_cast<signed char>(set.sci[SciParity]));
    selectIndex(cboDataBits, static_cast<signed char>(set.sci[SciDataBits]));
    selectIndex(cboFlow, static_cast<signed char>(set.sci[SciFlow]));
    selectIndex(cboStopBits, static_cast<signed char>(set.sci[SciStopBits]));
    selectIndex(cboProtocol, set.protocol);
    selectIndex(cboMode, set.mode);
    txtAddress->setText(QString::number(set.unitId));
    {
        const QSignalBlocker quiet(spnExtraSilence);
        spnExtraSilence->setValue(set.extraSilenceMs);
    }
    btnApply->setEnabled(false);
    btnUndo->setEnabled(false);
}

TfrmCommPort::ConfigSet TfrmCommPort::setFromWindow() const
{
    ConfigSet set = m_loaded; // bytes 4..6 stay as read
    set.sci[SciBaud] = char(cboBaud->currentIndex());
    set.sci[SciParity] = char(cboParity->currentIndex());
    set.sci[SciDataBits] = char(cboDataBits->currentIndex());
    set.sci[SciStopBits] = char(cboStopBits->currentIndex());
    set.sci[SciFlow] = char(cboFlow->currentIndex());
    set.protocol = cboProtocol->currentIndex();
    set.mode = cboMode->currentIndex();
    set.unitId = txtAddress->text().toInt();
    return set;
}

void TfrmCommPort::CfgChange(QObject *sender)
{
    btnApply->setEnabled(true);
    if (sender == cboBaud || sender == cboParity || sender == cboDataBits || sender == cboStopBits)
        m_serialChanged = true;
    if (sender == txtAddress && !m_unitMode) {
        m_baudOpen = true;
        fitFieldsToPort();
    }
    if (sender == cboMode)
        m_modeChanged = true;
}

void TfrmCommPort::cboPortChange()
{
    fitFieldsToPort();
    if (takePort())
        CfgChange(cboPort);
}

bool TfrmCommPort::networkPortChosen() const
{
    return NetworkAddress::isNetworkText(cboPort->currentText());
}

void TfrmCommPort::fitFieldsToPort()
{
    const bool network = networkPortChosen();
    for (QComboBox *line : {cboParity, cboDataBits, cboStopBits})
        line->setEnabled(!network);
    cboBaud->setEnabled(!network && m_baudOpen);
    ui->btnFindUnit->setEnabled(!network);
    ui->btnFindUnit->setToolTip(network ? tr("Find Unit scans serial ports; on a network port use tarvine-cli scan")
                                        : QString());
    // In unit mode the list is the transmitter's own serial mode, which never is TCP.
    const QString tcp = QStringLiteral("TCP");
    const bool offered = cboMode->findText(tcp) >= 0;
    if (network && !m_unitMode && !offered)
        cboMode->addItem(tcp);
    else if (!(network && !m_unitMode) && offered) {
        const bool chosen = cboMode->currentText() == tcp;
        cboMode->removeItem(cboMode->findText(tcp));
        if (chosen)
            cboMode->setCurrentIndex(-1); // the technician picks the serial port's mode
    }
}

bool TfrmCommPort::takePort()
{
    const QString text = cboPort->currentText().trimmed();
    PcCommSettings &pc = m_comm.pc();
    const bool changed = text != pc.port;
    QString problem;
    const bool known = CommLists::ports().contains(text) || text.startsWith(QLatin1Char('/'));
    if (changed && !known && !NetworkAddress::parse(text, &problem)) {
        if (!NetworkAddress::isNetworkText(text))
            problem = QStringLiteral("\"%1\" is not a port 1 to 12, a device path or HOST:PORT").arg(text);
        showMessage(QStringLiteral("Port not changed: ") + problem, Title, Prompter::Warning, Prompter::OK);
        cboPort->setCurrentText(pc.port);
        fitFieldsToPort();
        return false;
    }
    pc.port = text;
    // The port opens with the mode chosen for it: Modbus TCP would not open on a serial port.
    if (!m_unitMode && cboMode->currentIndex() >= 0) {
        pc.framing = cboMode->currentIndex();
        pc.modeText = cboMode->currentText();
    }
    if (changed && m_comm.link().portOpen()) {
        m_comm.link().closePort();
        m_comm.openPort();
    }
    return true;
}

void TfrmCommPort::txtAddressExit()
{
    QString problem;
    const int id = parseUnitId(txtAddress->text(), &problem);
    if (id < 0) {
        showMessage(problem, Title, Prompter::Warning, Prompter::OK);
        txtAddress->setText(QString::number(m_comm.pc().unitId));
        btnApply->setEnabled(false);
        return;
    }
    if (id != m_loaded.unitId)
        m_unitIdChanged = true;
}

QString TfrmCommPort::lineFromWindow() const
{
    return QStringLiteral("%1,%2,%3,%4")
        .arg(cboBaud->currentText(), cboParity->currentText().left(1), cboDataBits->currentText(),
             cboStopBits->currentText());
}

bool TfrmCommPort::portRefuses(const QString &line)
{
    QString error;
    if (m_comm.portAccepts(line, &error))
        return false;
    showMessage(QStringLiteral("Error when changing Port Settings: ") + error, Title, Prompter::Information);
    return true;
}

void TfrmCommPort::offerOnlyWhatThePortTakes()
{
    const auto enableItems = [this](QComboBox *box, const std::function<QString(const QString &)> &line) {
        auto *model = qobject_cast<QStandardItemModel *>(box->model());
        for (int i = 0; model && i < box->count(); ++i)
            model->item(i)->setEnabled(m_comm.portAccepts(line(box->itemText(i)), nullptr));
    };
    enableItems(cboBaud, [](const QString &baud) { return baud + QStringLiteral(",N,8,1"); });
    enableItems(cboDataBits, [](const QString &bits) { return QStringLiteral("9600,N,%1,1").arg(bits); });
}

void TfrmCommPort::btnApplyClick()
{
    if (!m_unitMode && cboMode->currentIndex() < 0) {
        showMessage(QStringLiteral("Choose the Modbus mode for this port."), Title, Prompter::Warning, Prompter::OK);
        return;
    }
    if (!takePort()) {
        btnApply->setEnabled(false);
        return;
    }
    QString problem;
    const int unitId = parseUnitId(txtAddress->text(), &problem);
    if (unitId < 0) {
        showMessage(problem, Title, Prompter::Warning, Prompter::OK);
        txtAddress->setText(QString::number(m_comm.pc().unitId));
        btnApply->setEnabled(false);
        return;
    }
    if (unitId != m_loaded.unitId)
        m_unitIdChanged = true;
    btnApply->setEnabled(false);
    HourGlass busy;
    if (m_unitMode &&
        showMessage(QStringLiteral("Change unit values?"), Title, Prompter::Confirmation,
                    Prompter::OK | Prompter::Cancel) != Prompter::IdOK) {
        btnApply->setEnabled(true);
        return;
    }
    applyExtraSilence();
    ModbusLink &link = m_comm.link();
    if (!link.portOpen())
        m_comm.openPort();
    if (m_unitMode && link.portOpen()) {
        if (!unitWrite(unitId)) {
            btnApply->setEnabled(true);
            return;
        }
    } else {
        applyPcSettings(unitId);
    }
    m_comm.save();
    m_comm.notifyPanels();
    btnUndo->setEnabled(true);
}

bool TfrmCommPort::applyExtraSilence()
{
    PcCommSettings &pc = m_comm.pc();
    if (spnExtraSilence->value() == pc.extraSilenceMs)
        return false;
    pc.extraSilenceMs = spnExtraSilence->value();
    CommSettings inUse = m_comm.link().settings();
    inUse.extraSilenceMs = pc.extraSilenceMs;
    m_comm.link().setSettings(inUse);
    return true;
}

void TfrmCommPort::applyPcSettings(int unitId)
{
    PcCommSettings &pc = m_comm.pc();
    pc.unitId = unitId;
    // Line settings the port cannot take stay as they were; the rest is applied.
    if (!portRefuses(lineFromWindow())) {
        pc.setLine(lineFromWindow());
        pc.flowControl = cboFlow->currentText();
    } else {
        showPcLine();
    }
    if (cboMode->currentIndex() >= 0) {
        pc.framing = cboMode->currentIndex();
        pc.modeText = cboMode->currentText();
    }
    pc.protocol = cboProtocol->currentText();
    ModbusLink &link = m_comm.link();
    if (link.portOpen()) {
        link.closePort();
        m_comm.openPort();
    } else {
        link.setSettings(pc.linkSettings());
    }
    if (m_unitIdChanged && link.portOpen()) {
        m_comm.identifier().identify();
        const bool ostrel = m_comm.session().deviceModel() == QLatin1String("Ostrel");
        if (ostrel)
            cboBaud->setCurrentText(QStringLiteral("9600"));
        m_baudOpen = !ostrel;
        fitFieldsToPort();
    }
    m_unitIdChanged = false;
}

bool TfrmCommPort::writeAccepted(int firstRegister, const QByteArray &bytes)
{
    ModbusLink &link = m_comm.link();
    return link.Write_Regs(firstRegister, bytes) != 0 && link.LastException() == 0;
}

bool TfrmCommPort::unitWrite(int unitId)
{
    ModbusLink &link = m_comm.link();
    const ConfigSet working = setFromWindow();
    const QString line = lineFromWindow();
    // The PC must be able to follow before the transmitter is told anything.
    if (m_serialChanged && portRefuses(line))
        return false;
    OperationRecord record(link, QStringLiteral("Comm Port: settings written to the unit"));
    int taken = 0;
    auto refused = [&](const QString &what) {
        const QString text =
            QStringLiteral("The transmitter did not accept the new %1.\rThe PC keeps its present settings.").arg(what);
        record.finish(taken > 0 ? HistoryOutcome::FailedPartWay : HistoryOutcome::Refused, text);
        showMessage(text, Title, Prompter::Warning);
    };

    trace(QStringLiteral("Com setting unit ID: %1\r\n").arg(unitId));
    if (m_unitIdChanged) {
        trace(QStringLiteral("Com setting unit ID to: %1\r\n").arg(unitId));
        if (!writeAccepted(RegUnitId, wordWithLowByteZero(unitId))) {
            refused(QStringLiteral("unit ID"));
            return true;
        }
        ++taken;
        m_comm.follow({.unitId = unitId});
        m_unitIdChanged = false;
    }
    if (m_modeChanged) {
        const int mode = working.mode;
        trace(QStringLiteral("Com setting unit Mode: %1\r\n").arg(mode));
        if (!writeAccepted(RegMode, wordWithLowByteZero(mode))) {
            refused(QStringLiteral("Modbus mode"));
            return true;
        }
        ++taken;
        // On Modbus TCP the transmitter's serial mode is the gateway's business, not the PC's.
        if (m_comm.pc().framing != ModbusLink::Tcp)
            m_comm.follow({.framing = mode});
        link.Send_Coil(ReadModbusCfgCoil, CoilOn);
        m_modeChanged = false;
    }
    if (m_serialChanged) {
        trace(QStringLiteral("Com setting unit serial port parameters: %1, %2\r\n")
                  .arg(int(working.sci[SciBaud]))
                  .arg(int(working.sci[SciParity])));
        if (!writeAccepted(RegSci, working.sci)) {
            refused(QStringLiteral("serial parameters"));
            return true;
        }
        ++taken;
        if (!moveLine(line)) {
            refused(QStringLiteral("serial parameters"));
            return true;
        }
        m_serialChanged = false;
    }
    m_comm.pc().flowControl = cboFlow->currentText();
    if (working.protocol >= 0 && working.protocol != m_loaded.protocol) {
        if (writeAccepted(RegProtocol, wordWithLowByteZero(working.protocol))) {
            m_comm.pc().protocol = cboProtocol->currentText();
            if (!link.CommOverride())
                link.Force_Coil(ResetCommProtocolCoil, CoilOn);
        } else {
            refused(QStringLiteral("protocol"));
        }
    }
    record.finish(HistoryOutcome::Done, {});
    trace(QStringLiteral("CommPort exiting Write_Regs()... \r\n"));
    m_comm.notifyPanels();
    return true;
}

bool TfrmCommPort::moveLine(const QString &line)
{
    ModbusLink &link = m_comm.link();
    trace(QStringLiteral("Com forcing unit coil: READ_MODCFG_COIL \r\n"));
    if (link.CommOverride())
        return true;
    // The transmitter takes the line once the coil's reply is out; the handshake
    // that follows runs at the new line.
    const bool r1 = link.Send_Coil(ReadModbusCfgCoil, CoilOn);
    trace(QStringLiteral("Com force unit coil: READ_MODCFG_COIL result = %1\r\n").arg(r1 ? -1 : 0));
    if (!r1)
        return false;
    m_comm.follow({.line = line});
    const bool r2 = link.Finish_Coil(ReadModbusCfgCoil, CoilOn);
    trace(QStringLiteral("Com coil check: READ_MODCFG_COIL result = %1\r\n").arg(r2 ? -1 : 0));
    return true;
}

void TfrmCommPort::showPcLine()
{
    const PcCommSettings &pc = m_comm.pc();
    cboBaud->setCurrentText(pc.baudRate);
    cboParity->setCurrentText(pc.parity);
    cboDataBits->setCurrentText(pc.dataBits);
    cboStopBits->setCurrentText(pc.stopBits);
}

void TfrmCommPort::btnUndoClick()
{
    const QString lineInUse = m_comm.pc().settingsText();
    showSet(m_loaded);
    ModbusLink &link = m_comm.link();
    PcCommSettings &pc = m_comm.pc();
    if (m_unitMode && link.portOpen()) {
        // The PC follows each accepted step at once, so the next request reaches the unit.
        if (writeAccepted(RegSci, m_loaded.sci) && lineFromWindow() != lineInUse
            && !portRefuses(lineFromWindow()))
            moveLine(lineFromWindow());
        if (writeAccepted(RegUnitId, wordWithLowByteZero(m_loaded.unitId)))
            m_comm.follow({.unitId = m_loaded.unitId});
        if (writeAccepted(RegMode, wordWithLowByteZero(m_loaded.mode)) && m_comm.pc().framing != ModbusLink::Tcp)
            m_comm.follow({.framing = m_loaded.mode});
        writeAccepted(RegProtocol, wordWithLowByteZero(m_loaded.protocol));
    } else {
        m_comm.follow({.unitId = m_loaded.unitId, .framing = qMax(0, m_loaded.mode)});
    }
    pc.protocol = cboProtocol->currentText();
    if (applyExtraSilence())
        m_comm.save();
    m_comm.notifyPanels();
}

void TfrmCommPort::btnFindUnitClick()
{
    TfrmFindUnit finder(m_comm.link(), this);
    if (finder.exec() != QDialog::Accepted)
        return;
    const CommSettings found = finder.chosen();
    if (!m_comm.follow({.unitId = found.unitId, .framing = found.framing, .line = found.settings}))
        return;
    m_unitIdChanged = m_modeChanged = m_serialChanged = false;
    m_loaded = readLoadedSet();
    showSet(m_loaded);
}
