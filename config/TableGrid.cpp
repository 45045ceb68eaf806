#include "TableGrid.h"

#include "ValueCodec.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <cmath>

namespace TableGrid {

void setUp(QTableWidget *grid, int rows, const QStringList &heads)
{
    grid->setRowCount(rows);
    grid->setColumnCount(int(heads.size()));
    grid->setHorizontalHeaderLabels(heads);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid->verticalHeader()->setVisible(rows > 1);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < heads.size(); ++c)
            if (!grid->item(r, c))
                grid->setItem(r, c, new QTableWidgetItem);
}

void setText(QTableWidget *grid, int row, int column, const QString &text)
{
    if (QTableWidgetItem *item = grid->item(row, column))
        item->setText(text);
}

QString text(const QTableWidget *grid, int row, int column)
{
    const QTableWidgetItem *item = grid->item(row, column);
    return item ? item->text() : QString();
}

std::optional<double> number(const QTableWidget *grid, int row, int column, QString *error)
{
    const QString t = text(grid, row, column).trimmed();
    if (t.isEmpty())
        return 0.0;
    bool ok = false;
    const double v = ValueCodec::parseFloat(t, &ok, error);
    if (ok && !std::isfinite(v)) {
        ok = false;
        if (error)
            *error = QStringLiteral("'%1' is not a valid floating point value").arg(t);
    }
    return ok ? std::optional<double>(v) : std::nullopt;
}

namespace {
constexpr int EditedRole = Qt::UserRole + 1;

class TypingDelegate : public QStyledItemDelegate {
public:
    TypingDelegate(std::function<void()> typed, QObject *parent)
        : QStyledItemDelegate(parent), m_typed(std::move(typed))
    {
    }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto *line = qobject_cast<QLineEdit *>(editor))
            QObject::connect(line, &QLineEdit::textEdited, line, [typed = m_typed] { typed(); });
        return editor;
    }

private:
    std::function<void()> m_typed;
};
}  // namespace

void onTyping(QTableWidget *grid, std::function<void()> typed)
{
    grid->setItemDelegate(new TypingDelegate(std::move(typed), grid));
}

void markEdited(QTableWidgetItem *item)
{
    if (item)
        item->setData(EditedRole, true);
}

bool isEdited(const QTableWidget *grid, int row, int column)
{
    const QTableWidgetItem *item = grid->item(row, column);
    return item && item->data(EditedRole).toBool();
}

void clearEdited(QTableWidget *grid, int row, int column)
{
    // Not a change of the cell: the window must not see it as one.
    const QSignalBlocker quiet(grid);
    if (QTableWidgetItem *item = grid->item(row, column))
        item->setData(EditedRole, QVariant());
}

void showUnlessEdited(QTableWidget *grid, int row, int column, const QString &text)
{
    if (!isEdited(grid, row, column))
        setText(grid, row, column, text);
}

}  // namespace TableGrid
