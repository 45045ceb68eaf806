#include "StandardDensityTableWindow.h"

#include "ApplyUndoButtons.h"
#include "NumberFormat.h"
#include "QuantityCode.h"
#include "TableGrid.h"
#include "UnitConversion.h"
#include "UnitLists.h"
#include "ui_StandardDensityTableWindow.h"

#include <QTableWidget>

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
    m_grids = {ui->grdDens1, ui->grdDens2, ui->grdDens3, ui->grdDens4,
               ui->grdDens5, ui->grdDens6, ui->grdDens7, ui->grdDens8};
    for (int k = 0; k < TableCount; ++k) {
        m_tables.emplace_back(FirstTable + TableRegisters * k, Bytes);
        TableGrid::onTyping(m_grids[k], [this] { m_buttons->edited(); });
        connect(m_grids[k], &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
            if (m_showing)
                return;
            TableGrid::markEdited(item);
            m_buttons->edited();
        });
    }
    ui->cboSAPITempUnit->addItems(UnitListFor(Temperature));
    ui->txtSAPIName->setMaxLength(NameLength);
    connect(ui->txtSAPIName, &QLineEdit::textEdited, this, [this] {
        m_nameEdited = true;
        m_buttons->edited();
    });
    connect(ui->cboSAPITempUnit, &QComboBox::activated, this, &TfrmSpecialAPI::cboSAPITempUnitChange);
    connect(ui->NextPrevButton, &QPushButton::clicked, this, [this] { showPage(1 - m_page); });
    m_buttons = new ApplyUndoButtons(this, {ui->btnApply, ui->btnUndo, ui->Help, ui->Close}, HelpContext);
    m_buttons->onApply([this] { return btnApplyClick(); });
    m_buttons->onUndo([this] { return btnUndoClick(); });
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
    if (!m_nameEdited) {
        const QByteArray name = m_name.working();
        const qsizetype end = name.indexOf('\0');
        ui->txtSAPIName->setText(
            QString::fromLatin1(name.left(end < 0 ? NameLength : qMin<qsizetype>(end, NameLength))));
    }
    for (int k = 0; k < TableCount; ++k) {
        const ConfigBlock &t = m_tables[size_t(k)];
        for (int i = 0; i < Points; ++i) {
            TableGrid::showUnlessEdited(
                m_grids[k], i, 0, FormatByIndex(TempFormat, FromBase(Temperature, t.f64(TempAt + 8 * i), m_tempUnit)));
            TableGrid::showUnlessEdited(m_grids[k], i, 1, FormatByIndex(VcfFormat, t.f64(VcfAt + 8 * i)));
        }
    }
    m_showing = false;
}

void TfrmSpecialAPI::showTransmitterState()
{
    showTables();
}

bool TfrmSpecialAPI::takeEdits(QString *error, int *failedTable)
{
    // Only the cells the technician changed are parsed, in the unit they were typed in.
    bool all = true;
    for (int k = 0; k < TableCount; ++k) {
        ConfigBlock &t = m_tables[size_t(k)];
        for (int i = 0; i < Points; ++i) {
            for (int column : {0, 1}) {
                if (!TableGrid::isEdited(m_grids[k], i, column))
                    continue;
                QString cellError;
                const auto v = TableGrid::number(m_grids[k], i, column, &cellError);
                if (!v) {
                    if (all && error)
                        *error = cellError;
                    if (all && failedTable)
                        *failedTable = k;
                    all = false;
                    continue;
                }
                if (column == 0)
                    t.setF64(TempAt + 8 * i, ToBase(Temperature, *v, m_tempUnit));
                else
                    t.setF64(VcfAt + 8 * i, *v);
                TableGrid::clearEdited(m_grids[k], i, column);
                m_touched[size_t(k)] = true;
            }
        }
    }
    return all;
}

void TfrmSpecialAPI::cboSAPITempUnitChange()
{
    takeEdits(nullptr, nullptr);
    m_tempUnit = ui->cboSAPITempUnit->currentIndex();
    for (QTableWidget *grid : m_grids)
        grid->setHorizontalHeaderLabels(
            {QStringLiteral("    ") + ui->cboSAPITempUnit->currentText(), QStringLiteral("   VCF")});
    showTables();
}

bool TfrmSpecialAPI::btnApplyClick()
{
    // Every edited cell is parsed before the first table is written.
    QString error;
    int failed = 0;
    if (!takeEdits(&error, &failed)) {
        showPage(failed / TablesPerPage);
        tell(error);
        return false;
    }
    for (int k = 0; k < TableCount; ++k) {
        ConfigBlock &t = m_tables[size_t(k)];
        if (m_touched[size_t(k)])
            t.setU8(EmptyByte, t.f64(TempAt) == 0.0 && t.f64(VcfAt) == 0.0 ? 1 : 0);
    }
    // The name: at most 18 characters, ending with a zero byte inside its field.
    if (m_nameEdited) {
        QByteArray name = ui->txtSAPIName->text().left(NameLength).toLatin1();
        name.resize(NameBytes, '\0');
        m_name.working() = name;
        m_nameEdited = false;
    }
    return writeBlocks(blocks(), Copy::Working);
}

bool TfrmSpecialAPI::btnUndoClick()
{
    if (!writeBlocks(blocks(), Copy::AsRead))
        return false;
    for (ConfigBlock *b : blocks())
        b->revert();
    m_touched = {};
    m_nameEdited = false;
    showTables();
    return true;
}
