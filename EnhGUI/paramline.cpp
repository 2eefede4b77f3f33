/*
** The lines of a generated dialog; see paramline.h.
*/
#include "paramline.h"

/*
** A line serving key with control identifier id; it makes no control yet.
*/
ParamLine::ParamLine(ParamControls* controls, const XB_String& key, int id)
    : controls_(controls), key_(key), id_(id) {}

/*
** Destroys the line's controls.
*/
ParamLine::~ParamLine() {
  if (controls_ == nullptr) return;
  if (input_) controls_->Destroy(input_);
  if (label_) controls_->Destroy(label_);
}

/*
** Stores the layout mode used by Move.
*/
void ParamLine::SetMode(int mode) {
  mode_ = mode;
}

/*
** Makes the label: a static text that reads two blanks until it is set.
** Returns false when the control could not be made.
*/
bool ParamLine::CreateLabel() {
  label_ = controls_->Create(ParamControls::CONTROL_LABEL, 0, 0xFFFF, key_);
  if (label_ == 0) return false;
  controls_->SetText(label_, "  ");
  return true;
}

/*
** Sets the label's text.
*/
void ParamLine::SetLabel(const XB_String& text) {
  if (label_) controls_->SetText(label_, text);
}

/*
** Shows text in the input control and marks the line as loaded.
*/
void ParamLine::SetText(const XB_String& text) {
  if (input_) controls_->SetText(input_, text);
  loaded_ = true;
}

/*
** Returns the input control's text as a text value; the empty value when
** the line has no input control.
*/
XB_Value ParamLine::GetValue() const {
  if (input_ == 0) return XB_Value();
  return XB_Value(controls_->GetText(input_));
}

/*
** The base line does nothing on a notification.
*/
void ParamLine::OnChange(ParamControls::Event) {}

/*
** Returns true unless a value was loaded; kinds that can tell a change
** refine this.
*/
bool ParamLine::HasChanged() const {
  return !loaded_;
}

/*
** Splits the line rectangle by the mode and moves label and input there.
*/
void ParamLine::Move(const ParamRect& line, int labelWidth) {
  places_ = ParamLineLayout::Split(static_cast<ParamLineLayout::Mode>(mode_), line, labelWidth);
  if (label_) controls_->Move(label_, places_.label);
  if (input_) controls_->Move(input_, places_.input);
}

/*
** Makes label and edit field with the given edit style.  Returns false
** when a control could not be made.
*/
bool ParamEditLine::Create(unsigned style) {
  if (!CreateLabel()) return false;
  input_ = controls_->Create(ParamControls::CONTROL_EDIT, style, id_, key_);
  return input_ != 0;
}

/*
** Shows text and remembers it for change detection.
*/
void ParamEditLine::SetText(const XB_String& text) {
  ParamLine::SetText(text);
  loadedText_ = text;
}

/*
** True when the edit field no longer holds the loaded text.
*/
bool ParamEditLine::HasChanged() const {
  if (!loaded_ || input_ == 0) return !loaded_;
  return !(controls_->GetText(input_) == loadedText_);
}

/*
** Destroys the "..." button; the base destroys label and edit.
*/
ParamFolderLine::~ParamFolderLine() {
  if (controls_ && button_) controls_->Destroy(button_);
}

/*
** Makes label, edit field and the "..." button.  The button shares the
** line's identifier so that its press reaches this line.
*/
bool ParamFolderLine::Create(unsigned style) {
  if (!ParamEditLine::Create(style)) return false;
  button_ = controls_->Create(ParamControls::CONTROL_BUTTON, 0, id_, key_);
  if (button_ == 0) return false;
  controls_->SetText(button_, "...");
  return true;
}

/*
** On a press of "..." shows the folder browser; a chosen folder replaces
** the edit text.
*/
void ParamFolderLine::OnChange(ParamControls::Event event) {
  if (event != ParamControls::EVENT_PRESSED || input_ == 0) return;
  XB_String path = controls_->GetText(input_);
  if (controls_->BrowseFolder("Browse for Folder", path)) {
    controls_->SetText(input_, path);
  }
}

/*
** Lays the line out like a wide edit line, then shortens the edit by the
** button width and puts the button from 2 pixels right of the edit to the
** line's right edge.
*/
void ParamFolderLine::Move(const ParamRect& line, int labelWidth) {
  ParamLine::Move(line, labelWidth);
  places_.input.right -= ParamLineLayout::kButtonWidth;
  places_.button = ParamRect{places_.input.right + 2, line.top, line.right, line.bottom};
  if (input_) controls_->Move(input_, places_.input);
  if (button_) controls_->Move(button_, places_.button);
}

/*
** Makes the label and the read-only value text.
*/
bool ParamDisplayLine::Create(unsigned) {
  if (!CreateLabel()) return false;
  input_ = controls_->Create(ParamControls::CONTROL_DISPLAY, 0, id_, key_);
  return input_ != 0;
}

/*
** Shows text with one blank on each side.
*/
void ParamDisplayLine::SetText(const XB_String& text) {
  XB_String padded(" ");
  padded += text;
  padded += " ";
  ParamLine::SetText(padded);
}

/*
** Returns the shown text without the blank put on each side by SetText,
** so that a key value comes back exactly as it was loaded.
*/
XB_Value ParamDisplayLine::GetValue() const {
  if (input_ == 0) return XB_Value();
  XB_String text = controls_->GetText(input_);
  if (text.Length() >= 2 && text.BeginsWith(" ") && text.EndsWith(" ")) {
    text = text.Mid(1, text.Length() - 2);
  }
  return XB_Value(text);
}

/*
** A read-only line changes only when it was never loaded.
*/
bool ParamDisplayLine::HasChanged() const {
  return !loaded_;
}

