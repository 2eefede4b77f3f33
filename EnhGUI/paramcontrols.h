/*
** The window-system operations the generated dialog lines need: create a
** control of a few kinds, move it, and set and get its text, check state
** or date and time.  The dialog lines (paramline.h) are written against
** this interface only, so that their layout and value exchange run
** unchanged on the Qt widgets of QtParamControls and, in tests, on a plain
** record of control states.
*/
#ifndef PARAMCONTROLS_H
#define PARAMCONTROLS_H

#include "paramrect.h"
#include "xb_string.h"

/*
** A date and a time of day as a date-time picker shows them.  Fields that
** the picker's form does not show keep their values.
*/
struct ParamDateTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  /* True when all six fields agree. */
  bool operator==(const ParamDateTime& other) const = default;
};

class ParamControls {
 public:
  /* The kinds of control a dialog line is made of. */
  enum Kind {
    CONTROL_LABEL,   /* static text with a sunken edge, vertically centred */
    CONTROL_EDIT,    /* one-line edit field, style bits below */
    CONTROL_DISPLAY, /* read-only right-aligned text */
    CONTROL_CHECK,   /* check box with its text left of the box */
    CONTROL_BUTTON,  /* push button */
    CONTROL_DATE,    /* date picker in date form */
    CONTROL_TIME     /* date picker in time form */
  };

  /* Style bits of an edit control; they combine. */
  enum EditStyle : unsigned {
    EDIT_CENTER = 0x0001,
    EDIT_RIGHT = 0x0002,
    EDIT_PASSWORD = 0x0020,
    EDIT_SET_NULL = 0x1000, /* the context menu offers "Set to NULL" */
    EDIT_NUMBER = 0x2000
  };

  /* Notifications a control sends to its dialog. */
  enum Event {
    EVENT_CHANGED, /* the user changed the control's value */
    EVENT_PRESSED, /* a push button was pressed */
    EVENT_SET_NULL /* the user chose "Set to NULL" (the edit is cleared) */
  };

  virtual ~ParamControls() = default;

  /*
  ** Creates a control of the given kind with the given style bits and
  ** identifier; name is the parameter key the control serves (tests and
  ** accessibility find controls by it).  Returns a handle above 0, or 0
  ** when the control could not be made.
  */
  virtual int Create(Kind kind, unsigned style, int id, const XB_String& name) = 0;
  /* Destroys a control; an unknown handle is ignored. */
  virtual void Destroy(int control) = 0;
  /* Moves a control to a rectangle of its parent. */
  virtual void Move(int control, const ParamRect& where) = 0;
  /* Sets a control's text (a check box's text is its caption). */
  virtual void SetText(int control, const XB_String& text) = 0;
  /* Returns a control's text; empty for an unknown handle. */
  virtual XB_String GetText(int control) const = 0;
  /*
  ** Returns true when the text the user gave a control can be held as
  ** GetText returns it; otherwise false with the reason in error (a
  ** character the text's encoding has no code for).
  */
  virtual bool TextFits(int control, XB_String* error) const = 0;
  /* Lets the user change an edit's text, or only read it. */
  virtual void SetReadOnly(int control, bool readOnly) = 0;
  /* Shows an empty edit as SQL NULL (greyed, "NULL" as a hint), or not. */
  virtual void SetNullLook(int control, bool isNull) = 0;
  /* Ticks or clears a check box. */
  virtual void SetCheck(int control, bool checked) = 0;
  /* Returns whether a check box is ticked. */
  virtual bool GetCheck(int control) const = 0;
  /*
  ** Sets a date picker.  Returns false, leaving the picker as it was,
  ** when the value is not a valid date (date form) or time (time form).
  */
  virtual bool SetDateTime(int control, const ParamDateTime& when) = 0;
  /* Returns a date picker's value. */
  virtual ParamDateTime GetDateTime(int control) const = 0;
  /*
  ** Shows the folder browser with the given title, starting at path.
  ** Returns true and the chosen folder in path, or false when the user
  ** cancelled.
  */
  virtual bool BrowseFolder(const XB_String& title, XB_String& path) = 0;
};

#endif
