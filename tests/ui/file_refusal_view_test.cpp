// Ctrl+O in the window on what the analyzer cannot read, and a file cut
// short while it plays: a message naming the problem within a second, and a
// window that goes on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include "support/wav_bytes.h"
#include "ui/window_fixture.h"

using namespace zorvane;
using namespace zorvane::testing;

namespace {

struct FileRefusals : InstrumentWindow {
  // Chooses `path` in the file dialog Ctrl+O opens.
  void Open(const std::string& path) {
    QApplication::setActiveWindow(&window);
    WhenDialogOpens([path](QWidget* w) {
      auto* d = qobject_cast<QFileDialog*>(w);
      ASSERT_NE(d, nullptr);
      d->selectFile(QString::fromStdString(path));
      static_cast<QDialog*>(d)->accept();
    });
    QTest::keyClick(Widget<QLineEdit>("FrequencyDisplay"), Qt::Key_O, Qt::ControlModifier);
  }
  // Runs Qt's events until a message box opens (at most five seconds);
  // returns its text and closes it, and the seconds it took in `took`.
  static std::string NextMessage(double& took, std::function<void()> meanwhile = {}) {
    QElapsedTimer clock;
    clock.start();
    std::string text;
    bool done = false;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box) {
        took = clock.elapsed() / 1000.0;
        text = box->text().toStdString();
        box->accept();
      }
      done = box || clock.elapsed() > 5000;
      if (done) loop.quit();
    });
    poll.start(5);
    // The message may come, and be closed, inside what runs meanwhile.
    if (meanwhile) meanwhile();
    if (!done) loop.exec();
    return text;
  }
};

}  // namespace

TEST_F(FileRefusals, WhatIsNotAReadableWavFileIsNamedWithinASecond) {
  const std::string pipe = dir.File("pipe.wav"), empty = dir.File("empty_chunks.wav");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  WavBytes::Riff().Fmt(1, 1, 44100, 16).Save(empty);
  ASSERT_EQ(::truncate(empty.c_str(), 36 + (64 << 20)), 0);
  std::vector<std::pair<std::string, std::string>> cases = {
      {pipe, "is a named pipe"}, {"/dev/zero", "is a device"}, {empty, "more than 4096 chunks"}};
  if (::geteuid() != 0) {  // root reads any file
    const std::string locked = SineFile(dir, "locked.wav", 8000, 440.0, 1.0);
    ::chmod(locked.c_str(), 0);
    cases.push_back({locked, "Permission denied"});
  }
  for (const auto& [path, words] : cases) {
    SCOPED_TRACE(path);
    double took = 99;
    const std::string said = NextMessage(took, [&, path = path] { Open(path); });
    EXPECT_NE(said.find(words), std::string::npos) << said;
    EXPECT_LT(took, 1.0);
    EXPECT_EQ(form.S.WaveFileOpen, 0);
  }
}

TEST_F(FileRefusals, AFileCutShortWhilePlayingIsNamedWithinASecond) {
  const std::string path = dir.File("long.wav");
  WavBytes::Riff().Fmt(1, 1, 44100, 16).Text("data").U32(1u << 30).Save(path);
  ASSERT_EQ(::truncate(path.c_str(), 44 + (1 << 30)), 0);  // sparse
  Open(path);
  ASSERT_EQ(form.S.WaveFileOpen, 1);
  window.ActionFor("WaveFile1")->trigger();
  form.StartBtn->Click();
  ASSERT_EQ(form.S.AnalyzerActive, 1);
  QTest::qWait(300);
  double took = 99;
  const std::string said = NextMessage(took, [&] { ASSERT_EQ(::truncate(path.c_str(), 100), 0); });
  EXPECT_NE(said.find("cut short"), std::string::npos) << said;
  EXPECT_LT(took, 1.0);
  EXPECT_EQ(form.S.AnalyzerActive, 0);
}
