// SPDX-License-Identifier: GPL-3.0-or-later
// The frequency entry and the note display as a user reaches them in the
// window: keys typed into the real text box, clicks on the real buttons.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <memory>
#include <string>

#include "ui/window_fixture.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

const QColor kYellow(255, 255, 0);  // the value shown is in force
const QColor kRed(255, 0, 0);       // the value shown is pending

struct FrequencyEntry : InstrumentWindow {
  QLineEdit* entry = Widget<QLineEdit>("FrequencyDisplay");
  void SetUp() override { ASSERT_NE(entry, nullptr); }

  QColor TextColor() const { return entry->palette().color(QPalette::Text); }
  std::string Shown() const { return entry->text().toStdString(); }
  std::string Label(const char* name) { return Widget<QLabel>(name)->text().toStdString(); }
  // The note name with its octave marks: superscript, name, subscript.
  std::string Note() {
    return Label("SuperscriptFreq") + "|" + Label("MusicalLabel") + "|" + Label("SubscriptFreq");
  }
  void Retype(int erase, const char* keys) {
    for (int i = 0; i < erase; ++i) QTest::keyClick(entry, Qt::Key_Backspace);
    QTest::keyClicks(entry, keys);
  }
  // Triggers an entry of the toolkit's own context menu for the box.
  void ContextMenu(const QString& label) {
    std::unique_ptr<QMenu> menu(entry->createStandardContextMenu());
    for (QAction* a : menu->actions())
      if (a->text().section('\t', 0, 0).remove('&') == label) return a->trigger();
    ADD_FAILURE() << "no " << label.toStdString() << " in the context menu";
  }
};

}  // namespace

TEST_F(FrequencyEntry, OnlyTheModelsKeysAndMenuEditsChangeThePendingValueAndEnterConfirms) {
  // The note labels keep their design captions until the first edit.
  EXPECT_EQ(Note(), "1|G|1");
  QTest::keyClick(entry, Qt::Key_Backspace);
  EXPECT_EQ(TextColor(), kRed) << "a single Backspace marks the value pending";
  // Letters (either case), signs, spaces and other punctuation never appear.
  Retype(4, "1a2 +-.B,5xZ_*/e");
  EXPECT_EQ(Shown(), "12.5");
  EXPECT_FLOAT_EQ(form.S.FunctionFrequency, 200.01f) << "typed but not confirmed";
  EXPECT_EQ(Note(), " |G|1") << "the note of the frequency in force, not of the text";

  Retype(4, "1000\r");
  EXPECT_EQ(Shown(), "1000.0");
  EXPECT_EQ(TextColor(), kYellow);
  EXPECT_FLOAT_EQ(form.S.OutputFrequency, 1000.0f);
  EXPECT_EQ(Note(), "1|B| ");
  // The keypad's Enter confirms as well; 1050 Hz lies past the octave mark.
  Retype(6, "1050");
  QTest::keyClick(entry, Qt::Key_Enter);
  EXPECT_FLOAT_EQ(form.S.FunctionFrequency, 1050.0f);
  EXPECT_EQ(Note(), "2|C| ");
  // Keys the model does not take edit nothing; the line edit's Delete would take the "1".
  QTest::keyClick(entry, Qt::Key_Home);
  QTest::keyClick(entry, Qt::Key_Delete);
  EXPECT_EQ(Shown(), "1050.0");

  // The toolkit's own menu edits the text without a key press; the model
  // must hold what the box shows, or Enter would confirm another value.
  QApplication::clipboard()->setText("5");
  ContextMenu("Paste");
  EXPECT_NE(Shown(), "1050.0");
  EXPECT_EQ(form.FrequencyDisplay->Text(), Shown());
  entry->selectAll();
  ContextMenu("Delete");
  EXPECT_EQ(form.FrequencyDisplay->Text(), "");
  QTest::keyClicks(entry, "300\r");
  EXPECT_FLOAT_EQ(form.S.FunctionFrequency, 300.0f);
}

TEST_F(FrequencyEntry, MusicModeLocksTheEntryAndTheScrollBar) {
  QWidget* bar = window.WidgetFor("FreqScrollBar");
  // In FUNC mode a click on the bar's right arrow steps 0.1 Hz, pending.
  const QPoint rightArrow(bar->width() - 3, bar->height() / 2);
  QTest::mouseClick(bar, Qt::LeftButton, {}, rightArrow);
  EXPECT_EQ(Shown(), "200.1");
  EXPECT_EQ(TextColor(), kRed);

  QTest::mouseClick(window.WidgetFor("ModeBtn"), Qt::LeftButton);
  EXPECT_TRUE(entry->isReadOnly());
  EXPECT_FALSE(bar->isEnabled());
  EXPECT_EQ(Shown(), "261.6");  // the note frequency, in force
  EXPECT_EQ(TextColor(), kYellow);
  // Neither typing, Backspace, Enter nor the bar changes anything now.
  QTest::keyClicks(entry, "12a\b\r");
  QTest::mouseClick(bar, Qt::LeftButton, {}, rightArrow);
  EXPECT_EQ(form.FrequencyDisplay->Text(), "261.6");
  EXPECT_EQ(form.FreqScrollBar->Position(), 20010);
  EXPECT_FLOAT_EQ(form.S.FunctionFrequency, 200.1f);

  // Back in FUNC mode the entry and the bar work again.
  QTest::mouseClick(window.WidgetFor("ModeBtn"), Qt::LeftButton);
  EXPECT_TRUE(bar->isEnabled());
  QTest::keyClick(entry, Qt::Key_Backspace);
  EXPECT_EQ(Shown(), "200.");
}
