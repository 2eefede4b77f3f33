/*
** A ParamControls that keeps every control as a plain record, so that the
** dialog lines can be driven and inspected without a window system: tests
** "type" by changing a record and read what the lines showed.
*/
#ifndef RECORDINGCONTROLS_H
#define RECORDINGCONTROLS_H

#include "paramcontrols.h"

#include <QDate>
#include <QTime>

#include <vector>

class RecordingControls : public ParamControls {
 public:
  struct Control {
    Kind kind;
    unsigned style;
    int id;
    XB_String name;
    XB_String text;
    bool checked = false;
    ParamDateTime when;
    ParamRect rect{0, 0, 100, 20};
    bool alive = true;
    bool readOnly = false;
    bool nullLook = false;
  };

  std::vector<Control> controls;
  int failAfter = -1;     /* refuse creation once this many exist */
  XB_String browseAnswer; /* folder the browser "chooses"; empty: cancel */
  XB_String browseStart;  /* where the browser was asked to start */

  int Create(Kind kind, unsigned style, int id, const XB_String& name) override {
    if (failAfter >= 0 && static_cast<int>(controls.size()) >= failAfter) return 0;
    controls.push_back(Control{kind, style, id, name, XB_String(), false, ParamDateTime{},
                               ParamRect{0, 0, 100, 20}, true});
    return static_cast<int>(controls.size());
  }
  void Destroy(int c) override { At(c).alive = false; }
  void Move(int c, const ParamRect& r) override { At(c).rect = r; }
  void SetText(int c, const XB_String& t) override { At(c).text = t; }
  XB_String GetText(int c) const override { return controls[c - 1].text; }
  /* A text holding the byte 0x7F stands for one the encoding cannot hold. */
  bool TextFits(int c, XB_String* error) const override {
    if (controls[c - 1].text.Find('\x7F') < 0) return true;
    if (error) *error = "cannot be held";
    return false;
  }
  void SetReadOnly(int c, bool on) override { At(c).readOnly = on; }
  void SetNullLook(int c, bool on) override { At(c).nullLook = on; }
  void SetCheck(int c, bool on) override { At(c).checked = on; }
  bool GetCheck(int c) const override { return controls[c - 1].checked; }
  /* Accepts what a real picker accepts: a valid date or time of day. */
  bool SetDateTime(int c, const ParamDateTime& w) override {
    Control& control = At(c);
    if (control.kind == CONTROL_TIME) {
      if (!QTime(w.hour, w.minute, w.second).isValid()) return false;
      control.when.hour = w.hour;
      control.when.minute = w.minute;
      control.when.second = w.second;
      return true;
    }
    if (!QDate(w.year, w.month, w.day).isValid()) return false;
    control.when.year = w.year;
    control.when.month = w.month;
    control.when.day = w.day;
    return true;
  }
  ParamDateTime GetDateTime(int c) const override { return controls[c - 1].when; }
  bool BrowseFolder(const XB_String&, XB_String& path) override {
    browseStart = path;
    if (browseAnswer.IsEmpty()) return false;
    path = browseAnswer;
    return true;
  }

  Control& At(int c) { return controls[static_cast<size_t>(c) - 1]; }
  /* The live control of a kind serving name, or null. */
  Control* Find(const char* name, Kind kind) {
    for (auto& c : controls) {
      if (c.alive && c.kind == kind && c.name == name) return &c;
    }
    return nullptr;
  }
  /* Number of controls still alive. */
  int Alive() const {
    int n = 0;
    for (auto& c : controls) n += c.alive ? 1 : 0;
    return n;
  }
};

#endif
