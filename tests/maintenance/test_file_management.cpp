#include "SimWindowTest.h"
#include "WidgetQuery.h"

#include "SimFileTable.h"
#include "SimTransmitter.h"
#include "TransmitterFiles.h"
#include "frmFileMgmt.h"

#include <QCheckBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

namespace {

class FileManagement : public SimWindowTest {
protected:
    std::unique_ptr<TfrmFileMgmt> openWindow()
    {
        auto w = std::make_unique<TfrmFileMgmt>(WindowContext{*link, session, nullptr, {}, {}}, TfrmFileMgmt::Tag);
        open(w.get());
        return w;
    }
    static QStringList column(TfrmFileMgmt &w, int c)
    {
        QStringList out;
        for (int r = 0; r < w.grid()->rowCount(); ++r)
            out << (w.grid()->item(r, c) ? w.grid()->item(r, c)->text() : QString());
        return out;
    }
    static int row(TfrmFileMgmt &w, const QString &name) { return int(column(w, 0).indexOf(name)); }
    void setFiles(int n)
    {
        sim::Faults f;
        f.files = n;
        simulator->transmitter()->setFaults(f);
    }
};

TEST(TransmitterFileRecord, AShortRecordIsNeverReadPastItsEnd)
{
    EXPECT_EQ(TransmitterFiles::decodeRecord(QByteArray(5, 'x')).size, 0u);
}

TEST_F(FileManagement, ListsEveryFileWithItsRecord)
{
    auto w = openWindow();
    EXPECT_EQ(w->property("helpContext").toInt(), 4641); // not its menu tag, 4640
    EXPECT_EQ(column(*w, 0), (QStringList{"DIGITALPLL", "OSTREL.R", "DSPCODE.R", "MATHLIB", "CAL DATA", "NETOIL.DAT"}));
    const int lib = row(*w, "MATHLIB");
    EXPECT_EQ(w->grid()->item(lib, 1)->text(), "12288");
    EXPECT_EQ(w->grid()->item(lib, 2)->text(), "1.2");
    EXPECT_EQ(w->grid()->item(lib, 3)->text(), "LIB");
    EXPECT_EQ(w->grid()->item(lib, 4)->text(), "03/14/09");
    EXPECT_EQ(w->grid()->item(row(*w, "CAL DATA"), 3)->text(), "DATA");
    for (int r = 0; r < w->grid()->rowCount(); ++r)
        EXPECT_TRUE(w->deleteBox(r)) << r;
    EXPECT_FALSE(control<QPushButton>(w.get(), "btnApply")->isEnabled());
}

TEST_F(FileManagement, ShowsSixteenRowsAndScrollsTheRestAndNeverMoreThanOneReplyHolds)
{
    struct Case {
        int files, rows;
        bool scrolls, notice;
    };
    for (const Case &c : {Case{16, 16, false, false}, Case{17, 17, true, false}, Case{30, 24, true, true}}) {
        setFiles(c.files);
        auto w = openWindow();
        EXPECT_EQ(w->grid()->rowCount(), c.rows) << c.files;
        EXPECT_EQ(w->grid()->verticalScrollBar()->maximum() > 0, c.scrolls) << c.files;
        EXPECT_EQ(textOf(w.get(), "lblNotice").contains("30 files"), c.notice) << c.files;
    }
}

TEST_F(FileManagement, DeletesTickedFilesByTheirStoredNames)
{
    auto w = openWindow();
    // "CAL DATA " is stored with a trailing blank; the trimmed name would not match.
    w->deleteBox(row(*w, "CAL DATA"))->setChecked(true);
    w->deleteBox(row(*w, "OSTREL.R"))->setChecked(true);
    ASSERT_TRUE(control<QPushButton>(w.get(), "btnApply")->isEnabled());
    // Asked first; No deletes nothing.
    prompter.answers = {Prompter::IdNo};
    w->btnApplyClick();
    EXPECT_TRUE(prompter.shown("Delete 2 files from the transmitter?"));
    EXPECT_EQ(device().files().files().size(), 6u);
    prompter.answers = {Prompter::IdYes};
    w->btnApplyClick();
    EXPECT_EQ(column(*w, 0), (QStringList{"DIGITALPLL", "DSPCODE.R", "MATHLIB", "NETOIL.DAT"}));
    EXPECT_EQ(device().files().files().size(), 4u);
    EXPECT_FALSE(control<QPushButton>(w.get(), "btnApply")->isEnabled());

    // A refused delete leaves the row, still ticked.
    sim::Faults refuse;
    refuse.refuseDelete = true;
    simulator->transmitter()->setFaults(refuse);
    w->deleteBox(row(*w, "MATHLIB"))->setChecked(true);
    prompter.answers = {Prompter::IdYes};
    w->btnApplyClick();
    EXPECT_GE(row(*w, "MATHLIB"), 0);
    EXPECT_TRUE(w->deleteBox(row(*w, "MATHLIB"))->isChecked());
    EXPECT_TRUE(prompter.shownWithTitle("Unit Busy"));
    simulator->transmitter()->setFaults({});

    for (int r = 0; r < w->grid()->rowCount(); ++r)
        w->deleteBox(r)->setChecked(true);
    prompter.answers = {Prompter::IdYes};
    w->btnApplyClick();
    EXPECT_EQ(column(*w, 0), QStringList{TfrmFileMgmt::NoFilesText});
    EXPECT_TRUE(device().files().files().empty());
}

TEST_F(FileManagement, EmptyAndUnreadableListsSayDifferentThings)
{
    setFiles(0);
    auto empty = openWindow();
    EXPECT_EQ(column(*empty, 0), QStringList{TfrmFileMgmt::NoFilesText});
    EXPECT_EQ(textOf(empty.get(), "lblNotice"), "");

    simulator->transmitter()->setFaults([] { sim::Faults f; f.stuckBusyCoil = TransmitterFiles::DirectoryCoil; return f; }());
    auto refused = openWindow();
    EXPECT_EQ(refused->grid()->rowCount(), 0);
    EXPECT_TRUE(textOf(refused.get(), "lblNotice").contains("could not be read"));
}

} // namespace
