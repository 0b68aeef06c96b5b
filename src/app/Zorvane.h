// SPDX-License-Identifier: GPL-3.0-or-later
// The main window model: the instrument itself. One class, its state record,
// its controls as plain models and every handler, defined across the folders
// that own them (generator/, audio/, analyzer/, sweep/, wavefile/, export/).
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "app/controls.h"
#include "platform/bitmap.h"
#include "platform/platform.h"
#include "platform/wave.h"

namespace zorvane {

class TBaseForm;
class AudioDeviceChooser;
namespace readouts {
class BlockReadouts;
}

// Folder that holds the configuration and help files: $XDG_CONFIG_HOME/zorvane,
// or ~/.config/zorvane.
std::string SettingsFolder();

class TZorvaneForm {
 public:
  // The form does not own the platform or the devices; they must outlive it.
  TZorvaneForm(Platform& platform, WaveOut& waveOut, WaveIn& waveIn,
               std::string settingsFolder = SettingsFolder());
  ~TZorvaneForm();  // FormDestroy
  TZorvaneForm(const TZorvaneForm&) = delete;
  TZorvaneForm& operator=(const TZorvaneForm&) = delete;

  AppState S;  // the application-state record
  Platform& platform;
  WaveOut& waveOut;
  WaveIn& waveIn;

  // Controls by designer name (buttons, labels, panels, menu items, timers).
  Control* Find(std::string_view name) const;
  const std::vector<std::unique_ptr<Control>>& AllControls() const { return controls_; }
  Control* Self = nullptr;  // the window itself (width, height, caption)
  Control* MainMenu = nullptr;

  Bitmap DisplayBitmap;
  Bitmap WaterfallBitmap;
  bool FrequencyEditSeen = false;
  // The companion window the exported graphic is composed on (made and
  // freed where it is defined, with the export commands).
  struct BaseFormDeleter {
    void operator()(TBaseForm* form) const;
  };
  std::unique_ptr<TBaseForm, BaseFormDeleter> BaseForm;
  // Distortion, noise and band readouts of every analysed block, shown
  // beside the form (in windows of their own, the command line and the
  // remote control), never on it.
  std::unique_ptr<readouts::BlockReadouts> Readouts;

  // ---- Shell ----
  void FormResize();
  void QuitBtnClick();
  void Exit1Click();
  void FormClose();
  void FormDestroy();
  void SaveConfiguration(const std::string& path);
  // Replays the settings file at path through the handlers (nothing when
  // there is none; the start-up state is written into one that cannot be
  // read).
  void LoadConfiguration(const std::string& path);
  // The replay of the first `count` bytes of a settings file.
  void ApplyConfiguration(const uint8_t* bytes, size_t count);
  // The 196 bytes that SaveConfiguration writes.
  void ConfigurationBytes(uint8_t* bytes);

  // ---- Generator: output device and control ----
  void BuildOutputFormat();
  void OpenOutputDevice();
  void PrepareOutputHeader();
  void WriteOutputBuffer();
  void CloseOutputDevice();
  void StartOutput();
  void RestartOutput();
  void OutputBtnClick();
  void WaveformBtnClick();
  void HandleDeviceFailure(int code);

  // ---- Generator: frequency control and musical notes ----
  void LowFreqBtnClick();
  void MidFreqBtnClick();
  void HighFreqBtnClick();
  void FreqScrollBarChange();
  void SetFreqBtnClick();
  void FrequencyDisplayKeyPress(char& key);
  void FrequencyDisplayKeyUp(int& key);
  void FrequencyDisplayChange();
  void ModeBtnClick();
  void OctaveUPBtnClick();
  void OctaveDownBtnClick();
  void NoteUpBtnClick();
  void NoteDownBtnClick();
  void ShowFrequency(float frequency);
  void ShowMusicalNote();

  // ---- Input device ----
  void BuildCaptureFormat();
  void ResetHeaderA();
  void ResetHeaderB();
  void OpenCaptureDevice();
  void PrepareHeaderA();
  void PrepareHeaderB();
  void QueueBufferA();
  void QueueBufferB();
  void StartCapture();
  void ReadCapturePosition();
  uint32_t WaitBufferA();
  uint32_t WaitBufferB();
  void ResetCaptureDevice();
  void UnprepareHeaderA();
  void UnprepareHeaderB();
  void CloseCaptureDevice();
  void ShutdownCapture();
  // The bytes each capture buffer records: CaptureBufferBytes, and at least
  // the lead-in and the whole block the conversion takes from it, so that
  // every analysed sample is a recorded one.
  uint32_t CaptureRecordBytes() const;
  void ShutdownOpenCapture();

