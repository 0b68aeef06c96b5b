// The frequency entry and the note display as a user reaches them in the
// window: keys typed into the real text box, clicks on the real buttons.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "ui/qt_main_window.h"
#include "ui/qt_platform.h"
#include "ui/window_fixture.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

const QColor kYellow(255, 255, 0);  // the value shown is in force
const QColor kRed(255, 0, 0);       // the value shown is pending
const QColor kNavy(0, 0, 128);

struct FrequencyEntry : InstrumentWindow {
  QLineEdit* entry = nullptr;

  FrequencyEntry() { entry = qobject_cast<QLineEdit*>(window.WidgetFor("FrequencyDisplay")); }

  QColor TextColor() const { return entry->palette().color(QPalette::Text); }
  std::string Shown() const { return entry->text().toStdString(); }
  std::string Label(const char* name) { return Widget<QLabel>(name)->text().toStdString(); }
  // The note name with its octave marks: superscript, name, subscript.
  std::string Note() {
    return Label("SuperscriptFreq") + "|" + Label("MusicalLabel") + "|" + Label("SubscriptFreq");
  }
  void Erase(int n) {
    for (int i = 0; i < n; ++i) QTest::keyClick(entry, Qt::Key_Backspace);
  }
  void Click(const char* button) { QTest::mouseClick(Widget<QPushButton>(button), Qt::LeftButton); }
};

// The entry of the toolkit's own context menu for the box, by its label
// ("Paste", "Delete").
QAction* MenuAction(QMenu& menu, const QString& label) {
  for (QAction* a : menu.actions()) {
    QString text = a->text().section('\t', 0, 0);
    text.remove('&');
    if (text == label) return a;
  }
  return nullptr;
}

// Answers every message box the window opens with OK and keeps its text.
class MessageBoxes {
 public:
  MessageBoxes() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        texts_.push_back(box->windowTitle().toStdString() + ": " + box->text().toStdString());
        box->accept();
      }
    });
    timer_.start();
  }
  const std::vector<std::string>& Texts() const { return texts_; }

 private:
  QTimer timer_;
  std::vector<std::string> texts_;
};

}  // namespace

TEST_F(FrequencyEntry, OnlyDigitsPointAndBackspaceReachTheBoxAndTypingMakesItPending) {
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(Shown(), "200.0");
  EXPECT_EQ(TextColor(), kYellow);
  EXPECT_EQ(entry->palette().color(QPalette::Base), kNavy);
  EXPECT_FALSE(entry->isReadOnly());

  // A single Backspace already marks the value pending.
  QTest::keyClick(entry, Qt::Key_Backspace);
  EXPECT_EQ(Shown(), "200.");
  EXPECT_EQ(TextColor(), kRed);
  Erase(4);
  EXPECT_EQ(Shown(), "");

  // Letters (either case), signs, spaces, a comma and other punctuation never
  // appear; digits and the point do, in the order typed.
  QTest::keyClicks(entry, "1a2 +-.B,5xZ_*/e");
  EXPECT_EQ(Shown(), "12.5");
  EXPECT_EQ(form.FrequencyDisplay->Text(), "12.5");
  EXPECT_EQ(TextColor(), kRed);
  // Typed but not confirmed: the generator keeps its frequency.
  EXPECT_FLOAT_EQ(form.S.FunctionFrequency, 200.01f);
  EXPECT_FLOAT_EQ(form.S.OutputFrequency, 200.01f);

  // Keys the model does not take (arrows, Home, Delete) edit nothing: the
  // line edit's own Delete would remove the "1" in front of the cursor here.
  QTest::keyClick(entry, Qt::Key_Left);
  QTest::keyClick(entry, Qt::Key_Home);
  QTest::keyClick(entry, Qt::Key_Delete);
  EXPECT_EQ(Shown(), "12.5");
}

TEST_F(FrequencyEntry, EnterConfirmsTheTypedValueInForceAndTheNoteFollows) {
  ASSERT_NE(entry, nullptr);
  // The labels keep their design captions until the first edit, which shows
  // the note of the frequency in force (200.01 Hz), not of the typed text.
  EXPECT_EQ(Note(), "1|G|1");
  Erase(5);
  EXPECT_EQ(Note(), " |G|1");
  QTest::keyClicks(entry, "1000");
  EXPECT_EQ(TextColor(), kRed);
  QTest::keyClick(entry, Qt::Key_Return);
  EXPECT_EQ(Shown(), "1000.0");
  EXPECT_EQ(TextColor(), kYellow);
  EXPECT_FLOAT_EQ(form.S.FunctionFrequency, 1000.0f);
  EXPECT_FLOAT_EQ(form.S.OutputFrequency, 1000.0f);
  EXPECT_EQ(Note(), "1|B| ");

  // The keypad's Enter confirms as well; 1050 Hz lies past the octave mark.
  Erase(6);
  QTest::keyClicks(entry, "1050");
  QTest::keyClick(entry, Qt::Key_Enter);
  EXPECT_EQ(Shown(), "1050.0");
  EXPECT_EQ(TextColor(), kYellow);
  EXPECT_FLOAT_EQ(form.S.FunctionFrequency, 1050.0f);
  EXPECT_EQ(Note(), "2|C| ");

  // A confirmed value sounds: the output plays the typed frequency.
  Click("OutputBtn");
  ASSERT_TRUE(cable.OutputPlaying());
  Erase(6);
  QTest::keyClicks(entry, "440");
  EXPECT_FLOAT_EQ(form.S.OutputFrequency, 1050.0f);
  QTest::keyClick(entry, Qt::Key_Return);
  EXPECT_FLOAT_EQ(form.S.OutputFrequency, 440.0f);
  EXPECT_EQ(form.S.OutputPlaying, 1);
  EXPECT_EQ(Note(), " |A| ");
  Click("OutputBtn");
}

