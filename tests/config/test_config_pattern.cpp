// What the configuration windows' entry fields do beyond what the windows' own
// tests reach: the placeholder of an emptied field and texts that are no finite number.
#include "EntryField.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

TEST(EntryField, AnEmptiedFieldOffersItsPlaceholderAndNoNonFiniteNumberParses)
{
    QLineEdit shown;
    EntryField field(&shown, QString());
    field.setValue(1.5);
    // An emptied field offers its placeholder selected, so the next key replaces it.
    field.setEmptyText(QStringLiteral("0.0"));
    QTest::keyClick(&shown, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(&shown, Qt::Key_Delete);
    EXPECT_EQ(shown.text(), QStringLiteral("0.0"));
    QTest::keyClicks(&shown, QStringLiteral("12"));
    EXPECT_EQ(shown.text(), QStringLiteral("12"));

    QLineEdit number;
    EntryField any(&number, QString());
    any.setRange(0.0, 100.0);
    for (const char *bad : {"NAN", "INF", "1e999", "", "1e41", "-1", "100.5"}) {
        number.setText(QString::fromLatin1(bad));
        EXPECT_FALSE(any.parsed()) << bad;
    }
}
