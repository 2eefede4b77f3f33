/*
** The lines of a generated dialog; see paramline.h.
*/
#include "paramline.h"

/*
** A line serving key with control identifier id; it makes no control yet.
*/
ParamLine::ParamLine(ParamControls* controls, const XB_String& key, int id)
    : m_controls(controls), m_key(key), m_id(id) {}

/*
** Destroys the line's controls.
*/
ParamLine::~ParamLine() {
  if (m_controls == nullptr) return;
  if (m_input) m_controls->Destroy(m_input);
  if (m_label) m_controls->Destroy(m_label);
}

/*
** Stores the layout mode used by Move.
*/
void ParamLine::SetMode(int mode) {
  m_mode = mode;
}

/*
** Makes the label: a static text that reads two blanks until it is set.
** Returns false when the control could not be made.
*/
bool ParamLine::CreateLabel() {
  m_label = m_controls->Create(ParamControls::CONTROL_LABEL, 0, 0xFFFF, m_key);
  if (m_label == 0) return false;
  m_controls->SetText(m_label, "  ");
  return true;
}

/*
** Sets the label's text.
*/
void ParamLine::SetLabel(const XB_String& text) {
  if (m_label) m_controls->SetText(m_label, text);
}

/*
** Shows text in the input control and marks the line as loaded.
*/
void ParamLine::SetText(const XB_String& text) {
  if (m_input) m_controls->SetText(m_input, text);
  m_loaded = true;
}

/*
** Returns the input control's text as a text value; the empty value when
** the line has no input control.
*/
XB_Value ParamLine::GetValue() const {
  if (m_input == 0) return XB_Value();
  return XB_Value(m_controls->GetText(m_input));
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
  return !m_loaded;
}

/*
** Splits the line rectangle by the mode and moves label and input there.
*/
void ParamLine::Move(const ParamRect& line, int labelWidth) {
  m_places = ParamLineLayout::Split(static_cast<ParamLineLayout::Mode>(m_mode), line, labelWidth);
  if (m_label) m_controls->Move(m_label, m_places.label);
  if (m_input) m_controls->Move(m_input, m_places.input);
}

/*
** Makes label and edit field with the given edit style.  Returns false
** when a control could not be made.
*/
bool ParamEditLine::Create(unsigned style) {
  if (!CreateLabel()) return false;
  m_input = m_controls->Create(ParamControls::CONTROL_EDIT, style, m_id, m_key);
  return m_input != 0;
}

/*
** Shows text and remembers it for change detection.
*/
void ParamEditLine::SetText(const XB_String& text) {
  ParamLine::SetText(text);
  m_loadedText = text;
}

/*
** True when the edit field no longer holds the loaded text.
*/
bool ParamEditLine::HasChanged() const {
  if (!m_loaded || m_input == 0) return !m_loaded;
  return !(m_controls->GetText(m_input) == m_loadedText);
}

/*
** Destroys the "..." button; the base destroys label and edit.
*/
ParamFolderLine::~ParamFolderLine() {
  if (m_controls && m_button) m_controls->Destroy(m_button);
}

/*
** Makes label, edit field and the "..." button.  The button shares the
** line's identifier so that its press reaches this line.
*/
bool ParamFolderLine::Create(unsigned style) {
  if (!ParamEditLine::Create(style)) return false;
  m_button = m_controls->Create(ParamControls::CONTROL_BUTTON, 0, m_id, m_key);
  if (m_button == 0) return false;
  m_controls->SetText(m_button, "...");
  return true;
}

/*
** On a press of "..." shows the folder browser; a chosen folder replaces
** the edit text.
*/
void ParamFolderLine::OnChange(ParamControls::Event event) {
  if (event != ParamControls::EVENT_PRESSED || m_input == 0) return;
  XB_String path = m_controls->GetText(m_input);
  if (m_controls->BrowseFolder("Browse for Folder", path)) {
    m_controls->SetText(m_input, path);
  }
}

/*
** Lays the line out like a wide edit line, then shortens the edit by the
** button width and puts the button from 2 pixels right of the edit to the
** line's right edge.
*/
void ParamFolderLine::Move(const ParamRect& line, int labelWidth) {
  ParamLine::Move(line, labelWidth);
  m_places.input.right -= ParamLineLayout::kButtonWidth;
  m_places.button = ParamRect{m_places.input.right + 2, line.top, line.right, line.bottom};
  if (m_input) m_controls->Move(m_input, m_places.input);
  if (m_button) m_controls->Move(m_button, m_places.button);
}

