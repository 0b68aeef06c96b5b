// The volume mixer, the help document and the About box.
#include <cstdio>

#include "app/Zorvane.h"
#include "platform/programs.h"

namespace zorvane {

namespace {

// The desktop's own mixers, tried in this order; every one installed is
// started.
constexpr const char* kMixers[] = {"pavucontrol", "pwvucontrol", "qasmixer", "alsamixergui"};

bool Readable(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

}  // namespace

void TZorvaneForm::SetVolumeBtnClick() {
  for (const char* name : kMixers) {
    const std::string path = FindOnPath(name);
    if (!path.empty()) platform.StartProgram(path, {});
  }
}

void TZorvaneForm::N7Click() { SetVolumeBtnClick(); }

void TZorvaneForm::HelpMenu1Click() {
  // The help document is HTML; the desktop's opener shows it in the viewer
  // the user chose for such files.
  const std::string opener = FindOnPath("xdg-open");
  const bool started = !S.HelpPath.empty() && Readable(S.HelpPath) && !opener.empty() &&
                       platform.StartProgram(opener, {S.HelpPath});
  if (!started) platform.ShowMessage("Could not run the help application");
}

void TZorvaneForm::About1Click() {
  platform.MessageBox("Zorvane Function-Sweep Generator by the Zorvane authors\n" +
                          std::string(18, ' ') + "Version 1.20\n" + std::string(13, ' ') +
                          "Released in 2026",
                      "About Zorvane");
}

}  // namespace zorvane