  // ---- Processing cycle ----
  void ProcessBlocks();
  // The sound card's side of a run: the input opened with buffer A queued
  // and recording; then the loop itself, which returns true when the source
  // has become the file.
  void OpenCaptureForRun();
  bool RunCaptureLoop();
  // One block already in SampleBlock through the transform (or the time
  // trace), the levels and their hold, and onto the plot unless only the
  // last frame is drawn (DrawLastFrameOnly).
  void AnalyseSampleBlock();
  void StartBtnClick();
  void SingleBtnClick();
  void StopBtnClick();
  void ArmCaptureTimeout();
  void ChartTimerTimer();
  void FileTimerTimer();
  void TimeoutTimerTimer();

  // Computes WindowTable for TransformSize and WindowType; unless `always`,
  // only when it holds another size or window.
  void RefreshWindowTable(bool always);

  // ---- Scaling, rendering, markers ----
  float FindPeakFrequency(const float* spectrum, int n, int sizeFactor, int sampleRate);
  void ScaleSpectrum();
  void ScaleTimeTrace();
  // The two halves of each: the levels with their hold, and the mapping of
  // the held values onto the display points.
  void ScaleSpectrumLevels();
  void MapSpectrumToDisplay();
  void ScaleTimeLevels();
  void MapTimeTraceToDisplay();
  // Maps and draws the frame a batch run left undrawn (DrawLastFrameOnly).
  void DrawPendingFrame();
  int32_t LogAxisFrequency(int position, int kind);
  // The frequency of the bin that display point `point` (0-based) shows.
  float DisplayPointHz(int point);
  void RenderDisplay(int graphType, const float* data);
  void ClearPlot();
  void ClearDisplayBitmap();
  void ClearWaterfallBitmap();
  void SetScaleLabels(int mode);
  void SpectrumBoxPaint();
  void LoFreqScrollBarChange();
  void HiFreqScrollBarChange();
  void UpdateDisplayedBins();
  void UpdateMarkerReadouts();
  void Mkr1BtnClick();
  void Mkr2BtnClick();
  void Mkr3BtnClick();
  void Mkr4BtnClick();
  void Mkr1ScrollBarChange();
  void Mkr2ScrollBarChange();
  void Mkr3ScrollBarChange();
  void Mkr4ScrollBarChange();
  void SpectrumBoxMouseDown(MouseButton button, int x, int y);
  void SpectrumBoxMouseMove(int x, int y);
  void SpectrumBoxMouseUp(MouseButton button, int x, int y);

  // ---- Acquisition settings ----
  void Mic1Click();
  void Left1Click();
  void Right1Click();
  void N80001Click();
  void N110251Click();
  void N220501Click();
  void N441001Click();
  void N480001Click();
  void N10241Click();
  void N20481Click();
  void N40961Click();
  void N81921Click();
  void N21Click();
  void N41Click();
  void N61Click();
  void N81Click();
  void N102Click();
  void N201Click();
  void N401Click();
  void ProcessGainTrackBarChange();
  void LineBarBtnClick();
  void NormalBtnClick();
  void N50ms2Click();
  void N100ms2Click();
  void N200ms2Click();
  void N300ms2Click();
  void N500ms2Click();
  void N750ms2Click();
  void N1000ms2Click();
  void N_uncheck();
  void EOF_ONClick();
  void EOF_OFFClick();
  void NormalPC1Click();
  void VAIOPC1Click();

  // ---- Display settings ----
  void Frequency1Click();
  void Waterfall1Click();
  void TimeDisplayClick();
  void HorizontalBtnClick();
  void VerticalBtnClick();
  void VerticalResBtnClick();
  void RefScrollBarChange();
  void ON1Click();
  void OFF1Click();
  void Black2Click();
  void Aqua1Click();
  void Lime1Click();
  void Red1Click();
  void Yellow1Click();
  void White2Click();
  void CheckTraceColorItem(int index);
  void Black1Click();
  void White1Click();
  void Arrow1Click();
  void Cross1Click();
  void Magnify1Click();
  void SetCursorShape(int shape);
  void PsuedoColor1Click();
  void Red3Click();
  void Green2Click();
  void Blue2Click();
  void RedGreen2Click();
  void BlackandWhite1Click();
  void CheckWaterfallColorItem(int map);

  // ---- Source records ----
  void SaveBoardFormat();
  void ApplyBoardFormat();
  // Put a rate or transform size in force through its menu item; false when
  // no item offers the value (nothing is clicked then).
  bool ClickRateItem(int rate);
  bool ClickSizeItem(int size);
  void ApplyFileFormat();

  // ---- Sweep ----
  void SweepBtnClick();
  void N32Click();
  void N64Click();
  void N128Click();
  void N256Click();
  void N512Click();
  void Off2Click();
  void On2Click();
  void SweepStartBtnClick();
  void SwpCalBtnClick();
  void ZeroCalClick();
  void ShowCalibrating();
  int SweepToneBin(int point) const;
  int SweepToneColumn(int point) const;
  void HoldSweepPointLevel(int point);
  void ShowSweepTones(int lastPoint);
  int SweepSettleMs();
  void ReleaseSweepDevices(WaveHandle output, bool input);

