/*
** The lines of a generated dialog; see paramline.h.
*/
#include "paramline.h"

ParamLine::ParamLine(ParamControls* controls, const XB_String& key, int id)
    : m_controls(controls), m_key(key), m_id(id) {}

ParamLine::~ParamLine() {
  if (m_controls == nullptr) return;
  if (m_input) m_controls->Destroy(m_input);
  if (m_label) m_controls->Destroy(m_label);
}

void ParamLine::SetMode(int mode) {
  m_mode = mode;
}

bool ParamLine::CreateLabel() {
  m_label = m_controls->Create(ParamControls::CONTROL_LABEL, 0, 0xFFFF, m_key);
  if (m_label == 0) return false;
  m_controls->SetText(m_label, "  ");
  return true;
}

void ParamLine::SetLabel(const XB_String& text) {
  if (m_label) m_controls->SetText(m_label, text);
}

void ParamLine::SetText(const XB_String& text) {
  if (m_input) m_controls->SetText(m_input, text);
  m_loaded = true;
}

XB_Value ParamLine::GetValue() const {
  if (m_input == 0) return XB_Value();
  return XB_Value(m_controls->GetText(m_input));
}

void ParamLine::OnChange(ParamControls::Event) {}

bool ParamLine::HasChanged() const {
  return !m_loaded;
}

void ParamLine::SetNull() {
  SetText(XB_String());
}

void ParamLine::SetReadOnly(bool readOnly) {
  m_readOnly = readOnly;
  if (m_input) m_controls->SetReadOnly(m_input, readOnly);
}

bool ParamLine::TakesInput() const {
  return m_input != 0 && !m_readOnly;
}

bool ParamLine::ValueFits(XB_String*) const {
  return true;
}

void ParamLine::Move(const ParamRect& line, int labelWidth) {
  m_places = ParamLineLayout::Split(static_cast<ParamLineLayout::Mode>(m_mode), line, labelWidth);
  if (m_label) m_controls->Move(m_label, m_places.label);
  if (m_input) m_controls->Move(m_input, m_places.input);
}

bool ParamEditLine::Create(unsigned style) {
  if (!CreateLabel()) return false;
  m_input = m_controls->Create(ParamControls::CONTROL_EDIT, style, m_id, m_key);
  return m_input != 0;
}

void ParamEditLine::SetText(const XB_String& text) {
  ParamLine::SetText(text);
  // What the field shows may differ from TEXT when the encoding has no
  // code for some of its bytes; comparing with what it showed keeps such
  // a value out of the save unless the user edits it.
  m_loadedText = m_input ? m_controls->GetText(m_input) : text;
  m_null = false;
  m_loadedNull = false;
  UpdateNullLook();
}

void ParamEditLine::SetNull() {
  if (!m_nullAware) {
    SetText(XB_String());
    return;
  }
  SetText(XB_String());
  m_null = true;
  m_loadedNull = true;
  UpdateNullLook();
}

bool ParamEditLine::ShowsNull() const {
  if (!m_nullAware) return false;
  if (m_null) return true;
  return m_emptyIsNull && m_input && m_controls->GetText(m_input).IsEmpty();
}

void ParamEditLine::UpdateNullLook() {
  if (m_input && m_nullAware) m_controls->SetNullLook(m_input, ShowsNull());
}

XB_Value ParamEditLine::GetValue() const {
  if (m_input == 0) return XB_Value();
  if (ShowsNull()) return XB_Value();
  return XB_Value(m_controls->GetText(m_input));
}

bool ParamEditLine::HasChanged() const {
  if (!m_loaded || m_input == 0) return !m_loaded;
  if (m_readOnly) return false;
  if (m_null != m_loadedNull) return true;
  return !(m_controls->GetText(m_input) == m_loadedText);
}

void ParamEditLine::OnChange(ParamControls::Event event) {
  if (event == ParamControls::EVENT_SET_NULL && m_nullAware) {
    m_null = true;
  } else if (event == ParamControls::EVENT_CHANGED && m_input &&
             !m_controls->GetText(m_input).IsEmpty()) {
    m_null = false;
  }
  UpdateNullLook();
}

void ParamEditLine::SetReadOnly(bool readOnly) {
  ParamLine::SetReadOnly(readOnly);
  UpdateNullLook();
}

bool ParamEditLine::ValueFits(XB_String* error) const {
  if (!HasChanged() || m_input == 0) return true;
  return m_controls->TextFits(m_input, error);
}

ParamFolderLine::~ParamFolderLine() {
  if (m_controls && m_button) m_controls->Destroy(m_button);
}

bool ParamFolderLine::Create(unsigned style) {
  if (!ParamEditLine::Create(style)) return false;
  m_button = m_controls->Create(ParamControls::CONTROL_BUTTON, 0, m_id, m_key);
  if (m_button == 0) return false;
  m_controls->SetText(m_button, "...");
  return true;
}

