/*
** The settings group and its settings-bound parameters.  A bound parameter
** keeps no value of its own while it has settings: every read goes to the
** settings key (which stores the default on first use) and every change
** made through SetValue is written back, so the dialog and the rest of the
** program always see the same value.
*/
#include "xb_parametergroup.h"

#include "xb_parameterplain.h"
#include "xb_parameterxml.h"

namespace {

/* A PT_BOOL or PT_INT parameter whose value lives at a settings key path;
** it owns its descriptor. */
class XB_SettingsParameter : public XB_ParameterPlain {
 public:
  XB_SettingsParameter(const XB_String& key, const char* label, uint32_t type,
                       XB_SettingsAccess* settings, const char* path, int32_t defaultValue)
      : XB_ParameterPlain(key.View()),
        m_ownInfo(key.View(), label, nullptr, type),
        m_settings(settings),
        m_path(path),
        m_default(defaultValue) {
    m_info = &m_ownInfo;
    m_value = IsBool() ? XB_Value(defaultValue != 0) : XB_Value(defaultValue);
    m_value = Current();
  }

  XB_SettingsParameter(const XB_SettingsParameter& other)
      : XB_ParameterPlain(other),
        m_ownInfo(other.m_ownInfo),
        m_settings(other.m_settings),
        m_path(other.m_path),
        m_default(other.m_default) {
    m_info = &m_ownInfo;
  }

  XB_SettingsParameter& operator=(const XB_SettingsParameter&) = delete;

  /* Returns a copy bound to the same key, with a descriptor of its own. */
  XB_Parameter* Clone() const override { return new XB_SettingsParameter(*this); }

  /* Returns the value, freshly read from the settings. */
  XB_Value& ValueRef() override {
    m_value = Current();
    return m_value;
  }

  void GetValue(XB_Value& out) const override { out = Current(); }

  /* Writes the value just assigned back to the settings key. */
  void OnChanged() override {
    if (!m_settings) return;
    XB_Value value = m_value;
    int32_t number = value.AsInt();
    if (IsBool())
      m_settings->WriteBool(m_path.c_str(), number > 0);
    else
      m_settings->WriteInt(m_path.c_str(), number);
  }

 private:
  bool IsBool() const { return m_ownInfo.GetType() == PT_BOOL; }

  /* Returns the value at the settings key (storing the default there when
  ** it is missing), or the parameter's own value without settings. */
  XB_Value Current() const {
    if (!m_settings) return m_value;
    if (IsBool()) return XB_Value(m_settings->ReadBool(m_path.c_str(), m_default != 0));
    return XB_Value(m_settings->ReadInt(m_path.c_str(), m_default));
  }

  XB_ParameterInfo m_ownInfo;
  XB_SettingsAccess* m_settings;
  XB_String m_path;
  int32_t m_default;
};

}  // namespace

XB_ParameterGroup::XB_ParameterGroup(std::string_view name, XB_SettingsAccess* settings)
    : XB_ParameterSetAuto(name), m_settings(settings) {}

XB_Parameter* XB_ParameterGroup::Clone() const {
  return new XB_ParameterGroup(*this);
}

XB_Parameter* XB_ParameterGroup::AddBound(const char* path, const char* label, uint32_t type,
                                          int32_t defaultValue) {
  XB_String key(path);
  key.ReplaceAll("/", "-");
  return Add(
      new XB_SettingsParameter(key, label, type, m_settings, path ? path : "", defaultValue));
}

XB_Parameter* XB_ParameterGroup::AddBool(const char* path, const char* label, bool defaultValue) {
  return AddBound(path, label, PT_BOOL, defaultValue ? 1 : 0);
}

XB_Parameter* XB_ParameterGroup::AddInt(const char* path, const char* label, int32_t defaultValue) {
  return AddBound(path, label, PT_INT, defaultValue);
}

XB_Parameter* XB_ParameterGroup::AddGroup(const XB_ParameterGroup& group) {
  return Add(new XB_ParameterGroup(group));
}

bool XB_ParameterGroup::Write(XB_XmlTarget& target) const {
  const XB_String& key = Name();
  if (!target.BeginElement(key.c_str(), true)) return false;
  bool ok = true;
  for (int i = 0; i < Count() && ok; i++) ok = Item(i)->Write(target);
  target.EndElement(key.c_str());
  return ok;
}

bool XB_ParameterGroup::Read(XB_XmlSource& source) {
  if (!source.HasContent()) return false;
  XB_String parent = source.TagName();
  while (source.NextChildElement(parent.c_str())) {
    XB_String child = source.TagName();
    XB_Parameter* member = Find(child.View());
    if (member) {
      member->Read(source);
    } else if (source.HasContent()) {
      source.SkipElement(child.c_str());
    }
  }
  return true;
}
