#include "SimFixture.h"

#include "Catalogue.h"
#include "CommSetup.h"
#include "ConfigurationCommands.h"
#include "ConfigurationFiles.h"
#include "DefaultImage.h"
#include "ModalHelper.h"
#include "TfrmDisplayConfiguration.h"

#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <bit>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

QByteArray readFile(const QString &name)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

FieldRef field(const char *key)
{
    const auto f = Catalogue::fieldByKey(QString::fromLatin1(key));
    EXPECT_TRUE(f.has_value()) << key;
    return f.value_or(FieldRef{});
}

int rowOf(const char *key)
{
    const QStringList lines = ConfigurationFiles::textLines(RegisterImage());
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].startsWith(QLatin1String(key) + QLatin1String(", ")))
            return i;
    return -1;
}

class FilesTest : public SimFixture {
protected:
    void SetUp() override
    {
        SimFixture::SetUp();
        ASSERT_TRUE(link.image().setBytes(defaultConfigurationImage()));
        QObject::connect(&commands, &ConfigurationCommands::imageChanged, [this] { ++imageChanges; });
    }
    QString path(const QString &name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    CommSetup comm{link, session, dir.path()};
    ConfigurationCommands commands{link, session, comm, nullptr};
    int imageChanges = 0;
};

TEST_F(FilesTest, TextFileThroughTheEditorReproducesEveryField)
{
    RegisterImage &image = link.image();
    image.setF64At(field("CfgBatch.Cutoff").byteOffset, 0.1);
    image.setF32At(field("CfgTxVarEx.MassDampThresh").byteOffset, 0.1f);
    image.setU8At(field("CfgFlowDir").byteOffset, 1);
    image.setU16At(field("AlarmLog2.TempAlm").byteOffset, 65535);
    image.setU32At(field("RTDUpdTime").byteOffset, uint32_t(-5));
    image.setTextAt(field("CfgMiscInfo.Tag").byteOffset, 20, QStringLiteral("A B, C"));
    const QStringList original = ConfigurationFiles::textLines(image);
    ASSERT_EQ(original.size(), ConfigurationFiles::TextLineCount);

    prompter.fileNames << path(QStringLiteral("plant"));
    commands.saveText();
    const QByteArray bytes = readFile(path(QStringLiteral("plant.cfg")));   // default extension added
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), ConfigurationFiles::TextLineCount);
    EXPECT_EQ(bytes.count('\n'), ConfigurationFiles::TextLineCount);   // no bare LF
    EXPECT_TRUE(bytes.contains("\r\nCfgBatch.Cutoff, 0.1\r\n"));
    EXPECT_TRUE(bytes.contains("\r\nCfgTxVarEx.MassDampThresh, 0.100000001490116\r\n"));
    EXPECT_TRUE(bytes.contains("\r\nRTDUpdTime, -5\r\n"));
    EXPECT_EQ(prompter.dialogTitles.value(0), QStringLiteral("Save to Text File / Config Text Files (*.cfg)"));

    image.setBytes(QByteArray(RegisterImage::ByteSize, '\0'));
    prompter.fileNames << path(QStringLiteral("plant.cfg"));
    bool applied = false;
    whenModal([&](QWidget *w) {
        auto *editor = qobject_cast<TfrmDisplayConfiguration *>(w);
        ASSERT_NE(editor, nullptr);
        editor->findChild<QPushButton *>(QStringLiteral("btnApply"))->click();
        applied = !editor->findChild<QPushButton *>(QStringLiteral("btnApply"))->isEnabled()
                  && editor->findChild<QPushButton *>(QStringLiteral("btnUndo"))->isEnabled();
        editor->accept();
    });
    commands.loadText();
    EXPECT_TRUE(applied);
    EXPECT_EQ(ConfigurationFiles::textLines(image), original);
    EXPECT_EQ(imageChanges, 1);
    EXPECT_TRUE(prompter.messages.isEmpty()) << prompter.texts().join(' ').toStdString();
}

