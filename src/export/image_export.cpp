// SPDX-License-Identifier: GPL-3.0-or-later
// The File menu's ways to get the display out: the form image, the composed
// graphic and the plot bitmap, each saved, copied to the clipboard or (the
// form) printed. Every command stops a running analyzer so that the image
// does not change while it is taken; the form images of Save Form and Copy
// Form are taken just before, so they show the display as it was.
#include <cerrno>
#include <cstring>

#include "app/Zorvane.h"
#include "export/Basepanel2.h"
#include "export/form_image.h"
#include "platform/image_files.h"

namespace zorvane {

namespace {

constexpr const char* kAppTitle = "Zorvane Function-Sweep Generator";

void StopIfRunning(TZorvaneForm& f) {
  if (f.S.AnalyzerActive == 1) f.StopBtnClick();
}

// SaveGraphicsDialog; when confirmed, the image goes to the chosen file. A
// file that cannot be written is reported as the toolkit reports it.
void SaveThroughDialog(TZorvaneForm& f, const Bitmap& image) {
  const auto path = f.platform.SaveFileDialog(
      "Save Graphics", "bmp", {"Bitmap images (*.bmp)", "PNG images (*.png)", "All files (*)"});
  if (!path) return;
  errno = 0;
  if (SaveImageFile(image, *path)) return;
  std::string text = "Cannot create file \"" + *path + "\".";
  if (errno != 0) text += std::string(" ") + std::strerror(errno);
  f.platform.MessageBox(text, kAppTitle);
}

}  // namespace

Bitmap TZorvaneForm::FormImage() {
  if (auto shown = platform.GrabForm(*Self)) return std::move(*shown);
  return PaintFormImage(
      *Self, [this](const Control& box) { return &box == SpectrumBox ? &DisplayBitmap : nullptr; });
}

void TZorvaneForm::SaveForm1Click() {
  const Bitmap image = FormImage();
  StopIfRunning(*this);
  SaveThroughDialog(*this, image);
}

void TZorvaneForm::SaveGraphic1Click() {
  ComposeExportImage(*this);
  const Bitmap image = BaseForm->FormImage();
  StopIfRunning(*this);
  SaveThroughDialog(*this, image);
}

void TZorvaneForm::SaveBitmap1Click() {
  StopIfRunning(*this);
  SaveThroughDialog(*this, DisplayBitmap);
}

void TZorvaneForm::CopyForm1Click() {
  const Bitmap image = FormImage();
  StopIfRunning(*this);
  platform.CopyImageToClipboard(image);
}

void TZorvaneForm::CopyGraphic1Click() {
  StopIfRunning(*this);
  ComposeExportImage(*this);
  platform.CopyImageToClipboard(BaseForm->FormImage());
}

void TZorvaneForm::CopyBitmap1Click() {
  StopIfRunning(*this);
  platform.CopyImageToClipboard(DisplayBitmap);
}

void TZorvaneForm::Print1Click() {
  StopBtnClick();
  if (!platform.PrinterSetup()) return;
  if (!platform.PrintImage(FormImage())) platform.MessageBox("Printing failed", kAppTitle);
}

void TZorvaneForm::WireExport() {
  WireClicks({
      {"SaveForm1", &TZorvaneForm::SaveForm1Click},
      {"SaveGraphic1", &TZorvaneForm::SaveGraphic1Click},
      {"SaveBitmap1", &TZorvaneForm::SaveBitmap1Click},
      {"CopyForm1", &TZorvaneForm::CopyForm1Click},
      {"CopyGraphic1", &TZorvaneForm::CopyGraphic1Click},
      {"CopyBitmap1", &TZorvaneForm::CopyBitmap1Click},
      {"Print1", &TZorvaneForm::Print1Click},
      {"N7", &TZorvaneForm::N7Click},
      {"HelpMenu1", &TZorvaneForm::HelpMenu1Click},
      {"About1", &TZorvaneForm::About1Click},
  });
  SetVolumeBtn->OnClick = [this] { SetVolumeBtnClick(); };
}

}  // namespace zorvane
