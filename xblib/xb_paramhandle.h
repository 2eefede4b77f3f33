/*
** XB_ParamHandle: a reference-counted handle to a parameter held by one or
** more parameter sets.  The handle carries the parameter's address and a
** pointer to a separately allocated use count that starts at 1; copying a
** handle adds a use, releasing one removes it, and the last release deletes
** the parameter and the count.
*/
#ifndef XB_PARAMHANDLE_H
#define XB_PARAMHANDLE_H

#include <cstdint>

class XB_Parameter;

class XB_ParamHandle {
 public:
  /* An empty handle. */
  XB_ParamHandle() = default;
  /* Takes ownership of PARAM (which may be null) with a use count of 1. */
  explicit XB_ParamHandle(XB_Parameter* param);
  XB_ParamHandle(const XB_ParamHandle& other);
  XB_ParamHandle(XB_ParamHandle&& other) noexcept;
  XB_ParamHandle& operator=(const XB_ParamHandle& other);
  XB_ParamHandle& operator=(XB_ParamHandle&& other) noexcept;
  ~XB_ParamHandle() { Release(); }

  /* Gives up this handle's use; the parameter goes with the last one. */
  void Release();

  XB_Parameter* Get() const { return m_param; }
  XB_Parameter* operator->() const { return m_param; }
  explicit operator bool() const { return m_param != nullptr; }
  /* Returns the number of handles sharing the parameter (0 when empty). */
  uint32_t UseCount() const { return m_count ? *m_count : 0; }

 private:
  XB_Parameter* m_param = nullptr;
  uint32_t* m_count = nullptr;
};

#endif /* XB_PARAMHANDLE_H */