TEST_F(FilesTest, EditorStopsAtABadValueAndUndoRestoresTheOpeningImage)
{
    RegisterImage &image = link.image();
    const QByteArray opening = image.bytes();
    QList<ConfigurationFiles::TextLine> lines;
    for (const QString &line : ConfigurationFiles::textLines(image))
        lines << ConfigurationFiles::splitLine(line);
    TfrmDisplayConfiguration editor(image, lines);
    auto *grid = editor.findChild<QTableWidget *>(QStringLiteral("StringGrid1"));
    auto *apply = editor.findChild<QPushButton *>(QStringLiteral("btnApply"));
    auto *undo = editor.findChild<QPushButton *>(QStringLiteral("btnUndo"));
    ASSERT_TRUE(grid && apply && undo);
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), QStringLiteral("Register Name"));
    EXPECT_FALSE(undo->isEnabled());
    editor.show();
    QTest::keyClick(&editor, Qt::Key_Escape);   // Escape is for procedures, not for closing
    EXPECT_TRUE(editor.isVisible());

    const int infRow = rowOf("CfgBatch.Cutoff");
    const int commaRow = rowOf("CfgBatch.Trickle");
    const int badRow = rowOf("CfgFlowDir");
    grid->item(infRow, 1)->setText(QStringLiteral("INF"));
    grid->item(commaRow, 1)->setText(QStringLiteral("2,5"));
    grid->item(badRow, 1)->setText(QStringLiteral("abc"));
    apply->click();

    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_EQ(prompter.messages[0].text,
              QStringLiteral("Row %1 (CfgFlowDir): 'abc' is not a valid integer value").arg(badRow + 1));
    EXPECT_EQ(image.bytes(), opening);
    EXPECT_TRUE(grid->item(badRow - 1, 0)->text().startsWith(QLatin1String("Added: ")));
    EXPECT_EQ(grid->item(badRow, 0)->text(), QStringLiteral("CfgFlowDir"));
    EXPECT_TRUE(apply->isEnabled());
    EXPECT_EQ(grid->currentRow(), badRow);

    grid->item(badRow, 1)->setText(QStringLiteral("1"));
    apply->click();
    EXPECT_TRUE(std::isinf(image.f64At(field("CfgBatch.Cutoff").byteOffset)));
    EXPECT_GT(image.f64At(field("CfgBatch.Cutoff").byteOffset), 0);
    EXPECT_EQ(image.f64At(field("CfgBatch.Trickle").byteOffset), 2.5);
    EXPECT_EQ(image.read(field("CfgFlowDir").byteOffset / 2, 2), QByteArray("\x01\x00", 2));
    EXPECT_FALSE(apply->isEnabled());
    EXPECT_TRUE(undo->isEnabled());

    undo->click();
    EXPECT_EQ(image.bytes(), opening);
    for (int row = 0; row < grid->rowCount(); ++row)
        ASSERT_FALSE(grid->item(row, 0)->text().startsWith(QLatin1String("Added: "))) << row;
    EXPECT_TRUE(apply->isEnabled());
    EXPECT_FALSE(undo->isEnabled());
}