void ParamFolderLine::OnChange(ParamControls::Event event) {
  if (event != ParamControls::EVENT_PRESSED || m_input == 0) return;
  XB_String path = m_controls->GetText(m_input);
  if (m_controls->BrowseFolder("Browse for Folder", path)) {
    m_controls->SetText(m_input, path);
  }
}

void ParamFolderLine::Move(const ParamRect& line, int labelWidth) {
  ParamLine::Move(line, labelWidth);
  m_places.input.right -= ParamLineLayout::kButtonWidth;
  m_places.button = ParamRect{m_places.input.right + 2, line.top, line.right, line.bottom};
  if (m_input) m_controls->Move(m_input, m_places.input);
  if (m_button) m_controls->Move(m_button, m_places.button);
}

bool ParamDisplayLine::Create(unsigned) {
  if (!CreateLabel()) return false;
  m_input = m_controls->Create(ParamControls::CONTROL_DISPLAY, 0, m_id, m_key);
  return m_input != 0;
}

void ParamDisplayLine::SetText(const XB_String& text) {
  XB_String padded(" ");
  padded += text;
  padded += " ";
  ParamLine::SetText(padded);
}

XB_Value ParamDisplayLine::GetValue() const {
  if (m_input == 0) return XB_Value();
  XB_String text = m_controls->GetText(m_input);
  if (text.Length() >= 2 && text.BeginsWith(" ") && text.EndsWith(" ")) {
    text = text.Mid(1, text.Length() - 2);
  }
  return XB_Value(text);
}

bool ParamDisplayLine::HasChanged() const {
  return !m_loaded;
}

bool ParamHeadingLine::Create(unsigned) {
  return CreateLabel();
}

void ParamHeadingLine::SetText(const XB_String&) {
  m_loaded = true;
}

XB_Value ParamHeadingLine::GetValue() const {
  return XB_Value();
}

bool ParamHeadingLine::HasChanged() const {
  return false;
}

void ParamHeadingLine::Move(const ParamRect& line, int) {
  m_places = ParamLinePlaces{};
  m_places.label = line;
  if (m_label) m_controls->Move(m_label, line);
}

bool ParamCheckLine::Create(unsigned) {
  m_input = m_controls->Create(ParamControls::CONTROL_CHECK, 0, m_id, m_key);
  return m_input != 0;
}

void ParamCheckLine::SetLabel(const XB_String& text) {
  if (m_input == 0) return;
  XB_String caption = text;
  if (caption.Length() >= 2 && caption.BeginsWith(" ") && caption.EndsWith(" ")) {
    caption = caption.Mid(1, caption.Length() - 2);
  }
  m_controls->SetText(m_input, caption);
}

void ParamCheckLine::SetText(const XB_String& text) {
  XB_Value value(text);
  m_loadedCheck = value.AsInt() != 0;
  if (m_input) m_controls->SetCheck(m_input, m_loadedCheck);
  m_loaded = true;
}

XB_Value ParamCheckLine::GetValue() const {
  if (m_input == 0) return XB_Value();
  return XB_Value(m_controls->GetCheck(m_input));
}

bool ParamCheckLine::HasChanged() const {
  if (!m_loaded || m_input == 0) return !m_loaded;
  return m_controls->GetCheck(m_input) != m_loadedCheck;
}

void ParamCheckLine::Move(const ParamRect& line, int) {
  m_places = ParamLinePlaces{};
  m_places.input = line;
  if (m_input) m_controls->Move(m_input, line);
}

ParamDateLine::ParamDateLine(ParamControls* controls, const XB_String& key, int id, bool timeForm)
    : ParamLine(controls, key, id), m_timeForm(timeForm) {}

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

XB_String ParamDateLine::FormatText(const ParamDateTime& when, bool timeForm) {
  if (timeForm) {
    return XB_String::Formatted("%02d:%02d:%02d", when.hour, when.minute, when.second);
  }
  return XB_String::Formatted("%04d-%02d-%02d", when.year, when.month, when.day);
}

void ParamDateLine::SetText(const XB_String& text) {
  m_loaded = true;
  if (m_input == 0) return;
  m_controls->SetDateTime(m_input, ParseText(text, m_timeForm));
  m_shown = m_controls->GetDateTime(m_input);
}

XB_Value ParamDateLine::GetValue() const {
  if (m_input == 0) return XB_Value();
  return XB_Value(FormatText(m_controls->GetDateTime(m_input), m_timeForm));
}

bool ParamDateLine::HasChanged() const {
  if (!m_loaded || m_input == 0) return !m_loaded;
  return !(m_controls->GetDateTime(m_input) == m_shown);
}