/*
** Makes the label and the read-only value text.
*/
bool ParamDisplayLine::Create(unsigned) {
  if (!CreateLabel()) return false;
  m_input = m_controls->Create(ParamControls::CONTROL_DISPLAY, 0, m_id, m_key);
  return m_input != 0;
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
  if (m_input == 0) return XB_Value();
  XB_String text = m_controls->GetText(m_input);
  if (text.Length() >= 2 && text.BeginsWith(" ") && text.EndsWith(" ")) {
    text = text.Mid(1, text.Length() - 2);
  }
  return XB_Value(text);
}

/*
** A read-only line changes only when it was never loaded.
*/
bool ParamDisplayLine::HasChanged() const {
  return !m_loaded;
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
  m_loaded = true;
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
  m_places = ParamLinePlaces{};
  m_places.label = line;
  if (m_label) m_controls->Move(m_label, line);
}

/*
** Makes the check box; the line has no separate label.
*/
bool ParamCheckLine::Create(unsigned) {
  m_input = m_controls->Create(ParamControls::CONTROL_CHECK, 0, m_id, m_key);
  return m_input != 0;
}

/*
** The label of a check line is the box's own caption, without the blank
** that lines put on each side of their labels.
*/
void ParamCheckLine::SetLabel(const XB_String& text) {
  if (m_input == 0) return;
  XB_String caption = text;
  if (caption.Length() >= 2 && caption.BeginsWith(" ") && caption.EndsWith(" ")) {
    caption = caption.Mid(1, caption.Length() - 2);
  }
  m_controls->SetText(m_input, caption);
}

/*
** Ticks the box when the text reads as a non-zero integer ("true", "1"),
** clears it otherwise, and remembers the state for change detection.
*/
void ParamCheckLine::SetText(const XB_String& text) {
  XB_Value value(text);
  m_loadedCheck = value.AsInt() != 0;
  if (m_input) m_controls->SetCheck(m_input, m_loadedCheck);
  m_loaded = true;
}

/*
** Returns the box's state as a boolean value.
*/
XB_Value ParamCheckLine::GetValue() const {
  if (m_input == 0) return XB_Value();
  return XB_Value(m_controls->GetCheck(m_input));
}

/*
** True when the box's state differs from the loaded one.
*/
bool ParamCheckLine::HasChanged() const {
  if (!m_loaded || m_input == 0) return !m_loaded;
  return m_controls->GetCheck(m_input) != m_loadedCheck;
}

/*
** Puts the check box over the whole line.
*/
void ParamCheckLine::Move(const ParamRect& line, int) {
  m_places = ParamLinePlaces{};
  m_places.input = line;
  if (m_input) m_controls->Move(m_input, line);
}

/*
** A date line in date form, or in time form when timeForm is set.
*/
ParamDateLine::ParamDateLine(ParamControls* controls, const XB_String& key, int id, bool timeForm)
    : ParamLine(controls, key, id), m_timeForm(timeForm) {}

/*
** Makes the label and the picker in the line's form.
*/
bool ParamDateLine::Create(unsigned) {
  if (!CreateLabel()) return false;
  ParamControls::Kind kind = m_timeForm ? ParamControls::CONTROL_TIME : ParamControls::CONTROL_DATE;
  m_input = m_controls->Create(kind, 0, m_id, m_key);
  return m_input != 0;
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
  m_loaded = true;
  if (m_input == 0) return;
  m_controls->SetDateTime(m_input, ParseText(text, m_timeForm));
  m_shown = m_controls->GetDateTime(m_input);
}

/*
** Returns the picker's value in the line's text form.
*/
XB_Value ParamDateLine::GetValue() const {
  if (m_input == 0) return XB_Value();
  return XB_Value(FormatText(m_controls->GetDateTime(m_input), m_timeForm));
}

/*
** True when the picker no longer shows what it showed after loading.
*/
bool ParamDateLine::HasChanged() const {
  if (!m_loaded || m_input == 0) return !m_loaded;
  return !(m_controls->GetDateTime(m_input) == m_shown);
}
