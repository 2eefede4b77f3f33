/*
** XB_ParamHandle (see xb_paramhandle.h).
*/
#include "xb_paramhandle.h"

#include <utility>

#include "xb_parameter.h"

XB_ParamHandle::XB_ParamHandle(XB_Parameter* param) : m_param(param) {
  if (m_param) m_count = new uint32_t(1);
}

XB_ParamHandle::XB_ParamHandle(const XB_ParamHandle& other)
    : m_param(other.m_param), m_count(other.m_count) {
  if (m_count) ++*m_count;
}

XB_ParamHandle::XB_ParamHandle(XB_ParamHandle&& other) noexcept
    : m_param(std::exchange(other.m_param, nullptr)),
      m_count(std::exchange(other.m_count, nullptr)) {}

XB_ParamHandle& XB_ParamHandle::operator=(const XB_ParamHandle& other) {
  if (this == &other || m_count == other.m_count) return *this;
  Release();
  m_param = other.m_param;
  m_count = other.m_count;
  if (m_count) ++*m_count;
  return *this;
}

XB_ParamHandle& XB_ParamHandle::operator=(XB_ParamHandle&& other) noexcept {
  if (this == &other) return *this;
  Release();
  m_param = std::exchange(other.m_param, nullptr);
  m_count = std::exchange(other.m_count, nullptr);
  return *this;
}

void XB_ParamHandle::Release() {
  if (m_count && --*m_count == 0) {
    delete m_param;
    delete m_count;
  }
  m_param = nullptr;
  m_count = nullptr;
}
