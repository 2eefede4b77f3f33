/*
** ParamLines, the body of a generated dialog; see paramlines.h.
*/
#include "paramlines.h"

#include "xb_parameterinfo.h"
#include "xb_parametersetauto.h"

/*
** Type codes of the line kinds that no parser produces; other users of
** the dialogs pass them in their own descriptors.
*/
enum {
  LINE_TYPE_FOLDER = 6,
  LINE_TYPE_PASSWORD = 7,
  LINE_TYPE_DISPLAY = 9,
  LINE_TYPE_TEXT = 10,
  LINE_TYPE_HEADING = 11
};

ParamLines::ParamLines(ParamControls* controls) : m_controls(controls) {}

ParamLines::~ParamLines() {
  Clear();
}

void ParamLines::Clear() {
  m_lines.clear();
}

bool ParamLines::Begin(const ParamRect& rect) {
  m_nextId = kFirstId;
  return m_layout.Begin(rect);
}

bool ParamLines::Create(const ParamRect& rect, XB_ParameterSetAuto& set) {
  bool started = Begin(rect);
  for (int i = 0; i < set.Count(); i++) {
    XB_Parameter* member = set.Item(i);
    if (member && member->GetInfo()) AddLine(member->GetInfo());
  }
  return started;
}

std::unique_ptr<ParamLine> ParamLines::MakeRowLine(unsigned type, const XB_String& key,
                                                   unsigned& style) {
  using C = ParamControls;
  bool emptyIsNull = true;
  int mode = ParamLineLayout::MODE_NARROW;
  switch (type) {
    case PT_INT:
      style = C::EDIT_NUMBER | C::EDIT_RIGHT;
      break;
    case PT_REAL:
    case PT_DATE:
    case PT_TIME:
    case PT_DATETIME:
      style = C::EDIT_RIGHT;
      break;
    case PT_TEXT:
      style = C::EDIT_CENTER | C::EDIT_SET_NULL;
      mode = ParamLineLayout::MODE_WIDE;
      emptyIsNull = false;
      break;
    default:
      return nullptr;
  }
  auto line = std::make_unique<ParamEditLine>(m_controls, key, m_nextId++);
  line->SetMode(mode);
  line->SetNullAware(true);
  line->SetEmptyIsNull(emptyIsNull);
  return line;
}

std::unique_ptr<ParamLine> ParamLines::MakeLine(unsigned type, const XB_String& key,
                                                unsigned& style) {
  using C = ParamControls;
  if (m_nullAware) {
    if (auto rowLine = MakeRowLine(type, key, style)) return rowLine;
  }
  std::unique_ptr<ParamLine> line;
  int mode = ParamLineLayout::MODE_NARROW;
  style = 0;
  switch (type) {
    case PT_INT:
      line = std::make_unique<ParamEditLine>(m_controls, key, m_nextId);
      style = C::EDIT_NUMBER | C::EDIT_RIGHT;
      break;
    case PT_REAL:
      line = std::make_unique<ParamEditLine>(m_controls, key, m_nextId);
      style = C::EDIT_RIGHT;
      break;
    case PT_BOOL:
      line = std::make_unique<ParamCheckLine>(m_controls, key, m_nextId);
      break;
    case PT_TEXT:
    case LINE_TYPE_TEXT:
      line = std::make_unique<ParamEditLine>(m_controls, key, m_nextId);
      style = C::EDIT_CENTER;
      mode = ParamLineLayout::MODE_WIDE;
      break;
    case LINE_TYPE_FOLDER:
      line = std::make_unique<ParamFolderLine>(m_controls, key, m_nextId);
      mode = ParamLineLayout::MODE_WIDE;
      break;
    case LINE_TYPE_PASSWORD:
      line = std::make_unique<ParamEditLine>(m_controls, key, m_nextId);
      style = C::EDIT_CENTER | C::EDIT_PASSWORD;
      mode = ParamLineLayout::MODE_WIDE;
      break;
    case LINE_TYPE_DISPLAY:
    case PT_KEY:
      line = std::make_unique<ParamDisplayLine>(m_controls, key, kNoId);
      break;
    case LINE_TYPE_HEADING:
      line = std::make_unique<ParamHeadingLine>(m_controls, key, kNoId);
      break;
    case PT_DATE:
    case PT_TIME:
      line = std::make_unique<ParamDateLine>(m_controls, key, m_nextId, type == PT_TIME);
      break;
    default:
      return nullptr;
  }
  line->SetMode(mode);
  line->SetNullAware(m_nullAware);
  if (line->Id() != kNoId) m_nextId++;
  return line;
}

bool ParamLines::AddLine(const XB_ParameterInfo* info) {
  if (info == nullptr) return false;
  unsigned style = 0;
  std::unique_ptr<ParamLine> line = MakeLine(info->GetType(), info->Key(), style);
  if (!line) return true;
  if (!line->Create(style)) return false;
  Place(line.release(), info->Label());
  return true;
}

bool ParamLines::AddEditLine(const XB_String& key, const XB_String& label, const XB_String& text,
                             unsigned style) {
  auto line = std::make_unique<ParamEditLine>(m_controls, key, m_nextId++);
  line->SetMode(ParamLineLayout::MODE_WIDE);
  if (!line->Create(style)) return false;
  line->SetText(text);
  Place(line.release(), label);
  return true;
}

void ParamLines::Place(ParamLine* line, const XB_String& label) {
  XB_String padded(" ");
  padded += label;
  padded += " ";
  line->SetLabel(padded);
  line->Move(m_layout.CurrentLine(), m_layout.LabelWidth());
  m_lines.emplace_back(line);
  m_layout.Advance();
}

void ParamLines::Relayout(const ParamRect& rect) {
  m_layout.Begin(rect);
  for (auto& line : m_lines) {
    line->Move(m_layout.CurrentLine(), m_layout.LabelWidth());
    m_layout.Advance();
  }
}

bool ParamLines::Exchange(bool save, XB_ParameterSetAuto& set) {
  for (auto& line : m_lines) {
    if (save) {
      if (line->HasChanged()) set.SetValueByKey(line->Key(), line->GetValue());
      continue;
    }
    XB_Value value;
    set.GetValueByKey(value, line->Key());
    if (value.IsNone()) {
      line->SetNull();
    } else {
      line->SetText(value.AsText());
    }
  }
  return true;
}

void ParamLines::Notify(int id, ParamControls::Event event) {
  if (id == kNoId) return;
  for (auto& line : m_lines) {
    if (line->Id() == id) {
      line->OnChange(event);
      return;
    }
  }
}

ParamLine* ParamLines::Line(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return m_lines[static_cast<size_t>(index)].get();
}

ParamLine* ParamLines::FindLine(const XB_String& key) const {
  for (auto& line : m_lines) {
    if (line->Key() == key) return line.get();
  }
  return nullptr;
}

bool ParamLines::ValuesFit(XB_String* key, XB_String* error) const {
  for (auto& line : m_lines) {
    if (line->ValueFits(error)) continue;
    if (key) *key = line->Key();
    return false;
  }
  return true;
}

ParamLine* ParamLines::FirstInput() const {
  for (auto& line : m_lines) {
    if (line->TakesInput()) return line.get();
  }
  return nullptr;
}