/*
** Makes the label; a heading has no input.
*/
bool ParamHeadingLine::Create(unsigned) {
  return CreateLabel();
}

/*
** A heading shows no value.
*/
void ParamHeadingLine::SetText(const XB_String&) {
  loaded_ = true;
}

/*
** A heading carries the empty value.
*/
XB_Value ParamHeadingLine::GetValue() const {
  return XB_Value();
}

/*
** A heading never hands a value back, so saving leaves its parameter as
** it was.
*/
bool ParamHeadingLine::HasChanged() const {
  return false;
}

/*
** Gives the label the whole line.
*/
void ParamHeadingLine::Move(const ParamRect& line, int) {
  places_ = ParamLinePlaces{};
  places_.label = line;
  if (label_) controls_->Move(label_, line);
}

/*
** Makes the check box; the line has no separate label.
*/
bool ParamCheckLine::Create(unsigned) {
  input_ = controls_->Create(ParamControls::CONTROL_CHECK, 0, id_, key_);
  return input_ != 0;
}

/*
** The label of a check line is the box's own caption, without the blank
** that lines put on each side of their labels.
*/
void ParamCheckLine::SetLabel(const XB_String& text) {
  if (input_ == 0) return;
  XB_String caption = text;
  if (caption.Length() >= 2 && caption.BeginsWith(" ") && caption.EndsWith(" ")) {
    caption = caption.Mid(1, caption.Length() - 2);
  }
  controls_->SetText(input_, caption);
}

/*
** Ticks the box when the text reads as a non-zero integer ("true", "1"),
** clears it otherwise, and remembers the state for change detection.
*/
void ParamCheckLine::SetText(const XB_String& text) {
  XB_Value value(text);
  loadedCheck_ = value.AsInt() != 0;
  if (input_) controls_->SetCheck(input_, loadedCheck_);
  loaded_ = true;
}

/*
** Returns the box's state as a boolean value.
*/
XB_Value ParamCheckLine::GetValue() const {
  if (input_ == 0) return XB_Value();
  return XB_Value(controls_->GetCheck(input_));
}

/*
** True when the box's state differs from the loaded one.
*/
bool ParamCheckLine::HasChanged() const {
  if (!loaded_ || input_ == 0) return !loaded_;
  return controls_->GetCheck(input_) != loadedCheck_;
}

/*
** Puts the check box over the whole line.
*/
void ParamCheckLine::Move(const ParamRect& line, int) {
  places_ = ParamLinePlaces{};
  places_.input = line;
  if (input_) controls_->Move(input_, line);
}

/*
** A date line in date form, or in time form when timeForm is set.
*/
ParamDateLine::ParamDateLine(ParamControls* controls, const XB_String& key, int id, bool timeForm)
    : ParamLine(controls, key, id), timeForm_(timeForm) {}

/*
** Makes the label and the picker in the line's form.
*/
bool ParamDateLine::Create(unsigned) {
  if (!CreateLabel()) return false;
  ParamControls::Kind kind = timeForm_ ? ParamControls::CONTROL_TIME : ParamControls::CONTROL_DATE;
  input_ = controls_->Create(kind, 0, id_, key_);
  return input_ != 0;
}

/*
** Returns the decimal number of the digits of text from pos on, at most
** count of them, stopping at the first other character.
*/
static int ReadDigits(const XB_String& text, size_t pos, size_t count) {
  int number = 0;
  for (size_t i = pos; i < pos + count && i < text.Length(); i++) {
    char c = text[i];
    if (c < '0' || c > '9') break;
    number = number * 10 + (c - '0');
  }
  return number;
}

/*
** Reads a date from the positions of "YYYY-MM-DD", or a time of hours,
** minutes and optional seconds separated by colons.
*/
ParamDateTime ParamDateLine::ParseText(const XB_String& text, bool timeForm) {
  ParamDateTime when;
  if (!timeForm) {
    when.year = ReadDigits(text, 0, 4);
    when.month = ReadDigits(text, 5, 2);
    when.day = ReadDigits(text, 8, 2);
    return when;
  }
  XB_String rest = text;
  rest.Trim();
  int* fields[3] = {&when.hour, &when.minute, &when.second};
  size_t pos = 0;
  for (int* field : fields) {
    *field = ReadDigits(rest, pos, 2);
    ptrdiff_t colon = rest.Find(':', pos);
    if (colon < 0) break;
    pos = static_cast<size_t>(colon) + 1;
  }
  return when;
}

/*
** Formats a picker value as "YYYY-MM-DD" or "HH:MM:SS".
*/
XB_String ParamDateLine::FormatText(const ParamDateTime& when, bool timeForm) {
  if (timeForm) {
    return XB_String::Formatted("%02d:%02d:%02d", when.hour, when.minute, when.second);
  }
  return XB_String::Formatted("%04d-%02d-%02d", when.year, when.month, when.day);
}

/*
** Sets the picker from text and remembers what the picker then shows, so
** that a value the picker cannot show (an empty or NULL column, a text of
** another shape) is not replaced unless the user picks a new one.
*/
void ParamDateLine::SetText(const XB_String& text) {
  loaded_ = true;
  if (input_ == 0) return;
  controls_->SetDateTime(input_, ParseText(text, timeForm_));
  shown_ = controls_->GetDateTime(input_);
}

/*
** Returns the picker's value in the line's text form.
*/
XB_Value ParamDateLine::GetValue() const {
  if (input_ == 0) return XB_Value();
  return XB_Value(FormatText(controls_->GetDateTime(input_), timeForm_));
}

/*
** True when the picker no longer shows what it showed after loading.
*/
bool ParamDateLine::HasChanged() const {
  if (!loaded_ || input_ == 0) return !loaded_;
  return !(controls_->GetDateTime(input_) == shown_);
}
