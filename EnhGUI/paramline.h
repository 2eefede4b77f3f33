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
  /* Destroys the line's controls. */
  virtual ~ParamLine();
  ParamLine(const ParamLine&) = delete;
  ParamLine& operator=(const ParamLine&) = delete;

  /* Chooses how the line divides its width (ParamLineLayout::Mode). */
  virtual void SetMode(int mode);
  /* Creates the line's controls; returns false when one could not be made. */
  virtual bool Create(unsigned style) = 0;
  /* Sets the label's text. */
  virtual void SetLabel(const XB_String& text);
  /* Shows text in the input control and marks the line as loaded. */
  virtual void SetText(const XB_String& text);
  /*
  ** Returns the input control's text as a text value; the empty value when
  ** the line has no input control.
  */
  virtual XB_Value GetValue() const;
  /* Reacts to a notification of one of the line's controls. */
  virtual void OnChange(ParamControls::Event event);
  /*
  ** True when the value differs from the one shown by the last SetText,
  ** or when no value was ever shown.  Read-only lines never change.
  */
  virtual bool HasChanged() const;
  /* Splits the line rectangle by the mode and moves label and input there. */
  virtual void Move(const ParamRect& line, int labelWidth);
  /*
  ** Shows SQL NULL: lines that know NULL (edit lines of a row) show an
  ** empty greyed field and give the empty value back until the user enters
  ** something; other lines show the empty text.
  */
  virtual void SetNull();
  /* Lets the user only read the line's value; such a line never changes. */
  virtual void SetReadOnly(bool readOnly);
  /* True when the user can type or click into the line. */
  virtual bool TakesInput() const;
  /*
  ** True when the value the user gave can be held as GetValue returns it;
  ** otherwise false with the reason in error.
  */
  virtual bool ValueFits(XB_String* error) const;

  /* Makes the line tell SQL NULL apart from the empty text (row dialogs). */
  void SetNullAware(bool aware) { m_nullAware = aware; }
  /* The handle of the input control, 0 when there is none. */
  int InputControl() const { return m_input; }

  /* The parameter key the line serves. */
  const XB_String& Key() const { return m_key; }
  /* The line's control identifier. */
  int Id() const { return m_id; }
  /* The layout mode. */
  int Mode() const { return m_mode; }
  /* Where the line put its controls at the last Move. */
  const ParamLinePlaces& Places() const { return m_places; }

 protected:
  /*
  ** Makes the label: a static text that reads two blanks until it is set.
  ** Returns false when the control could not be made.
  */
  bool CreateLabel();

  ParamControls* m_controls;
  XB_String m_key;
  int m_id;
  int m_mode = ParamLineLayout::MODE_NARROW;
  int m_label = 0;
  int m_input = 0;
  bool m_loaded = false;
  bool m_readOnly = false;
  bool m_nullAware = false;
  ParamLinePlaces m_places;
};

/*
** Edit field with a label: numbers (right-aligned, mode 1), texts and
** passwords (centred, mode 2).
*/
class ParamEditLine : public ParamLine {
 public:
  using ParamLine::ParamLine;
  /*
  ** Makes label and edit field with the given edit style.  Returns false
  ** when a control could not be made.
  */
  bool Create(unsigned style) override;
  /* Shows text and remembers what the field then shows, for change
  ** detection. */
  void SetText(const XB_String& text) override;
  /*
  ** The edit's text; when the line knows NULL, the empty value while it
  ** shows NULL, and also for an empty field whose empty text means NULL
  ** (numbers, dates and times).
  */
  XB_Value GetValue() const override;
  /* True when the field no longer holds what it showed after loading, or
  ** was set to NULL or out of NULL since. */
  bool HasChanged() const override;
  /* Typing ends the NULL state; "Set to NULL" starts it. */
  void OnChange(ParamControls::Event event) override;
  void SetNull() override;
  void SetReadOnly(bool readOnly) override;
  bool ValueFits(XB_String* error) const override;

  /* Makes an empty field stand for NULL (numbers, dates and times). */
  void SetEmptyIsNull(bool emptyIsNull) { m_emptyIsNull = emptyIsNull; }

 protected:
  /* True when the field stands for NULL now. */
  bool ShowsNull() const;
  /* Greys the field while it stands for NULL. */
  void UpdateNullLook();

  XB_String m_loadedText;
  bool m_null = false;
  bool m_loadedNull = false;
  bool m_emptyIsNull = false;
};

