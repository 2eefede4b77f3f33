/*
** XB_SettingsAccess: the view of a settings tree that settings-bound
** parameters (XB_ParameterGroup::AddBool / AddInt) read and write through.
**
** The parameter library does not know how settings are stored; the settings
** tree of the viewer implements this interface.  Settings are addressed by
** "/"-separated key paths such as "update/dayscheck".  A getter stores its
** default when the key has no value yet, so the next save writes it.
*/
#ifndef XB_SETTINGSACCESS_H
#define XB_SETTINGSACCESS_H

#include <cstdint>

class XB_SettingsAccess {
 public:
  virtual ~XB_SettingsAccess() = default;

  /* Returns the boolean at PATH, storing DEFAULTVALUE there first when the
  ** key has no value. */
  virtual bool ReadBool(const char* path, bool defaultValue) = 0;
  /* Returns the integer at PATH, storing DEFAULTVALUE there first when the
  ** key has no value. */
  virtual int32_t ReadInt(const char* path, int32_t defaultValue) = 0;
  /* Stores VALUE at PATH. */
  virtual void WriteBool(const char* path, bool value) = 0;
  virtual void WriteInt(const char* path, int32_t value) = 0;
};

#endif /* XB_SETTINGSACCESS_H */
