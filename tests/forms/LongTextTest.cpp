// Long texts in the windows: no box cuts what it is given, whether typed, pasted, restored from
// the settings file or given on the command line, and every text goes back to the file whole.
#include "WindowsFixture.h"

#include "forms/CalculatorWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>

#include <string>

#ifndef ZIFFA_LONG_TEXT_MB
#define ZIFFA_LONG_TEXT_MB 10
#endif

namespace ziffa {
namespace {

// "1+1+...+1" of at least the given length: a sum of its ones.
std::string SumOfOnes(std::size_t length) {
    std::string sum = "1";
    sum.reserve(length + 2);
    while (sum.size() < length)
        sum += "+1";
    return sum;
}

std::string CountOfOnes(const std::string &sum) {
    return std::to_string((sum.size() + 1) / 2);
}

class LongTextTest : public WindowsTest {
protected:
    const std::string long_ = SumOfOnes(std::size_t{ZIFFA_LONG_TEXT_MB} * 1000 * 1000);

    std::string File() const {
        QFile file(SettingsFile());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll().toStdString();
    }

    void ExpectCalculatedAndKeptWhole() {
        EXPECT_EQ(ziffa->EditResult->text().toStdString(), CountOfOnes(long_));
        ASSERT_EQ(ziffa->ComboBoxExpression->count(), 1);
        EXPECT_EQ(ziffa->ComboBoxExpression->itemText(0).size(),
                  static_cast<qsizetype>(long_.size()));
        ziffa->close();
        const std::string file = File();
        EXPECT_NE(file.find("\n0=" + long_ + "\n"), std::string::npos) << "the history entry";
        EXPECT_NE(file.find("\nCurrent=" + long_ + "\n"), std::string::npos) << "the box's text";
    }
};

TEST_F(LongTextTest, PastedIsCalculatedAndKeptWhole) {
    QApplication::clipboard()->setText(QString::fromLatin1(long_));
    ziffa->ComboBoxExpression->setFocus();
    Click(*ziffa, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(ziffa->ComboBoxExpression->currentText().size(),
              static_cast<qsizetype>(long_.size()));
    Click(*ziffa, Qt::Key_Return);
    ExpectCalculatedAndKeptWhole();
}

TEST_F(LongTextTest, RestoredFromTheFileIsCalculatedAndKeptWhole) {
    QFile file(SettingsFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString("[CalculatorEntries]\nCurrent=" + long_ + "\n"));
    file.close();
    CreateWindows();
    ASSERT_EQ(ziffa->ComboBoxExpression->currentText().size(),
              static_cast<qsizetype>(long_.size()));
    Click(*ziffa, Qt::Key_Return);
    ExpectCalculatedAndKeptWhole();
}

// 40,001 characters, beyond the 32,767 of an edit box's usual limit, within what one argument
// of a command line may hold.
TEST_F(WindowsTest, LongCommandLineExpressionIsCalculatedWhole) {
    const std::string sum = SumOfOnes(40001);
    CreateWindows({QString::fromLatin1(sum)});
    EXPECT_EQ(ziffa->EditResult->text().toStdString(), CountOfOnes(sum));
    ASSERT_EQ(ziffa->ComboBoxExpression->count(), 1);
    EXPECT_EQ(ziffa->ComboBoxExpression->itemText(0).toStdString(), sum);
}

} // namespace
} // namespace ziffa
