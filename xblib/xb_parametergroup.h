/*
** XB_ParameterGroup: the settings group behind the viewer's preferences.
**
** A group is a parameter set whose members are bound to settings: AddBool
** and AddInt create parameters that read their value from a key path of the
** settings tree (storing the default there when the key is missing) and
** write every change back to it.  Groups nest with AddGroup, which shares
** the subgroup's members.  The settings tree is reached through the
** XB_SettingsAccess interface, so this library does not depend on the store.
*/
#ifndef XB_PARAMETERGROUP_H
#define XB_PARAMETERGROUP_H

#include <cstdint>
#include <string_view>

#include "xb_parametersetauto.h"
#include "xb_settingsaccess.h"

class XB_ParameterGroup : public XB_ParameterSetAuto {
 public:
  /* Makes an empty group named NAME whose members bind to SETTINGS (which
  ** must outlive them; null keeps the values in the parameters only). */
  explicit XB_ParameterGroup(std::string_view name = {}, XB_SettingsAccess* settings = nullptr);
  /* Copies name, descriptor and settings, sharing every member. */
  XB_ParameterGroup(const XB_ParameterGroup& other) = default;
  XB_ParameterGroup& operator=(const XB_ParameterGroup& other) = default;
  ~XB_ParameterGroup() override = default;

  /* Returns a new group sharing this group's members; owned by the caller. */
  XB_Parameter* Clone() const override;

  /* Sets the settings that later AddBool / AddInt calls bind to. */
  void SetSettings(XB_SettingsAccess* settings) { m_settings = settings; }
  XB_SettingsAccess* Settings() const { return m_settings; }

  /* Adds a PT_BOOL / PT_INT parameter bound to the settings key PATH, with
  ** the key PATH with "/" made "-" (normalized), its own descriptor with
  ** LABEL, and DEFAULTVALUE stored at PATH when nothing is there.  A member
  ** with the same key is replaced.  Returns the new member. */
  XB_Parameter* AddBool(const char* path, const char* label, bool defaultValue);
  /* Adds a PT_INT parameter bound to PATH; returns it. */
  XB_Parameter* AddInt(const char* path, const char* label, int32_t defaultValue);
  /* Appends a copy of GROUP that shares its members; returns the copy. */
  XB_Parameter* AddGroup(const XB_ParameterGroup& group);

  /* Writes an element named by the group's key with one element per member.
  ** Returns false when the target has failed. */
  bool Write(XB_XmlTarget& target) const override;
  /* Reads every child element of the element just reached into the member
  ** with that key; children without a member are skipped.  Returns false for
  ** an element without content. */
  bool Read(XB_XmlSource& source) override;

 private:
  /* Creates a bound parameter of TYPE for PATH and adds it, replacing a
  ** member with the same key.  Returns the new member. */
  XB_Parameter* AddBound(const char* path, const char* label, uint32_t type, int32_t defaultValue);

  XB_SettingsAccess* m_settings = nullptr;
};

#endif /* XB_PARAMETERGROUP_H */
