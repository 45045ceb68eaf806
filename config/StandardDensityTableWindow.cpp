#include "StandardDensityTableWindow.h"

#include "NumberFormat.h"
#include "QuantityCode.h"
#include "TableGrid.h"
#include "UnitConversion.h"
#include "UnitLists.h"
#include "ui_StandardDensityTableWindow.h"

namespace {

using namespace Quantity;

constexpr int Bytes = 2 * TfrmSpecialAPI::TableRegisters;
constexpr int Points = 14;
constexpr int TempAt = 0, VcfAt = 112, EmptyByte = 224;
constexpr int TempFormat = 2, VcfFormat = 3;
constexpr int TablesPerPage = 4;

}  // namespace

TfrmSpecialAPI::TfrmSpecialAPI(const WindowContext &context, QWidget *parent)
    : ConfigWindow(context, parent), ui(std::make_unique<Ui::TfrmSpecialAPI>()), m_name(NameRegister, NameBytes)
{
    ui->setupUi(this);
    setHelp(ui->Help, HelpContext);
    m_grids = {ui->grdDens1, ui->grdDens2, ui->grdDens3, ui->grdDens4,
               ui->grdDens5, ui->grdDens6, ui->grdDens7, ui->grdDens8};
    for (int k = 0; k < TableCount; ++k) {
        m_tables.emplace_back(FirstTable + TableRegisters * k, Bytes);
        connect(m_grids[k], &QTableWidget::itemChanged, this, [this] {
            if (!m_showing)
                ui->btnApply->setEnabled(true);
        });
    }
    ui->cboSAPITempUnit->addItems(UnitListFor(Temperature));
    ui->txtSAPIName->setMaxLength(NameLength);
    connect(ui->txtSAPIName, &QLineEdit::textEdited, this, [this] { ui->btnApply->setEnabled(true); });
    connect(ui->cboSAPITempUnit, &QComboBox::activated, this, &TfrmSpecialAPI::cboSAPITempUnitChange);
    connect(ui->NextPrevButton, &QPushButton::clicked, this, [this] { showPage(1 - m_page); });
    connect(ui->btnApply, &QPushButton::clicked, this, &TfrmSpecialAPI::btnApplyClick);
    connect(ui->btnUndo, &QPushButton::clicked, this, &TfrmSpecialAPI::btnUndoClick);
    connect(ui->Close, &QPushButton::clicked, this, &GuardedWindow::requestClose);
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(false);
    showPage(0);
}

TfrmSpecialAPI::~TfrmSpecialAPI() = default;

QList<ConfigBlock *> TfrmSpecialAPI::blocks()
{
    QList<ConfigBlock *> list{&m_name};
    for (ConfigBlock &t : m_tables)
        list.append(&t);
    return list;
}

void TfrmSpecialAPI::FormActivate()
{
    ui->cboSAPITempUnit->setEnabled(false);
    ui->cboSAPITempUnit->setCurrentIndex(0);
    m_tempUnit = 0;
    setHeads();
    readBlocks(blocks());
    showTables();
    ui->cboSAPITempUnit->setEnabled(true);
}

void TfrmSpecialAPI::setHeads()
{
    const QStringList heads = {QStringLiteral("    ") + ui->cboSAPITempUnit->currentText(), QStringLiteral("   VCF")};
    m_showing = true;
    for (QTableWidget *grid : m_grids)
        TableGrid::setUp(grid, Points, heads);
    m_showing = false;
}

void TfrmSpecialAPI::showPage(int page)
{
    m_page = page;
    for (int k = 0; k < TableCount; ++k)
        m_grids[k]->setVisible(k / TablesPerPage == page);
    ui->WhatPageLabel->setText(QStringLiteral("Page %1 of 2").arg(page + 1));
    ui->NextPrevButton->setText(page == 0 ? QStringLiteral("Next Page") : QStringLiteral("Previous Page"));
}

void TfrmSpecialAPI::showTables()
{
    m_showing = true;
    const QByteArray name = m_name.working();
    const qsizetype end = name.indexOf('\0');
    ui->txtSAPIName->setText(QString::fromLatin1(name.left(end < 0 ? NameLength : qMin<qsizetype>(end, NameLength))));
    for (int k = 0; k < TableCount; ++k) {
        const ConfigBlock &t = m_tables[size_t(k)];
        for (int i = 0; i < Points; ++i) {
            TableGrid::setText(m_grids[k], i, 0,
                               FormatByIndex(TempFormat, FromBase(Temperature, t.f64(TempAt + 8 * i), m_tempUnit)));
            TableGrid::setText(m_grids[k], i, 1, FormatByIndex(VcfFormat, t.f64(VcfAt + 8 * i)));
        }
    }
    m_showing = false;
}

void TfrmSpecialAPI::cboSAPITempUnitChange()
{
    const int next = ui->cboSAPITempUnit->currentIndex();
    m_showing = true;
    for (QTableWidget *grid : m_grids) {
        TableGrid::convertColumn(grid, 0, Temperature, m_tempUnit, next, TempFormat);
        grid->setHorizontalHeaderLabels(
            {QStringLiteral("    ") + ui->cboSAPITempUnit->currentText(), QStringLiteral("   VCF")});
    }
    m_showing = false;
    m_tempUnit = next;
}

void TfrmSpecialAPI::btnApplyClick()
{
    // Every cell is parsed before the first table is written.
    std::vector<ConfigBlock> edited = m_tables;
    for (int k = 0; k < TableCount; ++k) {
        ConfigBlock &t = edited[size_t(k)];
        for (int i = 0; i < Points; ++i) {
            QString error;
            const auto temp = TableGrid::number(m_grids[k], i, 0, &error);
            const auto vcf = temp ? TableGrid::number(m_grids[k], i, 1, &error) : std::nullopt;
            if (!vcf) {
                showPage(k / TablesPerPage);
                tell(error);
                return;
            }
            t.setF64(TempAt + 8 * i, ToBase(Temperature, *temp, m_tempUnit));
            t.setF64(VcfAt + 8 * i, *vcf);
        }
        t.setU8(EmptyByte, t.f64(TempAt) == 0.0 && t.f64(VcfAt) == 0.0 ? 1 : 0);
    }
    m_tables = std::move(edited);
    // The name: at most 18 characters, ending with a zero byte inside its field.
    QByteArray name = ui->txtSAPIName->text().left(NameLength).toLatin1();
    name.resize(NameBytes, '\0');
    m_name.working() = name;
    if (!writeBlocks(blocks(), Copy::Working))
        return;
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(true);
}

void TfrmSpecialAPI::btnUndoClick()
{
    if (!writeBlocks(blocks(), Copy::AsRead))
        return;
    for (ConfigBlock *b : blocks())
        b->revert();
    showTables();
    ui->btnApply->setEnabled(false);
    ui->btnUndo->setEnabled(false);
}
