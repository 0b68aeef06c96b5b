// SPDX-License-Identifier: GPL-3.0-or-later
// The volume mixer, the help document and the About box.
#include <stdlib.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>

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

// Web browsers for the help document when the platform has no viewer of its
// own: the system's chosen browser, else the desktop's opener (which picks
// the browser for a file whose name says HTML).
constexpr const char* kBrowsers[] = {"x-www-browser", "xdg-open"};

bool NamedHtml(const std::filesystem::path& path) {
  std::string ext = path.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".html" || ext == ".htm";
}

// The document under a name a browser reads as HTML: the file a link points
// to when that is so named (as installed), else a private copy in the
// temporary folder. Empty when no copy could be made.
std::string HtmlFileFor(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::canonical(path, ec);
  if (!ec && NamedHtml(real)) return real.string();
  const std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
  std::string name = (ec ? std::filesystem::path("/tmp") : tmp) / "zorvane-help-XXXXXX.html";
  const int fd = ::mkstemps(name.data(), 5);
  if (fd < 0) return "";
  ::close(fd);
  std::ifstream in(path, std::ios::binary);
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
  out.close();
  if (!in || !out) {
    std::remove(name.c_str());
    return "";
  }
  return name;
}

bool OpenInBrowser(Platform& platform, const std::string& path) {
  std::string html;
  for (const char* name : kBrowsers) {
    const std::string program = FindOnPath(name);
    if (program.empty()) continue;
    if (html.empty()) html = HtmlFileFor(path);
    if (html.empty()) return false;
    if (platform.StartProgram(program, {html})) return true;
  }
  return false;
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
  // The help document is HTML under the name the program has always looked
  // for, which desktops take for a compiled help file: it is shown in the
  // platform's own viewer, or else in a web browser.
  const bool shown = !S.HelpPath.empty() && Readable(S.HelpPath) &&
                     (platform.ShowHelpDocument(S.HelpPath) || OpenInBrowser(platform, S.HelpPath));
  if (!shown) platform.ShowMessage("Could not run the help application");
}

void TZorvaneForm::About1Click() {
  platform.MessageBox("Zorvane Function-Sweep Generator by the Zorvane authors\n" +
                          std::string(18, ' ') + "Version 1.20\n" + std::string(13, ' ') +
                          "Released in 2026",
                      "About Zorvane");
}

}  // namespace zorvane
