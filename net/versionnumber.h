/*
** VersionNumber: a release version (major, minor, third part, build) as
** read from a PAD file or given by the program itself.
**
** Text forms read: "0.16 (b60)", "0.16 b60", "0.16b60", "0.16 (build 60)",
** "1.2.3 (Build 4)", "1.10"; "b" and "build" in any letter case.  A version
** with a negative part, a part of more than 9 digits or no leading number
** is unusable: it is never newer than anything.
*/
#ifndef VERSIONNUMBER_H
#define VERSIONNUMBER_H

#include <cstdint>
#include <string>
#include <string_view>

class VersionNumber {
 public:
  VersionNumber() = default;
  VersionNumber(int32_t major, int32_t minor, int32_t third, int32_t build)
      : m_major(major), m_minor(minor), m_third(third), m_build(build), m_valid(true) {}

  /* Reads TEXT; the result is unusable when TEXT is not a version. */
  static VersionNumber Parse(std::string_view text);

  bool IsValid() const { return m_valid; }

  /* True when both are usable and this one is higher, comparing major,
  ** minor, third part and build in that order. */
  bool IsNewerThan(const VersionNumber& other) const;

  /* "0.15 (build 59)"; with a third part "1.2.3 (build 4)". */
  std::string Text() const;

  int32_t Major() const { return m_major; }
  int32_t Minor() const { return m_minor; }
  int32_t Third() const { return m_third; }
  int32_t Build() const { return m_build; }

 private:
  int32_t m_major = 0;
  int32_t m_minor = 0;
  int32_t m_third = 0;
  int32_t m_build = 0;
  bool m_valid = false;
};

#endif /* VERSIONNUMBER_H */