TEST_F(FrequencyEntry, AValueOutOfBoundsIsRefusedAndTheOldFrequencyShown) {
  ASSERT_NE(entry, nullptr);
  const std::string bound =
      "Frequency Set: Frequency must be greater than 20 Hz and less than 22050 Hz";
  MessageBoxes boxes;
  // SET refuses 19.9 and shows the unchanged frequency in full precision.
  Erase(5);
  QTest::keyClicks(entry, "19.9");
  Click("SetFreqBtn");
  ASSERT_EQ(boxes.Texts(), std::vector<std::string>{bound});
  EXPECT_FLOAT_EQ(form.S.FunctionFrequency, 200.01f);
  EXPECT_EQ(Shown(), "200.009994506836");
  EXPECT_EQ(TextColor(), kYellow);

  // Enter refuses 22051 on the press (one more message); its release then
  // re-reads the unchanged frequency the box shows and confirms it.
  Erase(16);
  QTest::keyClicks(entry, "22051");
  QTest::keyClick(entry, Qt::Key_Return);
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{bound, bound}));
  EXPECT_FLOAT_EQ(form.S.FunctionFrequency, 200.01f);
  EXPECT_EQ(Shown(), "200.0");
  EXPECT_EQ(TextColor(), kYellow);
  EXPECT_EQ(Note(), " |G|1");
}

TEST_F(FrequencyEntry, EditsFromTheContextMenuReachTheModel) {
  ASSERT_NE(entry, nullptr);
  // The toolkit's own menu edits the text without a key press; the model
  // must hold what the box shows, or Enter would confirm another value.
  QApplication::clipboard()->setText("5");
  std::unique_ptr<QMenu> menu(entry->createStandardContextMenu());
  QAction* paste = MenuAction(*menu, "Paste");
  ASSERT_NE(paste, nullptr);
  ASSERT_TRUE(paste->isEnabled());
  paste->trigger();
  EXPECT_EQ(form.FrequencyDisplay->Text(), Shown());
  EXPECT_NE(Shown(), "200.0");

  entry->selectAll();
  menu.reset(entry->createStandardContextMenu());
  QAction* erase = MenuAction(*menu, "Delete");
  ASSERT_NE(erase, nullptr);
  erase->trigger();
  EXPECT_EQ(Shown(), "");
  EXPECT_EQ(form.FrequencyDisplay->Text(), "");

  QTest::keyClicks(entry, "300");
  QTest::keyClick(entry, Qt::Key_Return);
  EXPECT_EQ(Shown(), "300.0");
  EXPECT_FLOAT_EQ(form.S.FunctionFrequency, 300.0f);
}

TEST_F(FrequencyEntry, MusicModeLocksTheEntryAndTheNoteButtonsMoveTheLabels) {
  ASSERT_NE(entry, nullptr);
  auto* bar = Widget<QScrollBar>("FreqScrollBar");
  ASSERT_NE(bar, nullptr);
  // In FUNC mode a click on the bar's right arrow steps 0.1 Hz, pending.
  const QPoint rightArrow(bar->width() - 3, bar->height() / 2);
  QTest::mouseClick(bar, Qt::LeftButton, {}, rightArrow);
  EXPECT_EQ(form.FreqScrollBar->Position(), 20010);
  EXPECT_EQ(Shown(), "200.1");
  EXPECT_EQ(TextColor(), kRed);

  Click("ModeBtn");
  EXPECT_EQ(Widget<QPushButton>("ModeBtn")->text(), "MUSIC");
  EXPECT_TRUE(entry->isReadOnly());
  EXPECT_FALSE(bar->isEnabled());
  EXPECT_EQ(Shown(), "261.6");  // the note frequency, in force
  EXPECT_EQ(TextColor(), kYellow);
  EXPECT_EQ(Note(), " |C| ");

  // Neither typing, Enter nor the bar changes anything now.
  QTest::keyClicks(entry, "12a");
  QTest::keyClick(entry, Qt::Key_Backspace);
  QTest::keyClick(entry, Qt::Key_Return);
  QTest::mouseClick(bar, Qt::LeftButton, {}, rightArrow);
  EXPECT_EQ(Shown(), "261.6");
  EXPECT_EQ(form.FrequencyDisplay->Text(), "261.6");
  EXPECT_EQ(TextColor(), kYellow);
  EXPECT_EQ(form.FreqScrollBar->Position(), 20010);
  EXPECT_FLOAT_EQ(form.S.FunctionFrequency, 200.1f);

  Click("NoteUpBtn");
  EXPECT_EQ(Shown(), "277.2");
  EXPECT_EQ(Note(), " |C#| ");
  Click("NoteDownBtn");
  Click("NoteDownBtn");
  EXPECT_EQ(Shown(), "246.9");
  EXPECT_EQ(Note(), " |B|1");  // below middle C: one octave down
  Click("OctaveUPBtn");
  EXPECT_EQ(Shown(), "493.9");
  EXPECT_EQ(Note(), " |B| ");
  Click("NoteUpBtn");
  EXPECT_EQ(Note(), "1|C| ");

  // Back in FUNC mode the entry and the bar work again and the labels name
  // the function frequency.
  Click("ModeBtn");
  EXPECT_FALSE(entry->isReadOnly());
  EXPECT_TRUE(bar->isEnabled());
  EXPECT_EQ(Shown(), "200.1");
  EXPECT_EQ(Note(), " |G|1");
  QTest::keyClick(entry, Qt::Key_Backspace);
  EXPECT_EQ(Shown(), "200.");
  EXPECT_EQ(TextColor(), kRed);
}
