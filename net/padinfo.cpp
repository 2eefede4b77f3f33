/*
** Reading a PAD file with Qt's stream reader, which copes with any
** declared encoding and never cuts an element's text into pieces.
*/
#include "padinfo.h"

#include <QUrl>
#include <QXmlStreamReader>

namespace {

/* True when TEXT is a whole http or https address of acceptable length. */
bool IsWholeAddress(const QString& text) {
  if (text.isEmpty() || text.size() > PadInfo::kMaxUrlLength) return false;
  for (QChar c : text) {
    if (c.unicode() <= 0x20 || c.unicode() == 0x7f || c.isSpace()) return false;
  }
  QUrl url(text, QUrl::StrictMode);
  QString scheme = url.scheme().toLower();
  return url.isValid() && (scheme == "http" || scheme == "https") && !url.host().isEmpty();
}

/* Reads a decimal size of at most the cap into SIZE; false for anything else. */
bool ParseSize(const QString& text, uint64_t& size) {
  if (text.isEmpty() || text.size() > 10) return false;
  uint64_t value = 0;
  for (QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    value = value * 10 + static_cast<uint64_t>(c.unicode() - '0');
  }
  if (value > PadInfo::kMaxSize) return false;
  size = value;
  return true;
}

bool IsSha256(const QString& text) {
  if (text.size() != 64) return false;
  for (QChar c : text) {
    if (!c.isDigit() && !(c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f'))) {
      return false;
    }
  }
  return true;
}

}  // namespace

void PadInfo::ReadFileInfo(QXmlStreamReader& xml) {
  while (xml.readNextStartElement()) {
    if (xml.name() == QLatin1String("File_Size_Bytes")) {
      m_sizeBad = !ParseSize(xml.readElementText().trimmed(), m_size);
      if (m_sizeBad) m_size = 0;
    } else if (xml.name() == QLatin1String("XB_File_SHA256")) {
      m_sha256 = xml.readElementText().trimmed();
      m_shaBad = !IsSha256(m_sha256);
    } else {
      xml.skipCurrentElement();
    }
  }
}

bool PadInfo::Read(const QByteArray& data) {
  *this = PadInfo();
  if (data.size() > kMaxInput) return false;
  QXmlStreamReader xml(data);
  bool found = false;
  while (!found && xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
    found = xml.isStartElement() && xml.name() == QLatin1String("Program_Info");
  }
  if (!found) return false;
  while (xml.readNextStartElement()) {
    if (xml.name() == QLatin1String("Program_Version")) {
      m_version = VersionNumber::Parse(xml.readElementText().trimmed().toStdString());
    } else if (xml.name() == QLatin1String("File_Info")) {
      ReadFileInfo(xml);
    } else {
      xml.skipCurrentElement();
    }
  }
  while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::Invalid) {
    if (xml.isStartElement() && xml.name() == QLatin1String("Primary_Download_URL")) {
      QString text = xml.readElementText().trimmed();
      if (xml.hasError()) break;
      m_hasUrl = true;
      m_urlBad = !IsWholeAddress(text);
      m_url = m_urlBad ? QString() : text;
      break;
    }
  }
  return true;
}

bool PadInfo::Usable(QString* why) const {
  auto refuse = [why](const char* text) {
    if (why) *why = QString::fromLatin1(text);
    return false;
  };
  if (!m_version.IsValid()) return refuse("no usable version");
  if (!m_hasUrl) return refuse("no download address");
  if (m_urlBad) return refuse("the download address is not a whole http or https address");
  if (m_sizeBad) return refuse("the file size is not a decimal number within the limit");
  if (m_shaBad) return refuse("the SHA-256 digest is not 64 hexadecimal digits");
  return true;
}
