/*
** The lines of a generated dialog.  Each line serves one parameter key and
** is made of a label and an input control (or only one of them); the kind
** of line follows the parameter's type: edit fields for numbers, texts,
** folders and passwords, a check box for booleans, a read-only text for
** key columns, a heading, and a date picker in date or time form.
**
** A line remembers what it showed when its value was loaded, so that
** saving can leave alone every value the user did not touch: a NULL
** column, a date that is not in the picker's form, or a key shown with
** padding all come back exactly as they were.
*/
#ifndef PARAMLINE_H
#define PARAMLINE_H

#include "paramcontrols.h"
#include "paramlinelayout.h"
#include "xb_string.h"
#include "xb_value.h"

class ParamLine {
 public:
  /*
  ** A line serving the parameter key, drawing its controls through
  ** controls, with the given control identifier (0xFFFF for lines
  ** without input).
  */
  ParamLine(ParamControls* controls, const XB_String& key, int id);
  virtual ~ParamLine();
  ParamLine(const ParamLine&) = delete;
  ParamLine& operator=(const ParamLine&) = delete;

  /* Chooses how the line divides its width (ParamLineLayout::Mode). */
  virtual void SetMode(int mode);
  /* Creates the line's controls; returns false when one could not be made. */
  virtual bool Create(unsigned style) = 0;
  /* Sets the label's text. */
  virtual void SetLabel(const XB_String& text);
  /* Shows a value's display text in the input control. */
  virtual void SetText(const XB_String& text);
  /* Returns the value the input control holds now. */
  virtual XB_Value GetValue() const;
  /* Reacts to a notification of one of the line's controls. */
  virtual void OnChange(ParamControls::Event event);
  /*
  ** True when the value differs from the one shown by the last SetText,
  ** or when no value was ever shown.  Read-only lines never change.
  */
  virtual bool HasChanged() const;
  /* Moves the line's controls into a line rectangle. */
  virtual void Move(const ParamRect& line, int labelWidth);

  /* The parameter key the line serves. */
  const XB_String& Key() const { return m_key; }
  /* The line's control identifier. */
  int Id() const { return m_id; }
  /* The layout mode. */
  int Mode() const { return m_mode; }
  /* Where the line put its controls at the last Move. */
  const ParamLinePlaces& Places() const { return m_places; }

 protected:
  /* Creates the label control; returns false on failure. */
  bool CreateLabel();

  ParamControls* m_controls;
  XB_String m_key;
  int m_id;
  int m_mode = ParamLineLayout::MODE_NARROW;
  int m_label = 0;
  int m_input = 0;
  bool m_loaded = false;
  ParamLinePlaces m_places;
};

/*
** Edit field with a label: numbers (right-aligned, mode 1), texts and
** passwords (centred, mode 2).
*/
class ParamEditLine : public ParamLine {
 public:
  using ParamLine::ParamLine;
  bool Create(unsigned style) override;
  void SetText(const XB_String& text) override;
  bool HasChanged() const override;

 protected:
  XB_String m_loadedText;
};

/*
** Edit field with a "..." button that opens the folder browser.
*/
class ParamFolderLine : public ParamEditLine {
 public:
  using ParamEditLine::ParamEditLine;
  ~ParamFolderLine() override;
  bool Create(unsigned style) override;
  void OnChange(ParamControls::Event event) override;
  void Move(const ParamRect& line, int labelWidth) override;

 private:
  int m_button = 0;
};

/*
** Read-only text for key columns: shows the value with a blank on each
** side and gives back the value without them.
*/
class ParamDisplayLine : public ParamLine {
 public:
  using ParamLine::ParamLine;
  bool Create(unsigned style) override;
  void SetText(const XB_String& text) override;
  XB_Value GetValue() const override;
  bool HasChanged() const override;
};

/*
** A label over the whole line; carries no value.
*/
class ParamHeadingLine : public ParamLine {
 public:
  using ParamLine::ParamLine;
  bool Create(unsigned style) override;
  void SetText(const XB_String& text) override;
  XB_Value GetValue() const override;
  bool HasChanged() const override;
  void Move(const ParamRect& line, int labelWidth) override;
};

/*
** A check box over the whole line, its caption left of the box.
*/
class ParamCheckLine : public ParamLine {
 public:
  using ParamLine::ParamLine;
  bool Create(unsigned style) override;
  void SetLabel(const XB_String& text) override;
  void SetText(const XB_String& text) override;
  XB_Value GetValue() const override;
  bool HasChanged() const override;
  void Move(const ParamRect& line, int labelWidth) override;

 private:
  bool m_loadedCheck = false;
};

/*
** A date picker in date form ("YYYY-MM-DD") or in time form ("HH:MM:SS").
*/
class ParamDateLine : public ParamLine {
 public:
  ParamDateLine(ParamControls* controls, const XB_String& key, int id, bool timeForm);
  bool Create(unsigned style) override;
  void SetText(const XB_String& text) override;
  XB_Value GetValue() const override;
  bool HasChanged() const override;

  /* True for the time form. */
  bool IsTimeForm() const { return m_timeForm; }
  /*
  ** Reads a date or time text by the positions of its fields in
  ** "YYYY-MM-DD" or "HH:MM:SS"; missing digits read as 0.
  */
  static ParamDateTime ParseText(const XB_String& text, bool timeForm);
  /* The text form of a picker value. */
  static XB_String FormatText(const ParamDateTime& when, bool timeForm);

 private:
  bool m_timeForm;
  ParamDateTime m_shown;
};

#endif
