/*
** PadInfo: what the update check reads from a PAD file (the published XML
** description of a software release): the version ("Program_Version"
** inside "Program_Info"), the size ("File_Size_Bytes" inside "File_Info"),
** an optional SHA-256 digest of our own ("XB_File_SHA256" inside
** "File_Info") and the download address (the first "Primary_Download_URL"
** after "Program_Info").
**
** The file comes from the network, so everything is checked: at most
** 1 MiB of input; the address must be whole (at most 2048 characters, no
** blanks or control characters, a valid http or https address); the size
** only decimal digits and at most 512 MiB; the digest 64 hexadecimal
** digits.  Read() gives false for input that is too large or has no
** "Program_Info"; a release that fails a check is read but not Usable().
*/
#ifndef PADINFO_H
#define PADINFO_H

#include "versionnumber.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class PadInfo {
 public:
  static constexpr qsizetype kMaxInput = 1024 * 1024;
  static constexpr qsizetype kMaxUrlLength = 2048;
  static constexpr uint64_t kMaxSize = 512ULL * 1024 * 1024;

  /* Reads the PAD text DATA; false when it is too large or has no
  ** "Program_Info". */
  bool Read(const QByteArray& data);

  /* True when the release can be offered: a usable version, a whole
  ** address, and a well-formed size and digest where given.  WHY gets the
  ** first problem. */
  bool Usable(QString* why = nullptr) const;

  const VersionNumber& Version() const { return m_version; }
  const QString& DownloadUrl() const { return m_url; }
  uint64_t SizeBytes() const { return m_size; }
  const QString& Sha256() const { return m_sha256; }

 private:
  void ReadFileInfo(class QXmlStreamReader& xml);

  VersionNumber m_version;
  QString m_url;
  uint64_t m_size = 0;
  QString m_sha256;
  bool m_hasUrl = false;
  bool m_urlBad = false;
  bool m_sizeBad = false;
  bool m_shaBad = false;
};

#endif /* PADINFO_H */
