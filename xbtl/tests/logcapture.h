/*
** Test helper: collects every log text while it is alive.
*/
#ifndef XBTL_TESTS_LOGCAPTURE_H
#define XBTL_TESTS_LOGCAPTURE_H

#include <string>
#include <vector>

#include "xb_log.h"

class LogCapture {
 public:
  LogCapture() { XB_SetLogSink(&LogCapture::Collect, this); }
  ~LogCapture() { XB_SetLogSink(nullptr); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  std::vector<std::string> texts;

 private:
  static void Collect(const char* text, void* context) {
    static_cast<LogCapture*>(context)->texts.emplace_back(text);
  }
};

#endif
