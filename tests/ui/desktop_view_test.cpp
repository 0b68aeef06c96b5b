// SPDX-License-Identifier: GPL-3.0-or-later
// The window as a Linux desktop user expects it: radio marks for choices and
// none for commands, Alt letters and shortcuts, Ctrl+A and Escape in the
// frequency box, and the Audio Devices dialog.
#include <gtest/gtest.h>

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "app/audio_devices.h"
#include "ui/window_fixture.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

using DesktopView = InstrumentWindow;

// The menu items under a top-level menu, leaves only, by model.
void Leaves(Control* item, std::vector<Control*>& out) {
  for (Control* c : item->Children()) {
    if (c->IsSeparator()) continue;
    if (c->Children().empty())
      out.push_back(c);
    else
      Leaves(c, out);
  }
}

}  // namespace

TEST_F(DesktopView, ChoicesShowRadioMarksCommandsNoneAndEachGroupStaysApart) {
  std::vector<Control*> items;
  Leaves(form.MainMenu, items);
  std::map<QActionGroup*, std::string> groupOwner;
  for (Control* item : items) {
    QAction* a = window.ActionFor(item->Name());
    ASSERT_NE(a, nullptr) << item->Name();
    SCOPED_TRACE(item->Name());
    if (item->RadioGroup() == 0) {
      EXPECT_EQ(a->actionGroup(), nullptr);
      EXPECT_EQ(a->isCheckable(), item->Name() == "SwpCal1");
      continue;
    }
    ASSERT_NE(a->actionGroup(), nullptr);
    EXPECT_TRUE(a->isCheckable());
    // One group per parent menu: Display's items never share marks with its colours.
    const std::string parent = item->Parent()->Name();
    auto [it, added] = groupOwner.emplace(a->actionGroup(), parent);
    EXPECT_EQ(it->second, parent);
  }
  EXPECT_EQ(groupOwner.size(), 15u);
  for (const char* command : {"OpenWavefile1", "ExportData1", "Print1", "Exit1", "HelpMenu1",
                              "About1", "ZeroCal1", "AudioDevices1", "CopyForm1"})
    EXPECT_FALSE(window.ActionFor(command)->isCheckable()) << command;
}

TEST_F(DesktopView, MenuTitlesTakeAltLettersAndCommandsTheUsualShortcuts) {
  std::set<QChar> letters;
  for (QAction* title : window.menuBar()->actions()) {
    const QString text = title->text();
    const int mark = text.indexOf('&');
    ASSERT_GE(mark, 0) << text.toStdString();
    EXPECT_TRUE(letters.insert(text[mark + 1].toLower()).second)
        << "Alt+" << text[mark + 1].toLatin1() << " is taken twice";
  }
  EXPECT_EQ(letters.size(), 13u);
  // The remote control and the captions keep their texts without the marks.
  EXPECT_EQ(form.Find("File1")->Caption(), "File");
  EXPECT_EQ(form.Find("Display1")->Caption(), "Display");
  EXPECT_EQ(window.menuBar()->actions()[3]->text(), "Dis&play");
  EXPECT_EQ(window.ActionFor("ExportData1")->text(), QString::fromUtf8("Export Data\u2026"));

  const std::map<std::string, QKeySequence> shortcuts = {{"OpenWavefile1", QKeySequence("Ctrl+O")},
                                                         {"ExportData1", QKeySequence("Ctrl+E")},
                                                         {"Print1", QKeySequence("Ctrl+P")},
                                                         {"Exit1", QKeySequence("Ctrl+Q")},
                                                         {"HelpMenu1", QKeySequence(Qt::Key_F1)}};
  for (const auto& [name, keys] : shortcuts)
    EXPECT_EQ(window.ActionFor(name)->shortcut(), keys) << name;

  // Alt+F opens File; Ctrl+O from the frequency box runs Open Wavefile.
  QApplication::setActiveWindow(&window);
  window.activateWindow();
  QTest::keyClick(&window, Qt::Key_F, Qt::AltModifier);
  QWidget* popup = QApplication::activePopupWidget();
  ASSERT_NE(popup, nullptr) << "Alt+F opened nothing";
  EXPECT_EQ(popup, window.menuBar()->actions()[0]->menu());
  QTest::keyClick(popup, Qt::Key_Escape);
  QTest::keyClick(popup, Qt::Key_Escape);

  // From the frequency box too: Ctrl+O opens a wave file, Ctrl+E (the end of the line in a
  // plain text box) exports the data.
  for (Qt::Key key : {Qt::Key_O, Qt::Key_E}) {
    // The offscreen platform gives the window back no focus after a dialog.
    QApplication::setActiveWindow(&window);
    QString title;
    WhenDialogOpens([&title](QWidget* w) {
      if (qobject_cast<QFileDialog*>(w)) title = w->windowTitle();
      qobject_cast<QDialog*>(w)->reject();
    });
    QTest::keyClick(Widget<QLineEdit>("FrequencyDisplay"), key, Qt::ControlModifier);
    EXPECT_EQ(title.toStdString(), key == Qt::Key_O ? "Open Wavefile" : "Export Data");
  }
}

