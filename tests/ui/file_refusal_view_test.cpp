// SPDX-License-Identifier: GPL-3.0-or-later
// Ctrl+O in the window on what the analyzer cannot read, and a file cut
// short while it plays: a message naming the problem within a second. (A
// folder never gets that far: the file dialog opens it.)
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

#include "support/wav_bytes.h"
#include "ui/window_fixture.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

struct FileRefusals : InstrumentWindow {
  // Does `act`, then waits up to five seconds for a message box: its text
  // (closed) and the seconds it took in `took`.
  static std::string Message(const std::function<void()>& act, double& took) {
    QElapsedTimer clock;
    clock.start();
    std::string text;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        took = clock.elapsed() / 1000.0;
        text = box->text().toStdString();
        box->accept();
      }
    });
    poll.start(5);
    act();  // a refusal comes, and is closed, inside it
    while (text.empty() && clock.elapsed() < 5000) QTest::qWait(5);
    return text;
  }
  void Open(const std::string& path) {
    QApplication::setActiveWindow(&window);
    WhenDialogOpens([path](QWidget* w) {
      qobject_cast<QFileDialog*>(w)->selectFile(QString::fromStdString(path));
      qobject_cast<QDialog*>(w)->accept();
    });
    QTest::keyClick(Widget<QLineEdit>("FrequencyDisplay"), Qt::Key_O, Qt::ControlModifier);
  }
};

}  // namespace

TEST_F(FileRefusals, NamedWithinASecond) {
  const std::string pipe = dir.File("pipe.wav"), empty = dir.File("empty_chunks.wav"),
                    locked = SineFile(dir, "locked.wav", 8000, 440.0, 1.0);
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  WavBytes::Riff().Fmt(1, 1, 44100, 16).Save(empty);
  ASSERT_EQ(::truncate(empty.c_str(), 36 + (64 << 20)), 0);
  ::chmod(locked.c_str(), 0);
  std::vector<std::pair<std::string, std::string>> cases = {
      {pipe, "is a named pipe"}, {"/dev/zero", "is a device"}, {empty, "more than 4096 chunks"}};
  if (::geteuid() != 0) cases.push_back({locked, "Permission denied"});  // root reads any file
  for (const auto& [path, words] : cases) {
    double took = 99;
    const std::string said = Message([&, p = path] { Open(p); }, took);
    EXPECT_NE(said.find(words), std::string::npos) << said;
    EXPECT_LT(took, 1.0) << path;
    EXPECT_EQ(form.S.WaveFileOpen, 0) << path;
  }

  const std::string path = dir.File("long.wav");  // 1 GiB, sparse
  WavBytes::Riff().Fmt(1, 1, 44100, 16).Text("data").U32(1u << 30).Save(path);
  ASSERT_EQ(::truncate(path.c_str(), 44 + (1 << 30)), 0);
  Open(path);
  window.ActionFor("WaveFile1")->trigger();
  form.StartBtn->Click();
  QTest::qWait(300);
  ASSERT_EQ(form.S.AnalyzerActive, 1);
  double took = 99;
  const std::string said = Message([&] { ASSERT_EQ(::truncate(path.c_str(), 100), 0); }, took);
  EXPECT_NE(said.find("cut short"), std::string::npos) << said;
  EXPECT_LT(took, 1.0);
  EXPECT_EQ(form.S.AnalyzerActive, 0);
}
