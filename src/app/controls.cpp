// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/controls.h"

#include <algorithm>

namespace zorvane {

Control::Control(std::string name, ControlKind kind, Control* parent)
    : name_(std::move(name)), kind_(kind), parent_(parent) {
  if (parent_) parent_->children_.push_back(this);
  if (kind_ == ControlKind::Timer) enabled_ = true;
}

void Control::Changed() {
  for (auto& l : listeners_) l(*this);
}

void Control::SetCaption(const std::string& c) {
  if (caption_ == c) return;
  caption_ = c;
  Changed();
}

void Control::SetFontColor(Color c) {
  if (fontColor_ == c) return;
  fontColor_ = c;
  Changed();
}

void Control::SetColor(Color c) {
  if (color_ == c) return;
  color_ = c;
  Changed();
}

void Control::SetEnabled(bool e) {
  if (enabled_ == e) return;
  enabled_ = e;
  if (kind_ == ControlKind::Timer) ++timerGeneration_;
  Changed();
}

void Control::SetVisible(bool v) {
  if (visible_ == v) return;
  visible_ = v;
  Changed();
}

void Control::SetCursor(int c) {
  if (cursor_ == c) return;
  cursor_ = c;
  Changed();
}

void Control::SetBevel(bool b) {
  if (bevel_ == b) return;
  bevel_ = b;
  Changed();
}

void Control::SetBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  Changed();
}

void Control::SetLeft(int left) {
  if (left_ == left) return;
  left_ = left;
  Changed();
}

void Control::SetDesignBounds(int left, int top, int width, int height) {
  dLeft_ = left;
  dTop_ = top;
  dWidth_ = width;
  dHeight_ = height;
  SetBounds(left, top, width, height);
}

void Control::SetChecked(bool c) {
  if (checked_ == c) return;
  checked_ = c;
  Changed();
}

void Control::SetRange(int min, int max) {
  min_ = min;
  max_ = std::max(min, max);
  Changed();
  SetPosition(position_);
}

void Control::SetPosition(int p) {
  p = std::clamp(p, min_, max_);
  if (p == position_) return;
  position_ = p;
  Changed();
  if (OnChange) OnChange();
}

void Control::SetText(const std::string& t) {
  text_ = t;
  allSelected_ = false;
  Changed();
  if (OnChange) OnChange();
}

void Control::SetReadOnly(bool r) {
  if (readOnly_ == r) return;
  readOnly_ = r;
  Changed();
}

void Control::SetInterval(int ms) {
  if (interval_ == ms) return;
  interval_ = ms;
  ++timerGeneration_;
  Changed();
}

void Control::Click() {
  if (!enabled_) return;
  if (OnClick) OnClick();
}

void Control::UserScroll(int p) {
  if (!enabled_) return;
  SetPosition(p);
}

void Control::UserKey(char key) {
  if (!enabled_) return;
  if (OnKeyPress) OnKeyPress(key);
  if (key == 0 || readOnly_ || key == '\r') return;
  if (allSelected_) {
    allSelected_ = false;
    if (key == '\b')
      text_.clear();
    else
      text_.assign(1, key);
  } else if (key == '\b') {
    // In place: typing a long text costs time in proportion to its length.
    if (text_.empty()) return;
    text_.pop_back();
  } else {
    text_.push_back(key);
  }
  Changed();
  if (OnChange) OnChange();
}

void Control::SelectAll() {
  if (allSelected_ || text_.empty()) return;
  allSelected_ = true;
  Changed();
}

void Control::UserKeyUp(int vkey) {
  if (!enabled_) return;
  if (OnKeyUp) OnKeyUp(vkey);
}

}  // namespace zorvane