TEST_F(DesktopView, CtrlASelectsTheFrequencyAndEscapeGivesUpTheEdit) {
  QLineEdit* entry = Widget<QLineEdit>("FrequencyDisplay");
  const QColor yellow(255, 255, 0), red(255, 0, 0);
  QTest::keyClick(entry, Qt::Key_A, Qt::ControlModifier);
  EXPECT_EQ(entry->selectedText(), "200.0");
  // A letter is still kept out, and leaves the selection as it was.
  QTest::keyClicks(entry, "x");
  EXPECT_EQ(entry->text(), "200.0");
  EXPECT_TRUE(form.FrequencyDisplay->AllSelected());
  // The first digit replaces the selected text, the next ones follow it.
  QTest::keyClicks(entry, "440");
  EXPECT_EQ(entry->text(), "440");
  EXPECT_EQ(form.FrequencyDisplay->Text(), "440");
  QTest::keyClick(entry, Qt::Key_Enter);
  EXPECT_FLOAT_EQ(form.S.OutputFrequency, 440.0f);
  EXPECT_EQ(entry->text(), "440.0");

  // Backspace over a selection empties the box.
  QTest::keyClick(entry, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(entry, Qt::Key_Backspace);
  EXPECT_EQ(entry->text(), "");
  QTest::keyClicks(entry, "1234");
  EXPECT_EQ(entry->palette().color(QPalette::Text), red);
  QTest::keyClick(entry, Qt::Key_Escape);
  EXPECT_EQ(entry->text(), "440.0");
  EXPECT_EQ(entry->palette().color(QPalette::Text), yellow);
  EXPECT_FLOAT_EQ(form.S.FunctionFrequency, 440.0f);

  // A scrolled value is pending too, and Escape takes it back.
  form.FreqScrollBar->UserScroll(form.FreqScrollBar->Position() + 50);
  EXPECT_NE(entry->text(), "440.0");
  QTest::keyClick(entry, Qt::Key_Escape);
  EXPECT_EQ(entry->text(), "440.0");
  EXPECT_FLOAT_EQ(form.S.FunctionFrequency, 440.0f);
}

TEST_F(DesktopView, TheAudioDevicesDialogShowsTheListsAndRemembersTheChoice) {
  EXPECT_FALSE(window.ActionFor("AudioDevices1")->isEnabled()) << "the cable has no devices";
  std::vector<AudioDeviceInfo> devices(3);
  devices[0] = {0, "ALSA", "HDA Intel PCH", 2, 2, 48000, false, false};
  devices[1] = {1, "ALSA", "sink-a", 0, 2, 44100, false, true};
  devices[2] = {4, "ALSA", "sink-b.monitor", 2, 0, 44100, true, false};
  std::vector<std::pair<int, int>> applied;
  const std::string conf = dir.File("zorvane.conf");
  AudioDeviceChooser chooser([&devices] { return devices; }, conf,
                             [&applied](int out, int in) { applied.emplace_back(out, in); });
  form.AttachAudioDevices(&chooser);
  ASSERT_TRUE(window.ActionFor("AudioDevices1")->isEnabled());

  QStringList outputs, inputs;
  WhenDialogOpens([&](QWidget* d) {
    auto* out = d->findChild<QListWidget*>("OutputDevices");
    auto* in = d->findChild<QListWidget*>("InputDevices");
    ASSERT_TRUE(out && in);
    for (int i = 0; i < out->count(); ++i) outputs << out->item(i)->text();
    for (int i = 0; i < in->count(); ++i) inputs << in->item(i)->text();
    EXPECT_EQ(out->currentRow(), 0);
    out->setCurrentRow(2);
    in->setCurrentRow(2);
    d->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  });
  window.ActionFor("AudioDevices1")->trigger();
  EXPECT_EQ(outputs, QStringList({"Default device", "HDA Intel PCH (ALSA)", "sink-a (ALSA)"}));
  EXPECT_EQ(inputs,
            QStringList({"Default device", "HDA Intel PCH (ALSA)", "sink-b.monitor (ALSA)"}));
  ASSERT_EQ(applied.size(), 1u);
  EXPECT_EQ(applied[0], std::make_pair(1, 4));
  std::ifstream file(conf);
  std::stringstream text;
  text << file.rdbuf();
  EXPECT_EQ(text.str(), "output-device = sink-a\ninput-device = sink-b.monitor\n");

  // Opened again it shows the choice; Cancel changes nothing.
  int shownRow = -1;
  WhenDialogOpens([&](QWidget* d) {
    auto* in = d->findChild<QListWidget*>("InputDevices");
    shownRow = in->currentRow();
    in->setCurrentRow(0);
    qobject_cast<QDialog*>(d)->reject();
  });
  window.ActionFor("AudioDevices1")->trigger();
  EXPECT_EQ(shownRow, 2);
  EXPECT_EQ(applied.size(), 1u);
  EXPECT_EQ(chooser.Input(), 4);
}