TEST_F(FilesTest, DamagedTextFilesNameTheLineAndChangeNothing)
{
    const QStringList good = ConfigurationFiles::textLines(link.image());
    const auto variant = [&](QStringList lines) { return (lines.join("\r\n") + "\r\n").toLatin1(); };
    QStringList missing = good;
    missing.removeLast();
    QStringList extra = good;
    extra << QStringLiteral("Spare, 1");
    QStringList empty = good;
    empty[99].clear();
    QStringList swapped = good;
    swapped.swapItemsAt(4, 5);

    const struct {
        const char *name;
        QByteArray bytes;
        const char *expect;
    } cases[] = {
        {"missing.cfg", variant(missing), "ends after line 779; line 780 (CfgTxVarEx.Resv)"},
        {"extra.cfg", variant(extra), "has 781 lines; line 781"},
        {"empty.cfg", variant(empty), "Line 100 of "},
        {"swapped.cfg", variant(swapped), "Line 5 of "},
    };
    for (const auto &c : cases) {
        writeFile(path(c.name), c.bytes);
        QList<ConfigurationFiles::TextLine> lines;
        QString error;
        EXPECT_FALSE(ConfigurationFiles::readText(path(c.name), &lines, &error)) << c.name;
        EXPECT_TRUE(error.contains(QLatin1String(c.expect))) << error.toStdString();
        EXPECT_TRUE(error.contains(path(c.name))) << error.toStdString();
    }

    // Through the menu item: the message, no editor, the image as it was.
    const QByteArray before = link.image().bytes();
    prompter.fileNames << path(QStringLiteral("missing.cfg")) << path(QStringLiteral("nowhere.cfg"));
    commands.loadText();
    commands.loadText();
    ASSERT_EQ(prompter.messages.size(), 2);
    EXPECT_EQ(prompter.messages[0].title, QStringLiteral("Load from Text File"));
    EXPECT_EQ(prompter.messages[1].text,
              QStringLiteral("Cannot read %1: No such file or directory").arg(path(QStringLiteral("nowhere.cfg"))));
    EXPECT_EQ(link.image().bytes(), before);
    EXPECT_EQ(imageChanges, 0);

    // A line break inside a text field would split its line: no such file is written.
    link.image().setTextAt(field("CfgMiscInfo.Descriptor").byteOffset, 20, QStringLiteral("two\r\nlines"));
    prompter.fileNames << path(QStringLiteral("broken.cfg"));
    commands.saveText();
    EXPECT_EQ(prompter.messages.value(2).text,
              QStringLiteral("%1 was not written: the value of CfgMiscInfo.Descriptor holds a line break.")
                  .arg(path(QStringLiteral("broken.cfg"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("broken.cfg"))));

    // Line ends as other editors leave them still load.
    const QByteArray crlf = (good.join("\r\n")).toLatin1();
    const QByteArray lf = (good.join('\n')).toLatin1();
    for (const QByteArray &bytes : {lf + '\n', crlf, crlf + "\r\n\r\n", lf + "\n\n  \n", crlf + "\r\n \t\r\n"}) {
        writeFile(path(QStringLiteral("edited.cfg")), bytes);
        QList<ConfigurationFiles::TextLine> lines;
        QString error;
        EXPECT_TRUE(ConfigurationFiles::readText(path(QStringLiteral("edited.cfg")), &lines, &error))
            << error.toStdString() << " " << bytes.right(8).toHex().toStdString();
        EXPECT_EQ(lines.size(), ConfigurationFiles::TextLineCount);
    }
}

// Random bits for a float field; a third of the time one of the extremes a text
// file must carry exactly; now and then NaN, which has one pattern in a file.
template <typename T, typename Bits>
Bits randomFloat(std::mt19937_64 &random, Bits nanPattern)
{
    using L = std::numeric_limits<T>;
    const T extremes[] = {L::max(), -L::max(), L::min(), -L::min(), L::denorm_min(), -L::denorm_min(),
                          L::infinity(), -L::infinity(), T(-0.0), T(68547.84807135946), T(1) / T(3)};
    if (random() % 16 == 0)
        return nanPattern;
    const Bits bits = random() % 3 == 0 ? std::bit_cast<Bits>(extremes[random() % std::size(extremes)]) : Bits(random());
    return std::isnan(std::bit_cast<T>(bits)) ? nanPattern : bits;
}

// Random contents for a field in a form the field can carry: texts without line
// breaks up to a zero, integers and one-byte values with the rest of the field zero.
void randomField(RegisterImage &image, const FieldRef &f, std::mt19937_64 &random)
{
    uint64_t bits = random();
    int width = 8;
    switch (valueKindOf(f.type)) {
    case ValueKind::U8: width = 1; break;
    case ValueKind::U16: width = 2; break;
    case ValueKind::I32: width = 4; break;
    case ValueKind::F64: bits = randomFloat<double>(random, 0xFFFFFFFF00000000ull); break;
    case ValueKind::F32: width = 4, bits = randomFloat<float>(random, 0xFFFFFFFFu); break;
    case ValueKind::Text:
        for (int i = 0, length = int(random() % (f.byteCount + 1)); i < f.byteCount; ++i) {
            const char c = char(1 + random() % 255);
            image.setU8At(f.byteOffset + i, i >= length ? 0 : (c == '\r' || c == '\n') ? 'x' : c);
        }
        return;
    }
    // A float in a field shorter than its type keeps only its leading bytes.
    for (int i = 0; i < f.byteCount; ++i)
        image.setU8At(f.byteOffset + i, i < width ? uint8_t(bits >> (8 * (width - 1 - i))) : 0);
}

TEST(TextFileRoundTrip, EveryFieldOfARandomImageReadsBackByteForByte)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("random.cfg"));
    QList<FieldRef> fields;
    for (int block : Catalogue::configurationBlocks())
        fields += Catalogue::fields(block);
    std::mt19937_64 random(20260611);
    for (int round = 0; round < 12; ++round) {
        RegisterImage image;
        for (const FieldRef &f : fields)
            randomField(image, f, random);
        QString error;
        ASSERT_TRUE(ConfigurationFiles::writeText(name, image, &error)) << error.toStdString();
        QList<ConfigurationFiles::TextLine> lines;
        ASSERT_TRUE(ConfigurationFiles::readText(name, &lines, &error)) << error.toStdString();
        QStringList values;
        for (const auto &line : lines)
            values << line.value;
        RegisterImage back;
        ASSERT_TRUE(back.setBytes(QByteArray(RegisterImage::ByteSize, '\x5A')));
        int badRow = -1;
        ASSERT_TRUE(ConfigurationFiles::applyValues(values, back, &badRow, &error)) << error.toStdString();
        for (qsizetype i = 0; i < fields.size(); ++i) {
            const FieldRef &f = fields[i];
            ASSERT_EQ(back.bytes().mid(f.byteOffset, f.byteCount).toHex(),
                      image.bytes().mid(f.byteOffset, f.byteCount).toHex())
                << f.key.toStdString() << " = " << values[i].toStdString();
        }
    }
}