  // ---- WAV file ----
  void OpenWavefile1Click();
  void CloseWavefile1Click();
  void SoundBoard1Click();
  void WaveFile1Click();
  // Data Source > Audio Devices…: the dialog of the sound card's devices.
  // The item is enabled once a chooser is attached (only the sound card
  // has devices to choose); the chooser must outlive the form.
  void AttachAudioDevices(AudioDeviceChooser* chooser);
  void AudioDevices1Click();
  void WaveFileStart();

  // ---- Log sweep measurement (its own window, beside the form) ----
  // Sweep > Log Sweep Measurement…: calls `show`. The item is enabled once a
  // window is attached.
  void AttachLogSweep(std::function<void()> show);
  void LogSweep1Click();
  // Why the sound devices cannot be lent to a measurement now: the output,
  // the analyzer or the sweep uses them (empty when none does).
  std::string DevicesInUse() const;

  // ---- Export and external tools ----
  void CreateBaseForm();
  void SaveForm1Click();
  void SaveGraphic1Click();
  void SaveBitmap1Click();
  void ExportData1Click();
  void CopyForm1Click();
  void CopyGraphic1Click();
  void CopyBitmap1Click();
  void Print1Click();
  void SetVolumeBtnClick();
  void N7Click();
  void HelpMenu1Click();
  void About1Click();
  // The form image: the client area as the window shows it now.
  Bitmap FormImage();

  // Controls, by designer name. Panels and labels.
  Control *AudioBasePanel, *BasePanel, *ImagePanel, *SpectrumBox, *FreqPanel, *AmplitudePanel,
      *LeftPanel;
  Control* Ref[11];
  Control *LowerFreqDisplay, *UpperFreqDisplay, *Mkr1AmplLabel, *PeakFreq;
  Control *Mkr1Label, *Mkr2Label, *Mkr3Label, *Mkr4Label;
  Control *Mkr1Freq, *Mkr2Freq, *Mkr3Freq, *Mkr4Freq;
  Control *LoFreqScrollBar, *HiFreqScrollBar;
  Control *FrequencyPanel, *FrequencyDisplay, *MusicalPanel, *MusicalLabel, *SuperscriptFreq,
      *SubscriptFreq;
  Control* FreqScrollBar;
  Control *OctaveDownBtn, *NoteDownBtn, *NoteUpBtn, *OctaveUPBtn;
  Control *ControlPanel, *LowFreqBtn, *MidFreqBtn, *HighFreqBtn, *SetVolumeBtn, *SetFreqBtn;
  Control *Panel1, *VerticalResBtn, *VerticalBtn, *HorizontalBtn, *ProcessGainTrackBar,
      *RefScrollBar;
  Control *CursorFreq, *Mkr1Btn, *Mkr1ScrollBar, *Mkr2Btn, *Mkr2ScrollBar, *ModeBtn, *WaveformBtn,
      *SweepBtn, *SweepStartBtn, *OutputBtn;
  Control *CursorAmpl, *Mkr3Btn, *Mkr3ScrollBar, *Mkr4Btn, *Mkr4ScrollBar, *StartBtn, *SingleBtn,
      *LineBarBtn, *NormalBtn, *QuitBtn;
  Control* StopBtn;
  // Timers.
  Control *ChartTimer, *SweepTimer, *FileTimer, *TimeoutTimer;

 private:
  Control* Add(const std::string& name, ControlKind kind, Control* parent);
  Control* AddMenu(const std::string& name, const std::string& caption, Control* parent,
                   bool checked = false);
  void CreateControls();
  void CreateMenu();
  void ScaleControls(double factor);
  void FindSettingsFiles();
  void DrawEmptyGraticule();
  void CheckOutput(uint32_t result, int code, const char* message);

  // Event wiring, one per subsystem.
  void WireShell();
  void WireGenerator();
  void WireAcquisition();
  void WireAnalyzerView();
  void WireFrequencyControls();
  void WireDisplaySettings();
  void WireSweep();
  void WireExport();
  using ClickHandler = void (TZorvaneForm::*)();
  void WireClicks(std::initializer_list<std::pair<const char*, ClickHandler>> items);

  std::vector<std::unique_ptr<Control>> controls_;
  std::map<std::string, Control*, std::less<>> byName_;  // found by any text, unconverted
  std::unique_ptr<uint8_t[]> captureA_, captureB_, output_;
  std::unique_ptr<WorkArrays> work_;
  std::string settingsFolder_;
  AudioDeviceChooser* deviceChooser_ = nullptr;
  std::function<void()> showLogSweep_;
  bool outputDeviceOpen_ = false;
  bool destroyed_ = false;
};

}  // namespace zorvane
