/*
** ParamLines: the body of a generated dialog.  It turns a parameter set
** into one line of controls per member, chosen by the member's descriptor
** type, lays the lines out top to bottom and moves values between the
** controls and the set in both directions.  It draws through the
** ParamControls interface, so everything here runs without a display.
*/
#ifndef PARAMLINES_H
#define PARAMLINES_H

#include "paramcontrols.h"
#include "paramline.h"
#include "paramlinelayout.h"

#include <memory>
#include <vector>

class XB_ParameterInfo;
class XB_ParameterSetAuto;

class ParamLines {
 public:
  /* Identifier of the first line that has an input control. */
  static constexpr int kFirstId = 0x2000;
  /* Identifier of lines without input control. */
  static constexpr int kNoId = 0xFFFF;

  /* Lines drawn through controls (the parent window's operations). */
  explicit ParamLines(ParamControls* controls);
  /* Deletes the lines and with them their controls. */
  virtual ~ParamLines();
  ParamLines(const ParamLines&) = delete;
  ParamLines& operator=(const ParamLines&) = delete;

  /*
  ** Moves values between the lines and set: loading shows every line's
  ** member value; saving hands back the value of every line the user
  ** changed since loading (a missing member is created).  Returns true.
  */
  virtual bool Exchange(bool save, XB_ParameterSetAuto& set);
  /*
  ** Starts a layout in rect and adds a line for every member of set that
  ** has a descriptor.  Returns whether the layout could start.
  */
  virtual bool Create(const ParamRect& rect, XB_ParameterSetAuto& set);
  /* Deletes all lines and their controls. */
  virtual void Clear();
  /*
  ** Starts the layout in rect and resets the identifiers.  Returns whether
  ** the rectangle leaves room for lines.
  */
  virtual bool Begin(const ParamRect& rect);
  /*
  ** Adds the line for a descriptor.  Returns false when there is no
  ** descriptor or a control could not be made; a type without line kind
  ** adds nothing and returns true.
  */
  virtual bool AddLine(const XB_ParameterInfo* info);
  /* Adds an edit line with the given key, label, text and edit style. */
  virtual bool AddEditLine(const XB_String& key, const XB_String& label, const XB_String& text,
                           unsigned style);
  /*
  ** Gives the line its label with a blank on each side (a check box drops
  ** them again), moves it to the
  ** current line rectangle, takes ownership and advances the layout.
  */
  virtual void Place(ParamLine* line, const XB_String& label);

  /* Moves every line to its place in a new rectangle, keeping identifiers. */
  void Relayout(const ParamRect& rect);
  /*
  ** Passes a control's notification to the line it belongs to; unknown
  ** identifiers are ignored.
  */
  void Notify(int id, ParamControls::Event event);

  /*
  ** Row mode: lines tell SQL NULL (the empty value) apart from the empty
  ** text, date, time and date-time columns get edit lines that show the
  ** stored text, an empty number, date or time field stands for NULL, and
  ** a text field offers "Set to NULL".  Set it before the lines are made.
  */
  void SetNullAware(bool aware) { m_nullAware = aware; }
  /*
  ** Returns true when every changed line's value can be held; otherwise
  ** false with the failing line's key in key and the reason in error.
  */
  bool ValuesFit(XB_String* key, XB_String* error) const;
  /* The first line that takes input, or null. */
  ParamLine* FirstInput() const;

  /* Number of lines. */
  int Count() const { return static_cast<int>(m_lines.size()); }
  /* Line at index, or null outside the list. */
  ParamLine* Line(int index) const;
  /* Returns the line serving key, or null. */
  ParamLine* FindLine(const XB_String& key) const;
  /* The layout of the lines. */
  const ParamLineLayout& Layout() const { return m_layout; }

 private:
  /*
  ** Returns the line kind, mode and edit style for a descriptor type, or
  ** null for a type that gets no line.  Only lines with an input control
  ** take an identifier.
  */
  std::unique_ptr<ParamLine> MakeLine(unsigned type, const XB_String& key, unsigned& style);

  /* Makes the row-mode line for a type; null when the type is not one
  ** that row mode changes. */
  std::unique_ptr<ParamLine> MakeRowLine(unsigned type, const XB_String& key, unsigned& style);

  ParamControls* m_controls;
  bool m_nullAware = false;
  int m_nextId = kFirstId;
  ParamLineLayout m_layout;
  std::vector<std::unique_ptr<ParamLine>> m_lines;
};

#endif