TEST_F(FilesTest, BinaryFileRoundTripsByteForByteAndOtherSizesAreRefused)
{
    QByteArray pattern(RegisterImage::ByteSize, '\0');
    for (int i = 0; i < pattern.size(); ++i)
        pattern[i] = char(i * 31 + 7);
    ASSERT_TRUE(link.image().setBytes(pattern));

    prompter.fileNames << path(QStringLiteral("unit"));
    commands.saveBinary();
    EXPECT_EQ(readFile(path(QStringLiteral("unit.bin"))), pattern);

    link.image().setBytes(QByteArray(RegisterImage::ByteSize, '\0'));
    prompter.fileNames << path(QStringLiteral("unit.bin"));
    commands.loadBinary();
    EXPECT_EQ(link.image().bytes(), pattern);   // registers outside every block included
    EXPECT_EQ(imageChanges, 1);
    EXPECT_TRUE(prompter.messages.isEmpty());

    for (int size : {0, RegisterImage::ByteSize - 1, RegisterImage::ByteSize + 1}) {
        const QString name = path(QStringLiteral("size%1.bin").arg(size));
        writeFile(name, QByteArray(size, '\x11'));
        prompter.messages.clear();
        prompter.fileNames << name;
        commands.loadBinary();
        ASSERT_EQ(prompter.messages.size(), 1) << size;
        EXPECT_TRUE(prompter.messages[0].text.contains(name));
        EXPECT_TRUE(prompter.messages[0].text.contains(QLatin1String("exactly 6,804 bytes")));
        EXPECT_EQ(link.image().bytes(), pattern);
    }
    EXPECT_EQ(imageChanges, 1);

    prompter.messages.clear();
    prompter.fileNames << QStringLiteral("/nonexistent-folder/unit.bin");
    commands.saveBinary();
    ASSERT_EQ(prompter.messages.size(), 1);
    EXPECT_TRUE(prompter.messages[0].text.startsWith(QLatin1String("Cannot write /nonexistent-folder/unit.bin: ")));
    EXPECT_EQ(prompter.messages[0].title, QStringLiteral("Save to Binary File"));

    // A cancelled dialog does nothing at all.
    prompter.messages.clear();
    commands.loadBinary();
    commands.saveText();
    EXPECT_TRUE(prompter.messages.isEmpty());
    EXPECT_EQ(link.image().bytes(), pattern);
}

}  // namespace
