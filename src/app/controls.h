// SPDX-License-Identifier: GPL-3.0-or-later
// Plain models of the window's controls. Each keeps the properties the
// instrument reads and writes (caption, colours, enabled, visible, hint,
// geometry, check mark, scroll range and position, text, timer settings),
// an event slot per user action, and a change signal the view listens to.
// Toolkit behaviour the program relies on lives here, so the core acts the
// same with or without a screen: a scroll position is clamped to its range
// and fires OnChange only when it changes; a menu item checked by code does
// not fire; a timer fires only while enabled (the runtime decides when).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/bitmap.h"
#include "platform/timer.h"

namespace zorvane {

enum class ControlKind {
  Form,
  Panel,
  Label,
  Button,
  ScrollBar,
  TrackBar,
  Memo,
  PaintBox,
  MenuItem,
  Timer,
  Dialog
};

enum class MouseButton { Left, Right, Middle };

class Control : public TimerModel {
 public:
  Control(std::string name, ControlKind kind, Control* parent = nullptr);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& Name() const { return name_; }
  ControlKind Kind() const { return kind_; }
  Control* Parent() const { return parent_; }
  const std::vector<Control*>& Children() const { return children_; }

  // Look.
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& c);
  Color FontColor() const { return fontColor_; }
  void SetFontColor(Color c);
  Color BackColor() const { return color_; }
  void SetColor(Color c);
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool e);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& h) { hint_ = h; }
  int FontHeight() const { return fontHeight_; }
  void SetFontHeight(int h) { fontHeight_ = h; }
  bool FontBold() const { return fontBold_; }
  void SetFontBold(bool b) { fontBold_ = b; }
  // Mouse cursor over the control: 0 default arrow, 1 cross, 2 arrow,
  // 3 the program's own open cross.
  int Cursor() const { return cursor_; }
  void SetCursor(int c);
  // Right-aligned text (labels).
  bool AlignRight() const { return alignRight_; }
  void SetAlignRight(bool a) { alignRight_ = a; }
  // A panel's raised edge (panels have one unless told otherwise).
  bool Bevel() const { return bevel_; }
  void SetBevel(bool b);

  // Geometry in window pixels (after scaling) and at design time.
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int left);
  void SetDesignBounds(int left, int top, int width, int height);
  int DesignLeft() const { return dLeft_; }
  int DesignTop() const { return dTop_; }
  int DesignWidth() const { return dWidth_; }
  int DesignHeight() const { return dHeight_; }

  // Menu items.
  bool Checked() const { return checked_; }
  void SetChecked(bool c);
  bool IsSeparator() const { return caption_ == "-"; }
  // How a menu item shows its check mark: a command has none, an item of a
  // group of choices (items sharing a group number above 0) a radio mark,
  // a checkable item outside a group a check box.
  int RadioGroup() const { return radioGroup_; }
  bool Checkable() const { return checkable_ || radioGroup_ > 0; }
  void SetRadioGroup(int group) { radioGroup_ = group; }
  void SetCheckable(bool c) { checkable_ = c; }
  // The caption's letter that opens the menu with Alt (its index in the
  // caption, -1 for none), and the key sequence that runs the item
  // ("Ctrl+O", "F1"; empty for none).
  int Mnemonic() const { return mnemonic_; }
  void SetMnemonic(int at) { mnemonic_ = at; }
  const std::string& Shortcut() const { return shortcut_; }
  void SetShortcut(const std::string& keys) { shortcut_ = keys; }

  // Scroll bars and track bars.
  int Min() const { return min_; }
  int Max() const { return max_; }
  int Position() const { return position_; }
  void SetRange(int min, int max);  // clamps the position, firing OnChange if it moved
  void SetPosition(int p);          // clamped; fires OnChange only when it changes
  int SmallChange() const { return smallChange_; }
  int LargeChange() const { return largeChange_; }
  void SetSmallChange(int s) { smallChange_ = s; }
  void SetLargeChange(int l) { largeChange_ = l; }

  // Text boxes.
  const std::string& Text() const { return text_; }
  void SetText(const std::string& t);  // fires OnChange
  void Clear() { SetText(""); }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool r);
  // The whole text selected (Ctrl+A): the next key that edits replaces it.
  // Any change of the text ends the selection.
  bool AllSelected() const { return allSelected_; }
  void SelectAll();

  // Timers.
  int Interval() const override { return interval_; }
  void SetInterval(int ms);
  // The runtime watches this to restart a timer's period.
  uint64_t TimerGeneration() const override { return timerGeneration_; }
  void Fire() override {
    if (OnTimer) OnTimer();
  }

  // Events (wired by the form like a form description).
  std::function<void()> OnClick;
  std::function<void()> OnChange;
  std::function<void()> OnTimer;
  std::function<void()> OnPaint;
  std::function<void(char& key)> OnKeyPress;
  std::function<void(int& key)> OnKeyUp;
  std::function<void(MouseButton, int x, int y)> OnMouseDown;
  std::function<void(int x, int y)> OnMouseMove;
  std::function<void(MouseButton, int x, int y)> OnMouseUp;

  // User actions, as the toolkit delivers them.
  void Click();            // only when enabled
  void UserScroll(int p);  // a scroll or track bar moved by the user
  // Key press, then (if the filter let it through) into the text, replacing
  // it when all of it is selected.
  void UserKey(char key);
  void UserKeyUp(int vkey);

  // Asks views to repaint the control (a paint box whose image changed).
  void Invalidate() { Changed(); }

  // Change signal for views: called after any property changed.
  void Listen(std::function<void(Control&)> l) { listeners_.push_back(std::move(l)); }

 private:
  void Changed();

  std::string name_;
  ControlKind kind_;
  Control* parent_;
  std::vector<Control*> children_;
  std::string caption_, hint_, text_;
  Color fontColor_ = colors::Black, color_ = 0xF0F0F0;
  bool enabled_ = true, visible_ = true, checked_ = false, readOnly_ = false, fontBold_ = false;
  bool alignRight_ = false, bevel_ = true, checkable_ = false, allSelected_ = false;
  int radioGroup_ = 0, mnemonic_ = -1;
  std::string shortcut_;
  int cursor_ = 0;
  int fontHeight_ = 11;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  int dLeft_ = 0, dTop_ = 0, dWidth_ = 0, dHeight_ = 0;
  int min_ = 0, max_ = 100, position_ = 0, smallChange_ = 1, largeChange_ = 1;
  int interval_ = 1000;
  uint64_t timerGeneration_ = 0;
  std::vector<std::function<void(Control&)>> listeners_;
};

}  // namespace zorvane
