/*
** XB_ParameterSetAuto: a named, ordered set of parameters, itself a
** parameter so that sets nest.
**
** Members are held through reference-counted handles (XB_ParamHandle):
** copying a set shares its members with the copy instead of cloning them,
** and a member is deleted when the last set holding it lets go.  Besides the
** ordered list the set keeps a map from member key to member, sorted and
** compared ignoring ASCII letter case.  A set's own value is always empty.
** Derived sets (XB_ParameterGroup, SQLiteParameters) use the protected
** storage directly.
*/
#ifndef XB_PARAMETERSETAUTO_H
#define XB_PARAMETERSETAUTO_H

#include <string_view>
#include <vector>

#include "xb_parameter.h"
#include "xb_paramhandle.h"

class XB_ParameterSetAuto : public XB_Parameter {
 public:
  /* Makes an empty set named NAME (normalized as a key). */
  explicit XB_ParameterSetAuto(std::string_view name = {});
  /* Copies name and descriptor and shares every member with OTHER. */
  XB_ParameterSetAuto(const XB_ParameterSetAuto& other);
  XB_ParameterSetAuto& operator=(const XB_ParameterSetAuto& other);
  ~XB_ParameterSetAuto() override;

  /* Returns a new set sharing this set's members; owned by the caller. */
  XB_Parameter* Clone() const override;
  /* Returns the set's value, which is always empty. */
  XB_Value& ValueRef() override;
  void GetValue(XB_Value& out) const override { out = XB_Value(); }
  /* A set has no value of its own: assigning one changes nothing. */
  void SetValue(const XB_Value& value) override;
  const XB_String& Name() const override { return m_name; }
  void SetName(std::string_view text) override;
  XB_ParameterInfo* GetInfo() const override { return m_info; }
  void SetInfo(XB_ParameterInfo* info) override { m_info = info; }

  /* Returns the number of members. */
  int Count() const { return static_cast<int>(m_members.size()); }
  /* Returns true when a member has KEY (normalized, ASCII case ignored). */
  bool Has(std::string_view key) const { return Find(key) != nullptr; }
  /* Returns the key of member INDEX, or the empty string outside the list. */
  const XB_String& KeyAt(int index) const;
  /* Returns member INDEX, or null outside the list. */
  XB_Parameter* Item(int index) const;
  /* Returns the member with KEY, or null. */
  XB_Parameter* Find(std::string_view key) const;
  /* Returns the position of the member with KEY in the list, or -1. */
  int IndexOf(std::string_view key) const;
  /* Returns the member with KEY, creating an empty XB_ParameterPlain for it
  ** (appended and entered in the map) when there is none. */
  virtual XB_Parameter* FindOrCreate(std::string_view key);
  /* GetValue / SetValue on FindOrCreate(KEY): a missing member is created. */
  void GetValueByKey(XB_Value& out, std::string_view key);
  void SetValueByKey(std::string_view key, const XB_Value& value);
  /* Appends PARAM, taking ownership; a member with the same key is removed
  ** first, and a PARAM that is already a member stays as it is.  Returns
  ** PARAM (null when PARAM is null). */
  virtual XB_Parameter* Add(XB_Parameter* param);
  /* Removes the member with KEY; returns false when there is none. */
  bool Remove(std::string_view key);
  /* Releases every member, empties list and map and clears the name. */
  virtual void Clear();
  /* Copies member INDEX's value into OUT; an empty value outside the list. */
  void GetValueOf(XB_Value& out, int index) const;

 protected:
  /* Appends HANDLE (shared with its other holders), removing an existing
  ** member with the same key first. */
  void AddHandle(XB_ParamHandle handle);
  /* Returns the map position where KEY is or would be. */
  size_t MapPosition(std::string_view key) const;
  /* Returns the map position of KEY, or -1. */
  ptrdiff_t MapFind(std::string_view key) const;

  XB_String m_name;
  XB_ParameterInfo* m_info = nullptr;
  std::vector<XB_ParamHandle> m_members;
  std::vector<XB_ParamHandle> m_map; /* sorted by key, ASCII case ignored */
  XB_Value m_noValue;
};

#endif /* XB_PARAMETERSETAUTO_H */