/*
** Edit field with a "..." button that opens the folder browser.
*/
class ParamFolderLine : public ParamEditLine {
 public:
  using ParamEditLine::ParamEditLine;
  /* Destroys the "..." button; the base destroys label and edit. */
  ~ParamFolderLine() override;
  /*
  ** Makes label, edit field and the "..." button.  The button shares the
  ** line's identifier so that its press reaches this line.
  */
  bool Create(unsigned style) override;
  /*
  ** On a press of "..." shows the folder browser; a chosen folder replaces
  ** the edit text.
  */
  void OnChange(ParamControls::Event event) override;
  /*
  ** Lays the line out like a wide edit line, then shortens the edit by the
  ** button width and puts the button from 2 pixels right of the edit to the
  ** line's right edge.
  */
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
  /* A display line is read only. */
  bool TakesInput() const override { return false; }
  /* Makes the label and the read-only value text. */
  bool Create(unsigned style) override;
  /* Shows text with one blank on each side. */
  void SetText(const XB_String& text) override;
  /*
  ** Returns the shown text without the blank put on each side by SetText,
  ** so that a key value comes back exactly as it was loaded.
  */
  XB_Value GetValue() const override;
  /* A read-only line changes only when it was never loaded. */
  bool HasChanged() const override;
};

/*
** A label over the whole line; carries no value.
*/
class ParamHeadingLine : public ParamLine {
 public:
  using ParamLine::ParamLine;
  /* A heading takes no input. */
  bool TakesInput() const override { return false; }
  /* Makes the label; a heading has no input. */
  bool Create(unsigned style) override;
  /* A heading shows no value. */
  void SetText(const XB_String& text) override;
  /* A heading carries the empty value. */
  XB_Value GetValue() const override;
  /*
  ** A heading never hands a value back, so saving leaves its parameter as
  ** it was.
  */
  bool HasChanged() const override;
  /* Gives the label the whole line. */
  void Move(const ParamRect& line, int labelWidth) override;
};

/*
** A check box over the whole line, its caption left of the box.
*/
class ParamCheckLine : public ParamLine {
 public:
  using ParamLine::ParamLine;
  /* Makes the check box; the line has no separate label. */
  bool Create(unsigned style) override;
  /*
  ** The label of a check line is the box's own caption, without the blank
  ** that lines put on each side of their labels.
  */
  void SetLabel(const XB_String& text) override;
  /*
  ** Ticks the box when the text reads as a non-zero integer ("true", "1"),
  ** clears it otherwise, and remembers the state for change detection.
  */
  void SetText(const XB_String& text) override;
  /* Returns the box's state as a boolean value. */
  XB_Value GetValue() const override;
  /* True when the box's state differs from the loaded one. */
  bool HasChanged() const override;
  /* Puts the check box over the whole line. */
  void Move(const ParamRect& line, int labelWidth) override;

 private:
  bool m_loadedCheck = false;
};

/*
** A date picker in date form ("YYYY-MM-DD") or in time form ("HH:MM:SS").
*/
class ParamDateLine : public ParamLine {
 public:
  /* A date line in date form, or in time form when timeForm is set. */
  ParamDateLine(ParamControls* controls, const XB_String& key, int id, bool timeForm);
  /* Makes the label and the picker in the line's form. */
  bool Create(unsigned style) override;
  /*
  ** Sets the picker from text and remembers what the picker then shows, so
  ** that a value the picker cannot show (an empty or NULL column, a text of
  ** another shape) is not replaced unless the user picks a new one.
  */
  void SetText(const XB_String& text) override;
  /* Returns the picker's value in the line's text form. */
  XB_Value GetValue() const override;
  /* True when the picker no longer shows what it showed after loading. */
  bool HasChanged() const override;

  /* True for the time form. */
  bool IsTimeForm() const { return m_timeForm; }
  /*
  ** Reads a date or time text by the positions of its fields in
  ** "YYYY-MM-DD" or "HH:MM:SS"; missing digits read as 0.
  */
  static ParamDateTime ParseText(const XB_String& text, bool timeForm);
  /* Formats a picker value as "YYYY-MM-DD" or "HH:MM:SS". */
  static XB_String FormatText(const ParamDateTime& when, bool timeForm);

 private:
  bool m_timeForm;
  ParamDateTime m_shown;
};

#endif
